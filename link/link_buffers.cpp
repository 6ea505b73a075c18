#include "link/link_buffers.h"

#include <atomic>
#include <utility>
#include <vector>

#include "framework/message_box.h"
#include "link/command_text.h"

std::array<std::uint8_t, kLinkBufferSize> TxBuffer{};
std::int32_t TxLength = 0;
std::array<std::uint8_t, kLinkBufferSize> RxBuffer{};

namespace {

// Per thread: how deep its transactions nest, and the messages waiting for the outermost end.
// The list lives only while messages wait: MinGW ran the exit destructors of thread_local
// objects on storage it had already freed, so none here has one.
thread_local int t_depth = 0;
thread_local std::vector<std::string>* t_pending = nullptr;
std::atomic<std::uint64_t> g_transactionSerial{0};

}  // namespace

std::recursive_mutex& LinkMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

LinkTransaction::LinkTransaction() {
    LinkMutex().lock();
    if (++t_depth == 1) {
        ++g_transactionSerial;
    }
}

LinkTransaction::~LinkTransaction() {
    std::vector<std::string> messages;
    if (--t_depth == 0 && t_pending != nullptr) {
        messages = std::move(*t_pending);
        delete std::exchange(t_pending, nullptr);
    }
    LinkMutex().unlock();
    // Boxes wait for the user, so they come only after the lock is free.
    for (const std::string& text : messages) {
        MessageBox(text);
    }
}

void ReportLinkMessage(const std::string& text) {
    if (t_depth > 0) {
        if (t_pending == nullptr)
            t_pending = new std::vector<std::string>();
        t_pending->push_back(text);
    } else {
        MessageBox(text);
    }
}

bool InLinkTransaction() {
    return t_depth > 0;
}

std::uint64_t LinkTransactionSerial() {
    return g_transactionSerial;
}

void EncodeCommand(std::string_view text) {
    LinkTransaction transaction;
    TxBuffer.fill(0);
    TxLength = HexPairsToBytes(text, TxBuffer.data(), TxBuffer.size());
}
