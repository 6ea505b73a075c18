#include "link/link_buffers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "framework/message_box.h"
#include "link/command_text.h"

namespace {

bool AllZeroFrom(std::size_t start) {
    return std::all_of(TxBuffer.begin() + static_cast<long>(start), TxBuffer.end(),
                       [](std::uint8_t b) { return b == 0; });
}

TEST(EncodeCommand, FillsAFreshZeroBlockAndStoresTheCount) {
    EncodeCommand("a53e1c41500100000000");
    EXPECT_EQ(TxLength, 10);
    const std::array<std::uint8_t, 10> expected{0xA5, 0x3E, 0x1C, 0x41, 0x50,
                                                0x01, 0x00, 0x00, 0x00, 0x00};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), TxBuffer.begin()));
    EXPECT_TRUE(AllZeroFrom(10));

    // Field bytes an operation put in, and a longer earlier command, are gone.
    TxBuffer[700] = 0x55;
    EncodeCommand("1d");
    EXPECT_EQ(TxLength, 1);
    EXPECT_EQ(TxBuffer[0], 0x1D);
    EXPECT_TRUE(AllZeroFrom(1));
}

TEST(EncodeCommand, KeepsTheConverterFailureInTxLength) {
    EncodeCommand("12 G4");
    EXPECT_EQ(TxLength, kBadCommandCharacter);
    EXPECT_EQ(TxBuffer[0], 0x12);

    EncodeCommand(std::string(2 * kLinkBufferSize + 2, '7'));
    EXPECT_EQ(TxLength, kCommandTextTooLong);
    EXPECT_EQ(TxBuffer[kLinkBufferSize - 1], 0x77);
}

TEST(LinkTransaction, DefersMessagesUntilTheOutermostEndsThenShowsThemInOrder) {
    DefaultMessageBoxRecorder().Clear();
    {
        LinkTransaction outer;
        ReportLinkMessage("first");
        {
            LinkTransaction inner;
            EXPECT_TRUE(InLinkTransaction());
            ReportLinkMessage("second");
        }
        EXPECT_EQ(DefaultMessageBoxRecorder().Count(), 0u);
        // Another thread can take the lock only after the outermost transaction ends.
        bool taken = true;
        std::thread other([&] { taken = LinkMutex().try_lock(); });
        other.join();
        EXPECT_FALSE(taken);
    }
    EXPECT_FALSE(InLinkTransaction());
    EXPECT_EQ(DefaultMessageBoxRecorder().Texts(), (std::vector<std::string>{"first", "second"}));

    ReportLinkMessage("now");
    EXPECT_EQ(DefaultMessageBoxRecorder().Count(), 3u);
    DefaultMessageBoxRecorder().Clear();
}

// A box shown while the lock is held would stall every other thread's exchange.
TEST(LinkTransaction, MessagesAreShownWithTheLockFree) {
    class LockProbe : public MessageBoxSink {
      public:
        void Show(const std::string&, const std::string&) override {
            std::thread other([this] {
                m_free = LinkMutex().try_lock();
                if (m_free) {
                    LinkMutex().unlock();
                }
            });
            other.join();
        }
        bool m_free = false;
    } probe;
    SetMessageBoxSink(&probe);
    {
        LinkTransaction transaction;
        ReportLinkMessage("deferred");
    }
    SetMessageBoxSink(nullptr);
    EXPECT_TRUE(probe.m_free);
}

}  // namespace
