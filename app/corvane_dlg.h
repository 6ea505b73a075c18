#pragma once
// The main window: every control the technician uses, the group and parameter lists, and
// the dispatch of each button to the USB or Ethernet variant of its operation.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/worker.h"
#include "laminator/firmware_download.h"
#include "laminator/laminator_view.h"
#include "ui/editable_list_ctrl.h"

// Waits, however long it takes, until `worker` has ended; at once for a null one.
void JoinUntilEnded(const WorkerHandle& worker);

class CCorvaneDlg : public Dialog, public LaminatorView {
  public:
    explicit CCorvaneDlg(DialogHost* host = nullptr);
    ~CCorvaneDlg() override;

    bool OnInitDialog() override;
    void DoDataExchange(DataExchange& dx) override;
    bool PreTranslateMessage(const KeyEvent& key) override;
    // The title bar's close: asks first while a firmware download runs.
    void OnCancel() override;

    // LaminatorView.
    void SetParamCell(const std::string& group, int row, const std::string& text) override;
    std::string GetParamCell(int row) const override;
    void EnableButton(int id, bool enabled) override;
    bool IsButtonEnabled(int id) const override;
    void SetControlText(int id, const std::string& text) override;
    void SetProgressRange(int low, int high) override;
    void SetProgressPosition(int position) override;
    int GetProgressPosition() const override;
    void RunRead() override { OnRead(); }
    bool ReadOnFirstPollSet() const override { return ReadOnFirstPoll.load() != 0; }
    void ClearReadOnFirstPoll() override { ReadOnFirstPoll.store(0); }
    int SelectedMode() const override;
    std::string TypedCommand() const override;
    std::shared_ptr<const std::vector<std::uint8_t>> LoadedFirmware() const override;
    void ReleaseFirmware() override;
    // The window itself never asks an operation to stop: a download's stop is its own
    // token, seen only through that transfer's view.

    // Group and parameter lists.
    void InitGroupList();
    void InitParamListColumns();
    void OnGroupSelChange();
    void FillGroupRows(const std::string& group);
    long OnParamListClick(const Event& e);
    void ShowRowDescription(int row);

    // Link selection and dispatch.
    void OnActivatePort();
    void OnDeactivatePort();
    void OnRead();
    void OnWrite();
    void OnEthernetConfig();
    void OnEthernetCheck();
    long OnStartNetPoller(const Event& e);

    // Handlers of the other operations.
    long OnSysCommand(const Event& e);
    void OnExit();
    void OnResetDefault();
    void OnDownload();
    void OnBrowse();
    void OnAutoDetect();
    void OnResendCheck();
    void OnSwitchMode();
    void OnSend();
    void OnModelRead();
    void OnModelWrite();

    // Members, in declaration order of the window.
    int m_hIcon;
    Control* m_groupList = nullptr;
    CEditableListCtrl m_paramList;
    // The file Browse loaded, whole; null when none is loaded.
    std::shared_ptr<const std::vector<std::uint8_t>> m_firmware;
    std::string m_firmwarePath;
    Control* m_progress = nullptr;
    std::atomic<int> m_useHid{0};
    Control* m_rollerTempBox = nullptr;
    Control* m_stateBox = nullptr;
    Control* m_errorBox = nullptr;
    std::atomic<int> m_autoDetect{0};
    Control* m_envTempBox = nullptr;
    Control* m_descriptionBox = nullptr;
    Control* m_spareBox = nullptr;
    Control* m_resendCheck = nullptr;
    std::atomic<int> m_resendChecked{0};
    Control* m_modeCombo = nullptr;
    std::atomic<int> m_useEthernet{0};
    std::string m_commandText;
    Control* m_cardChannelBox = nullptr;
    std::atomic<int> ReadOnFirstPoll{0};

    // What Exit does once nothing holds it back: ends the process (tests replace it).
    std::function<void(int status)> m_endProcess;
    // Waits (on the calling thread, never the window's) until the link work started so far
    // has ended: open, close, connect and disconnect. False on time-out.
    bool WaitForLinkTasks(std::chrono::milliseconds timeout) const;
    bool DownloadRunning() const;

    // The USB port as the window knows it; the port buttons follow from it alone.
    enum class PortState { Closed, Opening, Open, Closing };
    PortState Port() const { return m_portState.load(); }
    // Open, or opening: Read and Write queue behind the open. Any thread.
    bool PortTakenAsOpen() const {
        const PortState state = Port();
        return state == PortState::Opening || state == PortState::Open;
    }

  protected:
    bool OnEvent(const Event& e, long& result) override;

  private:
    // Link open, close, connect and disconnect run here, one after another in click order,
    // off the window thread. Window thread.
    WorkerHandle RunLinkTask(std::string name, std::function<void()> task);
    // Starts an operation's worker; it first waits for the link work clicked before it, so
    // a Read right after Activate Port reads the port that opened.
    WorkerHandle StartOperation(int (*proc)(LaminatorView*), std::string name);
    WorkerHandle StartOperation(std::function<int()> body, std::string name);
    // While a firmware download runs, asks whether to stop it. True when none runs or the
    // user said Yes; the transfer then ends at its next frame boundary. Window thread.
    bool ConfirmStopDownload();
    // The running download's worker, taken when a click needs to wait for it; null when
    // none runs.
    WorkerHandle RunningDownload() const;
    // Runs `action` once `download` has ended (at once when it is null or has ended).
    void AfterDownload(WorkerHandle download, std::string name, std::function<void()> action);
    void StartDownload(FirmwareRoute route, std::string name);
    // A worker failed: the link it used is closed, the user told; a running download keeps
    // its controls.
    void OnWorkerFailure(const std::string& worker, const std::string& what);
    void EndProcess(int status);

    // Port state changes. A click starts one and gets its number; a completion of an older
    // click changes nothing. Window thread.
    int BeginPortChange(PortState state);
    void FinishPortChange(int click, PortState state);
    void ShowPortState();
    // An engine closed the USB link behind the window's back (end of a download, a lost
    // laminator): the port is closed unless a newer click is under way. Any thread.
    void NotePortClosedByEngine();

    WorkerHandle m_linkTask;  // under m_downloadMutex: operations start on worker threads too
    // The last Ethernet box task, whose connect an untick cancels. Window thread.
    WorkerHandle m_ethernetTask;
    std::shared_ptr<std::atomic<bool>> m_ethernetCancel;  // that task's own cancel
    std::atomic<PortState> m_portState{PortState::Closed};
    std::atomic<int> m_portClick{0};
    mutable std::mutex m_downloadMutex;
    std::shared_ptr<struct DownloadRun> m_download;

    // Held while the rows and CurrentGroup change together, and while a worker writes a
    // cell of the group it read, so a late read never lands in another group's rows.
    mutable std::mutex m_rowsMutex;
    // Held while the data exchange writes the string members and the loaded file, and while
    // a worker takes its copy of them.
    mutable std::mutex m_membersMutex;
};
