// The technician's round: activate, choose a group, edit a value in place, write, read back.
#include "app_fixture.h"
#include "ui/editable_list_ctrl.h"

namespace {
constexpr int kTemperatureRow = 1;
}

class ParametersEndToEndTest : public MainWindowTest {
  protected:
    void ActivateWithoutPolling() {
        AttachLaminator();
        OpenWindow();
        dlg->Item(kIdAutoDetect).SetCheck(0);
        Click(kIdActivatePort);
        ASSERT_FALSE(dlg->Item(kIdActivatePort).IsEnabled());
    }

    Control& List() { return dlg->Item(kIdParamList); }

    // A double-click on the value cell of `row`, as the host reports it.
    void DoubleClickValue(int row) {
        const auto rect = host.CellRect(*dlg, kIdParamList, row, 1);
        ASSERT_TRUE(rect.has_value());
        Event e;
        e.code = Notify::DblClick;
        e.id = kIdParamList;
        e.point = {rect->left + 3, rect->top + 3};
        dlg->Dispatch(e);
    }

    // Focus moves elsewhere: the editor commits through its posted done-message.
    void ClickElsewhere() {
        dlg->SetFocusIndex(dlg->Item(kIdGroupList).Index());
        host.Pump();
    }
};

TEST_F(ParametersEndToEndTest, ReadEditWriteAndReadBackTheTemperatureOverUsb) {
    ActivateWithoutPolling();
    ChooseGroup(2);
    Settle();
    for (int r = 0; r < 10; ++r)
        EXPECT_FALSE(List().GetCell(r, 1).empty()) << r;
    EXPECT_EQ(List().GetCell(kTemperatureRow, 1), "150");  // the simulator's factory set point

    DoubleClickValue(kTemperatureRow);
    CEditableListCtrl& editable = dlg->m_paramList;
    ASSERT_TRUE(editable.EditOpen());
    ASSERT_NE(editable.EditBox(), nullptr);
    EXPECT_EQ(editable.EditBox()->GetText(), "150");
    EXPECT_EQ(editable.EditBox()->GetPixelRect(), host.CellRect(*dlg, kIdParamList, 1, 1));
    editable.EditBox()->SetText("170");
    ClickElsewhere();
    EXPECT_FALSE(editable.EditOpen());
    EXPECT_EQ(List().GetCell(kTemperatureRow, 1), "170");

    Click(kIdWrite);
    Settle();
    EXPECT_EQ(sim->State(0).params.temperatureByte, 170 - 150);
    List().SetCell(kTemperatureRow, 1, "");
    Click(kIdRead);
    Settle();
    EXPECT_EQ(List().GetCell(kTemperatureRow, 1), "170");
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(sim->GetCounters().mixedBracket, 0u);
    EXPECT_EQ(sim->GetCounters().incomplete, 0u);
}

TEST_F(ParametersEndToEndTest, ReadAndWriteOverTcpOnceConnected) {
    ActivateWithoutPolling();
    Click(kIdDeactivatePort);
    Store().Set(ParamKey::IpAddress, "127.0.0.1");
    dlg->Item(kIdEthernetCheck).SetCheck(1);
    Click(kIdEthernetCheck);
    ASSERT_EQ(EthernetLinkActive.load(), 1);
    ChooseGroup(2);
    Settle();
    EXPECT_EQ(List().GetCell(kTemperatureRow, 1), "150");
    List().SetCell(kTemperatureRow, 1, "170");
    Click(kIdWrite);
    Settle();
    EXPECT_EQ(sim->State(0).params.temperatureByte, 20);
    Click(kIdRead);
    Settle();
    EXPECT_EQ(List().GetCell(kTemperatureRow, 1), "170");
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ParametersEndToEndTest, LaminateMenuChoiceIsSentAtOnceAndReadBack) {
    ActivateWithoutPolling();
    ChooseGroup(2);
    Settle();
    DoubleClickValue(0);
    CEditableListCtrl& editable = dlg->m_paramList;
    ASSERT_TRUE(editable.ComboOpen());
    Control& combo = *editable.ComboBox();
    EXPECT_EQ(combo.Id(), IN_PLACE_COMBO_ID);
    EXPECT_EQ(combo.ItemCount(), 8);
    EXPECT_EQ(combo.GetSelection(), 0);  // the cell read "Menu 1"
    // Arrow keys through three menus: each choice is sent; the laminator ends on the last.
    for (int choice : {1, 2, 3}) {
        combo.SetSelection(choice);
        Event e;
        e.code = Notify::SelChange;
        e.id = IN_PLACE_COMBO_ID;
        e.source = combo.Index();
        dlg->Dispatch(e);
    }
    Settle();
    EXPECT_EQ(sim->State(0).params.laminateMenu, 3);
    ClickElsewhere();
    EXPECT_EQ(List().GetCell(0, 1), "Menu 4");
    EXPECT_EQ(sim->GetCounters().mixedBracket, 0u);
}

TEST_F(ParametersEndToEndTest, EditorsOpenOnlyOnEditableValueCells) {
    ActivateWithoutPolling();
    Settle();
    CEditableListCtrl& editable = dlg->m_paramList;
    DoubleClickValue(0);  // "Version info": nothing
    EXPECT_FALSE(editable.EditOpen());
    EXPECT_EQ(editable.EditBox(), nullptr);
    ChooseGroup(4);
    Settle();
    DoubleClickValue(5);  // MAC Address
    EXPECT_FALSE(editable.EditOpen());
    EXPECT_FALSE(editable.ComboOpen());
    DoubleClickValue(1);  // IP Get Method: the drop-down with the cell's text selected
    ASSERT_TRUE(editable.ComboOpen());
    EXPECT_EQ(editable.ComboBox()->ItemText(editable.ComboBox()->GetSelection()),
              List().GetCell(1, 1));
    ClickElsewhere();
    EXPECT_FALSE(editable.ComboOpen());
    DoubleClickValue(2);  // IP Address: the edit box; a commit writes the text as typed
    ASSERT_TRUE(editable.EditOpen());
    editable.EditBox()->SetText("  10.0.0.5 ");
    Event scroll;
    scroll.code = Notify::Scroll;
    scroll.id = kIdParamList;
    dlg->Dispatch(scroll);
    EXPECT_FALSE(editable.EditOpen());
    EXPECT_EQ(List().GetCell(2, 1), "  10.0.0.5 ");
    // A drop-down left without a choice keeps the cell.
    List().SetCell(1, 1, "unknown");
    DoubleClickValue(1);
    EXPECT_EQ(editable.ComboBox()->GetSelection(), -1);
    ClickElsewhere();
    EXPECT_EQ(List().GetCell(1, 1), "unknown");
}

TEST_F(ParametersEndToEndTest, LateCommitsNeverWriteIntoAnotherCell) {
    ActivateWithoutPolling();
    ChooseGroup(3);
    Settle();
    CEditableListCtrl& editable = dlg->m_paramList;
    DoubleClickValue(0);  // Buzzer drop-down
    ASSERT_TRUE(editable.ComboOpen());
    editable.ComboBox()->SetSelection(1);
    ClickElsewhere();
    EXPECT_EQ(List().GetCell(0, 1), "Open");
    const std::vector<std::string> before = {List().GetCell(0, 1), List().GetCell(1, 1)};
    // A double-click below the last row, then a scroll: no cell changes.
    Event dbl;
    dbl.code = Notify::DblClick;
    dbl.id = kIdParamList;
    dbl.point = {200, 600};
    dlg->Dispatch(dbl);
    Event scroll;
    scroll.code = Notify::Scroll;
    scroll.id = kIdParamList;
    dlg->Dispatch(scroll);
    host.Pump();
    EXPECT_EQ(editable.EditCell().row, -1);
    EXPECT_EQ((std::vector<std::string>{List().GetCell(0, 1), List().GetCell(1, 1)}), before);
}
