// A static set-up that would leave the laminator unreachable is told apart.
#include "netsetup/address_checks.h"

#include <gtest/gtest.h>

namespace {
TEST(AddressChecks, MasksMustBeContiguous) {
    for (AddressQuad m :
         {AddressQuad{255, 255, 255, 0}, AddressQuad{255, 255, 255, 255}, AddressQuad{0, 0, 0, 0},
          AddressQuad{255, 255, 240, 0}, AddressQuad{128, 0, 0, 0}})
        EXPECT_TRUE(IsContiguousMask(m)) << m[0] << "." << m[1] << "." << m[2] << "." << m[3];
    for (AddressQuad m : {AddressQuad{255, 0, 255, 0}, AddressQuad{0, 255, 255, 255},
                          AddressQuad{255, 255, 255, 1}, AddressQuad{255, 254, 255, 0}})
        EXPECT_FALSE(IsContiguousMask(m)) << m[0] << "." << m[1] << "." << m[2] << "." << m[3];
}

TEST(AddressChecks, TheGatewayLiesInTheSubnetOrIsNone) {
    const AddressQuad ip{10, 0, 0, 5};
    const AddressQuad mask{255, 255, 255, 0};
    EXPECT_TRUE(GatewayFitsSubnet(ip, mask, {10, 0, 0, 1}));
    EXPECT_TRUE(GatewayFitsSubnet(ip, mask, {0, 0, 0, 0}));
    EXPECT_FALSE(GatewayFitsSubnet(ip, mask, {10, 0, 1, 1}));
    EXPECT_TRUE(GatewayFitsSubnet(ip, {255, 255, 0, 0}, {10, 0, 1, 1}));
}
}  // namespace
