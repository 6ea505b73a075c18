#include "netsetup/net_protocol.h"

#include <algorithm>
#include <cstdio>

namespace {
// Both login fields: "tivel" and a zero byte.
constexpr std::array<std::uint8_t, 6> kLogin = {'t', 'i', 'v', 'e', 'l', 0};

std::vector<std::uint8_t> Frame(std::uint8_t command, const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> frame;
    frame.reserve(payload.size() + 4);
    frame.push_back(0xFF);
    frame.push_back(static_cast<std::uint8_t>(payload.size() + 1));
    frame.push_back(command);
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(0);
    frame.back() = Checksum(frame.data(), frame.size());
    return frame;
}

std::vector<std::uint8_t> AddressedPayload(const MacBytes& mac) {
    std::vector<std::uint8_t> payload(mac.begin(), mac.end());
    payload.insert(payload.end(), kLogin.begin(), kLogin.end());
    payload.insert(payload.end(), kLogin.begin(), kLogin.end());
    return payload;
}

unsigned U16(const SearchReply& r, std::size_t low) {
    return static_cast<unsigned>(r[low]) | static_cast<unsigned>(r[low + 1]) << 8;
}
}  // namespace

std::uint8_t Checksum(const std::uint8_t* frame, std::size_t total) {
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < total; ++i)
        sum += frame[i];
    return static_cast<std::uint8_t>(sum);
}

std::vector<std::uint8_t> BuildSearchRequest() {
    return Frame(kCommandSearch, {});
}

std::vector<std::uint8_t> BuildAddressedRequest(std::uint8_t command, const MacBytes& mac) {
    return Frame(command, AddressedPayload(mac));
}

std::vector<std::uint8_t> BuildWriteRequest(const MacBytes& mac, const NetSettings& settings) {
    std::vector<std::uint8_t> payload = AddressedPayload(mac);
    payload.insert(payload.end(), settings.begin(), settings.end());
    return Frame(kCommandWrite, payload);
}

MacBytes ReplyMac(const SearchReply& reply) {
    MacBytes mac{};
    std::copy_n(reply.begin() + kReplyMacOffset, mac.size(), mac.begin());
    return mac;
}

std::string ReplyDeviceId(const SearchReply& reply) {
    return std::to_string(U16(reply, 3));
}

std::string ReplyMacText(const SearchReply& r) {
    char text[32];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", r[14], r[13], r[12], r[11],
                  r[10], r[9]);
    return text;
}

std::string ReplyName(const SearchReply& reply) {
    // A name with no zero byte stops at its 16 bytes.
    const auto begin = reply.begin() + 19;
    const auto end = std::find(begin, begin + 16, std::uint8_t{0});
    std::string name(begin, end);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

std::string ReplyFwBoot(const SearchReply& reply) {
    return std::to_string(U16(reply, 15));
}

std::string ReplyIpText(const SearchReply& r) {
    char text[20];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", r[8], r[7], r[6], r[5]);
    return text;
}
