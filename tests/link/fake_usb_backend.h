#pragma once
// A scripted UsbBackend: the tests list interfaces, script replies and failures, and look at
// what each device was sent after the link has taken the device over.
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/usb_backend.h"

using Bytes = std::vector<std::uint8_t>;

struct FakeDeviceState {
    std::mutex mutex;
    std::vector<Bytes> written;
    std::deque<Bytes> replies;  // one is put in the inbox after each write
    std::deque<Bytes> inbox;    // what the device has sent and nobody read yet
    std::deque<Bytes> late;     // arrive right after the next write, ahead of its reply
    bool failWrite = false;
    bool failRead = false;
    std::chrono::milliseconds readDelay{0};
    int reads = 0;
    bool closed = false;
    bool closedDuringRead = false;
    bool reading = false;
};

class FakeDevice : public UsbDevice {
  public:
    explicit FakeDevice(std::shared_ptr<FakeDeviceState> state) : m_state(std::move(state)) {}
    ~FakeDevice() override {
        std::lock_guard lock(m_state->mutex);
        m_state->closedDuringRead = m_state->reading;
        m_state->closed = true;
    }

    int Write(const std::uint8_t* data, std::size_t length, std::chrono::milliseconds) override {
        std::lock_guard lock(m_state->mutex);
        if (m_state->failWrite) {
            return -1;
        }
        m_state->written.emplace_back(data, data + length);
        while (!m_state->late.empty()) {
            m_state->inbox.push_back(m_state->late.front());
            m_state->late.pop_front();
        }
        if (!m_state->replies.empty()) {
            m_state->inbox.push_back(m_state->replies.front());
            m_state->replies.pop_front();
        }
        return static_cast<int>(length);
    }

    int Read(std::uint8_t* data, std::size_t capacity, std::chrono::milliseconds) override {
        std::chrono::milliseconds delay;
        {
            std::lock_guard lock(m_state->mutex);
            ++m_state->reads;
            m_state->reading = true;
            delay = m_state->readDelay;
        }
        std::this_thread::sleep_for(delay);
        std::lock_guard lock(m_state->mutex);
        m_state->reading = false;
        if (m_state->failRead) {
            return -1;
        }
        if (m_state->inbox.empty()) {
            return 0;  // nothing within the time-out
        }
        const Bytes reply = m_state->inbox.front();
        m_state->inbox.pop_front();
        const std::size_t n = std::min(capacity, reply.size());
        std::copy(reply.begin(), reply.begin() + static_cast<long>(n), data);
        return static_cast<int>(n);
    }

    void DrainStale(TraceLink) override {
        std::lock_guard lock(m_state->mutex);
        m_state->inbox.clear();
    }

  private:
    std::shared_ptr<FakeDeviceState> m_state;
};

class FakeUsbBackend : public UsbBackend {
  public:
    std::map<UsbClass, std::optional<std::vector<std::string>>> lists{
        {UsbClass::Hid, std::vector<std::string>{}},
        {UsbClass::Printer, std::vector<std::string>{}}};
    std::vector<std::string> unopenable;  // fail with an I/O error
    // Fail with the given reason, as the system would (tests run as root, so a permission
    // error can only be injected).
    std::map<std::string, std::error_code> openErrors;
    std::vector<std::string> opened;

    std::shared_ptr<FakeDeviceState> Device(const std::string& path) {
        auto& state = m_states[path];
        if (!state) {
            state = std::make_shared<FakeDeviceState>();
        }
        return state;
    }

    std::optional<std::vector<std::string>> Enumerate(UsbClass cls) override { return lists[cls]; }

    std::unique_ptr<UsbDevice> Open(const std::string& path, std::error_code& why) override {
        why.clear();
        opened.push_back(path);
        if (auto it = openErrors.find(path); it != openErrors.end()) {
            why = it->second;
            return nullptr;
        }
        for (const std::string& bad : unopenable) {
            if (bad == path) {
                why = std::make_error_code(std::errc::io_error);
                return nullptr;
            }
        }
        return std::make_unique<FakeDevice>(Device(path));
    }

  private:
    std::map<std::string, std::shared_ptr<FakeDeviceState>> m_states;
};
