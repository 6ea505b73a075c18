#pragma once
// Well-formed Motorola S-record text for tests: a header, S3 data records of 16 bytes with
// their checksums, and an S7 termination, CRLF lines. At least `size` bytes long.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace testsupport {

inline std::string SRecordLine(char type, const std::vector<std::uint8_t>& fields) {
    char hex[3];
    std::string line = {'S', type};
    unsigned sum = static_cast<unsigned>(fields.size() + 1);
    std::snprintf(hex, sizeof hex, "%02X", sum);
    line += hex;
    for (std::uint8_t b : fields) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
        sum += b;
    }
    std::snprintf(hex, sizeof hex, "%02X", ~sum & 0xFF);
    return line + hex + "\r\n";
}

inline std::vector<std::uint8_t> SRecordFile(std::size_t size) {
    std::string text = SRecordLine('0', {0x00, 0x00, 'F', 'W'});
    std::uint32_t address = 0x08000000;
    std::uint32_t x = 7;
    while (text.size() + 16 < size) {
        std::vector<std::uint8_t> fields = {
            static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
            static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
        for (int i = 0; i < 16; ++i) {
            x = x * 1664525u + 1013904223u;
            fields.push_back(static_cast<std::uint8_t>(x >> 24));
        }
        text += SRecordLine('3', fields);
        address += 16;
    }
    text += SRecordLine('7', {0x08, 0x00, 0x00, 0x00});
    return {text.begin(), text.end()};
}

}  // namespace testsupport
