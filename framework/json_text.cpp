#include "framework/json_text.h"

std::string BytesToJsonText(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (b >> 6));
            text += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return text;
}

std::optional<std::string> JsonTextToBytes(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            bytes += text[i];
            continue;
        }
        // Only the two-byte forms of U+0080 to U+00FF.
        if ((b != 0xC2 && b != 0xC3) || i + 1 >= text.size())
            return std::nullopt;
        const auto next = static_cast<unsigned char>(text[++i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        bytes += static_cast<char>(((b & 0x03) << 6) | (next & 0x3F));
    }
    return bytes;
}
