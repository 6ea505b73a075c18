#include "platform/process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/clock.h"
#include "platform/files.h"

namespace {
namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path g_exitNote;
void WriteExitNote() {
    std::FILE* f = std::fopen(g_exitNote.string().c_str(), "wb");
    if (f) {
        std::fputs("action ran", f);
        std::fclose(f);
    }
}

// A folder of this test, removed at its end.
struct TempFolder {
    fs::path path;
    TempFolder() {
        std::string error;
        path = platform::MakePrivateTempFolder("pellacor-platform-", error).value_or(fs::path());
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};
}  // namespace

TEST(PlatformProcess, TemporaryFoldersArePrivateAndUnique) {
    TempFolder a, b;
    ASSERT_FALSE(a.path.empty());
    ASSERT_FALSE(b.path.empty());
    EXPECT_NE(a.path, b.path);
    EXPECT_TRUE(fs::is_directory(a.path));
    EXPECT_EQ(a.path.filename().string().rfind("pellacor-platform-", 0), 0u);
#ifndef _WIN32
    EXPECT_EQ(fs::status(a.path).permissions() & (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none);
#endif
}

// Buffered output and the registered actions are what a quick exit must not lose.
// On Windows a death test's child is this program started again, which would make a folder
// of its own: the parent hands its folder down in the environment instead.
void SetFolderForChild(const char* value) {
#ifdef _WIN32
    _putenv_s("PELLACOR_EXIT_TEST_FOLDER", value);
#else
    if (*value)
        setenv("PELLACOR_EXIT_TEST_FOLDER", value, 1);
    else
        unsetenv("PELLACOR_EXIT_TEST_FOLDER");
#endif
}

TEST(PlatformProcessDeathTest, QuickExitRunsItsActionsAndFlushesBufferedOutput) {
    std::optional<TempFolder> own;
    fs::path folder;
    if (const char* handed = std::getenv("PELLACOR_EXIT_TEST_FOLDER"); handed && *handed) {
        folder = handed;
    } else {
        own.emplace();
        folder = own->path;
        SetFolderForChild(folder.string().c_str());
    }
    ASSERT_FALSE(folder.empty());
    g_exitNote = folder / "note";
    const fs::path buffered = folder / "buffered";
    EXPECT_EXIT(
        {
            platform::AtQuickExit(WriteExitNote);
            std::FILE* f = std::fopen(buffered.string().c_str(), "wb");
            std::fputs("still in the buffer", f);
            platform::QuickExit(7);
        },
        ::testing::ExitedWithCode(7), "");
    SetFolderForChild("");
    EXPECT_EQ(ReadAll(buffered), "still in the buffer");
    EXPECT_EQ(ReadAll(g_exitNote), "action ran");
}

TEST(PlatformFiles, ANewFileNeverTakesAnExistingNameAndReplaceOverwritesWhole) {
    TempFolder folder;
    const std::string mine = (folder.path / "mine").string();
    const std::string part = (folder.path / "mine.part").string();
    { std::ofstream(mine, std::ios::binary) << "user's"; }
    EXPECT_EQ(platform::CreateNewFile(mine), platform::kNoFile);
    EXPECT_TRUE(platform::LastFileErrorWasExists());
    EXPECT_EQ(ReadAll(mine), "user's");

    const int fd = platform::CreateNewFile(part);
    ASSERT_NE(fd, platform::kNoFile);
    EXPECT_TRUE(platform::WriteFileAll(fd, "new", 3));
    EXPECT_TRUE(platform::SyncFile(fd));
    EXPECT_TRUE(platform::CloseFile(fd));
    EXPECT_TRUE(platform::RenameOver(part, mine));
    EXPECT_EQ(ReadAll(mine), "new");
    EXPECT_FALSE(fs::exists(part));
}

TEST(PlatformFiles, IdentityTellsOneFileUnderTwoNamesFromTwoFiles) {
    TempFolder folder;
    const fs::path a = folder.path / "a", b = folder.path / "b";
    { std::ofstream(a) << "a"; }
    { std::ofstream(b) << "b"; }
    const auto viaDot = platform::IdentityOf((folder.path / "." / "a").string());
    ASSERT_TRUE(viaDot.has_value());
    EXPECT_EQ(viaDot, platform::IdentityOf(a.string()));
    EXPECT_NE(platform::IdentityOf(a.string()), platform::IdentityOf(b.string()));
    EXPECT_FALSE(platform::IdentityOf((folder.path / "none").string()).has_value());
}

TEST(PlatformClock, UtcFieldsRoundTripAndCarryOver) {
    // 2024-02-29 23:59:59 UTC, a leap day at the end of a day.
    const std::time_t leap = 1709251199;
    std::tm fields{};
    ASSERT_TRUE(platform::UtcFields(leap, fields));
    EXPECT_EQ(fields.tm_year, 124);
    EXPECT_EQ(fields.tm_mon, 1);
    EXPECT_EQ(fields.tm_mday, 29);
    EXPECT_EQ(platform::FromUtcFields(fields), leap);
    fields.tm_sec += 1;  // one second on is 1 March
    EXPECT_EQ(platform::FromUtcFields(fields), leap + 1);
}
