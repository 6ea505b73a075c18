// Real message boxes: ownerless, OK only, non-modal; the caller waits for its box.
#include "qt/qt_message_box_sink.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <thread>

#include "qt_test_support.h"

namespace qthost_test {
namespace {

class QtMessageBoxes : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        sink = std::make_unique<QtMessageBoxSink>();
        SetMessageBoxSink(sink.get());
    }
    void TearDown() override {
        SetMessageBoxSink(nullptr);
        sink.reset();
        QApplication::processEvents();
    }
    std::unique_ptr<QtMessageBoxSink> sink;
};

TEST_F(QtMessageBoxes, WorkerWaitsUntilItsBoxIsDismissed) {
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        MessageBox("Laminator is not connected!");
        returned = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return sink->OpenCount() == 1; }));
    PumpFor(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned);
    QMessageBox* box = sink->OpenBoxes().front();
    EXPECT_EQ(box->windowTitle(), "Pellacor");
    EXPECT_EQ(box->text(), "Laminator is not connected!");
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->parentWidget(), nullptr);
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_TRUE(box->isVisible());
    box->buttons().front()->click();
    EXPECT_TRUE(PumpUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(sink->OpenCount(), 0u);
    EXPECT_EQ(sink->ShownTexts(), (std::vector<std::string>{"Laminator is not connected!"}));
}

TEST_F(QtMessageBoxes, SeveralWorkersHaveTheirBoxesOpenAtOnce) {
    std::atomic<int> returned{0};
    std::thread a([&] {
        MessageBox("first");
        ++returned;
    });
    std::thread b([&] {
        MessageBox("second");
        ++returned;
    });
    ASSERT_TRUE(PumpUntil([&] { return sink->OpenCount() == 2; }));
    EXPECT_EQ(returned, 0);
    sink->DismissAll();
    EXPECT_TRUE(PumpUntil([&] { return returned == 2; }));
    a.join();
    b.join();
}

TEST_F(QtMessageBoxes, WindowThreadKeepsProcessingEventsWhileItsBoxIsUp) {
    bool timerRan = false;
    std::size_t openWhileWaiting = 0;
    QTimer::singleShot(0, [&] { timerRan = true; });
    QTimer::singleShot(20, [&] {
        openWhileWaiting = sink->OpenCount();
        sink->DismissAll();
    });
    MessageBox("Write OK");
    EXPECT_TRUE(timerRan);
    EXPECT_EQ(openWhileWaiting, 1u);
    EXPECT_EQ(sink->OpenCount(), 0u);
}

TEST_F(QtMessageBoxes, AutoDismissLetsUnattendedRunsGoOn) {
    sink->SetAutoDismiss(true);
    MessageBox("one");
    std::thread worker([] { MessageBox("two"); });
    ASSERT_TRUE(
        PumpUntil([&] { return sink->ShownTexts().size() == 2 && sink->OpenCount() == 0; }));
    worker.join();
    EXPECT_EQ(sink->ShownTexts(), (std::vector<std::string>{"one", "two"}));
}

TEST_F(QtMessageBoxes, DestroyingTheSinkReleasesWaitingWorkers) {
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        MessageBox("pending");
        returned = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return sink->OpenCount() == 1; }));
    SetMessageBoxSink(nullptr);
    sink.reset();
    worker.join();
    EXPECT_TRUE(returned);
}

}  // namespace
}  // namespace qthost_test
