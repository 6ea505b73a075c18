#include "link/usb_link.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "link/frame_trace.h"
#include "link/link_buffers.h"
#include "link/reply_wait.h"
#include "link/usb_backend.h"
#include "link/usb_open_failure.h"

namespace {

// Slot values are published atomically so anyone may look at the table; the devices
// themselves are only touched with the link lock held.
struct UsbLinkState {
    std::array<std::atomic<int>, kUsbSlotCount> handles{};
    std::array<std::unique_ptr<UsbDevice>, kUsbSlotCount> devices;
    std::array<std::string, kUsbSlotCount> paths;  // the listed name of each open device
    int nextHandle = 1;
    std::atomic<TraceLink> traceLink{TraceLink::Hid};  // what the open devices are
    // Commands whose reply did not come in time (under the link lock): a frame that starts
    // with one of them is its late reply.
    std::vector<std::vector<std::uint8_t>> owed;
    // The leading bytes of the last request block written, under the link lock: a reply
    // starting like its own request is never another's.
    std::array<std::uint8_t, 8> lastRequest{};
};

UsbLinkState& State() {
    static UsbLinkState state;
    return state;
}

struct ListedInterface {
    std::shared_ptr<UsbBackend> backend;
    std::string path;
};

// Every backend's interfaces in backend order; nullopt when a backend's listing failed
// (a backend with nothing to list answers an empty list).
std::optional<std::vector<ListedInterface>> ListInterfaces(UsbClass cls) {
    std::vector<ListedInterface> all;
    for (const std::shared_ptr<UsbBackend>& backend : GetUsbBackends()) {
        std::optional<std::vector<std::string>> paths = backend->Enumerate(cls);
        if (!paths) {
            return std::nullopt;
        }
        for (std::string& path : *paths) {
            all.push_back({backend, std::move(path)});
        }
    }
    return all;
}

bool IsLaminatorPath(const std::string& path) {
    std::string vid;
    std::string pid;
    return ParseVidPid(path, vid, pid) && vid == kLaminatorVidText;
}

int OpenLink(UsbClass cls) {
    LinkTransaction transaction;
    std::optional<std::vector<ListedInterface>> interfaces = ListInterfaces(cls);
    if (!interfaces) {
        ReportLinkMessage("Usb port not available!");
        return 0;
    }
    UsbLinkState& state = State();
    state.traceLink = cls == UsbClass::Hid ? TraceLink::Hid : TraceLink::Printer;
    int next = 0;
    std::vector<UsbOpenFailure> failures;
    for (const ListedInterface& item : *interfaces) {
        if (next == kUsbSlotCount) {
            break;
        }
        if (cls == UsbClass::Hid && !IsLaminatorPath(item.path)) {
            continue;
        }
        // A device that cannot be opened still takes its slot, closed, as a failed open did.
        std::error_code why;
        std::unique_ptr<UsbDevice> device = item.backend->Open(item.path, why);
        const auto slot = static_cast<std::size_t>(next++);
        if (device) {
            state.devices[slot] = std::move(device);
            state.paths[slot] = item.path;
            state.handles[slot] = state.nextHandle;
            state.nextHandle = state.nextHandle == 0x7fffffff ? 1 : state.nextHandle + 1;
        } else {
            state.devices[slot].reset();
            state.paths[slot].clear();
            state.handles[slot] = -1;
            failures.push_back(OpenFailureOf(item.path, why));
        }
    }
    if (next == 0) {
        ReportLinkMessage("No conforming device!");
        return 0;
    }
    // Not one device opened: every exchange would fail, so the open must not count as done.
    if (failures.size() == static_cast<std::size_t>(next)) {
        ReportLinkMessage(UsbOpenFailureMessage(failures));
        return 0;
    }
    return 1;
}

}  // namespace

std::array<int, kUsbSlotCount> UsbHandleTable() {
    std::array<int, kUsbSlotCount> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = State().handles[i].load();
    }
    return table;
}

int OpenPrinterClassLink() {
    return OpenLink(UsbClass::Printer);
}

int OpenHidLink() {
    return OpenLink(UsbClass::Hid);
}

bool ProbeHidLaminator() {
    std::optional<std::vector<ListedInterface>> interfaces = ListInterfaces(UsbClass::Hid);
    if (!interfaces) {
        return false;
    }
    return std::any_of(interfaces->begin(), interfaces->end(),
                       [](const ListedInterface& item) { return IsLaminatorPath(item.path); });
}

int CloseUsbLink() {
    // Taking the lock waits for a read in flight: no device is closed under it.
    LinkTransaction transaction;
    UsbLinkState& state = State();
    for (std::size_t i = 0; i < kUsbSlotCount; ++i) {
        if (state.handles[i] != -1) {
            state.devices[i].reset();
            state.paths[i].clear();
            state.handles[i] = -1;
        }
    }
    return 1;
}

std::vector<std::string> OpenUsbInterfaces() {
    LinkTransaction transaction;
    UsbLinkState& state = State();
    std::vector<std::string> open;
    for (std::size_t i = 0; i < kUsbSlotCount; ++i) {
        if (state.handles[i] > 0 && state.devices[i])
            open.push_back(state.paths[i]);
    }
    return open;
}

int UsbWrite() {
    LinkTransaction transaction;
    if (TxLength <= 0) {
        return 0;  // nothing converted, or a bad command character
    }
    const std::size_t length =
        std::min<std::size_t>(static_cast<std::size_t>(TxLength), TxBuffer.size());
    UsbLinkState& state = State();
    int written = 0;
    for (std::size_t i = 0; i < kUsbSlotCount; ++i) {
        if (state.handles[i] <= 0 || !state.devices[i]) {
            continue;
        }
        std::copy_n(TxBuffer.begin() + 2, state.lastRequest.size(), state.lastRequest.begin());
        // A reply that came after an earlier time-out must not answer this request.
        state.devices[i]->DrainStale(state.traceLink.load(std::memory_order_relaxed));
        const int count = state.devices[i]->Write(TxBuffer.data(), length, UsbReplyTimeout());
        if (count < 0) {
            NoteLinkFailure(LinkFailure::Broken);
            ReportLinkMessage("Send data error!");
            return 0;
        }
        TraceFrame(state.traceLink.load(std::memory_order_relaxed), TraceDirection::Sent,
                   TxBuffer.data(), static_cast<std::size_t>(count));
        written = count;
    }
    return written;
}

namespace {
// A USB reply frame is A5, a length, then the reply block.
constexpr std::size_t kReplyBlockStart = 2;

bool StartsWith(const std::uint8_t* frame, int count, std::span<const std::uint8_t> command) {
    return static_cast<std::size_t>(count) >= kReplyBlockStart + command.size() &&
           std::equal(command.begin(), command.end(), frame + kReplyBlockStart);
}

constexpr std::size_t kOwedKept = 8;

void NoteOwed(std::vector<std::vector<std::uint8_t>>& owed, std::span<const std::uint8_t> command) {
    if (command.empty() || std::any_of(owed.begin(), owed.end(), [&](const auto& o) {
            return std::equal(o.begin(), o.end(), command.begin(), command.end());
        }))
        return;
    if (owed.size() == kOwedKept)
        owed.erase(owed.begin());
    owed.emplace_back(command.begin(), command.end());
}

// A frame that positively identifies as the late reply to another owed command; it pays
// that debt.
bool LateReplyToAnother(UsbLinkState& state, const std::uint8_t* frame, int count,
                        std::span<const std::uint8_t> command) {
    std::vector<std::vector<std::uint8_t>>& owed = state.owed;
    for (auto it = owed.begin(); it != owed.end(); ++it) {
        const bool sameAsAsked = std::equal(it->begin(), it->end(), command.begin(), command.end());
        const bool askedAgain = it->size() <= state.lastRequest.size() &&
                                std::equal(it->begin(), it->end(), state.lastRequest.begin());
        if (sameAsAsked || askedAgain)
            continue;
        if (StartsWith(frame, count, *it)) {
            owed.erase(it);
            return true;
        }
    }
    return false;
}

// One device's reply within the time-out; late replies to other owed commands are dropped.
int ReadReplyTo(UsbDevice& device, UsbLinkState& state, TraceLink link,
                std::span<const std::uint8_t> command) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + UsbReplyTimeout();
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            NoteOwed(state.owed, command);
            return 0;
        }
        const int got = device.Read(RxBuffer.data(), RxBuffer.size(), left);
        if (got == 0)
            NoteOwed(state.owed, command);
        if (got <= 0)
            return got;
        const int count = std::min(got, static_cast<int>(RxBuffer.size()));
        if (!LateReplyToAnother(state, RxBuffer.data(), count, command)) {
            // Answered: whatever was owed under this command is settled by this reply.
            std::erase_if(state.owed, [&](const auto& o) {
                return std::equal(o.begin(), o.end(), command.begin(), command.end());
            });
            return count;
        }
        TraceDiscarded(link, RxBuffer.data(), static_cast<std::size_t>(count),
                       "late reply to an earlier request, discarded");
        std::fill_n(RxBuffer.begin(), count, 0);
    }
}
}  // namespace

int UsbReadReplyTo(std::span<const std::uint8_t> command) {
    LinkTransaction transaction;
    UsbLinkState& state = State();
    const TraceLink link = state.traceLink.load(std::memory_order_relaxed);
    int count = 0;
    for (std::size_t i = 0; i < kUsbSlotCount; ++i) {
        if (state.handles[i] <= 0 || !state.devices[i]) {
            continue;
        }
        const int got = ReadReplyTo(*state.devices[i], state, link, command);
        if (got < 0) {
            NoteLinkFailure(LinkFailure::Broken);
            ReportLinkMessage("Failed to receive data!");
            return 0;
        }
        count = got;
        if (count > 0)
            TraceFrame(link, TraceDirection::Received, RxBuffer.data(),
                       static_cast<std::size_t>(count));
    }
    return count;
}

int UsbRead() {
    return UsbReadReplyTo({});
}

bool ReadUsbReply() {
    LinkTransaction transaction;
    RxBuffer.fill(0);
    if (UsbRead() == 0) {
        // A failure on a later device must not leave an earlier device's bytes behind.
        RxBuffer.fill(0);
        NoteLinkFailure(LinkFailure::NoReply);
        ReportLinkMessage("Failed to receive data!");
        return false;
    }
    return true;
}
