// The window thread's longest stall while each slow action runs against the simulator: a
// 1 ms heartbeat timer on the window's event loop records the longest gap between its ticks.
// The same heartbeat over an idle window in the same run is the baseline. Every packet goes
// to loopback. Run: QT_QPA_PLATFORM=offscreen ./build/bench/bench_qt_window_stall
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "framework/message_box.h"
#include "framework/worker.h"
#include "laminator/firmware_image.h"
#include "laminator/param_store.h"
#include "laminator/poll_control.h"
#include "laminator/status_poller.h"
#include "link/ethernet_link.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "netsetup/found_devices.h"
#include "netsetup/net_resources.h"
#include "netsetup/net_work.h"
#include "qt/dialog_window.h"
#include "qt/qt_dialog_host.h"
#include "qt/qt_message_box_sink.h"
#include "sim/simulator.h"
#include "tests/support/hanging_listener.h"

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class ChoosingHost : public QtDialogHost {
  public:
    std::optional<std::string> OpenFileDialog(Dialog&, const std::string&) override { return next; }
    std::optional<std::string> next;
};

// Runs the event loop until `done` holds or `limit` passes; the longest gap between two
// heartbeat ticks meanwhile, in milliseconds.
double LongestGap(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.elapsed();
    qint64 longest = 0;
    QTimer beat;
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    beat.start();
    const auto end = Clock::now() + limit;
    while (!done() && Clock::now() < end)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    beat.stop();
    return static_cast<double>(std::max(longest, clock.elapsed() - last));
}

// Answers every question with `yes`, dismisses every other box, closes the settings dialog.
class Answerer {
  public:
    Answerer(QtMessageBoxSink& boxes, bool yes) {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [&boxes, yes] {
            for (QMessageBox* box : boxes.OpenBoxes()) {
                if (QAbstractButton* b = box->button(yes ? QMessageBox::Yes : QMessageBox::No))
                    b->click();
                else if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                    ok->click();
            }
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->isVisible() && w->windowTitle() == "Laminator Ethernet Port setup")
                    w->close();
            }
        });
        m_timer.start();
    }

  private:
    QTimer m_timer;
};

struct Bench {
    std::filesystem::path dir;
    std::unique_ptr<pellacor::sim::Simulator> sim;
    QtMessageBoxSink boxes;
    ChoosingHost host;
    std::unique_ptr<CCorvaneDlg> dlg;
    QWidget* window = nullptr;

    Bench() {
        char pattern[] = "/tmp/pellacor-stall-XXXXXX";
        dir = ::mkdtemp(pattern);
        pellacor::sim::SimOptions o;
        o.tcpHost = "127.0.0.1";
        o.tcpPort = 0;
        o.udp = true;
        o.udpHost = "127.0.0.1";
        o.udpPort = 0;
        o.usbPath = (dir / "hid").string();
        o.printerPath = (dir / "lp").string();
        sim = std::make_unique<pellacor::sim::Simulator>(o);
        std::string error;
        if (!sim->Start(&error))
            std::fprintf(stderr, "simulator: %s\n", error.c_str());
        SetUsbBackends({MakeSimulatedUsbBackend(sim->UsbPath(0), UsbClass::Hid)});
        SetEthernetPort(sim->TcpPort(0));
        SetMessageBoxSink(&boxes);
        dlg = std::make_unique<CCorvaneDlg>(&host);
        window = host.Show(*dlg);
    }
    ~Bench() {
        boxes.SetAutoDismiss(true);
        boxes.DismissAll();
        StopStatusPoller();
        WaitForAllWorkers(30s);
        host.Close(*dlg);
        dlg.reset();
        SetMessageBoxSink(nullptr);
        CloseUsbLink();
        sim.reset();
        std::filesystem::remove_all(dir);
    }
    QPushButton* ButtonOf(int id) { return dynamic_cast<QPushButton*>(host.WidgetById(*dlg, id)); }
    void Settle(std::chrono::milliseconds d) {
        LongestGap([] { return false; }, d);
    }

    std::string WriteFile(std::size_t size) {
        const std::filesystem::path path = dir / "fw.mot";
        std::vector<char> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i * 13 + i / 977);
        std::ofstream(path, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(size));
        return path.string();
    }
};

// The longest gap while `call` runs on the window thread itself, as the handlers did before
// they moved their waiting to workers: the figure to compare with.
double OnWindowThread(const std::function<void()>& call, std::chrono::milliseconds settle = 0ms) {
    bool done = false;
    QTimer::singleShot(0, [&] {
        call();
        done = true;
    });
    double gap = LongestGap([&] { return done; }, 120s);
    if (settle.count() > 0)
        gap = std::max(gap, LongestGap([] { return false; }, settle));
    return gap;
}

void Report(const char* action, double gap, double idle) {
    std::printf("%-58s %8.1f ms  %7.1fx idle\n", action, gap, idle > 0 ? gap / idle : 0.0);
    std::fflush(stdout);
}

// What cuts the download short in the measured loop: Deactivate Port or the title bar's close.
enum class Interrupt { Deactivate, CloseWindow };

// `windowThread`: the port is closed on the window thread instead, as Deactivate did.
double DeactivateDuringDownload(Bench& b, bool yes, bool windowThread = false,
                                Interrupt interrupt = Interrupt::Deactivate) {
    Answerer answers(b.boxes, yes);
    if (b.dlg->Item(kIdAutoDetect).GetCheck())
        dynamic_cast<QCheckBox*>(b.host.WidgetById(*b.dlg, kIdAutoDetect))->click();
    b.ButtonOf(kIdActivatePort)->click();
    LongestGap([] { return UsbHandleTable()[0] > 0; }, 10s);
    b.host.next = b.WriteFile(64u << 20);
    b.ButtonOf(kIdBrowse)->click();
    LongestGap(
        [&] { return b.dlg->LoadedFirmware() != nullptr && b.ButtonOf(kIdDownload)->isEnabled(); },
        30s);
    b.ButtonOf(kIdDownload)->click();
    LongestGap([&] { return b.dlg->GetProgressPosition() > 20000; }, 60s);
    double gap = 0;
    if (windowThread) {
        return OnWindowThread([] {
            StopStatusPoller();
            CloseUsbLink();
        });
    }
    // The click itself is inside the measured loop: a handler that waits shows as a gap.
    bool clicked = false;
    gap = LongestGap(
        [&] {
            if (!clicked) {
                clicked = true;
                if (interrupt == Interrupt::CloseWindow)
                    QTimer::singleShot(0, b.window, &QWidget::close);
                else
                    QTimer::singleShot(0, b.ButtonOf(kIdDeactivatePort), &QPushButton::click);
                return false;
            }
            if (interrupt == Interrupt::CloseWindow)
                return b.host.EndResult(*b.dlg).has_value() && RunningWorkerCount() == 0;
            return b.ButtonOf(kIdActivatePort)->isEnabled() && RunningWorkerCount() == 0;
        },
        120s);
    return gap;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    double idle = 0;
    {
        Bench b;
        idle = LongestGap([] { return false; }, 2s);
        Report("idle window (baseline)", idle, idle);
    }
    {
        Bench b;
        Report("HID download 64 MiB, Deactivate Port, answer No",
               DeactivateDuringDownload(b, false), idle);
    }
    {
        Bench b;
        Report("HID download 64 MiB, Deactivate Port, answer Yes",
               DeactivateDuringDownload(b, true), idle);
    }
    {
        Bench b;
        Report("HID download 64 MiB, close the window, answer Yes",
               DeactivateDuringDownload(b, true, false, Interrupt::CloseWindow), idle);
    }
    {
        Bench b;
        Report("  same, port closed on the window thread", DeactivateDuringDownload(b, false, true),
               idle);
    }
    {
        Bench b;
        HangingListener hanging;
        SetEthernetPort(hanging.Port());
        Store().Set(ParamKey::IpAddress, "127.0.0.1");
        b.dlg->Item(kIdEthernetCheck).SetCheck(1);
        bool clicked = false;
        const double gap = LongestGap(
            [&] {
                if (!clicked) {
                    clicked = true;
                    QTimer::singleShot(0, [&] {
                        Event e;
                        e.code = Notify::Clicked;
                        e.id = kIdEthernetCheck;
                        b.dlg->Dispatch(e);
                    });
                    return false;
                }
                return EthernetSocket.load() == -1;
            },
            20s);
        Report("Ethernet port box, connect hangs (5 s limit)", gap, idle);
        Report("  same, connect on the window thread",
               OnWindowThread([] { ConnectEthernet("127.0.0.1"); }), idle);
    }
    {
        Bench b;
        HangingListener hanging;
        SetEthernetPort(hanging.Port());
        CNetWork net(nullptr, &b.host, SearchTarget{0x7F000001, b.sim->UdpPort()});
        b.host.Show(net);
        dynamic_cast<QPushButton*>(b.host.WidgetById(net, kIdSearch))->click();
        LongestGap([&] { return !net.IsCollecting() && net.m_deviceList->RowCount() > 0; }, 10s);
        net.m_deviceList->SetSelection(0);
        Answerer answers(b.boxes, false);
        bool clicked = false;
        const double gap = LongestGap(
            [&] {
                if (!clicked) {
                    clicked = true;
                    QTimer::singleShot(0, [&] {
                        dynamic_cast<QPushButton*>(b.host.WidgetById(net, kIdConnect))->click();
                    });
                    return false;
                }
                return !net.IsConnecting();
            },
            20s);
        Report("Connect to the Device, connect hangs (5 s limit)", gap, idle);
        b.host.Close(net);
    }
    {
        Bench b;
        b.sim->SetFaults({{pellacor::sim::FaultKind::Silent, 0, 0}});
        Answerer answers(b.boxes, false);
        bool clicked = false;
        const double gap = LongestGap(
            [&] {
                if (!clicked) {
                    clicked = true;
                    QTimer::singleShot(0, b.ButtonOf(kIdActivatePort), &QPushButton::click);
                }
                return false;
            },
            7s);
        Report("Activate Port and polling, laminator silent (7 s)", gap, idle);
        StopStatusPoller();
        WaitForAllWorkers(10s);
        Report("  same, port opened on the window thread",
               OnWindowThread(
                   [&] {
                       CloseUsbLink();
                       OpenHidLink();
                       StartStatusPoller(&UsbStatusPoller, b.dlg.get());
                   },
                   7s),
               idle);
    }
    {
        Bench b;
        b.host.next = b.WriteFile(64u << 20);
        bool clicked = false;
        const double gap = LongestGap(
            [&] {
                if (!clicked) {
                    clicked = true;
                    QTimer::singleShot(0, b.ButtonOf(kIdBrowse), &QPushButton::click);
                    return false;
                }
                return b.dlg->LoadedFirmware() != nullptr && b.ButtonOf(kIdBrowse)->isEnabled();
            },
            30s);
        Report("Browse of a 64 MiB file", gap, idle);
        Report("  same, file read on the window thread",
               OnWindowThread([&] { LoadFirmwareFile(*b.host.next); }), idle);
    }
    {
        Bench b;
        CNetWork net(nullptr, &b.host, SearchTarget{0x7F000001, b.sim->UdpPort()});
        b.host.Show(net);
        dynamic_cast<QPushButton*>(b.host.WidgetById(net, kIdSearch))->click();
        LongestGap([&] { return !net.IsCollecting() && net.m_deviceList->RowCount() > 0; }, 10s);
        net.m_deviceList->SetSelection(0);
        b.sim->SetFaults({{pellacor::sim::FaultKind::Silent, 0, 0}});
        Answerer answers(b.boxes, false);
        bool clicked = false;
        const double gap = LongestGap(
            [&] {
                if (!clicked) {
                    clicked = true;
                    QTimer::singleShot(0, [&] {
                        dynamic_cast<QPushButton*>(b.host.WidgetById(net, kIdReadConfig))->click();
                    });
                }
                return false;
            },
            1500ms);
        Report("Read the Configuration, no reply (1.5 s)", gap, idle);
        LongestGap([&] { return !net.IsBusy(); }, 5s);
        Report("  same, read on the window thread",
               OnWindowThread([&] { net.Discovery().ReadConfig(*FoundDevices.Get(0)); }), idle);
        b.host.Close(net);
    }
    return 0;
}
