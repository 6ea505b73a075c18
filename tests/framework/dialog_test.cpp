#include "framework/dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "framework/headless_host.h"
#include "framework/message_box.h"
#include "framework/worker.h"

namespace {
constexpr int kButton = 10;
constexpr int kCheck = 11;
constexpr int kEdit = 12;
constexpr int kCombo = 13;
constexpr int kList = 14;
constexpr int kIp = 15;
constexpr int kUserMessage = WM_USER + 7;

DialogTemplate TestTemplate() {
    DialogTemplate t;
    t.title = "Test";
    t.width = 200;
    t.height = 100;
    t.controls = {
        {kButton, ControlKind::PushButton, "Go", {1, 1, 20, 10}, kStyleNone, true},
        {kCheck, ControlKind::CheckBox, "Check", {1, 12, 20, 10}, kStyleNone, true},
        {kEdit, ControlKind::Edit, "", {1, 24, 40, 10}, kStyleBorder, true},
        {kCombo, ControlKind::ComboBox, "", {1, 36, 40, 40}, kStyleDropDown | kStyleSort, true},
        {kList, ControlKind::ListView, "", {50, 1, 100, 80}, kStyleReport, true},
        {kIp, ControlKind::IpAddress, "", {1, 80, 40, 10}, kStyleNone, false},
        {kStaticId, ControlKind::StaticText, "Label", {1, 90, 40, 8}, kStyleNone, true},
    };
    t.comboItems = {{kCombo, {"Static", "Dynamic"}}};
    return t;
}

class TestDialog : public Dialog {
  public:
    explicit TestDialog(DialogHost* host) : Dialog(TestTemplate(), host) {}
    void DoDataExchange(DataExchange& dx) override {
        dx.Check(kCheck, m_checked);
        dx.Text(kEdit, m_text);
    }
    void OnGo() { ++clicks; }
    long OnUser(const Event& e) {
        received.push_back(e.wParam);
        return 5;
    }
    int m_checked = 0;
    std::string m_text;
    int clicks = 0;
    std::vector<long> received;

  protected:
    bool OnEvent(const Event& e, long& result) override {
        static const MessageMap<TestDialog> map = {
            On(Notify::Clicked, kButton, &TestDialog::OnGo),
            On(Notify::User, kUserMessage, &TestDialog::OnUser),
            OnResult<TestDialog>(Notify::ItemChanged, kList, 0),
        };
        return DispatchThrough(map, *this, e, result);
    }
};

class RecordingHandler : public ControlHandler {
  public:
    void Attach(Control& control) override { attached = &control; }
    bool OnControlEvent(const Event& e, long&) override {
        events.push_back(e.code);
        return e.code == Notify::DblClick;
    }
    Control* attached = nullptr;
    std::vector<Notify> events;
};

Event Clicked(int id) {
    Event e;
    e.code = Notify::Clicked;
    e.id = id;
    return e;
}
}  // namespace

TEST(DataExchange, LoadsMembersIntoControlsAndSavesThemBack) {
    HeadlessHost host;
    TestDialog dlg(&host);
    dlg.m_checked = 1;
    dlg.m_text = "abc";
    dlg.UpdateData(false);
    EXPECT_EQ(dlg.Item(kCheck).GetCheck(), 1);
    EXPECT_EQ(dlg.Item(kEdit).GetText(), "abc");

    dlg.Item(kCheck).SetCheck(0);
    dlg.Item(kEdit).SetText("typed");
    EXPECT_EQ(dlg.m_text, "abc");  // nothing moves until the next exchange
    dlg.UpdateData(true);
    EXPECT_EQ(dlg.m_checked, 0);
    EXPECT_EQ(dlg.m_text, "typed");
}

TEST(MessageMap, RoutesByEventAndIdOnly) {
    HeadlessHost host;
    TestDialog dlg(&host);
    dlg.Dispatch(Clicked(kButton));
    dlg.Dispatch(Clicked(kCheck));  // no entry: ignored
    Event other = Clicked(kButton);
    other.code = Notify::SelChange;
    dlg.Dispatch(other);
    EXPECT_EQ(dlg.clicks, 1);
}

TEST(MessageMap, PostedMessagesRunOnTheWindowThreadInOrder) {
    HeadlessHost host;
    TestDialog dlg(&host);
    std::thread worker([&] {
        for (long i = 0; i < 50; ++i)
            dlg.PostMessage(kUserMessage, i);
    });
    worker.join();
    EXPECT_TRUE(dlg.received.empty());  // not before the window thread pumps
    host.Pump();
    ASSERT_EQ(dlg.received.size(), 50u);
    for (long i = 0; i < 50; ++i)
        EXPECT_EQ(dlg.received[static_cast<std::size_t>(i)], i);
}

TEST(MessageMap, ControlHandlerSeesItsEventsFirst) {
    HeadlessHost host;
    TestDialog dlg(&host);
    RecordingHandler handler;
    dlg.AttachHandler(dlg.Item(kList), handler);
    EXPECT_EQ(handler.attached, &dlg.Item(kList));
    Event dbl;
    dbl.code = Notify::DblClick;
    dbl.id = kList;
    dlg.Dispatch(dbl);
    Event changed;
    changed.code = Notify::ItemChanged;
    changed.id = kList;
    dlg.Dispatch(changed);
    EXPECT_EQ(handler.events, (std::vector<Notify>{Notify::DblClick, Notify::ItemChanged}));
}

TEST(Focus, MovingTheFocusSendsKillFocusToTheControlThatHadIt) {
    HeadlessHost host;
    TestDialog dlg(&host);
    RecordingHandler handler;
    Control& child = dlg.CreateChild(kList, ControlKind::Edit, kList, kStyleBorder);
    dlg.AttachHandler(child, handler);
    child.SetFocus();
    EXPECT_EQ(dlg.FocusedId(), kList);
    EXPECT_TRUE(handler.events.empty());
    dlg.Item(kButton).SetFocus();
    EXPECT_EQ(handler.events, std::vector<Notify>{Notify::KillFocus});
    // A child shares its parent's id; finding by id still names the parent.
    EXPECT_EQ(dlg.Find(kList)->Index(), dlg.Item(kList).Index());
    EXPECT_NE(child.Index(), dlg.Item(kList).Index());
}

TEST(Keys, ReturnIsOkAndEscapeIsCancelUnlessPreTranslated) {
    HeadlessHost host;
    TestDialog dlg(&host);
    dlg.Item(kEdit).SetText("x");
    EXPECT_TRUE(dlg.HandleKeyDown({Key::Return, 0}));
    EXPECT_EQ(host.LastEndResult(), IDOK);
    EXPECT_EQ(dlg.m_text, "x");  // OK exchanges before it ends
    EXPECT_TRUE(dlg.HandleKeyDown({Key::Escape, 0}));
    EXPECT_EQ(host.LastEndResult(), IDCANCEL);
    EXPECT_FALSE(dlg.HandleKeyDown({Key::Other, 0}));
}

TEST(Controls, ComboSortsListsAndEditsItems) {
    HeadlessHost host;
    TestDialog dlg(&host);
    Control& combo = dlg.Item(kCombo);
    EXPECT_EQ(combo.ItemCount(), 2);
    EXPECT_EQ(combo.AddItem("Manual"), 1);  // sorted: Dynamic, Manual, Static
    EXPECT_EQ(combo.ItemText(0), "Dynamic");
    EXPECT_EQ(combo.ItemText(2), "Static");
    ASSERT_TRUE(combo.SetSelection(2));
    EXPECT_TRUE(combo.DeleteItem(0));
    EXPECT_EQ(combo.GetSelection(), 1);  // still "Static"
    EXPECT_FALSE(combo.SetSelection(7));
    EXPECT_FALSE(combo.DeleteItem(-1));
}

TEST(Controls, ListViewRejectsInvalidCells) {
    HeadlessHost host;
    TestDialog dlg(&host);
    Control& list = dlg.Item(kList);
    list.InsertColumn(0, "Name", 100);
    list.InsertColumn(1, "Value", 60);
    EXPECT_EQ(list.InsertRow(5, "first"), 0);  // past the end: appended
    EXPECT_TRUE(list.SetCell(0, 1, "v"));
    EXPECT_FALSE(list.SetCell(1, 1, "no row"));
    EXPECT_FALSE(list.SetCell(0, 2, "no column"));
    EXPECT_EQ(list.GetCell(0, 1), "v");
    EXPECT_EQ(list.GetCell(3, 0), "");
}

TEST(Controls, IpAddressBlankFieldsReadAsZero) {
    HeadlessHost host;
    TestDialog dlg(&host);
    Control& ip = dlg.Item(kIp);
    EXPECT_FALSE(ip.IsVisible());
    EXPECT_EQ(ip.GetAddress(), 0u);
    ip.SetAddress(0xC0A80064);
    EXPECT_EQ(ip.GetFields(), (std::array<int, 4>{192, 168, 0, 100}));
    ip.SetFields({10, -1, 3, -1});
    EXPECT_EQ(ip.GetAddress(), 0x0A000300u);
}

TEST(Controls, UnknownIdIsHarmless) {
    HeadlessHost host;
    TestDialog dlg(&host);
    dlg.Item(9999).SetText("lost");
    EXPECT_EQ(dlg.Item(9999).GetText(), "lost");
    EXPECT_EQ(dlg.Find(9999), nullptr);
    EXPECT_EQ(dlg.Find(kStaticId), nullptr);
}

TEST(Controls, WorkersChangeControlsWhileTheWindowReadsThem) {
    HeadlessHost host;
    TestDialog dlg(&host);
    std::atomic<bool> stop{false};
    std::vector<WorkerHandle> workers;
    for (int w = 0; w < 4; ++w) {
        workers.push_back(StartWorkerThread([&, w] {
            for (int i = 0; i < 2000; ++i)
                dlg.Item(kEdit).SetText(std::to_string(w * 10000 + i));
            return 1;
        }));
    }
    std::size_t reads = 0;
    while (RunningWorkerCount() > 0 && reads < 1000000) {
        const std::string text = dlg.Item(kEdit).GetText();
        ++reads;
        ASSERT_TRUE(text.empty() || std::isdigit(static_cast<unsigned char>(text[0])));
    }
    EXPECT_TRUE(WaitForAllWorkers(std::chrono::seconds(5)));
    for (auto& w : workers)
        EXPECT_FALSE(w->IsRunning());
    EXPECT_GE(host.ChangeCount(), 8000u);
}

TEST(MessageBoxes, RecordedInOrderFromEveryThread) {
    RecordingMessageBoxSink sink;
    SetMessageBoxSink(&sink);
    MessageBox("first");
    WorkerHandle w = StartWorkerThread([] {
        MessageBox("second");
        return 1;
    });
    ASSERT_TRUE(sink.WaitForCount(2, std::chrono::seconds(2)));
    w->Join(std::chrono::seconds(1));
    SetMessageBoxSink(nullptr);
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"first", "second"}));
}

TEST(Workers, JoinTimesOutWhileTheWorkerRuns) {
    std::atomic<bool> release{false};
    WorkerHandle w = StartWorkerThread([&] {
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 1;
    });
    EXPECT_FALSE(w->Join(std::chrono::milliseconds(20)));
    EXPECT_TRUE(w->IsRunning());
    release = true;
    EXPECT_TRUE(w->Join(std::chrono::seconds(2)));
}
