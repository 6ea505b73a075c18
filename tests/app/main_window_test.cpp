#include <set>

#include "app/about_dlg.h"
#include "app/app_state.h"
#include "app/resources.h"
#include "app_fixture.h"
#include "laminator/catalogue.h"

namespace {
std::vector<std::string> Column(Control& list, int column) {
    std::vector<std::string> cells;
    for (int r = 0; r < list.RowCount(); ++r)
        cells.push_back(list.GetCell(r, column));
    return cells;
}
}  // namespace

TEST_F(MainWindowTest, StartsOnVersionInfoWithTicksAndOnlyStandardMode) {
    OpenWindow();
    Control& groups = dlg->Item(kIdGroupList);
    ASSERT_EQ(groups.ItemCount(), 5);
    EXPECT_EQ(groups.ItemText(0), "Version info");
    EXPECT_EQ(groups.ItemText(4), "Interface setup");
    EXPECT_EQ(groups.GetSelection(), 0);
    EXPECT_EQ(groups.Snapshot().fontFace, "黑体");
    EXPECT_EQ(CurrentGroup(), "Version info");

    Control& list = dlg->Item(kIdParamList);
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"Main version", "Main boot"}));
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(list.Snapshot().columns.size(), 4u);
    EXPECT_EQ(list.Snapshot().columns[1].heading, "Setting value");
    EXPECT_EQ(list.Snapshot().columns[1].widthPixels, 130);

    EXPECT_EQ(dlg->Item(kIdAutoDetect).GetCheck(), 1);
    EXPECT_EQ(dlg->Item(kIdUseHid).GetCheck(), 1);
    EXPECT_EQ(AutoDetectEnabled.load(), 1);
    EXPECT_EQ(MainDialog.load(), dlg.get());
    EXPECT_EQ(dlg->Item(kIdEthernetCheck).GetCheck(), 0);
    EXPECT_FALSE(dlg->Item(kIdEthernetCheck).IsVisible());
    for (int hidden : {kIdSpareBox, kIdResendCheck, kIdModelRead, kIdModelWrite, kIdDiagnose})
        EXPECT_FALSE(dlg->Item(hidden).IsVisible()) << hidden;

    Control& mode = dlg->Item(kIdModeCombo);
    ASSERT_EQ(mode.ItemCount(), 1);
    EXPECT_EQ(mode.ItemText(0), "Standard mode");
    EXPECT_EQ(mode.GetSelection(), 0);

    EXPECT_EQ(dlg->Template().title, "Pellacor (V1.6.1）");
    EXPECT_EQ(dlg->SystemMenuItems(),
              (std::vector<std::pair<int, std::string>>{{0x0010, "关于 Corvane(&A)..."}}));
    EXPECT_EQ(dlg->IconResource(), 128);
    // Opening the window sends nothing and starts nothing.
    EXPECT_EQ(RunningWorkerCount(), 0u);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(MainWindowTest, TemplateListsEveryControlOnceWithItsPlace) {
    const DialogTemplate t = MainDialogTemplate();
    EXPECT_EQ(t.width, 550);
    EXPECT_EQ(t.height, 372);
    EXPECT_EQ(t.controls.size(), 48u);
    std::set<int> ids;
    for (const ControlTemplate& c : t.controls) {
        if (c.id != kStaticId) {
            EXPECT_TRUE(ids.insert(c.id).second) << c.id;
        }
    }
    auto find = [&](int id) {
        for (const ControlTemplate& c : t.controls)
            if (c.id == id)
                return c;
        return ControlTemplate{};
    };
    EXPECT_EQ(find(kIdParamList).rect, (DialogRect{158, 119, 258, 115}));
    EXPECT_EQ(find(kIdCardChannelBox).rect, (DialogRect{234, 79, 146, 14}));
    EXPECT_EQ(find(kIdResendCheck).caption, "自动检测");
    EXPECT_EQ(find(kIdEthernetConfig).caption, "Ethernet Port Configuration");
}

TEST_F(MainWindowTest, EscapeNeverClosesAndReturnOnlyPassesOnTheList) {
    OpenWindow();
    const int listIndex = dlg->Item(kIdParamList).Index();
    EXPECT_TRUE(dlg->PreTranslateMessage({Key::Escape, kIdParamList}));
    dlg->SetFocusIndex(dlg->Item(kIdGroupList).Index());
    EXPECT_TRUE(dlg->PreTranslateMessage({Key::Return, kIdGroupList}));
    dlg->SetFocusIndex(listIndex);
    EXPECT_FALSE(dlg->PreTranslateMessage({Key::Return, kIdParamList}));
    EXPECT_FALSE(dlg->PreTranslateMessage({Key::Other, kIdParamList}));
    // The in-place edit box carries the list's id but is not the list.
    Control& edit = dlg->CreateChild(kIdParamList, ControlKind::Edit, kIdParamList, 0);
    edit.SetFocus();
    EXPECT_TRUE(dlg->PreTranslateMessage({Key::Return, kIdParamList}));
}

TEST_F(MainWindowTest, AboutItemShowsTheAboutBoxModally) {
    OpenWindow();
    std::string shownTitle;
    host.modalScript = [&](Dialog& d) {
        shownTitle = d.Template().title;
        return IDOK;
    };
    Event e;
    e.code = Notify::SysCommand;
    e.id = 0x0010;
    dlg->Dispatch(e);
    EXPECT_EQ(shownTitle, "关于 Corvane");
    CAboutDlg about(&host);
    EXPECT_EQ(about.Template().controls.back().caption, "确定");
}

TEST_F(MainWindowTest, GroupRowsShowUnitsAttributesAndStoredValues) {
    WriteIpIni("[TEST]\nPort=80\nIp=192.168.1.20\n");
    OpenWindow();
    Control& list = dlg->Item(kIdParamList);
    ChooseGroup(1);
    EXPECT_EQ(CurrentGroup(), "Laminator info");
    EXPECT_EQ(Column(list, 2), (std::vector<std::string>{"pic", "pic", "", "", ""}));
    EXPECT_EQ(Column(list, 3), (std::vector<std::string>{"Read/Write", "Read only", "Read only",
                                                         "Read only", "Read only"}));
    ChooseGroup(4);
    EXPECT_EQ(list.RowCount(), 7);
    EXPECT_EQ(list.GetCell(2, 1), "192.168.1.20");
    for (int r = 0; r < 7; ++r)
        EXPECT_EQ(list.GetCell(r, 3), r == 5 ? "Read only" : "Read/Write") << r;
    ChooseGroup(2);
    EXPECT_EQ(list.RowCount(), 10);
    EXPECT_EQ(list.GetCell(1, 2), "degrees Celsius");
}

TEST_F(MainWindowTest, ClickedRowShowsItsDescriptionAndOtherClicksKeepIt) {
    OpenWindow();
    ChooseGroup(2);
    Event click;
    click.code = Notify::Click;
    click.id = kIdParamList;
    click.item = 4;
    dlg->Dispatch(click);
    const std::string text = dlg->Item(kIdDescription).GetText();
    EXPECT_NE(text.find("\r\nNOTE : the single-motor version of \r\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
    click.item = -1;  // below the last row
    dlg->Dispatch(click);
    click.item = 12;
    dlg->Dispatch(click);
    ChooseGroup(0);
    EXPECT_EQ(dlg->Item(kIdDescription).GetText(), text);
}

TEST_F(MainWindowTest, GroupChoiceOnAnInactivePortAsksToActivateOnlyWhenAttached) {
    OpenWindow();
    ChooseGroup(2);  // nothing attached: silent
    EXPECT_TRUE(Messages().empty());
    AttachLaminator();
    UsbLinkActive.store(1);
    ChooseGroup(2);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Please activate the port !"});
    EXPECT_EQ(UsbLinkActive.load(), 0);
    EXPECT_EQ(dlg->Item(kIdParamList).RowCount(), 10);
}

TEST_F(MainWindowTest, ExitEndsTheProcessWithStatusOne) {
    OpenWindow();
    EXPECT_EXIT(Click(kIdExit), ::testing::ExitedWithCode(1), "");
}
