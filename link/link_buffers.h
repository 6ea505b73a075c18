#pragma once
// The shared transmit and receive buffers of the device link, and the link lock that keeps
// one exchange (encode, send, receive) or one whole transaction from being split.
#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

inline constexpr std::size_t kLinkBufferSize = 1024;

// Renewed (zero-filled) by every EncodeCommand; operations put field bytes into it.
extern std::array<std::uint8_t, kLinkBufferSize> TxBuffer;
// Bytes of TxBuffer the next send transmits; negative after a bad command character.
extern std::int32_t TxLength;
// The last reply; cleared before each receive.
extern std::array<std::uint8_t, kLinkBufferSize> RxBuffer;

// Zero-fills TxBuffer, converts `text` into it and stores the converter's result in TxLength.
void EncodeCommand(std::string_view text);

// The one link lock. Recursive, so a transaction can hold it around several exchanges.
std::recursive_mutex& LinkMutex();

// Holds the link lock for its lifetime. Messages reported while any LinkTransaction of this
// thread is open are shown only after the outermost one has released the lock, in order,
// so that no message box ever waits for the user with the link held.
class LinkTransaction {
  public:
    LinkTransaction();
    ~LinkTransaction();
    LinkTransaction(const LinkTransaction&) = delete;
    LinkTransaction& operator=(const LinkTransaction&) = delete;
};

// Shows `text` now, or defers it to the end of this thread's open LinkTransaction.
void ReportLinkMessage(const std::string& text);
// True while this thread holds a LinkTransaction.
bool InLinkTransaction();
// Grows by one with every outermost LinkTransaction: tells whether two link calls belong to
// the same transaction.
std::uint64_t LinkTransactionSerial();
