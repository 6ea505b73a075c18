#include <gtest/gtest.h>
#include <stdlib.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/process.h"

int main(int argc, char** argv) {
    // Tells scripts/wine-run that this run began: a start Wine failed is tried again, a
    // test that failed never is.
    if (const char* mark = std::getenv("PELLACOR_STARTED_MARK")) {
        if (std::FILE* file = std::fopen(mark, "w"))
            std::fclose(file);
    }
#ifdef SIGPIPE
    // A peer that closes its socket must not end the test run (Windows has no such signal).
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // The service record of every pellacorctl the tests start goes to a folder of this run,
    // never into the user's own state folder.
    std::string reason;
    const std::string state =
        platform::MakePrivateTempFolder("pellacor-tests", reason).value_or("").string();
    if (!state.empty()) {
#ifdef _WIN32
        _putenv_s("XDG_STATE_HOME", state.c_str());
        _putenv_s("LOCALAPPDATA", state.c_str());
#else
        setenv("XDG_STATE_HOME", state.c_str(), 1);
#endif
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    if (!state.empty())
        std::filesystem::remove_all(state, ignored);
    return result;
}
