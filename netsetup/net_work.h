#pragma once
// The device list dialog "Ethernet Port Configuration": lists the laminators a search finds,
// opens the settings dialog for one, and makes one the main window's Ethernet target.
#include <atomic>
#include <memory>
#include <thread>

#include "framework/dialog.h"
#include "framework/worker.h"
#include "netsetup/net_discovery.h"
#include "netsetup/net_link_owner.h"
#include "netsetup/search_target.h"

// The discovery object of the device list dialog; the settings dialog works through it.
extern std::atomic<CNetDiscovery*> CurrentDiscovery;

class CNetWork : public Dialog {
  public:
    explicit CNetWork(NetLinkOwner* owner, DialogHost* host = nullptr,
                      const SearchTarget& target = GetSearchTarget());
    // Waits for the collector and a connect under way; a collection still running is ended.
    ~CNetWork() override;

    void DoDataExchange(DataExchange& dx) override;
    bool PreTranslateMessage(const KeyEvent& key) override;
    bool OnInitDialog() override;
    // The title bar: refused while a connect is under way.
    void OnCancel() override;

    void OnSearch();
    void OnReadConfig();
    void OnConnect();
    void OnDisconnect();

    static int CollectReplies(CNetWork* dialog);
    void AddDeviceRow(int index, const SearchReply& reply);

    CNetDiscovery& Discovery() { return *m_discovery; }
    bool IsConnecting() const { return m_connecting.load(); }
    // Read the Configuration or Disconnect is waiting on its worker.
    bool IsBusy() const { return m_reading.load() || m_disconnecting.load(); }
    bool IsCollecting() const { return m_collecting.load(); }

    Control* m_deviceList = nullptr;

  protected:
    bool OnEvent(const Event& e, long& result) override;

  private:
    void StartSearch();
    void JoinCollector();
    void UpdateButtons();
    void SetStatus(const std::string& text);
    // "Device ... is connecting" or "Device is not connected!".
    std::string ConnectionStatus() const;
    int SelectedRow() const;
    int ConnectWorker();
    int ReadConfigWorker(const FoundLaminator& entry);
    int DisconnectWorker();
    void JoinWorkers();
    // Ends the poller and closes the Ethernet connection, as Connect and Disconnect do.
    void CloseEthernetConnection();

    NetLinkOwner* m_owner;
    std::unique_ptr<CNetDiscovery> m_discovery;
    std::thread m_collector;
    WorkerHandle m_connector;
    WorkerHandle m_reader;
    WorkerHandle m_disconnector;
    std::atomic<bool> m_collecting{false};
    std::atomic<bool> m_connecting{false};
    std::atomic<bool> m_reading{false};
    std::atomic<bool> m_disconnecting{false};
    // Disconnect was pressed while connecting: the connect ends quietly.
    std::atomic<bool> m_connectCancelled{false};
};
