// Read, Write, Laminate Menu choices and the model workers all at once, round after round:
// no frame may land inside another's bracket and no update may be lost.
#include <gtest/gtest.h>

#include <thread>

#include "laminator/laminate_menu_sender.h"
#include "laminator/model_workers.h"
#include "sim_fixture.h"

namespace {

// The technician's edits stay what the test set them to; what the reads show is kept
// apart, so each round knows exactly which values its Write must leave on the laminator.
class EditsView : public FakeView {
  public:
    void SetParamCell(const std::string&, int, const std::string&) override { ++m_shown; }
    int Shown() const { return m_shown; }

  private:
    std::atomic<int> m_shown{0};
};

using ConcurrencyTest = LinkTest;

TEST_P(ConcurrencyTest, WorkersTogetherNeverMixOrLoseUpdates) {
    EditsView view;
    view.EnableButton(kIdActivatePort, false);
    auto read = [&] {
        return GetParam() == LinkKind::Usb ? UsbParameterReader(&view) : NetParameterReader(&view);
    };
    auto write = [&] {
        return GetParam() == LinkKind::Usb ? UsbParameterWriter(&view) : NetParameterWriter(&view);
    };
    // Each choice is made the way the list makes it: the cell, the shared text, a sender.
    auto choose = [&](std::vector<std::thread>& threads, int menu) {
        const std::string name = "Menu " + std::to_string(menu + 1);
        view.SetCell(0, name);
        SetSelectedLaminateMenu(name);
        threads.emplace_back([&] { SendLaminateMenu(&view); });
    };

    for (int round = 0; round < 8; ++round) {
        const std::string n = std::to_string(round);
        SetCurrentGroup("Laminator info");
        view.SetCells({"0", "", "SN-" + n, "Model " + n, "ID-" + n});
        std::vector<std::thread> threads;
        threads.emplace_back(write);
        threads.emplace_back([&] { ModelWriteWorker(&view); });
        threads.emplace_back(read);
        threads.emplace_back([&] { ModelReadWorker(&view); });
        for (int k = 0; k < 3; ++k)
            choose(threads, (round + k) % 8);
        for (std::thread& t : threads)
            t.join();
        read();  // frames without a reply are handled before this read's replies
        pellacor::sim::LaminatorState s = m_sim->State(0);
        EXPECT_EQ(s.serial, "SN-" + n);
        EXPECT_EQ(s.modelId, "ID-" + n);
        EXPECT_EQ(s.modelName, "Model " + n);
        EXPECT_EQ(s.totalCards, 0u);
        EXPECT_EQ(s.params.laminateMenu, (round + 2) % 8) << round;

        SetCurrentGroup("Parameter setup");
        const std::string temperature = std::to_string(100 + 5 * round);
        view.SetCells({"Menu 1", temperature, "25", "30", "-5", "-5.0", "2.5", "Valid", "11", "7"});
        threads.clear();
        threads.emplace_back(write);
        threads.emplace_back(read);
        threads.emplace_back([&] { ModelReadWorker(&view); });  // does nothing here
        for (int k = 0; k < 3; ++k)
            choose(threads, (round + 3 * k) % 8);
        for (std::thread& t : threads)
            t.join();
        read();
        s = m_sim->State(0);
        EXPECT_EQ(s.params.temperatureByte, static_cast<std::uint8_t>(100 + 5 * round - 150));
        EXPECT_EQ(s.params.laminateMenu, (round + 6) % 8) << round;
    }
    const pellacor::sim::Counters counters = m_sim->GetCounters();
    EXPECT_EQ(counters.mixedBracket, 0u);
    EXPECT_EQ(counters.protocolErrors, 0u);
    EXPECT_EQ(counters.incomplete, 0u);
    EXPECT_TRUE(Messages().empty());
    EXPECT_GT(view.Shown(), 0);
}

INSTANTIATE_TEST_SUITE_P(Links, ConcurrencyTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Ethernet), LinkName);

}  // namespace
