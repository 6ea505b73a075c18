#include <gtest/gtest.h>

#include <csignal>

int main(int argc, char** argv) {
    // A peer that closes its socket must not end the test run.
    std::signal(SIGPIPE, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
