#pragma once
// Checks on a static address set-up that would leave a laminator unreachable: a subnet mask
// with holes, a gateway outside the laminator's own subnet.
#include <array>

using AddressQuad = std::array<int, 4>;

// Ones from the top, then zeros only (255.255.255.0 yes, 255.0.255.0 no).
bool IsContiguousMask(const AddressQuad& mask);
// The gateway lies in the subnet of `ip` and `mask`, or is 0.0.0.0 (none).
bool GatewayFitsSubnet(const AddressQuad& ip, const AddressQuad& mask, const AddressQuad& gateway);
