#pragma once
// The process's dealings with its system: stop requests from the console, ending without
// destructors, a last write on a crash, private temporary folders, who runs it.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// Calls `handler` on Ctrl-C and on a request to terminate (SIGINT/SIGTERM; Ctrl-C, Ctrl-Break
// and console close on Windows). The handler runs in a signal handler or a system thread:
// it may only set atomics.
void OnStopRequest(void (*handler)());

// What a long-running console program is asked from outside: to stop (Ctrl-C, terminate),
// or, where the system has them, one of two user signals (SIGUSR1, SIGUSR2; never on
// Windows, where a program takes such requests on its standard input instead).
enum class ConsoleRequest { Stop, User1, User2 };
// Keeps these requests from every thread started after it: call it first in main, before
// any thread, then take them one by one with WaitConsoleRequest on the main thread.
void HoldConsoleRequests();
ConsoleRequest WaitConsoleRequest();

// Registers `action` to run at QuickExit, newest first (std::at_quick_exit where it exists).
void AtQuickExit(void (*action)());
// Ends the process at once with `code`: no static object is destroyed, the AtQuickExit
// actions run and C streams are flushed.
[[noreturn]] void QuickExit(int code);

// Calls `flush` when the process crashes (a fault, abort), then lets the crash go on as it
// would have. `flush` may only make async-signal-safe calls (WriteFileAll).
void OnCrash(void (*flush)());

// A new folder only this user may enter, under the system's temporary folder, whose name
// starts with `prefix` and nobody could claim first. Its path, or nullopt with `error` set.
std::optional<std::filesystem::path> MakePrivateTempFolder(const std::string& prefix,
                                                           std::string& error);

std::string OsUserName();
long ProcessId();

// A write to a connection or pipe whose reader has gone fails instead of ending the process
// (POSIX raises SIGPIPE; Windows never does).
void IgnoreBrokenPipes();

// Standard output and error as bytes: no CRLF for LF on Windows. Nothing to do elsewhere.
void BinaryStandardOutput();
bool StandardErrorIsTerminal();

}  // namespace platform
