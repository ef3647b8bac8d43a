#include "platform/text.h"
#include "ui/message_box.h"
#include "ui/worker_adaptor.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

class WorkerAdaptorTest : public ::testing::Test {
protected:
    WorkerAdaptorTest() {
        MessageBoxes::Script({});
        MessageBoxes::ClearHistory();
    }
    ~WorkerAdaptorTest() override { MessageBoxes::Script({}); }
    QWidget window;
};

TEST_F(WorkerAdaptorTest, ProgressMessagesAndTheEndArriveOnTheGuiThreadInOrder) {
    WorkerAdaptor adaptor(&window);
    std::vector<QString> seen;
    QThread* gui = QThread::currentThread();
    bool allOnGui = true;
    QObject::connect(&adaptor, &WorkerAdaptor::progress, [&](int channel, int percent) {
        allOnGui &= QThread::currentThread() == gui;
        seen.push_back(QString("p%1:%2").arg(channel).arg(percent));
    });
    bool done = false;
    QObject::connect(&adaptor, &WorkerAdaptor::finished, [&](bool ok, const QString&) {
        allOnGui &= QThread::currentThread() == gui;
        seen.push_back(ok ? "done" : "failed");
        done = true;
    });
    MessageBoxes::Script({MessageAnswer::Ok});
    ASSERT_TRUE(adaptor.Start([](WorkerContext& c) {
        c.Progress(0, 30);
        c.Message(MessageKind::Information, "halfway");
        c.Progress(1, 100);
    }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    EXPECT_TRUE(allOnGui);
    EXPECT_EQ(seen, (std::vector<QString>{"p0:30", "p1:100", "done"}));
    ASSERT_EQ(MessageBoxes::History().size(), 1u);
    EXPECT_EQ(MessageBoxes::History()[0].text, "halfway");
    EXPECT_EQ(MessageBoxes::History()[0].kind, MessageKind::Information);
}

TEST_F(WorkerAdaptorTest, AQuestionsAnswerGoesBackToTheWorker) {
    WorkerAdaptor adaptor(&window);
    std::atomic<int> answers{0};
    MessageAnswer first = MessageAnswer::Closed, second = MessageAnswer::Closed;
    MessageBoxes::Script({MessageAnswer::Cancel, MessageAnswer::Retry});
    bool done = false;
    QObject::connect(&adaptor, &WorkerAdaptor::finished, [&] { done = true; });
    adaptor.Start([&](WorkerContext& c) {
        first = c.Message(MessageKind::Confirmation, Gb18030("继续吗？"), MessageButtons::OkCancel);
        second = c.Message(MessageKind::Error, "retry?", MessageButtons::AbortRetryIgnore);
        ++answers;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(first, MessageAnswer::Cancel);
    EXPECT_EQ(second, MessageAnswer::Retry);
    ASSERT_EQ(MessageBoxes::History().size(), 2u);
    EXPECT_EQ(MessageBoxes::History()[0].text, QString("继续吗？"));
}

TEST_F(WorkerAdaptorTest, AJobThatThrowsEndsAsFailureWithItsReason) {
    WorkerAdaptor adaptor(&window);
    QSignalSpy spy(&adaptor, &WorkerAdaptor::finished);
    adaptor.Start([](WorkerContext&) { throw std::runtime_error("broken"); });
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_FALSE(spy.at(0).at(0).toBool());
    EXPECT_EQ(spy.at(0).at(1).toString(), "broken");
}

// The GUI thread never serves the call here: the destructor must release it and join.
TEST_F(WorkerAdaptorTest, DestroyingTheAdaptorReleasesAWorkerWaitingOnTheGui) {
    std::atomic<bool> calling{false};
    std::atomic<bool> served{false};
    std::atomic<bool> callRan{false};
    std::atomic<bool> stopSeen{false};
    MessageAnswer late = MessageAnswer::Closed;
    auto adaptor = std::make_unique<WorkerAdaptor>(&window);
    adaptor->Start([&, a = adaptor.get()](WorkerContext& c) {
        calling = true;
        served = a->CallOnGui([&] { callRan = true; });
        late = c.Message(MessageKind::Warning, "never shown");
        stopSeen = c.StopRequested();
    });
    while (!calling) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(30ms); // the worker is now waiting for the GUI thread
    const auto start = std::chrono::steady_clock::now();
    adaptor.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_FALSE(served);
    EXPECT_FALSE(callRan);
    EXPECT_EQ(late, MessageAnswer::Cancel);
    EXPECT_TRUE(stopSeen);
    QTest::qWait(20); // the dropped call must not run after the adaptor has gone
    EXPECT_FALSE(callRan);
    EXPECT_TRUE(MessageBoxes::History().empty());
}

TEST_F(WorkerAdaptorTest, WaitingInANestedLoopServesTheWorkersCalls) {
    WorkerAdaptor adaptor(&window);
    int calls = 0;
    adaptor.Start([&](WorkerContext&) {
        for (int i = 0; i < 3; ++i) {
            adaptor.CallOnGui([&] { ++calls; });
        }
    });
    adaptor.WaitServingGui();
    EXPECT_TRUE(adaptor.WorkerDone());
    EXPECT_EQ(calls, 3);
}
