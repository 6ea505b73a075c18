// Every validation rule at its boundaries, with its message and the re-read.
#include "laminator/validation.h"

#include <gtest/gtest.h>

#include "fake_view.h"
#include "framework/message_box.h"
#include "laminator/catalogue.h"

namespace {

const std::vector<std::string> kLaminatorInfo = {"0", "10", "SN", "M", "ID"};
const std::vector<std::string> kParameterSetup = {"Menu 1", "150", "15",    "20", "12.5",
                                                  "-1.5",   "5.0", "Valid", "20", "3"};
const std::vector<std::string> kLaminatorSetup = {"Open", "15", "60", "English", "128", "Open"};
const std::vector<std::string> kInterfaceSetup = {
    "1", "static acquisition", "192.168.1.20", "255.255.255.0", "192.168.1.1", "ab:cd:ef:12:34:56",
    "30"};

class ValidationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Store().Clear();
        MotorType = 0;
        DefaultMessageBoxRecorder().Clear();
    }
    void TearDown() override {
        Store().Clear();
        MotorType = 0;
        SetCurrentGroup("");
        DefaultMessageBoxRecorder().Clear();
    }

    // Validates `group` filled with valid cells except `row` = `text`; the message shown,
    // or "" when the values pass. A refusal must also start exactly one re-read.
    std::string Check(const std::string& group, int row, const std::string& text) {
        FakeView view;
        SetCurrentGroup(group);
        const std::vector<std::string>& cells = group == "Laminator info"    ? kLaminatorInfo
                                                : group == "Parameter setup" ? kParameterSetup
                                                : group == "Laminator setup" ? kLaminatorSetup
                                                                             : kInterfaceSetup;
        view.SetCells(cells);
        view.SetCell(row, text);
        DefaultMessageBoxRecorder().Clear();
        const bool passed = ValidateParameters(view);
        const std::vector<std::string> texts = DefaultMessageBoxRecorder().Texts();
        EXPECT_EQ(view.Reads(), passed ? 0 : 1);
        EXPECT_EQ(texts.size(), passed ? 0u : 1u);
        return texts.empty() ? std::string() : texts.front();
    }
};

std::string Limit(int id) {
    return std::string(LimitMessage(id));
}

TEST_F(ValidationTest, LaminatorInfoRules) {
    Store().Set(ParamKey::TotalCardAmount, "1234");
    EXPECT_EQ(Check("Laminator info", 0, "0"), "");
    EXPECT_EQ(Check("Laminator info", 0, "1234"), "");
    EXPECT_EQ(Check("Laminator info", 0, "1233"), Limit(156));
    EXPECT_EQ(Check("Laminator info", 0, "00"), Limit(156));
    EXPECT_EQ(Check("Laminator info", 2, std::string(16, 's')), "");
    EXPECT_EQ(Check("Laminator info", 2, std::string(17, 's')), Limit(157));
    // Never read: an empty cell equals the empty stored value, yet must not reset the counter.
    Store().Set(ParamKey::TotalCardAmount, "");
    EXPECT_EQ(Check("Laminator info", 0, ""), std::string(kReadBeforeWriting));
    // Text items may be empty: they are left out of the write.
    EXPECT_EQ(Check("Laminator info", 2, ""), "");
}

TEST_F(ValidationTest, ParameterSetupRules) {
    const std::string g = "Parameter setup";
    EXPECT_EQ(Check(g, 1, "100"), "");
    EXPECT_EQ(Check(g, 1, "185"), "");
    EXPECT_EQ(Check(g, 1, "102"), Limit(158));
    EXPECT_EQ(Check(g, 1, "190"), Limit(158));
    EXPECT_EQ(Check(g, 1, "95"), Limit(158));
    EXPECT_EQ(Check(g, 1, ""), Limit(158));  // the limit comes before the unread-cell check
    EXPECT_EQ(Check(g, 2, "5"), "");
    EXPECT_EQ(Check(g, 2, "35"), "");
    EXPECT_EQ(Check(g, 2, "37"), Limit(159));
    EXPECT_EQ(Check(g, 2, "33"), Limit(160));
    EXPECT_EQ(Check(g, 2, ""), Limit(159));
    EXPECT_EQ(Check(g, 3, "9"), "");
    EXPECT_EQ(Check(g, 3, "36"), Limit(161));
    EXPECT_EQ(Check(g, 5, "-10"), "");
    EXPECT_EQ(Check(g, 5, "10.1"), Limit(164));
    EXPECT_EQ(Check(g, 6, "80"), "");
    EXPECT_EQ(Check(g, 6, "-0.1"), Limit(165));
    EXPECT_EQ(Check(g, 8, "8"), Limit(166));
    EXPECT_EQ(Check(g, 8, "35"), "");
    EXPECT_EQ(Check(g, 9, "10"), "");
    EXPECT_EQ(Check(g, 9, "11"), Limit(167));
    EXPECT_EQ(Check(g, 9, ""), std::string(kReadBeforeWriting));
    EXPECT_EQ(Check(g, 0, ""), std::string(kReadBeforeWriting));
    EXPECT_EQ(Check(g, 7, ""), std::string(kReadBeforeWriting));
}

TEST_F(ValidationTest, FilmPositionByMotorType) {
    const std::string g = "Parameter setup";
    MotorType = 1;
    EXPECT_EQ(Check(g, 4, "85"), Limit(162));
    EXPECT_EQ(Check(g, 4, "-5"), Limit(162));
    EXPECT_EQ(Check(g, 4, "0"), "");
    MotorType = 0;
    EXPECT_EQ(Check(g, 4, "85"), Limit(163));
    EXPECT_EQ(Check(g, 4, "-5"), "");
    EXPECT_EQ(Check(g, 4, "-80"), "");
    MotorType = 2;
    EXPECT_EQ(Check(g, 4, "500"), "");
}

TEST_F(ValidationTest, LaminatorSetupRules) {
    const std::string g = "Laminator setup";
    EXPECT_EQ(Check(g, 1, "0"), "");
    EXPECT_EQ(Check(g, 1, "5"), "");
    EXPECT_EQ(Check(g, 1, "3"), Limit(168));
    EXPECT_EQ(Check(g, 1, "121"), Limit(168));
    EXPECT_EQ(Check(g, 2, "3"), Limit(169));
    EXPECT_EQ(Check(g, 2, "120"), "");
    EXPECT_EQ(Check(g, 4, "255"), "");
    EXPECT_EQ(Check(g, 4, "256"), Limit(170));
    EXPECT_EQ(Check(g, 4, "-1"), Limit(170));
    EXPECT_EQ(Check(g, 3, ""), std::string(kReadBeforeWriting));
}

TEST_F(ValidationTest, InterfaceSetupRulesAndAddresses) {
    const std::string g = "Interface setup";
    EXPECT_EQ(Check(g, 0, "15"), "");
    EXPECT_EQ(Check(g, 0, "-1"), Limit(171));
    EXPECT_EQ(Check(g, 0, "16"), Limit(171));
    EXPECT_EQ(Check(g, 6, "256"), Limit(172));
    EXPECT_EQ(Check(g, 6, "0"), "");
    EXPECT_EQ(Check(g, 2, "192.168.1"),
              "The IP Address must be four numbers from 0 to 255 separated by dots!");
    EXPECT_EQ(Check(g, 3, "255.255.256.0"),
              "The Subnet Mask must be four numbers from 0 to 255 separated by dots!");
    EXPECT_EQ(Check(g, 4, "a.b.c.d"),
              "The Gateway must be four numbers from 0 to 255 separated by dots!");
    EXPECT_EQ(Check(g, 5, "ab:cd:ef:12:34"),
              "The MAC Address must be six hexadecimal pairs separated by colons!");
    EXPECT_EQ(Check(g, 2, ""), std::string(kReadBeforeWriting));
    // The limit rules are tested first.
    FakeView view;
    SetCurrentGroup(g);
    view.SetCells(kInterfaceSetup);
    view.SetCell(2, "1.2");
    view.SetCell(6, "300");
    EXPECT_FALSE(ValidateParameters(view));
    EXPECT_EQ(DefaultMessageBoxRecorder().Texts().back(), Limit(172));
}

TEST_F(ValidationTest, OtherGroupsAlwaysPass) {
    FakeView view;
    SetCurrentGroup("Version info");
    EXPECT_TRUE(ValidateParameters(view));
    SetCurrentGroup("parameter setup");
    EXPECT_TRUE(ValidateParameters(view));
    EXPECT_EQ(view.Reads(), 0);
    EXPECT_TRUE(DefaultMessageBoxRecorder().Texts().empty());
}

}  // namespace
