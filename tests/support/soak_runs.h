#pragma once
// Which runs a fault soak makes. The suite runs a committed list of seeds, each for a fixed
// number of steps, so the same code always gives the same answer. Exploring new seeds is
// scripts/soak's work: it sets
//   PELLACOR_SOAK_SEED=N     run this seed instead of the list (the Explore test)
//   PELLACOR_SOAK_PLAN=P     "walk" (random steps) or "sweep" (every combination once)
//   PELLACOR_SOAK_STEPS=N    how many steps a walk takes (a sweep always takes all of its own)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

struct SoakRun {
    std::uint64_t seed = 0;
    bool sweep = false;  // every combination once, in an order drawn from the seed
    int steps = 0;       // for a walk: how many random steps
    const char* why = "";
};

inline std::string SoakRunName(const ::testing::TestParamInfo<SoakRun>& info) {
    return std::string(info.param.sweep ? "sweep_" : "walk_") + std::to_string(info.param.seed);
}

inline void PrintTo(const SoakRun& run, std::ostream* out) {
    *out << (run.sweep ? "sweep " : "walk ") << run.seed;
}

inline std::optional<std::uint64_t> SoakEnvNumber(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return std::nullopt;
    return std::strtoull(text, nullptr, 10);
}

// The run the environment asks for, if any.
inline std::optional<SoakRun> ExploredSoakRun(int defaultSteps) {
    const std::optional<std::uint64_t> seed = SoakEnvNumber("PELLACOR_SOAK_SEED");
    if (!seed)
        return std::nullopt;
    SoakRun run;
    run.seed = *seed;
    const char* plan = std::getenv("PELLACOR_SOAK_PLAN");
    run.sweep = plan != nullptr && std::string_view(plan) == "sweep";
    run.steps = static_cast<int>(SoakEnvNumber("PELLACOR_SOAK_STEPS").value_or(defaultSteps));
    run.why = "explored";
    return run;
}

// How much slower this build runs the same work: timing bounds that hold in the normal build
// are stretched by this much in the sanitizer builds, so they hold there too by design.
constexpr int SoakBuildSlowdown() {
#if defined(__SANITIZE_THREAD__)
    return 6;
#elif defined(__SANITIZE_ADDRESS__)
    return 3;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
    return 6;
#elif __has_feature(address_sanitizer)
    return 3;
#else
    return 1;
#endif
#else
    return 1;
#endif
}

// Fisher-Yates on the seed's own generator: std::shuffle's draws are the library's choice,
// and a listed seed must mean the same order everywhere.
template <typename T>
void SoakShuffle(std::vector<T>& items, std::mt19937& rng) {
    for (std::size_t i = items.size(); i > 1; --i)
        std::swap(items[i - 1], items[rng() % i]);
}
