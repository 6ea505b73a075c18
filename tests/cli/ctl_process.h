#pragma once
// pellacorctl run as a process, its standard output and error captured, against simulated
// laminators on loopback.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/simulator.h"

extern char** environ;

namespace ctltest {

struct CtlRun {
    int exit = -1;
    std::string out;
    std::string err;
    nlohmann::json Json() const { return nlohmann::json::parse(out); }
};

// Starts pellacorctl with `args`; `whileRunning` is called with the output read so far and
// the process id until the process ends (it may signal the process).
inline CtlRun RunCtl(const std::vector<std::string>& args,
                     const std::function<void(const CtlRun&, pid_t)>& whileRunning = {}) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    std::vector<std::string> all = {PELLACORCTL_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    CtlRun run;
    if (spawned != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return run;
    }
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (poll(fds, 2, 100) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? run.out : run.err).append(buffer, static_cast<std::size_t>(n));
            }
        }
        if (whileRunning)
            whileRunning(run, pid);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// A free loopback TCP port, so several simulated laminators can share one.
uint16_t FreeTcpPort();

// A private folder for the virtual USB sockets, removed at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

// Simulated laminators on loopback: TCP (127.0.0.1 + k, one port), UDP, and the virtual
// HID laminator of the first.
class SimulatedLaminators {
  public:
    explicit SimulatedLaminators(int count = 1);
    bool Started() const { return m_started; }
    const std::string& Error() const { return m_error; }
    pellacor::sim::Simulator& Sim() { return *m_sim; }
    std::string Tcp(int k = 0) const;
    std::string Usb() const { return m_sim->UsbPath(0); }
    std::string Printer() const { return m_sim->PrinterPath(0); }
    std::string SearchAddress() const;
    // Frames the laminators received that write parameters (1C 77 over TCP, the same after
    // A5 and a length byte over USB).
    int ParameterWrites() const;
    int FramesReceived() const;

  private:
    TempDir m_dir;
    std::unique_ptr<pellacor::sim::Simulator> m_sim;
    bool m_started = false;
    std::string m_error;
};

}  // namespace ctltest
