#pragma once
// The simulator's virtual USB device and the tool's simulated backend talk over a loopback
// TCP stream, which both systems have. A USB transfer keeps its boundaries and a stream does
// not, so each message travels as one frame: a 4-byte big-endian length, then the bytes.
// The simulator writes the port it listens on into a file (the device's PATH); the file
// exists while the device is plugged in. Both sides use this one implementation.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

// Larger than any message either side sends (64-byte frames, 8-byte commands); a length
// beyond it is refused, never allocated.
inline constexpr std::size_t kUsbSimMaxMessage = 1024;
inline constexpr std::size_t kUsbSimHeader = 4;

// The frame of one message: header and bytes.
std::vector<std::uint8_t> UsbSimFrame(const std::uint8_t* data, std::size_t length);

// Cuts a byte stream into messages. After a refused length the stream cannot be trusted
// again: the reader stays failed and says why.
class UsbSimFrameReader {
  public:
    void Feed(const std::uint8_t* data, std::size_t length);
    // The next whole message; nullopt when more bytes are needed or the reader failed.
    std::optional<std::vector<std::uint8_t>> Take();
    bool Failed() const { return !m_error.empty(); }
    const std::string& Error() const { return m_error; }
    // Bytes not taken yet are held: once the whole messages are taken, a frame cut short.
    bool MidFrame() const { return m_start < m_bytes.size(); }
    std::size_t Held() const { return m_bytes.size() - m_start; }

  private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_start = 0;
    std::string m_error;
};

// The port file: written whole or not at all (a temporary file renamed over PATH).
bool WriteUsbSimPortFile(const std::string& path, std::uint16_t port, std::string* error);
// The port in the file; nullopt when there is no file or it holds no port.
std::optional<std::uint16_t> ReadUsbSimPortFile(const std::string& path);

// One end of the stream (or the simulator's listener), closed on destruction.
class UsbSimSocket {
  public:
    UsbSimSocket() = default;
    ~UsbSimSocket();
    UsbSimSocket(UsbSimSocket&& other) noexcept;
    UsbSimSocket& operator=(UsbSimSocket&& other) noexcept;
    UsbSimSocket(const UsbSimSocket&) = delete;
    UsbSimSocket& operator=(const UsbSimSocket&) = delete;

    // A listener on 127.0.0.1 at a port the system picks, returned in `port`.
    static UsbSimSocket Listen(std::uint16_t& port, std::string* error);
    static UsbSimSocket Connect(std::uint16_t port, std::error_code& why);
    // A connection waiting on a listener; invalid when none is.
    UsbSimSocket Accept() const;

    bool Valid() const { return m_handle != kNone; }
    std::intptr_t Handle() const { return m_handle; }

    // Sends one message as one frame, all of it within the time-out.
    bool Send(const std::uint8_t* data, std::size_t length, std::chrono::milliseconds timeout);
    // Bytes as they are, already framed (or cut from frames, as a test does).
    bool SendBytes(const std::uint8_t* data, std::size_t length, std::chrono::milliseconds timeout);
    // One message of at most `capacity` bytes (a longer one is cut, as a datagram would
    // be): its length, 0 when none came in time, -1 when the peer has gone (also mid-frame),
    // the socket failed or a frame's length was refused (Error() says which).
    int Receive(std::uint8_t* data, std::size_t capacity, std::chrono::milliseconds timeout);
    // One read of what has arrived, without waiting; the caller takes its messages before
    // the next. False when the peer has gone, the socket failed or a length was refused.
    bool ReadArrived();
    // The next message already read, without reading more.
    std::optional<std::vector<std::uint8_t>> TakeMessage() { return m_reader.Take(); }
    const std::string& Error() const;
    // A frame's length was refused: the stream is out of step for good.
    bool Refused() const { return m_reader.Failed(); }

  private:
    static constexpr std::intptr_t kNone = -1;
    explicit UsbSimSocket(std::intptr_t handle) : m_handle(handle) {}
    // One read of what is waiting: bytes read, 0 when the peer closed, -1 on failure,
    // -2 when nothing was waiting.
    int ReadOnce();

    std::intptr_t m_handle = kNone;
    UsbSimFrameReader m_reader;
    std::string m_error;
};

// Waits until one of `sockets` can be read or `timeout` passes (negative: no limit); sets
// ready[i] for each that can. False when the wait itself failed.
bool WaitUsbSimReadable(const std::vector<const UsbSimSocket*>& sockets, std::vector<bool>& ready,
                        std::chrono::milliseconds timeout);
