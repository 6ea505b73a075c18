#include "cli/terminal_text.h"

#include <gtest/gtest.h>

TEST(TerminalText, ControlCharactersAreEscapedAndEverythingElseKept) {
    EXPECT_EQ(EscapeControls("Room 4"), "Room 4");
    EXPECT_EQ(EscapeControls(std::string("a\x1b]0;x\x07z\x7f\x00", 10)),
              "a\\x1b]0;x\\x07z\\x7f\\x00");
    EXPECT_EQ(EscapeControls("tab\there\nline"), "tab\\x09here\\x0aline");
    // Single-byte laminator text and UTF-8 file names pass unchanged.
    EXPECT_EQ(EscapeControls("\xe9t\xc3\xa9"), "\xe9t\xc3\xa9");
    EXPECT_EQ(EscapeControlsKeepingLines("one\x1b\ntwo\r"), "one\\x1b\ntwo\\x0d");
}
