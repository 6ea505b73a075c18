#include "laminator/catalogue.h"

#include <gtest/gtest.h>

#include "laminator/descriptions.h"
#include "ui/editable_list_ctrl.h"

TEST(Catalogue, FiveGroupsWithTheirRowsInOrder) {
    const std::vector<std::string_view> expected = {
        "Version info", "Laminator info", "Parameter setup", "Laminator setup", "Interface setup"};
    EXPECT_EQ(GroupNames(), expected);
    const std::size_t rows[] = {2, 5, 10, 6, 7};
    for (std::size_t g = 0; g < 5; ++g) {
        const auto params = GroupParameters(expected[g]);
        ASSERT_EQ(params.size(), rows[g]) << expected[g];
        for (std::size_t r = 0; r < params.size(); ++r)
            EXPECT_EQ(params[r]->row, static_cast<int>(r));
    }
    EXPECT_EQ(Catalogue().size(), 30u);
    EXPECT_TRUE(GroupParameters("version info").empty());  // exact, case-sensitive
}

TEST(Catalogue, NamesUnitsAndLimitMessagesAreExact) {
    const ParameterInfo* temp = FindParameter("Parameter setup", 1);
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(temp->name, "Heating Roller temperature");
    EXPECT_EQ(temp->unit, "degrees Celsius");
    EXPECT_EQ(LimitMessage(temp->limitString),
              "The Heating Roller Temperature is between 100 and 185 (intergal multiple of 5)!");
    EXPECT_EQ(FindParameter("Laminator setup", 1)->unit, "min");
    EXPECT_EQ(LimitMessage(163),
              "The laminating position of the film for double-motor version is -80-80");
    EXPECT_EQ(LimitMessage(172), "The time-out time is between 0 and 255");
    EXPECT_EQ(LimitMessage(173), "");
    EXPECT_EQ(AttributeText(*FindParameter("Interface setup", 5)), "Read only");
    EXPECT_EQ(FindParameter("Interface setup", 7), nullptr);
}

TEST(Catalogue, EditorsAndDropDownChoicesFollowTheTable) {
    EXPECT_FALSE(IsEditableRow("Version info", 0));
    EXPECT_TRUE(IsEditableRow("Laminator info", 0));
    for (int r = 1; r < 5; ++r)
        EXPECT_FALSE(IsEditableRow("Laminator info", r)) << r;
    for (int r = 0; r < 10; ++r)
        EXPECT_TRUE(IsEditableRow("Parameter setup", r)) << r;
    EXPECT_FALSE(IsEditableRow("Interface setup", 5));
    EXPECT_FALSE(IsEditableRow("Parameter setup", 10));
    EXPECT_EQ(ComboChoices("Laminator setup", 0, 1),
              (std::vector<std::string_view>{"Close", "Open"}));
    EXPECT_EQ(ComboChoices("Laminator setup", 5, 1),
              (std::vector<std::string_view>{"Open", "Close"}));
    EXPECT_EQ(ComboChoices("Laminator setup", 3, 1),
              (std::vector<std::string_view>{"Chinese", "English"}));
    EXPECT_EQ(ComboChoices("Parameter setup", 0, 1).size(), 8u);
    EXPECT_TRUE(ComboChoices("Parameter setup", 0, 0).empty());
    EXPECT_TRUE(ComboChoices("Parameter setup", 1, 1).empty());
}

TEST(Descriptions, EveryRowHasItsTextWithWindowsLineBreaks) {
    for (const ParameterInfo& p : Catalogue())
        EXPECT_TRUE(RowDescription(p.group, p.row).has_value()) << p.keyName;
    EXPECT_EQ(RowDescription("Version info", 1),
              "Main boot:\r\n  version number of the main boot.");
    EXPECT_EQ(RowDescription("Interface setup", 6),
              "Time out setting:\r\n The maximum time that network \r\nwaits for the "
              "communication data.");
    EXPECT_EQ(RowDescription("Parameter setup", 8),
              "Black Mark Detection speed:\r\n    The feeding speed of Laminate\r\nwhen detecting "
              "eth Balck Mark(9~\r\n35mm/s).");
    EXPECT_FALSE(RowDescription("Version info", 2).has_value());
    EXPECT_FALSE(RowDescription("Version info", -1).has_value());
}
