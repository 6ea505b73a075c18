// Saving and restoring the simulator state.

#include "sim/state_file.h"

#include <gtest/gtest.h>

#include <fstream>

#include "sim/simulator.h"
#include "tests/sim/sim_client.h"

using namespace pellacor::sim;

namespace {

TEST(StateFile, WrittenValuesSurviveARestart) {
    std::string path = simtest::TempPath("state.json");
    std::remove(path.c_str());
    SimOptions o;
    o.tcp = false;
    o.udp = false;
    o.count = 2;
    o.stateFile = path;
    {
        Simulator sim(o);
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;
        sim.UpdateState(1, [](LaminatorState& s) {
            s.params.laminateMenu = 7;
            s.modelName = "Line \"B\"";
            s.network.SetName("SECOND");
        });
    }  // saved on stop
    Simulator sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    EXPECT_EQ(sim.State(1).params.laminateMenu, 7);
    EXPECT_EQ(sim.State(1).modelName, "Line \"B\"");
    EXPECT_EQ(sim.State(1).network.Name(), "SECOND");
    EXPECT_EQ(sim.State(0).params, sim.FactoryState(0).params);
    // Reset restores the factory values, not the restored ones.
    EXPECT_EQ(sim.FactoryState(1).params.laminateMenu, 0);
    sim.Stop();
    std::remove(path.c_str());
}

TEST(StateFile, MalformedFilesAreRefusedWithAReason) {
    std::string path = simtest::TempPath("bad.json");
    std::vector<LaminatorState> states(1);
    std::string error;
    { std::ofstream(path) << "{\"laminators\": [{\"lcd_contrast\": 300}]}"; }
    EXPECT_FALSE(LoadStates(path, states, &error));
    EXPECT_NE(error.find("lcd_contrast"), std::string::npos);
    { std::ofstream(path) << "not json"; }
    EXPECT_FALSE(LoadStates(path, states, &error));
    { std::ofstream(path) << "{\"laminators\": [{\"network\": \"00\"}]}"; }
    EXPECT_FALSE(LoadStates(path, states, &error));
    EXPECT_NE(error.find("130 hexadecimal"), std::string::npos);
    std::remove(path.c_str());
}

}  // namespace
