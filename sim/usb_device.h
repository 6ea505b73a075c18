#pragma once

// A virtual USB laminator: a loopback stream whose port is in the device's file, every
// message one frame so it keeps its boundaries like a USB transfer. The HID kind carries
// 64-byte A5 frames both ways; the printing-class kind carries unframed bytes (the group
// ping and raw firmware blocks).

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/usb_sim_transport.h"
#include "sim/laminator_unit.h"

namespace pellacor::sim {

class UsbDevice {
  public:
    UsbDevice(LaminatorUnit& unit, Transport kind) : m_unit(unit), m_kind(kind) {}
    ~UsbDevice() { Unplug(); }

    // Listens on a loopback port and writes it into the file at `path` (a stale file there
    // is replaced).
    bool Plug(const std::string& path, std::string* error);
    // Closes every connection and the listener and removes the file, like pulling the cable.
    void Unplug();
    bool Plugged() const { return m_thread.joinable(); }
    const std::string& Path() const { return m_path; }

  private:
    void Run();
    // Handles one message; false when the connection is to be closed.
    bool HandleHid(UsbSimSocket& client, const uint8_t* msg, size_t size);
    bool HandlePrinter(UsbSimSocket& client, const uint8_t* msg, size_t size);
    bool Reply(UsbSimSocket& client, const LaminatorEngine::Outcome& o, bool framed);

    LaminatorUnit& m_unit;
    const Transport m_kind;
    // The connection that carried the last firmware frame: only its closing ends a transfer,
    // not the late close of a connection the tool had already replaced.
    LaminatorEngine::LinkId LinkOf(const UsbSimSocket& client) const;

    const UsbSimSocket* m_firmwareClient = nullptr;
    // Each client connection is a link of its own (used on the device's thread, and after
    // it ended by Unplug).
    std::map<const UsbSimSocket*, LaminatorEngine::LinkId> m_links;
    UsbSimSocket m_listen;
    uint16_t m_port = 0;
    // Unplug raises it and connects once, so the device's wait wakes on its own listener.
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::string m_path;
};

}  // namespace pellacor::sim
