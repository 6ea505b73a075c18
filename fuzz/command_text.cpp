// Command text as typed or written in the program: the codec, the typed-command check and
// its USB framing, and the conversion into the shared transmit buffer.
#include "link/command_text.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "laminator/mode_commands.h"
#include "link/link_buffers.h"

namespace {
std::string HexText(const std::uint8_t* bytes, std::size_t n) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
        text += ' ';
    }
    return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t capacity = data[0] % 80;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    // Exactly `capacity` bytes, so a write past them is caught.
    std::vector<std::uint8_t> dest(capacity);
    const int n = HexPairsToBytes(text, dest.data(), capacity);
    FUZZ_CHECK(n == kBadCommandCharacter || n == kCommandTextTooLong || n >= 0);
    if (n >= 0) {
        const auto count = static_cast<std::size_t>(n);
        FUZZ_CHECK(count <= capacity && count * 2 <= text.size());
        // Decoded bytes written back as text decode to the same bytes.
        const std::string again = HexText(dest.data(), count);
        std::vector<std::uint8_t> round(capacity);
        FUZZ_CHECK(HexPairsToBytes(again, round.data(), capacity) == n);
        FUZZ_CHECK(std::equal(round.begin(), round.begin() + n, dest.begin()));
    }

    const ParsedCommand typed = ParseTypedCommand(text);
    FUZZ_CHECK(!typed.error || typed.bytes.empty());
    FUZZ_CHECK(typed.bytes.size() <= kRawCommandCapacity);
    if (!typed.error) {
        const std::vector<UsbCommandFrame> frames =
            UsbCommandFrames(typed.bytes.data(), typed.bytes.size());
        FUZZ_CHECK(
            frames.size() ==
            std::max<std::size_t>(1, (typed.bytes.size() + kUsbFrameData - 1) / kUsbFrameData));
        std::vector<std::uint8_t> carried;
        for (const UsbCommandFrame& frame : frames) {
            FUZZ_CHECK(frame[0] == 0xA5 && frame[1] <= kUsbFrameData);
            carried.insert(carried.end(), frame.begin() + 2, frame.begin() + 2 + frame[1]);
            FUZZ_CHECK(std::all_of(frame.begin() + 2 + frame[1], frame.end(),
                                   [](std::uint8_t b) { return b == 0; }));
        }
        FUZZ_CHECK(carried == typed.bytes);
    }

    EncodeCommand(text);
    FUZZ_CHECK(TxLength >= -2 && TxLength <= static_cast<std::int32_t>(kLinkBufferSize));
    return 0;
}
