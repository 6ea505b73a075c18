#pragma once
// The laminator soak's runs in every build. A walk runs just past the step where its seed once
// failed; a sweep runs every operation on every path with every fault. When scripts/soak finds
// a failing seed, the mend comes with that seed added here.
#include "tests/support/soak_runs.h"

inline const SoakRun kLaminatorSoakRuns[] = {
    {1, true, 0, "every operation on every path with every fault"},
    {324821648, false, 46, "step 44: model over TCP with oversize (ThreadSanitizer)"},
    {1233406567, false, 63, "step 61: model over TCP with unplug (ThreadSanitizer)"},
    {3842466355, false, 157, "step 155: a late TCP reply taken for the next one"},
    {961208003, false, 8, "step 6: the rest of a split acknowledgement opened the next reply"},
    {3133940080, false, 60, "failed while the soak grew"},
};
