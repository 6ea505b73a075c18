// The group list and the parameter list display of the main window.
#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "app/operations.h"
#include "app/window_journal.h"
#include "framework/message_box.h"
#include "framework/worker.h"
#include "laminator/catalogue.h"
#include "laminator/descriptions.h"
#include "laminator/param_store.h"
#include "link/link_flags.h"
#include "link/usb_link.h"

namespace {
constexpr int kParamNameWidth = 160;
constexpr int kParamValueWidth = 130;
constexpr int kParamUnitWidth = 80;
constexpr int kParamAttributeWidth = 80;
}  // namespace

void CCorvaneDlg::InitGroupList() {
    m_groupList->SetFont("黑体", 150);
    int index = 0;
    for (std::string_view name : GroupNames())
        m_groupList->InsertItem(index++, std::string(name));
    m_groupList->SetSelection(0);
    SetCurrentGroup(std::string(kGroupVersionInfo));
}

void CCorvaneDlg::InitParamListColumns() {
    Control& list = *m_paramList.List();
    list.SetStyles(list.GetStyles() | kStyleSingleSelection | kStyleShowSelectionAlways |
                   kStyleGridLines | kStyleFullRowSelect);
    list.InsertColumn(0, "Parameter name", kParamNameWidth);
    list.InsertColumn(1, "Setting value", kParamValueWidth);
    list.InsertColumn(2, "Unit", kParamUnitWidth);
    list.InsertColumn(3, "Attribute", kParamAttributeWidth);
    FillGroupRows(std::string(kGroupVersionInfo));
}

void CCorvaneDlg::FillGroupRows(const std::string& group) {
    Control& list = *m_paramList.List();
    list.DeleteAllRows();
    for (const ParameterInfo* p : GroupParameters(group)) {
        const int row = list.InsertRow(p->row, std::string(p->name));
        list.SetCell(row, 1, Store().Get(p->key));
        list.SetCell(row, 2, std::string(p->unit));
        list.SetCell(row, 3, std::string(AttributeText(*p)));
    }
}

void CCorvaneDlg::OnGroupSelChange() {
    const std::string name = m_groupList->ItemText(m_groupList->GetCaret());
    {
        // Rows and group change together, so no worker fills the new rows with old values.
        std::lock_guard lock(m_rowsMutex);
        FillGroupRows(name);
        SetCurrentGroup(name);
    }
    if (EthernetLinkActive.load()) {
        UsbLinkActive.store(0);
        StartOperation([this] { return RecordedRead(*this, &NetParameterReader); },
                       "NetParameterReader");
        StartOperation([this] { return RecordedModelRead(*this); }, "ModelReadWorker");
        return;
    }
    if (!ProbeHidLaminator())
        return;
    if (!m_useHid) {
        StartOperation(&GroupPing, "GroupPing");
        return;
    }
    if (Item(kIdActivatePort).IsEnabled()) {
        UsbLinkActive.store(0);
        MessageBox(std::string(kStringActivatePort));
        return;
    }
    UsbLinkActive.store(1);
    StartOperation([this] { return RecordedRead(*this, &UsbParameterReader); },
                   "UsbParameterReader");
    StartOperation([this] { return RecordedModelRead(*this); }, "ModelReadWorker");
}

long CCorvaneDlg::OnParamListClick(const Event& e) {
    ShowRowDescription(e.item);
    return 0;
}

void CCorvaneDlg::ShowRowDescription(int row) {
    if (const auto text = RowDescription(CurrentGroup(), row))
        m_descriptionBox->SetText(std::string(*text));
}
