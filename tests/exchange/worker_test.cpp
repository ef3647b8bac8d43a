#include "exchange/worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Collects what the worker reports, from whichever thread it comes.
struct Log {
    std::mutex mutex;
    std::vector<std::string> events;
    void Add(std::string e) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(e));
    }
};

} // namespace

TEST(WorkerLifecycle, StartsOnceAndRefusesASecondStart) {
    Worker worker;
    std::promise<void> done;
    worker.OnFinished([&](const WorkerResult&) { done.set_value(); });
    EXPECT_FALSE(worker.Started());
    EXPECT_TRUE(worker.Start([](WorkerContext&) {}));
    EXPECT_FALSE(worker.Start([](WorkerContext&) { ADD_FAILURE() << "second job ran"; }));
    done.get_future().wait();
    worker.Join();
    EXPECT_TRUE(worker.Finished());
    EXPECT_FALSE(worker.Start([](WorkerContext&) { ADD_FAILURE() << "restarted"; }));
}

TEST(WorkerLifecycle, AnEmptyJobIsRefusedAndLeavesTheWorkerIdle) {
    Worker worker;
    EXPECT_FALSE(worker.Start({}));
    EXPECT_FALSE(worker.Started());
    EXPECT_TRUE(worker.Start([](WorkerContext&) {}));
}

TEST(WorkerLifecycle, DestroyingAnIdleWorkerDoesNotWait) {
    Worker worker;
}

TEST(WorkerLifecycle, TheJobSeesTheStopFlag) {
    Worker worker;
    std::promise<void> running;
    std::promise<int> rounds;
    worker.Start([&](WorkerContext& context) {
        running.set_value();
        int n = 0;
        while (!context.StopRequested()) {
            std::this_thread::sleep_for(1ms);
            ++n;
        }
        rounds.set_value(n);
    });
    running.get_future().wait();
    EXPECT_FALSE(worker.StopRequested());
    worker.RequestStop();
    EXPECT_TRUE(worker.StopRequested());
    auto f = rounds.get_future();
    ASSERT_EQ(f.wait_for(5s), std::future_status::ready);
}

TEST(WorkerLifecycle, APausedJobWaitsAtItsNextCheckUntilResumedOrStopped) {
    std::atomic<int> checks{0};
    Worker worker;
    worker.Start([&](WorkerContext& context) {
        while (!context.StopRequested()) {
            ++checks;
        }
    });
    while (checks.load() < 10) {
        std::this_thread::yield();
    }
    worker.Pause();
    std::this_thread::sleep_for(50ms); // the check under way when the pause began
    const int held = checks.load();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(checks.load(), held) << "the job went on while paused";
    EXPECT_FALSE(worker.Finished());

    worker.Resume();
    while (checks.load() < held + 10) {
        std::this_thread::yield();
    }
    worker.Pause();
    worker.RequestStop(); // a stop ends the pause: the job sees it and returns
    worker.Join();
    EXPECT_TRUE(worker.Finished());
}

TEST(WorkerLifecycle, TheDestructorStopsAndJoinsARunningJob) {
    std::atomic<bool> jobReturned{false};
    std::atomic<bool> finishedRan{false};
    {
        Worker worker;
        std::promise<void> running;
        worker.OnFinished([&](const WorkerResult&) { finishedRan = true; });
        worker.Start([&](WorkerContext& context) {
            running.set_value();
            while (!context.StopRequested()) {
                std::this_thread::sleep_for(1ms);
            }
            std::this_thread::sleep_for(20ms); // still busy when the destructor starts waiting
            jobReturned = true;
        });
        running.get_future().wait();
    }
    EXPECT_TRUE(jobReturned);
    EXPECT_TRUE(finishedRan);
}

TEST(WorkerReports, ProgressAndMessagesArriveInOrderAndFinishedComesLast) {
    Log log;
    Worker worker;
    worker.OnProgress([&](int channel, int percent) {
        log.Add("p" + std::to_string(channel) + ":" + std::to_string(percent));
    });
    worker.OnMessage([&](MessageKind, const std::string& text, MessageButtons, const std::string&) {
        log.Add("m:" + text);
        return MessageAnswer::Yes;
    });
    std::promise<void> done;
    worker.OnFinished([&](const WorkerResult& r) {
        log.Add(r.Succeeded() ? "done" : "failed");
        done.set_value();
    });
    MessageAnswer answer = MessageAnswer::Closed;
    worker.Start([&](WorkerContext& context) {
        context.Progress(0, 10);
        answer = context.Message(MessageKind::Confirmation, "go on?", MessageButtons::OkCancel);
        context.Progress(1, 100);
        log.Add("returning");
    });
    done.get_future().wait();
    worker.Join();
    EXPECT_EQ(answer, MessageAnswer::Yes);
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"p0:10", "m:go on?", "p1:100", "returning", "done"}));
}

TEST(WorkerReports, QuestionsAreAnsweredCancelWithoutAListenerOrAfterStop) {
    Worker worker;
    int asked = 0;
    worker.OnMessage([&](MessageKind, const std::string&, MessageButtons, const std::string&) {
        ++asked;
        return MessageAnswer::Ok;
    });
    std::vector<MessageAnswer> answers;
    worker.RequestStop();
    worker.Start(
        [&](WorkerContext& c) { answers.push_back(c.Message(MessageKind::Warning, "x")); });
    worker.Join();
    EXPECT_EQ(answers, std::vector<MessageAnswer>{MessageAnswer::Cancel});
    EXPECT_EQ(asked, 0);

    Worker silent;
    silent.Start([&](WorkerContext& c) {
        c.Progress(0, 50); // no listener: ignored, not a crash
        answers.push_back(c.Message(MessageKind::Warning, "y"));
    });
    silent.Join();
    EXPECT_EQ(answers.back(), MessageAnswer::Cancel);
}

TEST(WorkerFailures, AnExceptionInTheJobIsReportedAsFailure) {
    Worker worker;
    std::promise<WorkerResult> result;
    worker.OnFinished([&](const WorkerResult& r) { result.set_value(r); });
    worker.Start([](WorkerContext&) { throw std::runtime_error("disk full"); });
    const WorkerResult r = result.get_future().get();
    EXPECT_FALSE(r.Succeeded());
    EXPECT_EQ(r.detail, "disk full");
}

TEST(WorkerFailures, AnythingThrownIsCaughtAndAThrowingReportDoesNotTerminate) {
    Worker worker;
    WorkerResult seen;
    worker.OnFinished([&](const WorkerResult& r) {
        seen = r;
        throw 42;
    });
    worker.Start([](WorkerContext&) { throw 7; });
    worker.Join();
    EXPECT_FALSE(seen.Succeeded());
    EXPECT_TRUE(worker.Finished());
}
