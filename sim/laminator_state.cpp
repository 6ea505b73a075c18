#include "sim/laminator_state.h"

#include <algorithm>
#include <cstdio>

namespace pellacor::sim {

namespace {
constexpr size_t kNameAt = 15;
constexpr size_t kNameRoom = 30;
constexpr uint16_t kReadyBand = 100;  // within one degree counts as at temperature
}  // namespace

std::string NetworkRecord::Name() const {
    std::string name;
    for (size_t i = kNameAt; i < kNameAt + kNameRoom && bytes[i] != 0; ++i) {
        name.push_back(static_cast<char>(bytes[i]));
    }
    return name;
}

void NetworkRecord::SetName(const std::string& name) {
    std::fill(bytes.begin() + kNameAt, bytes.begin() + kNameAt + kNameRoom, uint8_t{0});
    // Keep one zero byte so the name always ends inside its area.
    size_t n = std::min(name.size(), kNameRoom - 1);
    for (size_t i = 0; i < n; ++i) {
        bytes[kNameAt + i] = static_cast<uint8_t>(name[i]);
    }
}

uint32_t LaminatorState::CurrentStateCode() const {
    if (stateOverride) {
        return stateCode;
    }
    int gap = static_cast<int>(SetPoint()) - static_cast<int>(rollerTemp);
    return (gap > kReadyBand || gap < -kReadyBand) ? 0x4D000101 : 0x4D000201;
}

uint32_t LaminatorState::CurrentErrorCode() const {
    if (errorOverride) {
        return errorCode;
    }
    int gap = static_cast<int>(SetPoint()) - static_cast<int>(rollerTemp);
    if (gap > kReadyBand) {
        return 0x57000101;  // heating up
    }
    if (gap < -kReadyBand) {
        return 0x57000102;  // cooling down
    }
    return 0x45000000;
}

LaminatorState DefaultState(int index, const std::array<uint8_t, 4>& address) {
    LaminatorState s;
    char text[32];
    std::snprintf(text, sizeof text, "PL24A%05d", 117 + index);
    s.serial = text;
    s.network.bytes[0] = 0x80;
    s.network.SetIp(address);
    s.network.SetGateway({address[0], 0, 0, 1});
    s.network.SetMask({255, 0, 0, 0});
    std::snprintf(text, sizeof text, "LAMINATOR-%02d", index + 1);
    s.network.SetName(text);
    // Locally administered MAC 02:50:4c:00:HH:LL, one per laminator.
    s.network.SetMacWire({static_cast<uint8_t>(index + 1), static_cast<uint8_t>(index >> 8), 0x00,
                          0x4c, 0x50, 0x02});
    return s;
}

}  // namespace pellacor::sim
