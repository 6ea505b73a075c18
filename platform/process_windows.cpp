#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/process.h"

namespace platform {

namespace {
void (*g_stopHandler)() = nullptr;

BOOL WINAPI CallStopHandler(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            if (g_stopHandler)
                g_stopHandler();
            return TRUE;
        default:
            return FALSE;
    }
}

// The MinGW runtime has no std::quick_exit: its actions are kept here.
constexpr int kMaxQuickExitActions = 32;
void (*g_quickExitActions[kMaxQuickExitActions])() = {};
std::atomic<int> g_quickExitCount{0};

void (*g_crashFlush)() = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;

LONG WINAPI FlushOnCrash(EXCEPTION_POINTERS* exception) {
    if (g_crashFlush)
        g_crashFlush();
    return g_previousFilter ? g_previousFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

extern "C" void FlushOnAbort(int) {
    if (g_crashFlush)
        g_crashFlush();
}
}  // namespace

void OnStopRequest(void (*handler)()) {
    g_stopHandler = handler;
    SetConsoleCtrlHandler(CallStopHandler, TRUE);
}

namespace {
HANDLE StopEvent() {
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}
BOOL WINAPI SetStopEvent(DWORD kind) {
    if (kind == CTRL_C_EVENT || kind == CTRL_BREAK_EVENT || kind == CTRL_CLOSE_EVENT ||
        kind == CTRL_SHUTDOWN_EVENT) {
        SetEvent(StopEvent());
        return TRUE;
    }
    return FALSE;
}
}  // namespace

void HoldConsoleRequests() {
    StopEvent();
    SetConsoleCtrlHandler(SetStopEvent, TRUE);
}

ConsoleRequest WaitConsoleRequest() {
    WaitForSingleObject(StopEvent(), INFINITE);
    return ConsoleRequest::Stop;
}

void AtQuickExit(void (*action)()) {
    const int at = g_quickExitCount.fetch_add(1);
    if (at < kMaxQuickExitActions)
        g_quickExitActions[at] = action;
}

void QuickExit(int code) {
    const int count = std::min(g_quickExitCount.load(), kMaxQuickExitActions);
    for (int i = count - 1; i >= 0; --i) {
        if (g_quickExitActions[i])
            g_quickExitActions[i]();
    }
    std::fflush(nullptr);
    std::_Exit(code);
}

void OnCrash(void (*flush)()) {
    g_crashFlush = flush;
    g_previousFilter = SetUnhandledExceptionFilter(FlushOnCrash);
    std::signal(SIGABRT, FlushOnAbort);
}

std::optional<std::filesystem::path> MakePrivateTempFolder(const std::string& prefix,
                                                           std::string& error) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) {
        error = "no folder for temporary files: " + ec.message();
        return std::nullopt;
    }
    // The temporary folder under the user's profile is the user's own; a name drawn from the
    // system's random source cannot be claimed first, and CreateDirectory never takes one
    // that exists.
    std::random_device random;
    const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < 12; ++i)
            name += digits[random() % (sizeof digits - 1)];
        const std::filesystem::path folder = base / name;
        if (CreateDirectoryW(folder.wstring().c_str(), nullptr))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            error = "cannot create " + folder.string() + ": Windows error " +
                    std::to_string(GetLastError());
            return std::nullopt;
        }
    }
    error = "cannot create a folder under " + base.string() + ": every name taken";
    return std::nullopt;
}

std::string OsUserName() {
    char name[257] = {};
    DWORD size = sizeof name;
    if (GetUserNameA(name, &size) && size > 1)
        return std::string(name, size - 1);
    if (const char* user = std::getenv("USERNAME"))
        return user;
    return "unknown";
}

long ProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

void IgnoreBrokenPipes() {}

void BinaryStandardOutput() {
    // Messages too: a script reading standard error gets the same lines as on Linux.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace platform
