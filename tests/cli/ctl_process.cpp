#include "tests/cli/ctl_process.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "platform/process.h"
#include "platform/sockets.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace ctltest {

namespace {

std::vector<std::string> CommandLine(const std::vector<std::string>& args) {
    std::vector<std::string> all = {PELLACORCTL_PATH};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

#ifdef _WIN32

// One argument as the C runtime's parser reads it back: quoted, with the backslashes
// before a quote doubled.
std::string QuotedArgument(const std::string& arg) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

class WindowsChild : public CtlChild {
  public:
    explicit WindowsChild(DWORD id) : m_id(id) {}
    void Interrupt() const override { GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, m_id); }

  private:
    DWORD m_id;
};

// Reads a pipe to its end on a thread of its own; the test reads what arrived so far.
class PipeReader {
  public:
    explicit PipeReader(HANDLE pipe)
        : m_pipe(pipe), m_thread([this] {
              char buffer[65536];
              DWORD n = 0;
              while (ReadFile(m_pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) {
                  std::lock_guard<std::mutex> lock(m_mutex);
                  m_text.append(buffer, n);
              }
          }) {}
    ~PipeReader() {
        if (m_thread.joinable())
            m_thread.join();
        CloseHandle(m_pipe);
    }
    // Once the child ended: everything it wrote, the bytes still in the pipe included.
    std::string Rest() {
        m_thread.join();
        return Text();
    }
    std::string Text() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_text;
    }

  private:
    HANDLE m_pipe;
    mutable std::mutex m_mutex;
    std::string m_text;
    std::thread m_thread;
};

}  // namespace

CtlRun RunCtl(const std::vector<std::string>& args,
              const std::function<void(const CtlRun&, const CtlChild&)>& whileRunning) {
    CtlRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0))
        return run;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return run;
    }
    // Only the writing ends go to the child.
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    std::string line;
    for (const std::string& a : CommandLine(args))
        line += (line.empty() ? "" : " ") + QuotedArgument(a);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = outWrite;
    start.hStdError = errWrite;
    PROCESS_INFORMATION child{};
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &start, &child);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (!started) {
        CloseHandle(outRead);
        CloseHandle(errRead);
        return run;
    }
    {
        PipeReader out(outRead);
        PipeReader err(errRead);
        const WindowsChild handle(child.dwProcessId);
        for (;;) {
            if (WaitForSingleObject(child.hProcess, 100) == WAIT_OBJECT_0)
                break;
            run.out = out.Text();
            run.err = err.Text();
            if (whileRunning)
                whileRunning(run, handle);
        }
        // The child may have ended with its last bytes still in the pipes.
        run.out = out.Rest();
        run.err = err.Rest();
    }
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    run.exit = static_cast<int>(code);
    return run;
}

#else

class PosixChild : public CtlChild {
  public:
    explicit PosixChild(pid_t pid) : m_pid(pid) {}
    void Interrupt() const override { kill(m_pid, SIGINT); }

  private:
    pid_t m_pid;
};

}  // namespace

CtlRun RunCtl(const std::vector<std::string>& args,
              const std::function<void(const CtlRun&, const CtlChild&)>& whileRunning) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    std::vector<std::string> all = CommandLine(args);
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
    const PosixChild handle(pid);
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
            whileRunning(run, handle);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

#endif

uint16_t FreeTcpPort() {
    platform::Socket s(platform::OpenSocket(platform::SocketKind::Stream));
    if (!s.Valid() || !platform::Bind(s.Get(), {platform::kLoopback, 0}))
        return 0;
    return platform::LocalEndpoint(s.Get()).port;
}

TempDir::TempDir() {
    std::string reason;
    m_path = platform::MakePrivateTempFolder("pellacorctl-test", reason).value_or("");
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ec);
}

SimulatedLaminators::SimulatedLaminators(int count) {
    // A port picked free a moment ago can be taken meanwhile: a few tries.
    for (int attempt = 0; attempt < 5 && !m_started; ++attempt) {
        pellacor::sim::SimOptions o;
        o.count = count;
        o.tcpHost = "127.0.0.1";
        o.tcpPort = count == 1 ? 0 : FreeTcpPort();
        o.udpHost = "127.0.0.1";
        o.udpPort = 0;
        o.usbPath = (m_dir.Path() / ("hid" + std::to_string(attempt))).string();
        o.printerPath = (m_dir.Path() / ("lp" + std::to_string(attempt))).string();
        m_sim = std::make_unique<pellacor::sim::Simulator>(o);
        m_error.clear();
        m_started = m_sim->Start(&m_error);
    }
}

std::string SimulatedLaminators::Tcp(int k) const {
    return m_sim->TcpHost(k) + ":" + std::to_string(m_sim->TcpPort(k));
}

std::string SimulatedLaminators::SearchAddress() const {
    return "127.0.0.1:" + std::to_string(m_sim->UdpPort());
}

int SimulatedLaminators::ParameterWrites() const {
    int writes = 0;
    for (const pellacor::sim::FrameRecord& f : m_sim->Frames()) {
        if (f.direction != pellacor::sim::Direction::Received)
            continue;
        const std::vector<uint8_t>& b = f.bytes;
        const std::size_t at = (!b.empty() && b[0] == 0xA5) ? 2 : 0;
        if (b.size() >= at + 2 && b[at] == 0x1C && b[at + 1] == 0x77)
            ++writes;
    }
    return writes;
}

int SimulatedLaminators::FramesReceived() const {
    int n = 0;
    for (const pellacor::sim::FrameRecord& f : m_sim->Frames())
        n += f.direction == pellacor::sim::Direction::Received;
    return n;
}

}  // namespace ctltest
