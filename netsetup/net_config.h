#pragma once
// The network settings dialog "Laminator Ethernet Port setup": shows the settings the device
// list dialog just read, and on OK stores the edited values and writes them to the laminator.
#include <atomic>
#include <string>

#include "framework/dialog.h"
#include "framework/worker.h"
#include "netsetup/net_protocol.h"

class CNetDiscovery;

class CNetConfig : public Dialog {
  public:
    explicit CNetConfig(DialogHost* host = nullptr);
    // Waits for a write still under way.
    ~CNetConfig() override;

    void DoDataExchange(DataExchange& dx) override;
    bool PreTranslateMessage(const KeyEvent& key) override;
    bool OnInitDialog() override;
    // Enter is OK, as the OK button is.
    void OnOK() override { OnClickedOk(); }
    void OnClickedOk();
    // Cancel and the title bar: refused while the write waits for its answer.
    void OnCancel() override;
    bool IsWriting() const { return m_writing.load(); }

    std::string m_deviceName;
    Control* m_staticIp = nullptr;
    Control* m_subnetMask = nullptr;
    Control* m_gateway = nullptr;
    Control* m_ipMethod = nullptr;

  protected:
    bool OnEvent(const Event& e, long& result) override;

  private:
    int WriteWorker(NetSettings asRead, NetSettings settings);
    void EnableButtons(bool enabled);

    // The name as shown at the start: left unchanged, the name bytes go back as read.
    std::string m_nameAsRead;
    std::atomic<bool> m_writing{false};
    WorkerHandle m_writer;
};
