#include <gtest/gtest.h>
#include <stdlib.h>

#include <csignal>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    // A peer that closes its socket must not end the test run.
    std::signal(SIGPIPE, SIG_IGN);
    // The service record of every pellacorctl the tests start goes to a folder of this run,
    // never into the user's own state folder.
    std::string state = (std::filesystem::temp_directory_path() / "pellacor-tests-XXXXXX").string();
    if (mkdtemp(state.data()))
        setenv("XDG_STATE_HOME", state.c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(state, ignored);
    return result;
}
