#pragma once
// What pellacorctl's exit status tells a script.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;        // any other failure
inline constexpr int kExitUsage = 2;          // a usage or validation error: nothing was sent
inline constexpr int kExitUnreachable = 3;    // no laminator could be reached
inline constexpr int kExitDifferent = 1;      // diff: the laminator and the backup differ
inline constexpr int kExitInterrupted = 130;  // Ctrl-C, as a shell reports SIGINT

// The status of several targets: their common status when all ended alike, else 1.
int CombinedExit(const int* codes, int count);
