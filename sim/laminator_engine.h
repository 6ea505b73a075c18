#pragma once

// The laminator's command interpreter, shared by every transport. It takes requests in
// their bare command-block form (the Ethernet form) and returns reply data in the same
// form; the transports add or strip the USB frame header.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sim/frame_log.h"
#include "sim/laminator_state.h"

namespace pellacor::sim {

struct FirmwareCapture {
    uint64_t bytes = 0;
    uint32_t frames = 0;
    uint32_t crc32 = 0;  // CRC-32 (IEEE) of the collected bytes
    bool complete = false;
    std::vector<uint8_t> data;
};

class LaminatorEngine {
  public:
    struct Outcome {
        bool hasReply = false;
        std::vector<uint8_t> reply;  // bare reply data
        bool continued = false;      // over USB the reply spans two frames
        Flag flag = Flag::None;
        std::string note;   // what the request was, for the log
        size_t echoed = 0;  // leading reply bytes that repeat the request's
    };

    LaminatorEngine(int index, LaminatorState factory);

    // Which connection a request came on. A MODE bracket and a firmware transfer belong to
    // the link that began them: another host's link closing must not end them.
    using LinkId = uint64_t;
    static LinkId NewLinkId();

    // A bare command block (TCP, the printing-class group ping, or the data bytes of a
    // USB frame padded to 64).
    Outcome HandleBlock(const uint8_t* data, size_t size, LinkId link = 0);
    // An A5 frame of 64 bytes as it came over USB or TCP. `transport` decides how a frame
    // that is no known command is read: over TCP only the mode switch and firmware are
    // framed, so it is firmware; over USB it may also be a typed raw command.
    Outcome HandleFrame(const uint8_t* frame, size_t size, Transport transport, LinkId link = 0);
    // A 64-byte block of the printing-class firmware download.
    void PrinterFirmwareBlock(const uint8_t* data, size_t size, LinkId link = 0);
    // The client closed its link: a firmware transfer in progress on it ends here, and so
    // does a MODE bracket it opened.
    void LinkClosed(LinkId link);

    LaminatorState State();
    void Update(const std::function<void(LaminatorState&)>& change);
    void ResetToFactory();
    bool BracketOpen();
    FirmwareCapture Firmware();
    void SetFirmwareFile(const std::string& path);
    int Index() const { return m_index; }

  private:
    Outcome Dispatch(const uint8_t* b, size_t n);
    Outcome HandleBracketItem(const uint8_t* b, size_t n, size_t at);
    Outcome ReadPage(uint16_t page, bool afterWrite);
    Outcome WritePage(uint16_t page, const uint8_t* b, size_t n);
    Outcome StatusReply();
    Outcome CardChannelReply();
    Outcome InformationReply();
    Outcome ModelIdReply();
    Outcome ModelNameReply();
    Outcome UnknownReply(const uint8_t* b, size_t n);
    void FirmwareBytes(const uint8_t* data, size_t n);
    void FinishFirmware();
    void AdvanceTemperature();

    const int m_index;
    const LaminatorState m_factory;
    std::mutex m_mutex;
    LaminatorState m_state;
    bool m_bracketOpen = false;
    LinkId m_link = 0;          // the link of the request being handled
    LinkId m_bracketLink = 0;   // the link that opened the bracket
    LinkId m_firmwareLink = 0;  // the link carrying the firmware transfer
    bool m_inFirmware = false;  // the last frame was a full firmware frame
    bool m_rawPending = false;  // a full raw frame announced a continuation
    FirmwareCapture m_firmware;
    std::string m_firmwareFile;
    std::chrono::steady_clock::time_point m_lastTick;
};

// The CRC-32 used for firmware captures, exposed so tests can compute the expected value.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

}  // namespace pellacor::sim
