// The window's options, parsed by CLI11 as pellacorctl's are.
#include "app/program_options.h"

#include <gtest/gtest.h>

namespace {
std::optional<ProgramOptions> Parse(const std::vector<std::string>& args, std::string& error) {
    return ParseProgramOptions(args, error);
}

TEST(ProgramOptions, EveryOptionIsTaken) {
    std::string error;
    const std::optional<ProgramOptions> o = Parse(
        {"--demo", "--usb-sim", "/a", "--usb-sim", "/b", "--usb-sim-printer", "/c", "--tcp-port",
         "19100", "--search-address", "127.0.0.1:1902", "--screenshot", "w.png"},
        error);
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->demo);
    EXPECT_EQ(o->usbSimHid, (std::vector<std::string>{"/a", "/b"}));
    EXPECT_EQ(o->usbSimPrinter, (std::vector<std::string>{"/c"}));
    EXPECT_EQ(o->tcpPort, 19100);
    ASSERT_TRUE(o->searchTarget);
    EXPECT_EQ(o->searchTarget->address, 0x7F000001u);
    EXPECT_EQ(o->searchTarget->port, 1902);
    EXPECT_EQ(o->screenshot, "w.png");
    EXPECT_FALSE(o->help);
}

TEST(ProgramOptions, TheServiceRecordOptionsAreTakenAndALimitBelowOneMegabyteRefused) {
    std::string error;
    std::optional<ProgramOptions> o =
        Parse({"--journal", "j.sqlite", "--journal-limit", "50"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->journal.file, "j.sqlite");
    EXPECT_EQ(o->journal.limitMb, 50.0);
    EXPECT_FALSE(o->journal.off);
    o = Parse({"--no-journal"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->journal.off);
    EXPECT_FALSE(Parse({"--journal-limit", "0"}, error));
    EXPECT_EQ(JournalPathOf({"", true, {}}), "");
}

TEST(ProgramOptions, NothingGivenMeansTheDefaults) {
    std::string error;
    const std::optional<ProgramOptions> o = Parse({}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_FALSE(o->demo);
    EXPECT_FALSE(o->tcpPort);
    EXPECT_FALSE(o->searchTarget);
    EXPECT_TRUE(Parse({"--help"}, error)->help);
    EXPECT_FALSE(o->version);
    EXPECT_TRUE(Parse({"--version"}, error)->version);
}

TEST(ProgramOptions, BadArgumentsSayWhy) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--tcp-port", "0"},
                                               {"--tcp-port", "65536"},
                                               {"--tcp-port", "12x"},
                                               {"--usb-sim"},
                                               {"--frobnicate"},
                                               {"--search-address", "nowhere"}}) {
        std::string error;
        EXPECT_FALSE(Parse(args, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(ProgramOptions, UsageListsEveryOption) {
    const std::string usage = ProgramUsage();
    for (const char* option : {"--demo", "--usb-sim", "--usb-sim-printer", "--tcp-port",
                               "--search-address", "--screenshot", "--service-record", "--journal",
                               "--no-journal", "--journal-limit", "--help"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}
}  // namespace
