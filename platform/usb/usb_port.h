#pragma once
// An open USB interface as the system hands it out: bounded reads and writes, nothing more.
#include <chrono>
#include <cstddef>
#include <cstdint>

class UsbPort {
  public:
    virtual ~UsbPort() = default;
    // Bytes written, or -1 on failure or time-out.
    virtual int Write(const std::uint8_t* data, std::size_t length,
                      std::chrono::milliseconds timeout) = 0;
    // Bytes read (one report or one block), 0 when nothing came in time, -1 on failure.
    virtual int Read(std::uint8_t* data, std::size_t capacity,
                     std::chrono::milliseconds timeout) = 0;
};
