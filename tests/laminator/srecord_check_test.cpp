#include "laminator/srecord_check.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/srecord_file.h"

namespace {
std::optional<SRecordProblem> Check(const std::string& text) {
    return CheckSRecords(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

const std::string kHeader = "S00600004844521B\n";
const std::string kData = "S1130000285F245F2212226A000424290008237C2A\n";
const std::string kEnd = "S9030000FC\n";

TEST(SRecordCheck, AWellFormedFileWithEitherLineEndPasses) {
    EXPECT_FALSE(Check(kHeader + kData + kEnd).has_value());
    EXPECT_FALSE(Check("S00600004844521B\r\nS9030000FC\r\n").has_value());
    EXPECT_FALSE(Check(kHeader + kEnd.substr(0, kEnd.size() - 1)).has_value());  // no last break
    const std::vector<std::uint8_t> big = testsupport::SRecordFile(100000);
    EXPECT_FALSE(CheckSRecords(big).has_value());
}

TEST(SRecordCheck, EachKindOfDamageIsFoundOnItsLine) {
    struct Case {
        std::string text;
        std::size_t line;
        std::string reason;
    };
    const Case cases[] = {
        {kHeader + "S1130000285F245F2212226A000424290008237C2B\n" + kEnd, 2, "wrong checksum 2b"},
        {kHeader + "S1140000285F245F2212226A000424290008237C2A\n" + kEnd, 2, "byte count 14"},
        {kHeader + "S1130000285F245F2212226A000424290008237C2\n" + kEnd, 2, "odd number"},
        {kHeader + "S11300G0285F245F2212226A000424290008237C2A\n" + kEnd, 2, "not a hexadecimal"},
        {kHeader + "S4030000FC\n" + kEnd, 2, "not an S-record"},
        {kHeader + "hello\n" + kEnd, 2, "not an S-record"},
        {kHeader + "S102000\n" + kEnd, 2, "odd number"},
        {kHeader + "S1020000\n" + kEnd, 2, "too small"},
        {kHeader + "\n" + kData + kEnd, 2, "empty line"},
        {kData + kEnd, 1, "no header"},
        {kHeader + kData, 2, "no termination"},
        {"", 1, "no header"},
        {"\x7f"
         "ELF\x02\x01\x01",
         1, "not an S-record"},
    };
    for (const Case& c : cases) {
        const std::optional<SRecordProblem> problem = Check(c.text);
        ASSERT_TRUE(problem.has_value()) << c.text;
        EXPECT_EQ(problem->line, c.line) << c.text;
        EXPECT_NE(problem->reason.find(c.reason), std::string::npos)
            << c.text << " gave " << problem->reason;
    }
}

TEST(SRecordCheck, OnlyMotPathsAreCheckedAndTheTextNamesFileAndLine) {
    EXPECT_TRUE(IsSRecordPath("main.mot"));
    EXPECT_TRUE(IsSRecordPath("/a/MAIN.Mot"));
    EXPECT_FALSE(IsSRecordPath("main.bin"));
    EXPECT_FALSE(IsSRecordPath("mot"));
    EXPECT_EQ(SRecordProblemText("fw.mot", {3, "wrong checksum 2b"}),
              "fw.mot, line 3: wrong checksum 2b");
}
}  // namespace
