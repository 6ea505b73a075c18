#include "netsetup/net_config.h"

#include <algorithm>
#include <chrono>

#include "framework/message_box.h"
#include "link/ethernet_link.h"
#include "netsetup/net_discovery.h"
#include "netsetup/net_resources.h"
#include "netsetup/net_result_text.h"
#include "netsetup/net_settings.h"
#include "netsetup/net_settings_record.h"
#include "netsetup/net_work.h"

namespace {
const MessageMap<CNetConfig>& NetConfigMessageMap() {
    using D = CNetConfig;
    static const MessageMap<D> map = {
        On(Notify::Clicked, IDOK, &D::OnClickedOk),
    };
    return map;
}

bool EthernetConnectionOpen() {
    const int socket = EthernetSocket.load();
    return socket != 0 && socket != -1;
}
}  // namespace

CNetConfig::CNetConfig(DialogHost* host) : Dialog(NetConfigDialogTemplate(), host) {}

CNetConfig::~CNetConfig() {
    if (m_writer)
        m_writer->Join(std::chrono::seconds(30));
}

void CNetConfig::OnCancel() {
    if (m_writing.load())
        return;
    Dialog::OnCancel();
}

void CNetConfig::EnableButtons(bool enabled) {
    Item(IDOK).Enable(enabled);
    Item(IDCANCEL).Enable(enabled);
}

void CNetConfig::DoDataExchange(DataExchange& dx) {
    dx.Text(kIdDeviceName, m_deviceName);
    dx.Bind(kIdStaticIp, m_staticIp);
    dx.Bind(kIdSubnetMask, m_subnetMask);
    dx.Bind(kIdGateway, m_gateway);
    dx.Bind(kIdIpMethod, m_ipMethod);
}

bool CNetConfig::OnEvent(const Event& e, long& result) {
    return DispatchThrough(NetConfigMessageMap(), *this, e, result);
}

bool CNetConfig::PreTranslateMessage(const KeyEvent& key) {
    return Dialog::PreTranslateMessage(key);
}

bool CNetConfig::OnInitDialog() {
    Dialog::OnInitDialog();
    NetSettings settings{};
    if (CNetDiscovery* discovery = CurrentDiscovery.load())
        settings = discovery->m_settings;
    m_staticIp->SetFields(SettingsAddress(settings, kSettingsIpOffset));
    m_subnetMask->SetFields(SettingsAddress(settings, kSettingsMaskOffset));
    m_gateway->SetFields(SettingsAddress(settings, kSettingsGatewayOffset));
    m_ipMethod->SetSelection(IsStaticMethod(settings) ? 1 : 0);
    m_deviceName = SettingsName(settings);
    m_nameAsRead = m_deviceName;
    UpdateData(false);
    return true;
}

void CNetConfig::OnClickedOk() {
    if (m_writing.load())
        return;
    if (EthernetConnectionOpen()) {
        MessageBox(std::string(kMsgDisconnectFirst));
        return;
    }
    UpdateData(true);
    CNetDiscovery* discovery = CurrentDiscovery.load();
    if (!discovery) {
        EndDialog(IDOK);
        return;
    }
    const NetSettings asRead = discovery->m_settings;
    NetSettings settings = asRead;
    if (m_deviceName != m_nameAsRead && !StoreSettingsName(settings, m_deviceName)) {
        MessageBox(std::string(kMsgNameTooLong));
        return;  // nothing stored, nothing sent
    }
    StoreSettingsAddress(settings, kSettingsIpOffset, m_staticIp->GetFields());
    StoreSettingsAddress(settings, kSettingsMaskOffset, m_subnetMask->GetFields());
    StoreSettingsAddress(settings, kSettingsGatewayOffset, m_gateway->GetFields());
    StoreMethod(settings, m_ipMethod->GetText());
    // The write and the finishing command each wait for the laminator's answer.
    m_writing.store(true);
    EnableButtons(false);
    m_writer = StartWorkerThread([this, asRead, settings] { return WriteWorker(asRead, settings); },
                                 "OK (write settings)");
}

int CNetConfig::WriteWorker(NetSettings asRead, NetSettings settings) {
    CNetDiscovery* discovery = CurrentDiscovery.load();
    NetResult result = kNetNotRead;
    // The laminator is named by the MAC its settings carry, not by the list row.
    SearchReply target{};
    std::copy_n(settings.begin() + kSettingsMacOffset, 6, target.begin() + kReplyMacOffset);
    NetSettingsDone done;
    done.kind = NetSettingsDone::Kind::Write;
    done.mac = ReplyMacText(target);
    done.startTime = std::chrono::system_clock::now();
    done.started = std::chrono::steady_clock::now();
    done.settings = asRead;
    done.sent = settings;
    if (discovery) {
        discovery->m_settings = settings;
        result = discovery->WriteConfig(target);
        if (result == kNetSuccess)
            result = discovery->FinishWrite(target);
    }
    // Not done unless the laminator acknowledged both: the dialog stays open with what was
    // typed, so the technician can try again or cancel.
    if (result != kNetSuccess)
        MessageBox(done.message = NetWriteFailedText(result));
    done.result = result;
    TellNetSettingsDone(done);
    PostWork([this, result] {
        m_writing.store(false);
        EnableButtons(true);
        if (result == kNetSuccess)
            EndDialog(IDOK);
    });
    return 1;
}
