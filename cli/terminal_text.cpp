#include "cli/terminal_text.h"

namespace {
bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

void Append(std::string& out, unsigned char c) {
    static const char digits[] = "0123456789abcdef";
    if (!IsControl(c)) {
        out += static_cast<char>(c);
        return;
    }
    out += "\\x";
    out += digits[c >> 4];
    out += digits[c & 15];
}
}  // namespace

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        Append(out, static_cast<unsigned char>(c));
    return out;
}

std::string EscapeControlsKeepingLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n')
            out += c;
        else
            Append(out, static_cast<unsigned char>(c));
    }
    return out;
}
