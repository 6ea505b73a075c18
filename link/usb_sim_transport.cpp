#include "link/usb_sim_transport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/usb_sim_socket_os.h"

std::vector<std::uint8_t> UsbSimFrame(const std::uint8_t* data, std::size_t length) {
    std::vector<std::uint8_t> frame(kUsbSimHeader + length);
    const auto size = static_cast<std::uint32_t>(length);
    frame[0] = static_cast<std::uint8_t>(size >> 24);
    frame[1] = static_cast<std::uint8_t>(size >> 16);
    frame[2] = static_cast<std::uint8_t>(size >> 8);
    frame[3] = static_cast<std::uint8_t>(size);
    std::copy(data, data + length, frame.begin() + kUsbSimHeader);
    return frame;
}

void UsbSimFrameReader::Feed(const std::uint8_t* data, std::size_t length) {
    if (Failed())
        return;
    // Taken messages are dropped before more bytes come, so the buffer holds at most one
    // frame and one read.
    if (m_start > 0) {
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(m_start));
        m_start = 0;
    }
    m_bytes.insert(m_bytes.end(), data, data + length);
}

std::optional<std::vector<std::uint8_t>> UsbSimFrameReader::Take() {
    if (Failed() || m_bytes.size() - m_start < kUsbSimHeader)
        return std::nullopt;
    const std::uint8_t* head = m_bytes.data() + m_start;
    const std::uint32_t length = (std::uint32_t{head[0]} << 24) | (std::uint32_t{head[1]} << 16) |
                                 (std::uint32_t{head[2]} << 8) | std::uint32_t{head[3]};
    if (length == 0 || length > kUsbSimMaxMessage) {
        m_error = "a USB frame announced " + std::to_string(length) +
                  " bytes; a message holds 1 to " + std::to_string(kUsbSimMaxMessage);
        return std::nullopt;
    }
    if (m_bytes.size() - m_start < kUsbSimHeader + length)
        return std::nullopt;
    const auto begin = m_bytes.begin() + static_cast<std::ptrdiff_t>(m_start + kUsbSimHeader);
    std::vector<std::uint8_t> message(begin, begin + length);
    m_start += kUsbSimHeader + length;
    if (m_start == m_bytes.size()) {
        m_bytes.clear();
        m_start = 0;
    }
    return message;
}

bool WriteUsbSimPortFile(const std::string& path, std::uint16_t port, std::string* error) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    fs::path temporary = target;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << port << '\n';
        out.close();
        if (!out) {
            *error = "cannot write the USB port file " + temporary.string();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        *error = "cannot create the USB port file " + path + ": " + ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

std::optional<std::uint16_t> ReadUsbSimPortFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char text[16] = {};
    in.read(text, sizeof text - 1);
    const std::streamsize got = in.gcount();
    unsigned long port = 0;
    std::streamsize digits = 0;
    while (digits < got && text[digits] >= '0' && text[digits] <= '9' && digits < 6) {
        port = port * 10 + static_cast<unsigned long>(text[digits] - '0');
        ++digits;
    }
    const bool ended = digits == got || text[digits] == '\n' || text[digits] == '\r';
    if (digits == 0 || !ended || port == 0 || port > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(port);
}

UsbSimSocket::~UsbSimSocket() {
    if (Valid())
        usb_sim_os::Close(m_handle);
}

UsbSimSocket::UsbSimSocket(UsbSimSocket&& other) noexcept
    : m_handle(other.m_handle),
      m_reader(std::move(other.m_reader)),
      m_error(std::move(other.m_error)) {
    other.m_handle = kNone;
}

UsbSimSocket& UsbSimSocket::operator=(UsbSimSocket&& other) noexcept {
    if (this != &other) {
        if (Valid())
            usb_sim_os::Close(m_handle);
        m_handle = other.m_handle;
        m_reader = std::move(other.m_reader);
        m_error = std::move(other.m_error);
        other.m_handle = kNone;
    }
    return *this;
}

bool UsbSimSocket::Send(const std::uint8_t* data, std::size_t length,
                        std::chrono::milliseconds timeout) {
    if (length > kUsbSimMaxMessage)
        return false;
    if (length == 0)
        return true;
    const std::vector<std::uint8_t> frame = UsbSimFrame(data, length);
    return SendBytes(frame.data(), frame.size(), timeout);
}

bool UsbSimSocket::SendBytes(const std::uint8_t* data, std::size_t length,
                             std::chrono::milliseconds timeout) {
    if (!Valid())
        return false;
    // A stream takes a first write after the peer has closed; an unplugged device must
    // refuse it, as a USB transfer to a pulled cable fails. What arrived stays for Receive
    // (up to one frame's worth: a peer that only talks does not grow the buffer).
    if (m_reader.Held() <= kUsbSimHeader + kUsbSimMaxMessage) {
        const int arrived = ReadOnce();
        if (arrived == 0 || arrived == -1 || m_reader.Failed())
            return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t sent = 0;
    while (sent < length) {
        const int n = usb_sim_os::SendSome(m_handle, data + sent, length - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n != usb_sim_os::kNothingWaiting)
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || usb_sim_os::Wait(m_handle, true, left) <= 0)
            return false;
    }
    return true;
}

int UsbSimSocket::ReadOnce() {
    std::uint8_t buffer[kUsbSimHeader + kUsbSimMaxMessage];
    const int n = usb_sim_os::ReceiveSome(m_handle, buffer, sizeof buffer, m_error);
    if (n > 0)
        m_reader.Feed(buffer, static_cast<std::size_t>(n));
    if (n == 0)
        m_error = m_reader.MidFrame() ? "the device closed in the middle of a frame"
                                      : "the device closed";
    return n;
}

bool UsbSimSocket::ReadArrived() {
    const int got = ReadOnce();
    return (got > 0 || got == usb_sim_os::kNothingWaiting) && !m_reader.Failed();
}

int UsbSimSocket::Receive(std::uint8_t* data, std::size_t capacity,
                          std::chrono::milliseconds timeout) {
    if (!Valid())
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (std::optional<std::vector<std::uint8_t>> message = m_reader.Take()) {
            const std::size_t n = std::min(capacity, message->size());
            std::copy_n(message->begin(), n, data);
            return static_cast<int>(n);
        }
        if (m_reader.Failed())
            return -1;
        // Waiting first costs one call less than a read that finds nothing.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() > 0) {
            const int ready = usb_sim_os::Wait(m_handle, false, left);
            if (ready <= 0)
                return ready;
        }
        const int got = ReadOnce();
        if (got > 0)
            continue;
        if (got != usb_sim_os::kNothingWaiting)
            return -1;
        if (left.count() <= 0)
            return 0;
    }
}

const std::string& UsbSimSocket::Error() const {
    return m_reader.Failed() ? m_reader.Error() : m_error;
}
