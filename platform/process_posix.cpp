#include <pthread.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/process.h"

namespace platform {

namespace {
void (*g_stopHandler)() = nullptr;

extern "C" void CallStopHandler(int) {
    if (g_stopHandler)
        g_stopHandler();
}

void (*g_crashFlush)() = nullptr;
constexpr int kCrashSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
struct sigaction g_previous[std::size(kCrashSignals)];

// Flushes, then hands the signal on to whoever handled it before (a sanitizer's report), or
// to the default action.
extern "C" void FlushOnCrash(int signal, siginfo_t* info, void* context) {
    if (g_crashFlush)
        g_crashFlush();
    for (std::size_t i = 0; i < std::size(kCrashSignals); ++i) {
        if (kCrashSignals[i] != signal)
            continue;
        const struct sigaction& previous = g_previous[i];
        if (previous.sa_flags & SA_SIGINFO) {
            if (previous.sa_sigaction) {
                previous.sa_sigaction(signal, info, context);
                return;
            }
        } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
            previous.sa_handler(signal);
            return;
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}
}  // namespace

void OnStopRequest(void (*handler)()) {
    g_stopHandler = handler;
    struct sigaction action {};
    action.sa_handler = CallStopHandler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

namespace {
sigset_t ConsoleSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int sig : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2})
        sigaddset(&signals, sig);
    return signals;
}
}  // namespace

void HoldConsoleRequests() {
    // Threads inherit the mask, so a signal never lands in a server thread.
    const sigset_t signals = ConsoleSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

ConsoleRequest WaitConsoleRequest() {
    const sigset_t signals = ConsoleSignals();
    int sig = 0;
    if (sigwait(&signals, &sig) != 0)
        return ConsoleRequest::Stop;
    if (sig == SIGUSR1)
        return ConsoleRequest::User1;
    if (sig == SIGUSR2)
        return ConsoleRequest::User2;
    return ConsoleRequest::Stop;
}

void AtQuickExit(void (*action)()) {
    std::at_quick_exit(action);
}

void QuickExit(int code) {
    std::fflush(nullptr);
    std::quick_exit(code);
}

void OnCrash(void (*flush)()) {
    g_crashFlush = flush;
    for (std::size_t i = 0; i < std::size(kCrashSignals); ++i) {
        struct sigaction action {};
        action.sa_sigaction = FlushOnCrash;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_RESETHAND;
        sigaction(kCrashSignals[i], &action, &g_previous[i]);
    }
}

std::optional<std::filesystem::path> MakePrivateTempFolder(const std::string& prefix,
                                                           std::string& error) {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / (prefix + "XXXXXX")).string();
    if (ec) {
        error = "no folder for temporary files: " + ec.message();
        return std::nullopt;
    }
    // mkdtemp makes the folder owner-only, under a name nobody can guess or claim first.
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "cannot create " + pattern + ": " + std::strerror(errno);
        return std::nullopt;
    }
    return std::filesystem::path(pattern);
}

std::string OsUserName() {
    if (const passwd* p = getpwuid(geteuid()); p && p->pw_name)
        return p->pw_name;
    if (const char* user = std::getenv("USER"))
        return user;
    return std::to_string(geteuid());
}

long ProcessId() {
    return static_cast<long>(::getpid());
}

void IgnoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

void BinaryStandardOutput() {}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

}  // namespace platform
