// The settings file: any text read by the profile rules for the address and the port.
#include <cstdint>
#include <string_view>

#include "app/ini_profile.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    for (std::string_view key : {"Ip", "Port"}) {
        const std::optional<std::string> value = ProfileStringIn(content, "TEST", key);
        if (!value)
            continue;
        // A value is a piece of one line of the file (quotes keep blanks inside them).
        FUZZ_CHECK(value->size() <= size);
        FUZZ_CHECK(value->find('\n') == std::string::npos);
        FUZZ_CHECK(value->empty() || content.find(*value) != std::string_view::npos);
    }
    return 0;
}
