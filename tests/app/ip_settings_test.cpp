#include "app/ip_settings.h"

#include "app/ini_profile.h"
#include "app_fixture.h"

TEST_F(MainWindowTest, MissingIpIniLeavesTheAddressEmpty) {
    Store().Set(ParamKey::IpAddress, "stale");
    LoadIpSettings();
    EXPECT_EQ(Store().Get(ParamKey::IpAddress), "");
}

TEST_F(MainWindowTest, IpIniIsReadLikeTheProfileReader) {
    WriteIpIni("; comment\n[other]\nIp=10.0.0.1\n[ test ]\nport = abc\n  IP =  192.168.0.50  \n");
    LoadIpSettings();
    EXPECT_EQ(Store().Get(ParamKey::IpAddress), "192.168.0.50");
    EXPECT_EQ(ReadProfileInt(".//IP.ini", "TEST", "Port", 10), 0);  // not a number
    EXPECT_EQ(ReadProfileInt(".//IP.ini", "TEST", "Missing", 10), 10);
}

TEST_F(MainWindowTest, IpIniValueIsCutToTwentyFourCharacters) {
    WriteIpIni("[TEST]\r\nIp=\"123456789012345678901234567890\"\r\n");
    LoadIpSettings();
    EXPECT_EQ(Store().Get(ParamKey::IpAddress), "123456789012345678901234");
}
