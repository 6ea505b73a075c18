// The simulator's state file loader over any text: a refused file leaves the laminators as
// they were; an accepted one, saved again, loads back to the same states.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "sim/state_file.h"

namespace {
std::vector<nlohmann::json> AsJson(const std::vector<pellacor::sim::LaminatorState>& states) {
    std::vector<nlohmann::json> out;
    for (const auto& s : states)
        out.push_back(pellacor::sim::StateToJson(s));
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<pellacor::sim::LaminatorState> states(2);
    const std::vector<nlohmann::json> before = AsJson(states);
    std::string error;
    if (!pellacor::sim::StatesFromText(text, states, &error)) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(AsJson(states) == before);
        return 0;
    }
    nlohmann::json saved;
    saved["laminators"] = AsJson(states);
    std::vector<pellacor::sim::LaminatorState> again(2);
    FUZZ_CHECK(pellacor::sim::StatesFromText(saved.dump(), again, &error));
    FUZZ_CHECK(AsJson(again) == AsJson(states));
    return 0;
}
