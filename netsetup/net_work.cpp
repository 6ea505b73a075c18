#include "netsetup/net_work.h"

#include <chrono>

#include "framework/message_box.h"
#include "laminator/param_store.h"
#include "laminator/poll_control.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "netsetup/connect_cancel.h"
#include "netsetup/found_devices.h"
#include "netsetup/net_config.h"
#include "netsetup/net_resources.h"
#include "netsetup/net_result_text.h"
#include "netsetup/net_settings_record.h"

std::atomic<CNetDiscovery*> CurrentDiscovery{nullptr};

namespace {
constexpr int kColumnWidth = 120;
// Longer cell texts are not listed.
constexpr std::size_t kMaxCellLength = 63;
// The collector re-checks now and then even without a signal.
constexpr std::chrono::milliseconds kCollectorWake{1000};

const MessageMap<CNetWork>& NetWorkMessageMap() {
    using D = CNetWork;
    static const MessageMap<D> map = {
        On(Notify::Clicked, kIdSearch, &D::OnSearch),
        On(Notify::Clicked, kIdReadConfig, &D::OnReadConfig),
        On(Notify::Clicked, kIdConnect, &D::OnConnect),
        On(Notify::Clicked, kIdDisconnect, &D::OnDisconnect),
    };
    return map;
}

bool EthernetConnectionOpen() {
    const int socket = EthernetSocket.load();
    return socket != 0 && socket != -1;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}
}  // namespace

CNetWork::CNetWork(NetLinkOwner* owner, DialogHost* host, const SearchTarget& target)
    : Dialog(NetWorkDialogTemplate(), host),
      m_owner(owner),
      m_discovery(std::make_unique<CNetDiscovery>(target)) {}

CNetWork::~CNetWork() {
    m_discovery->StopCollection();
    JoinCollector();
    JoinWorkers();
    CNetDiscovery* mine = m_discovery.get();
    CurrentDiscovery.compare_exchange_strong(mine, nullptr);
}

void CNetWork::DoDataExchange(DataExchange& dx) {
    dx.Bind(kIdDeviceList, m_deviceList);
}

bool CNetWork::OnEvent(const Event& e, long& result) {
    return DispatchThrough(NetWorkMessageMap(), *this, e, result);
}

bool CNetWork::PreTranslateMessage(const KeyEvent& key) {
    // Neither Escape nor Return closes the list.
    return key.key == Key::Escape || key.key == Key::Return;
}

bool CNetWork::OnInitDialog() {
    Dialog::OnInitDialog();
    m_deviceList->SetStyles((m_deviceList->GetStyles() | kStyleReport | kStyleGridLines |
                             kStyleFullRowSelect | kStyleSingleSelection));
    const std::string_view titles[] = {kStringDeviceId, kStringMacAddress, kStringDeviceName,
                                       kStringFwBoot, kStringIpAddress};
    for (int c = 0; c < 5; ++c) {
        if (m_deviceList->InsertColumn(c, std::string(titles[c]), kColumnWidth, true) != c)
            return false;
    }
    SetStatus(ConnectionStatus());
    return true;
}

void CNetWork::JoinWorkers() {
    for (const WorkerHandle& worker : {m_connector, m_reader, m_disconnector}) {
        if (worker)
            worker->Join(std::chrono::seconds(30));
    }
}

std::string CNetWork::ConnectionStatus() const {
    if (EthernetConnectionOpen())
        return "Device " + Store().Get(ParamKey::IpAddress) + " is connecting";
    return std::string(kStatusNotConnected);
}

void CNetWork::OnCancel() {
    if (m_connecting.load() || IsBusy())
        return;
    m_discovery->StopCollection();
    Dialog::OnCancel();
}

void CNetWork::SetStatus(const std::string& text) {
    Item(kIdNetStatus).SetText(text);
}

void CNetWork::UpdateButtons() {
    const bool connecting = m_connecting.load();
    const bool collecting = m_collecting.load();
    const bool busy = IsBusy();
    Item(kIdSearch).Enable(!connecting && !collecting && !busy);
    Item(kIdReadConfig).Enable(!connecting && !collecting && !busy);
    Item(kIdConnect).Enable(!connecting && !busy);
    // Disconnect also ends a connect that is still waiting.
    Item(kIdDisconnect).Enable(!busy);
}

int CNetWork::SelectedRow() const {
    return m_deviceList ? m_deviceList->GetSelection() : -1;
}

void CNetWork::JoinCollector() {
    if (m_collector.joinable())
        m_collector.join();
}

void CNetWork::OnSearch() {
    StartSearch();
}

void CNetWork::StartSearch() {
    CurrentDiscovery.store(m_discovery.get());
    // Only a search that started gets a collector, so two never fill the same rows.
    if (m_discovery->Search() != kNetSuccess)
        return;
    JoinCollector();  // one that has just finished
    m_deviceList->DeleteAllRows();
    FoundDevices.Clear();
    m_collecting.store(true);
    UpdateButtons();
    m_collector = std::thread(&CNetWork::CollectReplies, this);
}

int CNetWork::CollectReplies(CNetWork* dialog) {
    CNetDiscovery& discovery = *dialog->m_discovery;
    int row = 0;
    auto take = [&] {
        FoundLaminator found;
        while (discovery.PopReply(found)) {
            // The entry is complete before its row appears.
            FoundDevices.Set(static_cast<std::size_t>(row), found);
            dialog->AddDeviceRow(row, found.reply);
            ++row;
        }
    };
    for (;;) {
        take();
        if (discovery.IsIdle()) {
            take();  // records queued just before the collection ended
            break;
        }
        discovery.WaitForReplyOrIdle(kCollectorWake);
    }
    if (const std::size_t notListed = discovery.NotShown())
        dialog->SetStatus(dialog->ConnectionStatus() + " " + NotListedText(notListed));
    dialog->m_collecting.store(false);
    dialog->UpdateButtons();
    return 0;
}

void CNetWork::AddDeviceRow(int index, const SearchReply& reply) {
    const std::string id = TrimRight(ReplyDeviceId(reply));
    if (m_deviceList->InsertRow(index, id) < 0)
        return;
    const std::string cells[] = {ReplyMacText(reply), ReplyName(reply), ReplyFwBoot(reply),
                                 ReplyIpText(reply)};
    for (int c = 0; c < 4; ++c) {
        const std::string& text = cells[c];
        // An empty name stops the row after its MAC Address.
        if (text.size() > kMaxCellLength || (c == 1 && text.empty()))
            return;
        if (!m_deviceList->SetCell(index, c + 1, text))
            return;
    }
}

void CNetWork::OnReadConfig() {
    if (IsBusy() || m_connecting.load())
        return;
    m_discovery->m_settings.fill(0);
    const std::optional<FoundLaminator> entry = FoundDevices.GetFound(SelectedRow());
    if (!entry) {
        MessageBox(std::string(kMsgSelectDevice));
        return;
    }
    m_reading.store(true);
    UpdateButtons();
    // The read waits up to its time-out for the laminator: never on the window.
    m_reader = StartWorkerThread([this, reply = *entry] { return ReadConfigWorker(reply); },
                                 "Read the Configuration");
}

int CNetWork::ReadConfigWorker(const FoundLaminator& entry) {
    NetSettingsDone done;
    done.mac = ReplyMacText(entry.reply);
    done.startTime = std::chrono::system_clock::now();
    done.started = std::chrono::steady_clock::now();
    const NetResult result = m_discovery->ReadConfig(entry);
    // No settings dialog for settings that were never read: OK would write zeros back.
    if (result != kNetSuccess)
        MessageBox(done.message = NetReadFailedText(result));
    done.result = result;
    done.settings = m_discovery->m_settings;
    TellNetSettingsDone(done);
    PostWork([this, result] {
        m_reading.store(false);
        UpdateButtons();
        if (result != kNetSuccess)
            return;
        CNetConfig settings(&Host());
        if (settings.DoModal() == IDOK)
            StartSearch();
    });
    return 1;
}

void CNetWork::CloseEthernetConnection() {
    // The poller starts no exchange after this, and closing the socket waits for the one in
    // flight under the link lock, so nothing waits for a poller that is gone or for a box.
    StopStatusPoller();
    if (EthernetSocket.load() != 0) {
        if (EthernetConnectionOpen())
            CloseEthernet();
        EthernetSocket.store(0);
    }
    // No operation may take the Ethernet path to a closed socket.
    EthernetLinkActive.store(0);
}

void CNetWork::OnConnect() {
    if (IsBusy() || m_connecting.exchange(true))
        return;
    m_connectCancelled.store(false);
    UpdateButtons();
    // Connecting may take 5 s: the window keeps painting meanwhile.
    m_connector = StartWorkerThread([this] { return ConnectWorker(); }, "Connect to the Device");
}

int CNetWork::ConnectWorker() {
    CloseEthernetConnection();
    if (m_owner && m_owner->UsbPortOpen())
        m_owner->CloseUsbPort();
    auto finish = [this](bool connected) {
        PostWork([this, connected] {
            m_connecting.store(false);
            UpdateButtons();
            if (connected)
                EndDialog(IDOK);
        });
        return 1;
    };
    const std::optional<SearchReply> entry = FoundDevices.Get(SelectedRow());
    if (!entry) {
        MessageBox(std::string(kMsgSelectDevice));
        return finish(false);
    }
    const std::string address = ReplyIpText(*entry);
    Store().Set(ParamKey::IpAddress, address);
    SetStatus("Connecting to " + address + "\u2026");
    if (m_connectCancelled.load() || !ConnectEthernet(address)) {
        EthernetLinkActive.store(0);
        if (m_connectCancelled.load())
            return finish(false);  // Disconnect tells the user
        SetStatus(std::string(kStatusNotConnected));
        MessageBox(std::string(kMsgConnectFailed));
        return finish(false);
    }
    EthernetLinkActive.store(1);
    if (m_owner && m_owner->AutoDetectOn())
        m_owner->StartNetPoller();
    MessageBox(std::string(kMsgConnected));
    SetStatus("Device " + address + " is connecting");
    return finish(true);
}

void CNetWork::OnDisconnect() {
    if (IsBusy())
        return;
    if (m_connecting.load()) {
        m_connectCancelled.store(true);
        CancelEthernetConnect();
    }
    m_disconnecting.store(true);
    UpdateButtons();
    // Closing waits for an exchange in flight under the link lock: never on the window.
    m_disconnector = StartWorkerThread([this] { return DisconnectWorker(); }, "Disconnect");
}

int CNetWork::DisconnectWorker() {
    // A connect under way gives up; cancelled again until it has, so one that had not yet
    // begun when Disconnect was pressed cannot slip past the cancel.
    CancelConnectUntilEnded(m_connector);
    CloseEthernetConnection();
    SetStatus(std::string(kStatusNotConnected));
    MessageBox(std::string(kMsgNotConnected));
    PostWork([this] {
        m_disconnecting.store(false);
        UpdateButtons();
    });
    return 1;
}
