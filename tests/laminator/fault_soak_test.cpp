// The operations against the simulated laminator, over the HID path, the printing-class
// path and TCP, while it injects faults chosen from a seed. After every step: no wait past the
// link's time-outs, only the messages the fault explains, no mixed or incomplete frame at the
// laminator, and its parameters changed by nothing but a reset (the soak writes back only what
// it read). The suite runs the seeds of fault_soak_seeds.h; see tests/support/soak_runs.h for
// exploring others, and
//   PELLACOR_SOAK_TRACE=FILE  trace every frame into FILE, and print each step with its
//                             time on the trace's clock, to see what a failing step sent
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <sstream>
#include <tuple>

#include "laminator/firmware_download.h"
#include "laminator/laminate_menu_sender.h"
#include "laminator/mode_commands.h"
#include "laminator/model_workers.h"
#include "laminator/poll_control.h"
#include "laminator/reset_default.h"
#include "laminator/status_poller.h"
#include "link/frame_trace.h"
#include "sim/fault_plan.h"
#include "sim_fixture.h"
#include "tests/laminator/fault_soak_seeds.h"
#include "tests/support/soak_runs.h"

namespace {
using Clock = std::chrono::steady_clock;
using pellacor::sim::Fault;
using pellacor::sim::FaultKind;

// The longest a single request may hold the caller: a USB read's time-out, or a TCP
// receive (one blocking receive and the rest of the reply within the same second).
constexpr auto kPerRequest = std::chrono::milliseconds(2000);
// The work around the waits: stretched in the slower sanitizer builds.
constexpr auto kSlack = std::chrono::milliseconds(1500) * SoakBuildSlowdown();
constexpr auto kPerRequestWork = std::chrono::milliseconds(100) * (SoakBuildSlowdown() - 1);

const std::set<std::string> kLinkFailures = {"Failed to receive data!", "Send data error!",
                                             "The network interface is disconnected!",
                                             "The laminator's reply is incomplete!"};

enum class Op { Read, Write, Menu, Status, Mode, Raw, Reset, Firmware, Model, Reconnect, Ping };
constexpr Op kOps[] = {Op::Read, Op::Write, Op::Menu,     Op::Status, Op::Mode,
                       Op::Raw,  Op::Reset, Op::Firmware, Op::Model,  Op::Reconnect};
// What the printing-class path carries: a group selection's ping, the reset, the firmware.
constexpr Op kPrinterOps[] = {Op::Ping, Op::Reset, Op::Firmware, Op::Reconnect};
const char* OpName(Op op) {
    static const char* names[] = {"read",  "write",    "menu",  "status",    "mode", "raw",
                                  "reset", "firmware", "model", "reconnect", "ping"};
    return names[static_cast<int>(op)];
}

enum class Path { Hid, Printer, Tcp };
const char* PathName(Path path) {
    static const char* names[] = {"HID", "printing class", "TCP"};
    return names[static_cast<int>(path)];
}
LinkKind LinkOf(Path path) {
    return path == Path::Tcp ? LinkKind::Ethernet : LinkKind::Usb;
}

enum class Trouble {
    None,
    Drop,
    Delay,
    LongDelay,
    Split,
    Close,
    Silent,
    Truncate,
    Oversize,
    Unplug
};
const char* TroubleName(Trouble t) {
    static const char* names[] = {"none",  "drop",   "delay",    "long-delay", "split",
                                  "close", "silent", "truncate", "oversize",   "unplug"};
    return names[static_cast<int>(t)];
}

const std::string_view kGroups[] = {kGroupLaminatorInfo, kGroupVersionInfo, kGroupParameterSetup,
                                    kGroupLaminatorSetup, kGroupInterfaceSetup};

// One step of a run, every choice drawn before anything runs: a seed names the same steps in
// every build, however fast each step went.
struct Step {
    Path path = Path::Hid;
    Op op = Op::Read;
    Trouble trouble = Trouble::None;
    int faultValue = 0;     // which request is dropped, where a reply splits, when it closes
    int group = 0;          // for ping, read and write
    int mode = 0;           // for mode
    std::size_t image = 0;  // firmware bytes
};

// The choices that depend on the fault and the operation, in the order the walk drew them.
void DrawDetails(Step& s, std::mt19937& rng) {
    if (s.trouble == Trouble::Drop)
        s.faultValue = static_cast<int>(rng() % 3 + 1);
    else if (s.trouble == Trouble::Split)
        s.faultValue = static_cast<int>(rng() % 20);
    else if (s.trouble == Trouble::Close)
        s.faultValue = static_cast<int>(rng() % 3);
    if (s.op == Op::Ping || s.op == Op::Read || s.op == Op::Write)
        s.group = static_cast<int>(rng() % 5);
    else if (s.op == Op::Mode)
        s.mode = static_cast<int>(rng() % 3);
    else if (s.op == Op::Firmware)
        s.image = rng() % 400;
}

// Random steps: now and then another path, half of them with a fault.
std::vector<Step> PlanWalk(std::uint64_t seed, int steps) {
    std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
    std::vector<Step> plan;
    Path path = Path::Hid;
    for (int i = 0; i < steps; ++i) {
        Step s;
        if (rng() % 8 == 0)
            path = static_cast<Path>((static_cast<unsigned>(path) + 1 + rng() % 2) % 3);
        s.path = path;
        s.op = path == Path::Printer ? kPrinterOps[rng() % std::size(kPrinterOps)]
                                     : kOps[rng() % std::size(kOps)];
        s.trouble = rng() % 2 == 0 ? Trouble::None : static_cast<Trouble>(rng() % 9 + 1);
        DrawDetails(s, rng);
        plan.push_back(s);
    }
    return plan;
}

// Every operation on every path with every fault (an unplug means nothing to TCP), once each,
// in an order drawn from the seed.
std::vector<Step> PlanSweep(std::uint64_t seed) {
    std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
    std::vector<Step> plan;
    for (Path path : {Path::Hid, Path::Printer, Path::Tcp}) {
        for (Op op : kOps) {
            if (path == Path::Printer)
                continue;
            for (int t = 0; t <= static_cast<int>(Trouble::Unplug); ++t) {
                if (path == Path::Tcp && static_cast<Trouble>(t) == Trouble::Unplug)
                    continue;
                plan.push_back({path, op, static_cast<Trouble>(t)});
            }
        }
        if (path == Path::Printer) {
            for (Op op : kPrinterOps)
                for (int t = 0; t <= static_cast<int>(Trouble::Unplug); ++t)
                    plan.push_back({path, op, static_cast<Trouble>(t)});
        }
    }
    SoakShuffle(plan, rng);
    for (Step& s : plan)
        DrawDetails(s, rng);
    return plan;
}
}  // namespace

class FaultSoakTest : public SimFixture, public ::testing::Test {
  protected:
    void Soak(const SoakRun& run);

    void SetUp() override {
        StartSim();
        SetUsbBackends({MakeSimulatedUsbBackend(m_sim->UsbPath(0), UsbClass::Hid),
                        MakeSimulatedUsbBackend(m_sim->PrinterPath(0), UsbClass::Printer)});
    }
    void TearDown() override {
        StopStatusPoller();
        if (WorkerHandle poller = PollThread())
            poller->Join(std::chrono::seconds(5));
        StopSim();
    }

    static unsigned TransportBit(Path path) {
        using pellacor::sim::Transport;
        const Transport t = path == Path::Hid       ? Transport::UsbHid
                            : path == Path::Printer ? Transport::UsbPrinter
                                                    : Transport::Tcp;
        return 1u << static_cast<unsigned>(t);
    }

    void Open(Path path) {
        if (path == Path::Printer) {
            ASSERT_EQ(OpenPrinterClassLink(), 1);
            m_link = LinkKind::Usb;
            m_sim->ClearLog();
        } else {
            Connect(LinkOf(path));
        }
    }

    void Apply(const Step& step) {
        std::vector<Fault> faults;
        const Path path = step.path;
        const unsigned on = TransportBit(path);
        switch (step.trouble) {
            case Trouble::Drop:
                faults.push_back({FaultKind::DropNth, step.faultValue, on});
                break;
            case Trouble::Delay:
                faults.push_back({FaultKind::Delay, 150, on});
                break;
            case Trouble::LongDelay:  // past the TCP receive time-out, within the USB one
                faults.push_back({FaultKind::Delay, 1300, on});
                break;
            case Trouble::Split:
                faults.push_back({FaultKind::Split, step.faultValue, on});
                break;
            case Trouble::Close:
                faults.push_back({FaultKind::CloseAfter, step.faultValue, on});
                break;
            case Trouble::Silent:
                faults.push_back({FaultKind::Silent, 0, on});
                break;
            case Trouble::Truncate:
                faults.push_back({FaultKind::Truncate, 0, on});
                break;
            case Trouble::Oversize:
                faults.push_back({FaultKind::Oversize, 0, on});
                break;
            case Trouble::Unplug:
                if (path != Path::Tcp)
                    m_sim->UnplugUsb(0);
                break;
            case Trouble::None:
                break;
        }
        m_sim->SetFaults(faults);
    }

    // The laminator reads each link on its own: the last frames of a link just closed (a
    // MODE close, or the close itself) may still be on their way when the next link's first
    // request arrives. A technician never switches that fast; wait for the laminator to see
    // the old link end before the next one begins.
    void LetTheLaminatorSeeTheLinkEnd() {
        for (int i = 0; i < 200 && m_sim->BracketOpen(0); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    // Brings the link back after a fault: faults off, device plugged, link open.
    void Recover(Path path) {
        m_sim->SetFaults({});
        std::string error;
        m_sim->ReplugUsb(0, &error);
        if (path != Path::Tcp) {
            CloseUsbLink();
            LetTheLaminatorSeeTheLinkEnd();
            ASSERT_EQ(path == Path::Hid ? OpenHidLink() : OpenPrinterClassLink(), 1);
        } else {
            CloseEthernet();
            LetTheLaminatorSeeTheLinkEnd();
            ASSERT_TRUE(ConnectEthernet(m_sim->TcpHost(0)));
        }
        // Let replies that came late reach the link before the next step: they are stale.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        DefaultMessageBoxRecorder().Clear();
    }

    // What the laminator flagged and why, the latest last, to see what a failing step sent.
    std::string FlaggedFrames() const {
        std::ostringstream out;
        int shown = 0;
        const std::vector<pellacor::sim::FrameRecord> frames = m_sim->Frames();
        for (auto r = frames.rbegin(); r != frames.rend() && shown < 6; ++r) {
            if (r->flag == pellacor::sim::Flag::None)
                continue;
            ++shown;
            out << "  #" << r->sequence << " " << pellacor::sim::TransportName(r->transport) << " "
                << pellacor::sim::FlagName(r->flag) << ": " << r->note << " [";
            for (std::size_t i = 0; i < r->bytes.size() && i < 12; ++i) {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%02X ", r->bytes[i]);
                out << hex;
            }
            out << "]\n";
        }
        return out.str();
    }

    // As the list does on a group change: the group's rows show the stored values.
    void ShowGroup(std::string_view group) {
        SetCurrentGroup(std::string(group));
        m_view.ClearCells();
        for (int k = 0; k < kParamCount; ++k) {
            const ParameterInfo& p = Parameter(static_cast<ParamKey>(k));
            if (p.group == group)
                m_view.SetCell(p.row, Store().Get(static_cast<ParamKey>(k)));
        }
    }

    void Run(const Step& step) {
        const Path path = step.path;
        const LinkKind link = LinkOf(path);
        switch (step.op) {
            case Op::Ping:
                ShowGroup(kGroups[step.group]);
                GroupPing(&m_view);
                break;
            case Op::Read:
                ShowGroup(kGroups[step.group]);
                Read();
                break;
            case Op::Write:
                ShowGroup(kGroups[step.group]);
                Write();
                break;
            case Op::Menu:
                ShowGroup(kGroupParameterSetup);
                SetSelectedLaminateMenu(Store().Get(ParamKey::LaminateMenu));
                SendLaminateMenu(&m_view);
                break;
            case Op::Status: {
                StartStatusPoller(link == LinkKind::Usb ? &UsbStatusPoller : &NetStatusPoller,
                                  &m_view);
                WaitPollCycleDone(std::chrono::milliseconds(2500));
                WorkerHandle poller = PollThread();
                StopStatusPoller();
                if (poller) {
                    ASSERT_TRUE(poller->Join(kPerRequest * 3 + kSlack));
                }
                break;
            }
            case Op::Mode:
                SwitchMode(link, step.mode);
                break;
            case Op::Raw:
                SendRawCommand(link, "1c 41 50 01 00 00 00 00");
                break;
            case Op::Reset:
                ResetLaminator(link, nullptr);
                // The cells now hold values from before the reset: read before writing.
                Store().Clear();
                m_view.ClearCells();
                break;
            case Op::Firmware: {
                const Bytes image(step.image, 'S');
                const FirmwareRoute route = path == Path::Hid       ? FirmwareRoute::Hid
                                            : path == Path::Printer ? FirmwareRoute::PrinterClass
                                                                    : FirmwareRoute::Ethernet;
                const TransferResult result = TransferFirmware(m_view, route, image);
                if (const std::string text = DownloadOutcomeText(result); !text.empty())
                    ReportLinkMessage(text);
                break;
            }
            case Op::Model:
                ShowGroup(kGroupLaminatorInfo);
                ModelReadWorker(&m_view);
                break;
            case Op::Reconnect:
                if (path != Path::Tcp) {
                    CloseUsbLink();
                    LetTheLaminatorSeeTheLinkEnd();
                    path == Path::Hid ? OpenHidLink() : OpenPrinterClassLink();
                } else {
                    CloseEthernet();
                    LetTheLaminatorSeeTheLinkEnd();
                    ConnectEthernet(m_sim->TcpHost(0));
                }
                break;
        }
    }
};

void FaultSoakTest::Soak(const SoakRun& run) {
    const std::uint64_t seed = run.seed;
    const std::vector<Step> plan = run.sweep ? PlanSweep(seed) : PlanWalk(seed, run.steps);
    const std::string repeat =
        std::string("PELLACOR_SOAK_SEED=") + std::to_string(seed) +
        " PELLACOR_SOAK_PLAN=" + (run.sweep ? "sweep" : "walk") +
        (run.sweep ? "" : " PELLACOR_SOAK_STEPS=" + std::to_string(run.steps));
    std::printf("fault soak: %s %llu, %zu steps (%s repeats it)\n", run.sweep ? "sweep" : "walk",
                static_cast<unsigned long long>(seed), plan.size(), repeat.c_str());
    std::fflush(stdout);
    RecordProperty("seed", std::to_string(seed));

    const char* tracePath = std::getenv("PELLACOR_SOAK_TRACE");
    std::string traceError;
    if (tracePath && *tracePath) {
        ASSERT_TRUE(EnableFrameTrace(tracePath, traceError)) << traceError;
    }
    const Clock::time_point traceStart = Clock::now();

    Path path = Path::Hid;
    Open(path);
    int steps = 0;
    for (const Step& s : plan) {
        if (HasFatalFailure())
            break;
        if (s.path != path) {
            StopStatusPoller();
            if (WorkerHandle poller = PollThread()) {
                ASSERT_TRUE(poller->Join(std::chrono::seconds(10)));
            }
            CloseUsbLink();
            CloseEthernet();
            EthernetLinkActive = 0;
            UsbLinkActive = 0;
            LetTheLaminatorSeeTheLinkEnd();
            path = s.path;
            Open(path);
        }
        const Op op = s.op;
        const LinkKind link = LinkOf(path);
        const Trouble trouble = s.trouble;
        std::ostringstream step;
        step << "step " << steps << ": " << OpName(op) << " over " << PathName(path) << " with "
             << TroubleName(trouble) << " (" << repeat << ")";
        SCOPED_TRACE(step.str());

        const pellacor::sim::Parameters before = m_sim->State(0).params;
        const pellacor::sim::Counters c0 = m_sim->GetCounters();
        DefaultMessageBoxRecorder().Clear();
        Apply(s);
        const Clock::time_point start = Clock::now();
        Run(s);
        const auto took = Clock::now() - start;
        if (FrameTraceOn()) {
            using std::chrono::duration_cast;
            std::printf(
                "%12lld us  %s: %lld ms\n",
                static_cast<long long>(
                    duration_cast<std::chrono::microseconds>(start - traceStart).count()),
                step.str().c_str(),
                static_cast<long long>(duration_cast<std::chrono::milliseconds>(took).count()));
        }
        const pellacor::sim::Counters c1 = m_sim->GetCounters();
        const std::vector<std::string> messages = DefaultMessageBoxRecorder().Texts();

        // Time: each request the laminator saw (at least one) within the link's time-out.
        const auto requests = std::max<std::uint64_t>(1, c1.received - c0.received);
        EXPECT_LE(took, (kPerRequest + kPerRequestWork) * static_cast<long>(requests) + kSlack +
                            (op == Op::Status ? std::chrono::milliseconds(2500)
                                              : std::chrono::milliseconds(0)));
        // Frames: whole and unmixed whatever the fault.
        EXPECT_EQ(c1.mixedBracket, c0.mixedBracket);
        EXPECT_EQ(c1.incomplete, c0.incomplete);
        EXPECT_EQ(c1.protocolErrors, c0.protocolErrors);
        if (c1.mixedBracket != c0.mixedBracket || c1.incomplete != c0.incomplete ||
            c1.protocolErrors != c0.protocolErrors) {
            ADD_FAILURE() << "the laminator flagged:\n" << FlaggedFrames();
        }
        // Parameters: only a reset changes them; a write sends back what was read.
        if (op != Op::Reset) {
            EXPECT_TRUE(m_sim->State(0).params == before);
        }
        // Messages: without a fault no link failure; with one only link failures and the
        // operations' own texts.
        for (const std::string& m : messages) {
            const bool failure = kLinkFailures.count(m) > 0 ||
                                 m.rfind("Download failed: ", 0) == 0 ||
                                 m == "Usb port not available!" || m == "No conforming device!";
            if (trouble == Trouble::None || trouble == Trouble::Delay ||
                trouble == Trouble::Split || trouble == Trouble::Oversize) {
                EXPECT_FALSE(failure) << m;
            }
        }
        // A laminator that answers nothing, asked something: the link's own message.
        if (trouble == Trouble::Silent && c1.received > c0.received && op != Op::Status &&
            op != Op::Reset && op != Op::Reconnect && op != Op::Firmware) {
            const std::string expected = link == LinkKind::Usb
                                             ? "Failed to receive data!"
                                             : "The network interface is disconnected!";
            EXPECT_NE(std::find(messages.begin(), messages.end(), expected), messages.end());
        }
        if (trouble != Trouble::None || op == Op::Reconnect || op == Op::Reset)
            Recover(path);
        ++steps;
    }
    if (FrameTraceOn()) {
        DisableFrameTrace();
    }
    std::printf("fault soak: %d steps\n", steps);
    EXPECT_EQ(steps, static_cast<int>(plan.size()));
}

// The committed seeds: the same code, the same answer.
class FaultSoakSeeds : public FaultSoakTest, public ::testing::WithParamInterface<SoakRun> {};

TEST_P(FaultSoakSeeds, EveryOperationHoldsUnderFaults) {
    Soak(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Listed, FaultSoakSeeds, ::testing::ValuesIn(kLaminatorSoakRuns),
                         SoakRunName);

// A seed from the environment (scripts/soak); skipped otherwise.
TEST_F(FaultSoakTest, Explore) {
    const std::optional<SoakRun> run = ExploredSoakRun(200);
    if (!run)
        GTEST_SKIP() << "PELLACOR_SOAK_SEED not set";
    Soak(*run);
}

// The sweep is what makes a short list cover everything: each operation on each path with
// each fault, exactly once.
TEST(FaultSoakPlan, ASweepCoversEveryOperationOnEveryPathWithEveryFault) {
    const std::vector<Step> plan = PlanSweep(1);
    std::set<std::tuple<int, int, int>> seen;
    for (const Step& s : plan)
        seen.insert(
            {static_cast<int>(s.path), static_cast<int>(s.op), static_cast<int>(s.trouble)});
    EXPECT_EQ(seen.size(), plan.size());
    const std::size_t troubles = static_cast<std::size_t>(Trouble::Unplug) + 1;
    EXPECT_EQ(plan.size(), std::size(kOps) * troubles + std::size(kPrinterOps) * troubles +
                               std::size(kOps) * (troubles - 1));
    // The same seed, the same order; another seed, another order.
    const std::vector<Step> again = PlanSweep(1);
    const std::vector<Step> other = PlanSweep(2);
    EXPECT_TRUE(
        std::equal(plan.begin(), plan.end(), again.begin(), [](const Step& a, const Step& b) {
            return a.path == b.path && a.op == b.op && a.trouble == b.trouble && a.image == b.image;
        }));
    EXPECT_FALSE(
        std::equal(plan.begin(), plan.end(), other.begin(), [](const Step& a, const Step& b) {
            return a.path == b.path && a.op == b.op && a.trouble == b.trouble;
        }));
}
