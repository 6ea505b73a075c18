#include "netsetup/address_checks.h"

#include <cstdint>

namespace {
std::uint32_t Value(const AddressQuad& a) {
    std::uint32_t v = 0;
    for (int f : a)
        v = (v << 8) | static_cast<std::uint32_t>(f & 0xFF);
    return v;
}
}  // namespace

bool IsContiguousMask(const AddressQuad& mask) {
    const std::uint32_t m = Value(mask);
    // The inverse of a contiguous mask is 2^k - 1.
    const std::uint32_t hosts = ~m;
    return (hosts & (hosts + 1)) == 0;
}

bool GatewayFitsSubnet(const AddressQuad& ip, const AddressQuad& mask, const AddressQuad& gateway) {
    const std::uint32_t g = Value(gateway);
    const std::uint32_t m = Value(mask);
    return g == 0 || (g & m) == (Value(ip) & m);
}
