// The firmware file's S-record check: any bytes, read as a .mot file. Whatever it finds is on
// a line the file has; what it passes has a header and a termination record.
#include "laminator/srecord_check.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> text(data, size);
    const std::optional<SRecordProblem> problem = CheckSRecords(text);
    const std::size_t lines = static_cast<std::size_t>(std::count(data, data + size, '\n')) + 1;
    if (problem) {
        FUZZ_CHECK(problem->line >= 1 && problem->line <= lines);
        FUZZ_CHECK(!problem->reason.empty());
    } else {
        FUZZ_CHECK(size >= 2 && data[0] == 'S');
        constexpr std::string_view header = "S0";
        FUZZ_CHECK(std::search(data, data + size, header.begin(), header.end()) != data + size);
    }
    return 0;
}
