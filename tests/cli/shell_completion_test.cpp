// The bash completion the package installs offers what pellacorctl takes: every parameter key
// and group after get, every key with "=" after set, the subcommands first.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "cli/parameter_names.h"
#include "laminator/catalogue.h"

namespace {
#ifdef _WIN32
constexpr const char* kNoBash = "the completion is a bash script, and Windows runs no bash";
std::set<std::string> Complete(const std::string&) {
    return {};
}
#else
constexpr const char* kNoBash = nullptr;
// COMPREPLY for the words typed, the last being the one completed; bash-completion's helper
// is stood in for, so only the script's own logic is exercised.
std::set<std::string> Complete(const std::string& words) {
    const std::string script =
        "_init_completion() { words=(\"${COMP_WORDS[@]}\"); cword=$COMP_CWORD; "
        "cur=${COMP_WORDS[COMP_CWORD]}; prev=${COMP_WORDS[COMP_CWORD-1]}; }; "
        "compopt() { :; }; _filedir() { :; }; "
        "source '" PELLACOR_SOURCE_DIR
        "/packaging/completions/pellacorctl.bash'; "
        "COMP_WORDS=(" +
        words +
        "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _pellacorctl; "
        "printf '%s\\n' \"${COMPREPLY[@]}\"";
    const std::string command = "bash --norc --noprofile -c \"$PELLACOR_COMPLETION\"";
    setenv("PELLACOR_COMPLETION", script.c_str(), 1);
    std::set<std::string> offered;
    FILE* out = popen(command.c_str(), "r");
    if (!out)
        return offered;
    char line[256];
    while (std::fgets(line, sizeof line, out)) {
        std::string word(line);
        while (!word.empty() && word.back() == '\n')
            word.pop_back();
        if (!word.empty())
            offered.insert(word);
    }
    pclose(out);
    return offered;
}
#endif

TEST(ShellCompletion, BashOffersEveryParameterKeyAndGroup) {
    if (kNoBash)
        GTEST_SKIP() << kNoBash;
    std::set<std::string> keys;
    for (const ParameterInfo& p : Catalogue())
        keys.insert(StableKey(p.name));
    std::set<std::string> all = keys;
    for (std::string_view g : GroupNames())
        all.insert(StableKey(g));
    EXPECT_EQ(Complete("pellacorctl --tcp 127.0.0.1 get ''"), all);

    std::set<std::string> assignments;
    for (const std::string& k : keys)
        assignments.insert(k + "=");
    EXPECT_EQ(Complete("pellacorctl --json set buzzer=Open ''"), assignments);
    EXPECT_EQ(Complete("pellacorctl set heat"),
              std::set<std::string>{"heating-roller-temperature="});
}

TEST(ShellCompletion, BashOffersTheSubcommandsAfterTheTargets) {
    if (kNoBash)
        GTEST_SKIP() << kNoBash;
    const std::set<std::string> offered = Complete("pellacorctl --tcp 127.0.0.1 --timeout 2 ''");
    for (const char* c : {"list", "discover", "info", "status", "get", "set", "backup", "restore",
                          "diff", "reset", "mode", "send", "firmware", "netconfig"})
        EXPECT_TRUE(offered.count(c)) << c;
    EXPECT_TRUE(Complete("pellacorctl --ti").count("--timeout"));
}
}  // namespace
