// The status history window offscreen: real status cycles against the simulated laminator,
// then the chart, its marks, the warm-up figures, the saved CSV and the main window's menu.
#include "qt/status_history_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "app/corvane_dlg.h"
#include "laminator/param_store.h"
#include "laminator/status_csv.h"
#include "laminator/status_poller.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "qt/qt_dialog_host.h"
#include "qt/status_chart_widget.h"
#include "qt/status_history_menu.h"
#include "qt/window_hooks.h"
#include "sim/simulator.h"
#include "tests/laminator/fake_view.h"
#include "tests/qt/qt_test_support.h"
#include "tests/support/simulated_laminator.h"

using qthost_test::App;
using qthost_test::PumpUntil;

namespace {
class StatusHistoryWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        m_dir = std::filesystem::temp_directory_path() /
                ("pellacor-history-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
        std::string error;
        m_sim = StartSimulatedLaminator(m_dir, error);
        ASSERT_NE(m_sim, nullptr) << error;
        SetEthernetPort(m_sim->TcpPort(0));
        ASSERT_TRUE(ConnectEthernet(m_sim->TcpHost(0)));
        EthernetLinkActive = 1;
    }
    void TearDown() override {
        CloseEthernet();
        EthernetLinkActive = 0;
        SetEthernetPort(kLaminatorTcpPort);
        m_sim.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    // A few real status cycles into `history`, the roller warming from 100 degrees.
    void Cycles(StatusHistory& history, int count) {
        m_sim->UpdateState(0, [](pellacor::sim::LaminatorState& s) {
            s.rollerTemp = 10000;
            s.heatingRatePerSecond = 0;
        });
        StatusHistoryScope scope(&history);
        FakeView view;
        for (int i = 0; i < count; ++i) {
            if (i == count - 1)  // the last one at the set point: "Ready for Laminating"
                m_sim->UpdateState(
                    0, [](pellacor::sim::LaminatorState& s) { s.rollerTemp = s.SetPoint(); });
            ASSERT_TRUE(ReadStatusOnce(view, LinkKind::Ethernet));
        }
    }
    std::filesystem::path m_dir;
    std::unique_ptr<pellacor::sim::Simulator> m_sim;
};
}  // namespace

TEST_F(StatusHistoryWindowTest, OpensWithThePointsOfTheCyclesTheirMarksAndFigures) {
    StatusHistory history;
    Cycles(history, 4);
    StatusHistoryWindow window(history, [] { return std::optional<double>(150.0); });
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.show();
    window.Refresh();
    QApplication::processEvents();
    EXPECT_EQ(window.SpanMinutes(), 5);
    EXPECT_EQ(window.Chart()->PointCount(), 4);
    EXPECT_TRUE(window.WarmupText().contains("Overshoot: 0.0 °C"))
        << window.WarmupText().toStdString();
    // The marks sit at the right edge (the cycles just ran); the newest is the ready state.
    // Each line starts with the local time and its offset, as the chart's axis reads.
    bool ready = false;
    for (int x = window.Chart()->width() - 1; x > 0 && !ready; --x) {
        if (const auto text = window.Chart()->MarkTextAt(x)) {
            ready = text->contains("Ready for Laminating");
            EXPECT_TRUE(QRegularExpression(
                            QStringLiteral(
                                "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [+-]\\d\\d:\\d\\d  "))
                            .match(*text)
                            .hasMatch())
                << text->toStdString();
        }
    }
    EXPECT_TRUE(ready);
    window.SetSpanMinutes(120);
    EXPECT_EQ(window.SpanMinutes(), 120);
    EXPECT_EQ(window.Chart()->PointCount(), 4);

    // The CSV is written off the window thread and reads back whole.
    const QString path = QString::fromStdString((m_dir / "history.csv").string());
    std::optional<QString> saved;
    window.SaveCsv(path, [&](QString message) { saved = message; });
    ASSERT_TRUE(PumpUntil([&] { return saved.has_value(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(saved->startsWith("Saved")) << saved->toStdString();
    std::ifstream in(path.toStdString());
    std::string error;
    const auto rows = ReadStatusCsv(in, error);
    ASSERT_TRUE(rows) << error;
    EXPECT_EQ(rows->size(), 4u);
    // A folder that is not there: the message gives the reason, nothing is left behind.
    const QString nowhere = QString::fromStdString((m_dir / "gone" / "history.csv").string());
    std::optional<QString> failed;
    window.SaveCsv(nowhere, [&](QString message) { failed = message; });
    ASSERT_TRUE(PumpUntil([&] { return failed.has_value(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(failed->contains("cannot be written: No such file or directory"))
        << failed->toStdString();

    std::optional<QString> png;
    const QString pngPath = QString::fromStdString((m_dir / "chart.png").string());
    window.SavePng(pngPath, [&](QString message) { png = message; });
    ASSERT_TRUE(PumpUntil([&] { return png.has_value(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(std::filesystem::file_size(pngPath.toStdString()) > 0);
    // The picture holds the legend and the figures with the chart.
    const QImage picture(pngPath);
    EXPECT_GT(picture.height(), window.Chart()->height() + 20);
}

TEST_F(StatusHistoryWindowTest, SaysWhenNothingWasReadAndShowsTheValuesUnderThePointer) {
    StatusHistory history;
    StatusHistoryWindow window(history, [] { return std::optional<double>(150.0); });
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.show();
    window.Refresh();
    QApplication::processEvents();
    EXPECT_TRUE(window.Chart()->ShowsNoReadings());
    history.Append(StatusSample::Gap(NowMs()));
    window.Refresh();
    EXPECT_TRUE(window.Chart()->ShowsNoReadings());

    Cycles(history, 3);
    window.Refresh();
    EXPECT_FALSE(window.Chart()->ShowsNoReadings());
    std::optional<QString> value;
    for (int x = window.Chart()->width() - 1; x > 0 && !value; --x)
        value = window.Chart()->ReadingTextAt(x);
    ASSERT_TRUE(value);
    EXPECT_TRUE(value->contains("roller ") && value->contains(" °C, environment "))
        << value->toStdString();
    EXPECT_FALSE(window.Chart()->ReadingTextAt(0));  // five minutes ago: nothing read there
    EXPECT_TRUE(window.Chart()->SetLineLabel().startsWith("set 150.0 °C"))
        << window.Chart()->SetLineLabel().toStdString();
}

TEST_F(StatusHistoryWindowTest, TheLaminatorInfoBoxesOfferItInTheirContextMenu) {
    QtDialogHost host;
    SetWindowShownHook(
        [](QtDialogHost& h, Dialog& d, QWidget* w) { AddStatusHistoryMenu(h, d, w); });
    CCorvaneDlg dlg(&host);
    host.Show(dlg);
    SetWindowShownHook({});
    for (int id : {kIdRollerTemperature, kIdEnvironmentTemperature, kIdStateBox, kIdErrorBox,
                   kIdCardChannelBox}) {
        QWidget* box = host.WidgetById(dlg, id);
        ASSERT_NE(box, nullptr) << id;
        EXPECT_EQ(box->contextMenuPolicy(), Qt::CustomContextMenu) << id;
    }
    // Other edit boxes keep their own menu.
    const std::set<QWidget*> boxes = {
        host.WidgetById(dlg, kIdRollerTemperature), host.WidgetById(dlg, kIdEnvironmentTemperature),
        host.WidgetById(dlg, kIdStateBox), host.WidgetById(dlg, kIdErrorBox),
        host.WidgetById(dlg, kIdCardChannelBox)};
    for (QLineEdit* edit : host.Window(dlg)->findChildren<QLineEdit*>()) {
        if (!boxes.count(edit)) {
            EXPECT_EQ(edit->contextMenuPolicy(), Qt::DefaultContextMenu);
        }
    }
    host.Close(dlg);
}
