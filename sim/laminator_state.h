#pragma once

// Everything one simulated laminator remembers: its 30 parameters, counters, identity,
// status and network record. Values are kept in wire form (bytes as the laminator
// stores them) so reply builders copy them without conversion.

#include <array>
#include <cstdint>
#include <string>

namespace pellacor::sim {

struct NetworkRecord {
    // The 65-byte settings record of the discovery protocol, kept whole so bytes the
    // tool does not interpret are written back exactly as read.
    std::array<uint8_t, 65> bytes{};

    uint8_t IpMethod() const { return bytes[0]; }
    // Dotted-order octets (first octet first); the record stores them last octet first.
    std::array<uint8_t, 4> Ip() const { return Quad(3); }
    std::array<uint8_t, 4> Gateway() const { return Quad(7); }
    std::array<uint8_t, 4> Mask() const { return Quad(11); }
    void SetIp(const std::array<uint8_t, 4>& dotted) { SetQuad(3, dotted); }
    void SetGateway(const std::array<uint8_t, 4>& dotted) { SetQuad(7, dotted); }
    void SetMask(const std::array<uint8_t, 4>& dotted) { SetQuad(11, dotted); }
    // MAC as stored on the wire: last byte of the shown form first.
    std::array<uint8_t, 6> MacWire() const {
        return {bytes[45], bytes[46], bytes[47], bytes[48], bytes[49], bytes[50]};
    }
    void SetMacWire(const std::array<uint8_t, 6>& wire) {
        for (size_t i = 0; i < 6; ++i) {
            bytes[45 + i] = wire[i];
        }
    }
    std::string Name() const;
    void SetName(const std::string& name);

  private:
    std::array<uint8_t, 4> Quad(size_t at) const {
        return {bytes[at + 3], bytes[at + 2], bytes[at + 1], bytes[at]};
    }
    void SetQuad(size_t at, const std::array<uint8_t, 4>& d) {
        for (size_t i = 0; i < 4; ++i) {
            bytes[at + 3 - i] = d[i];
        }
    }
};

struct Parameters {
    // "Parameter setup"
    uint8_t laminateMenu = 0;      // 0..7 = Menu 1..8
    uint8_t motorType = 1;         // 1 single motor, 0 double motor
    uint8_t temperatureByte = 0;   // set point - 150 (so 0 = 150 degrees)
    uint8_t cardSpeed = 15;        // mm/s
    uint8_t feedSpeed = 20;        // mm/s
    int16_t filmPosition = 125;    // tenths of a mm
    int16_t laminateToCard = -15;  // tenths of a mm
    uint16_t endPosition = 50;     // tenths of a mm
    uint8_t blackMark = 1;         // 1 valid, 0 invalid
    uint8_t blackMarkSpeed = 20;   // mm/s
    uint8_t autoReleaseTime = 3;   // s
    // "Laminator setup"
    uint8_t buzzer = 1;       // 0 close, 1 open
    uint8_t powerSave1 = 15;  // min
    uint8_t powerSave2 = 60;  // min
    uint8_t language = 2;     // 0 Chinese, 1 Japanese, 2 English
    uint8_t lcdContrast = 128;
    uint8_t lcdBacklight = 1;  // 0 close, 1 open
    // "Interface setup" (address fields live in the network record)
    uint8_t laminatorId = 1;
    uint32_t timeOut = 30;

    bool operator==(const Parameters&) const = default;
};

struct LaminatorState {
    Parameters params;
    uint32_t totalCards = 1234;      // 24 bits on the wire
    uint32_t totalLaminates = 1180;  // 24 bits on the wire
    std::string serial = "PL24A00117";
    std::string mainVersion = "V2.10.3";
    std::array<uint8_t, 4> bootVersion{0x01, 0x00, 0x0a, 0x13};
    std::string modelId = "PLC-200";
    std::string modelName = "Pellacor CL-200";
    NetworkRecord network;
    uint8_t ejectMode = 0;  // 0 standard, 1 via command, 2 direct

    // Status. Temperatures in hundredths of a degree Celsius.
    uint16_t environmentTemp = 2350;
    uint16_t rollerTemp = 2350;
    uint16_t heatingRatePerSecond = 500;  // how fast the roller follows its set point
    bool stateOverride = false;
    uint32_t stateCode = 0x4D000201;  // used only with stateOverride
    bool errorOverride = false;
    uint32_t errorCode = 0x45000000;  // used only with errorOverride
    uint8_t cardBits = 0;
    // A laminator that acknowledges parameter writes and keeps its values (a locked panel).
    bool keepsParameters = false;

    // The roller's set point in hundredths, from the temperature parameter.
    uint16_t SetPoint() const {
        return static_cast<uint16_t>(((params.temperatureByte + 150) % 256) * 100);
    }
    uint32_t CurrentStateCode() const;
    uint32_t CurrentErrorCode() const;
};

// Factory state of laminator number `index` (0-based): its MAC, serial, name and
// loopback address differ so several can run side by side.
LaminatorState DefaultState(int index, const std::array<uint8_t, 4>& address);

}  // namespace pellacor::sim
