#pragma once

// A virtual USB laminator: a local SOCK_SEQPACKET socket, so every message keeps its
// boundaries like a USB transfer. The HID kind carries 64-byte A5 frames both ways; the
// printing-class kind carries unframed bytes (the group ping and raw firmware blocks).

#include <map>
#include <string>
#include <thread>

#include "sim/laminator_unit.h"
#include "sim/socket_util.h"

namespace pellacor::sim {

class UsbDevice {
  public:
    UsbDevice(LaminatorUnit& unit, Transport kind) : m_unit(unit), m_kind(kind) {}
    ~UsbDevice() { Unplug(); }

    // Creates the socket at `path` (a stale socket file there is replaced).
    bool Plug(const std::string& path, std::string* error);
    // Closes every connection and the socket and removes the file, like pulling the cable.
    void Unplug();
    bool Plugged() const { return m_thread.joinable(); }
    const std::string& Path() const { return m_path; }

  private:
    void Run();
    // Handles one message; false when the connection is to be closed.
    bool HandleHid(int client, const uint8_t* msg, size_t size);
    bool HandlePrinter(int client, const uint8_t* msg, size_t size);
    bool Reply(int client, const LaminatorEngine::Outcome& o, bool framed);

    LaminatorUnit& m_unit;
    const Transport m_kind;
    // The connection that carried the last firmware frame: only its closing ends a transfer,
    // not the late close of a connection the tool had already replaced.
    LaminatorEngine::LinkId LinkOf(int client) const;

    int m_firmwareClient = -1;
    // Each client connection is a link of its own (used on the device's thread, and after
    // it ended by Unplug).
    std::map<int, LaminatorEngine::LinkId> m_links;
    Fd m_listen;
    StopSignal m_stop;
    std::thread m_thread;
    std::string m_path;
};

}  // namespace pellacor::sim
