#include "laminator/status_text.h"

#include <cstdio>
#include <cstring>

namespace {
struct CodeText {
    std::uint8_t code[4];
    const char* text;
};

const CodeText kStates[] = {
    {{0x4D, 0x00, 0x00, 0x00}, "Unknown state"},
    {{0x4D, 0x00, 0x01, 0x01}, "Initializing..."},
    {{0x4D, 0x00, 0x02, 0x01}, "Ready for Laminating"},
    {{0x4D, 0x00, 0x03, 0x01}, "Load the card"},
    {{0x4D, 0x00, 0x04, 0x01}, "Laminating"},
    {{0x4D, 0x00, 0x09, 0x01}, "Eject the card"},
    {{0x4D, 0x20, 0x02, 0x01}, "Power save mode"},
    {{0x4D, 0x20, 0x02, 0x02}, "Power save mode"},
};

const CodeText kErrors[] = {
    {{0x45, 0x00, 0x00, 0x00}, "No error"},
    {{0x45, 0x00, 0x00, 0x01}, "Press the “Set” key"},
    {{0x45, 0x00, 0x04, 0x01}, "No transfer film"},
    {{0x45, 0x00, 0x04, 0x02}, "Invalid transfer film"},
    {{0x45, 0x00, 0x04, 0x03}, "Transfer film stuck"},
    {{0x45, 0x00, 0x04, 0x04}, "The transfer film has been exhausted"},
    {{0x45, 0x00, 0x04, 0x05}, "Transfer film fracture"},
    {{0x45, 0x00, 0x05, 0x01}, "The access to the card is blocked"},
    {{0x45, 0x00, 0x05, 0x02}, "The access to the card is blocked"},
    {{0x45, 0x00, 0x06, 0x01}, "Invalid work paramete"},
    {{0x45, 0x00, 0x08, 0x01}, "Abnormal high temperature of machine"},
    {{0x45, 0x00, 0x80, 0x01}, "print head erro"},
    {{0x45, 0x00, 0x80, 0x02}, "Error in heating rolle"},
    {{0x45, 0x00, 0x80, 0x03}, "Failed to get out of card"},
    {{0x45, 0x00, 0x80, 0x08}, "Fan failure"},
    {{0x45, 0x80, 0x01, 0x01}, "Please contact technical support"},
};

const CodeText kWarnings[] = {
    {{0x57, 0x00, 0x00, 0x00}, "NO WARNING"},
    {{0x57, 0x00, 0x01, 0x01}, "In heat"},
    {{0x57, 0x00, 0x01, 0x02}, "Is cooling down"},
    {{0x57, 0x00, 0x02, 0x01}, "Print head cooling"},
    {{0x57, 0x00, 0x02, 0x02}, "Temperature anomaly"},
    {{0x57, 0x00, 0x02, 0x03}, "Print head preheating"},
    {{0x57, 0x00, 0x03, 0x01}, "Remove the print position card"},
    {{0x57, 0x00, 0x03, 0x02}, "RFID detection warning"},
    {{0x57, 0x00, 0x04, 0x01}, "Remove the card feed location card"},
    {{0x57, 0x00, 0x04, 0x02}, "Remove the return position card"},
    {{0x57, 0x00, 0x04, 0x03}, "Remove magnetic card"},
};

template <std::size_t N>
std::string Lookup(const CodeText (&table)[N], const std::uint8_t code[4]) {
    for (const CodeText& entry : table) {
        if (std::memcmp(entry.code, code, 4) == 0)
            return entry.text;
    }
    return {};
}
}  // namespace

std::string TemperatureText(std::uint8_t low, std::uint8_t high) {
    const int value = low + 256 * high;
    return std::to_string(value / 100);
}

std::string StateText(const std::uint8_t code[4]) {
    return Lookup(kStates, code);
}

std::string ErrorText(const std::uint8_t code[4]) {
    if (code[0] == 0x45)
        return Lookup(kErrors, code);
    if (code[0] == 0x57)
        return Lookup(kWarnings, code);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%02x%02x%02x%02x", code[0], code[1], code[2], code[3]);
    return hex;
}

std::string CardChannelText(std::uint8_t sensors) {
    if ((sensors & 0x07) == 0)
        return "No cards were detected";
    std::string text = "Card detected by channel";
    if (sensors & 0x01)
        text += " 1,";
    if (sensors & 0x02)
        text += " 2,";
    if (sensors & 0x04)
        text += " 3,";
    text.pop_back();
    return text;
}
