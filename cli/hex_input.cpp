#include "cli/hex_input.h"

std::optional<std::string> PairedHexInput(std::string_view text, std::string& error) {
    std::string out;
    std::size_t run = 0;
    auto endRun = [&](std::size_t at) {
        if (run % 2 == 0)
            return true;
        error = "The command has a hexadecimal digit without its pair before position " +
                std::to_string(at + 1) + ": write bytes as two digits each (\"0a\", not \"a\").";
        return false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] == '\t' ? ' ' : text[i];
        if (c == ' ' || c == '\r' || c == '\n') {
            if (!endRun(i))
                return std::nullopt;
            run = 0;
        } else {
            ++run;
        }
        out += c;
    }
    if (!endRun(text.size()))
        return std::nullopt;
    return out;
}
