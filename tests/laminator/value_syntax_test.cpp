// Typed values are taken only in the form a read shows them, and come back in that form.
#include "laminator/value_syntax.h"

#include <gtest/gtest.h>

namespace {
std::optional<std::string> Parse(ParamKey key, std::string_view text) {
    return ParseParameterValue(Parameter(key), text).value;
}

TEST(ValueSyntax, IntegersAreAnOptionalMinusAndDigitsOnly) {
    using K = ParamKey;
    EXPECT_EQ(Parse(K::HeatingRollerTemperature, "155"), "155");
    EXPECT_EQ(Parse(K::HeatingRollerTemperature, "0155"), "155");
    EXPECT_EQ(Parse(K::LaminatorId, "-1"), "-1");
    EXPECT_EQ(Parse(K::TimeOut, "2147483647"), "2147483647");
    for (const char* bad : {"155abc", "150.5", "+155", "1e1", " 155", "155 ", "", "-", "0x10",
                            "2147483648", "99999999999"})
        EXPECT_EQ(Parse(K::HeatingRollerTemperature, bad), std::nullopt) << bad;
}

TEST(ValueSyntax, DecimalsTakeOneFractionDigitAndComeBackAsARead) {
    using K = ParamKey;
    EXPECT_EQ(Parse(K::LaminateFilmPosition, "12"), "12.0");
    EXPECT_EQ(Parse(K::LaminateFilmPosition, "12.5"), "12.5");
    EXPECT_EQ(Parse(K::LaminateToCardPosition, "-0.5"), "-0.5");
    EXPECT_EQ(Parse(K::LaminateToCardPosition, "-5"), "-5.0");
    for (const char* bad : {"12.55", ".5", "12.", "1,5", "+1.0", "1e1", "-.5", "12.5x"})
        EXPECT_EQ(Parse(K::LaminateFilmPosition, bad), std::nullopt) << bad;
}

TEST(ValueSyntax, ChoicesByTextInAnyCaseOrByKey) {
    using K = ParamKey;
    EXPECT_EQ(Parse(K::Buzzer, "close"), "Close");
    EXPECT_EQ(Parse(K::LaminateMenu, "menu-3"), "Menu 3");
    EXPECT_EQ(Parse(K::LaminateMenu, "MENU 8"), "Menu 8");
    EXPECT_EQ(Parse(K::IpGetMethod, "static-acquisition"), "static acquisition");
    EXPECT_EQ(Parse(K::Buzzer, "Loud"), std::nullopt);
    EXPECT_EQ(Parse(K::LaminateMenu, "Menu 9"), std::nullopt);
    const ValueSyntax refused = ParseParameterValue(Parameter(K::Buzzer), "Loud");
    EXPECT_NE(refused.accepted.find("\"Close\""), std::string::npos) << refused.accepted;
}

TEST(ValueSyntax, AddressesAsTheLaminatorShowsThem) {
    using K = ParamKey;
    EXPECT_EQ(Parse(K::IpAddress, "192.168.001.020"), "192.168.1.20");
    EXPECT_EQ(Parse(K::IpAddress, "192.168.1"), std::nullopt);
    EXPECT_EQ(Parse(K::IpAddress, "256.1.1.1"), std::nullopt);
    EXPECT_EQ(Parse(K::MacAddress, "02:50:4C:00:00:0A"), "02:50:4c:00:00:0a");
    EXPECT_EQ(Parse(K::MacAddress, "02:50:4c:00:00"), std::nullopt);
}
}  // namespace
