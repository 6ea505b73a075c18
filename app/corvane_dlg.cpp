#include "app/corvane_dlg.h"

#include "app/about_dlg.h"
#include "app/app_state.h"
#include "app/control_ids.h"
#include "app/ip_settings.h"
#include "app/resources.h"
#include "laminator/param_store.h"
#include "link/ethernet_link.h"

std::atomic<int> AutoDetectEnabled{0};
std::atomic<CCorvaneDlg*> MainDialog{nullptr};

namespace {
const MessageMap<CCorvaneDlg>& MainMessageMap() {
    using D = CCorvaneDlg;
    static const MessageMap<D> map = {
        On(Notify::SysCommand, kAboutCommandId, &D::OnSysCommand),
        On(Notify::SelChange, kIdGroupList, &D::OnGroupSelChange),
        OnResult<D>(Notify::ItemChanged, kIdParamList, 0),
        On(Notify::Click, kIdParamList, &D::OnParamListClick),
        On(Notify::Clicked, kIdActivatePort, &D::OnActivatePort),
        On(Notify::Clicked, kIdExit, &D::OnExit),
        On(Notify::Clicked, kIdWrite, &D::OnWrite),
        On(Notify::Clicked, kIdRead, &D::OnRead),
        On(Notify::Clicked, kIdResetDefault, &D::OnResetDefault),
        On(Notify::Clicked, kIdDownload, &D::OnDownload),
        On(Notify::Clicked, kIdBrowse, &D::OnBrowse),
        On(Notify::Clicked, kIdAutoDetect, &D::OnAutoDetect),
        OnResult<D>(Notify::EditChange, kIdFirmwarePath, 0),
        On(Notify::Clicked, kIdEthernetConfig, &D::OnEthernetConfig),
        On(Notify::Clicked, kIdEthernetCheck, &D::OnEthernetCheck),
        OnResult<D>(Notify::Clicked, kIdUseHid, 0),  // takes effect at the next exchange
        On(Notify::User, kMsgStartNetPoller, &D::OnStartNetPoller),
        On(Notify::Clicked, kIdDeactivatePort, &D::OnDeactivatePort),
        On(Notify::Clicked, kIdResendCheck, &D::OnResendCheck),
        On(Notify::Clicked, kIdSwitchMode, &D::OnSwitchMode),
        On(Notify::Clicked, kIdSend, &D::OnSend),
        On(Notify::Clicked, kIdModelRead, &D::OnModelRead),
        On(Notify::Clicked, kIdModelWrite, &D::OnModelWrite),
        OnResult<D>(Notify::Clicked, kIdDiagnose, 0),
    };
    return map;
}
}  // namespace

CCorvaneDlg::CCorvaneDlg(DialogHost* host)
    : Dialog(MainDialogTemplate(), host), m_hIcon(kAppIconResource), m_paramList(this) {
    EthernetSocket.store(0);
}

CCorvaneDlg::~CCorvaneDlg() {
    SetWorkerFailureHandler(nullptr);
    CCorvaneDlg* self = this;
    MainDialog.compare_exchange_strong(self, nullptr);
}

void CCorvaneDlg::DoDataExchange(DataExchange& dx) {
    std::lock_guard lock(m_membersMutex);
    dx.Bind(kIdGroupList, m_groupList);
    dx.Bind(kIdParamList, m_paramList);
    dx.Text(kIdFirmwarePath, m_firmwarePath);
    dx.Bind(kIdProgress, m_progress);
    dx.Check(kIdUseHid, m_useHid);
    dx.Bind(kIdRollerTemperature, m_rollerTempBox);
    dx.Bind(kIdStateBox, m_stateBox);
    dx.Bind(kIdErrorBox, m_errorBox);
    dx.Check(kIdAutoDetect, m_autoDetect);
    dx.Bind(kIdEnvironmentTemperature, m_envTempBox);
    dx.Bind(kIdDescription, m_descriptionBox);
    dx.Bind(kIdSpareBox, m_spareBox);
    dx.Bind(kIdResendCheck, m_resendCheck);
    dx.Check(kIdResendCheck, m_resendChecked);
    dx.Bind(kIdModeCombo, m_modeCombo);
    dx.Check(kIdEthernetCheck, m_useEthernet);
    dx.Text(kIdCommandText, m_commandText);
    dx.Bind(kIdCardChannelBox, m_cardChannelBox);
}

bool CCorvaneDlg::OnEvent(const Event& e, long& result) {
    return DispatchThrough(MainMessageMap(), *this, e, result);
}

bool CCorvaneDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    if (!kStringAboutMenu.empty())
        AppendSystemMenuItem(kAboutCommandId, std::string(kStringAboutMenu));
    SetIconResource(m_hIcon);
    m_modeCombo->SetSelection(0);
    m_modeCombo->DeleteItem(2);
    m_modeCombo->DeleteItem(1);
    InitGroupList();
    InitParamListColumns();
    LoadIpSettings();
    m_autoDetect = 1;
    AutoDetectEnabled.store(1);
    m_useHid = 1;
    MainDialog.store(this);
    SetWorkerFailureHandler([this](const std::string& worker, const std::string& what) {
        OnWorkerFailure(worker, what);
    });
    UpdateData(false);
    SetFocusIndex(m_groupList->Index());  // the first control takes the focus
    return true;
}

bool CCorvaneDlg::PreTranslateMessage(const KeyEvent& key) {
    if (key.key == Key::Escape)
        return true;
    // Compared by control, not id: the in-place edit box shares the list's id.
    if (key.key == Key::Return)
        return !m_paramList.List() || FocusIndex() != m_paramList.List()->Index();
    return false;
}

long CCorvaneDlg::OnSysCommand(const Event& e) {
    if ((e.id & 0xFFF0) == kAboutCommandId) {
        CAboutDlg about(&Host());
        about.DoModal();
    }
    return 0;
}

void CCorvaneDlg::SetParamCell(const std::string& group, int row, const std::string& text) {
    std::lock_guard lock(m_rowsMutex);
    if (CurrentGroup() == group && m_paramList.List())
        m_paramList.List()->SetCell(row, 1, text);
}

std::string CCorvaneDlg::GetParamCell(int row) const {
    return m_paramList.List() ? m_paramList.List()->GetCell(row, 1) : std::string();
}

bool CCorvaneDlg::IsButtonEnabled(int id) const {
    return const_cast<CCorvaneDlg*>(this)->Item(id).IsEnabled();
}

void CCorvaneDlg::SetControlText(int id, const std::string& text) {
    Item(id).SetText(text);
}

void CCorvaneDlg::SetProgressRange(int low, int high) {
    Item(kIdProgress).SetRange(low, high);
}

void CCorvaneDlg::SetProgressPosition(int position) {
    Item(kIdProgress).SetPosition(position);
}

int CCorvaneDlg::GetProgressPosition() const {
    return const_cast<CCorvaneDlg*>(this)->Item(kIdProgress).GetPosition();
}
