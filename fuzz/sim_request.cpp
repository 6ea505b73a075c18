// The simulator's TCP request parser over any byte stream cut into any chunks: every byte
// is handed out once, as a whole request, skipped padding or the pending rest.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "sim/tcp_request_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t chunk = data[0] % 70 + 1;
    ++data;
    --size;
    pellacor::sim::TcpRequestParser parser;
    std::vector<std::uint8_t> out;
    for (std::size_t at = 0; at < size; at += chunk) {
        parser.Feed(data + at, std::min(chunk, size - at));
        while (std::optional<std::vector<std::uint8_t>> request = parser.Next()) {
            FUZZ_CHECK(request->size() == 8 || request->size() == 23 || request->size() == 64);
            FUZZ_CHECK((*request)[0] != 0);
            out.insert(out.end(), request->begin(), request->end());
        }
    }
    FUZZ_CHECK(out.size() + parser.SkippedPadding() + parser.Pending() == size);
    const std::size_t pending = parser.Pending();
    const std::vector<std::uint8_t> rest = parser.TakePartial();
    FUZZ_CHECK(rest.size() == pending);
    FUZZ_CHECK(std::equal(rest.begin(), rest.end(), data + size - pending));
    FUZZ_CHECK(parser.Pending() == 0);
    return 0;
}
