#include <gtest/gtest.h>

#include <fstream>

#include "app/program_options.h"
#include "app_fixture.h"
#include "link/frame_trace.h"

TEST(ProgramOptionsTrace, TakesAFileOrStandardError) {
    std::string error;
    const auto file = ParseProgramOptions({"--demo", "--trace", "/tmp/frames.txt"}, error);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->trace, "/tmp/frames.txt");
    EXPECT_EQ(ParseProgramOptions({"--trace", "-"}, error)->trace, "-");
    EXPECT_FALSE(ParseProgramOptions({"--trace"}, error));
    EXPECT_NE(error.find("--trace"), std::string::npos) << error;
    EXPECT_TRUE(ParseProgramOptions({}, error)->trace.empty());
}

TEST_F(MainWindowTest, ChoosingAGroupWithTheTraceOnShowsTheReadsFrames) {
    AttachLaminator();
    OpenWindow();
    dlg->Item(kIdAutoDetect).SetCheck(0);
    const std::string path = (m_dir / "frames.txt").string();
    std::string error;
    ASSERT_TRUE(EnableFrameTrace(path, error)) << error;
    Click(kIdActivatePort);
    Settle();
    ChooseGroup(2);  // "Parameter setup"
    Settle();
    DisableFrameTrace();
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find(" hid   >   64 A5 3E 1C 72 4D 10"), std::string::npos) << text;
    EXPECT_NE(text.find("# read page 4D 10"), std::string::npos);
    EXPECT_NE(text.find(" hid   <   64 "), std::string::npos);
    EXPECT_TRUE(Messages().empty());
}
