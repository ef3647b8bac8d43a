#pragma once

#include "platform/message_kinds.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// The stop flag and the pause a window holds while it asks the operator whether to stop:
// the job, at its next check, waits until the question is answered.
class WorkerControl {
public:
    void RequestStop();
    bool StopRequested() const { return stop_.load(); }
    void Pause();
    void Resume();
    // Waits while paused and not stopped; then tells whether stop was requested.
    bool WaitAndCheckStop() const;

private:
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool paused_ = false;
};

// What a job sees of the worker running it: where to report progress, how to ask a
// question, and whether it has been asked to stop. Every call comes from the worker
// thread; the callbacks decide where the report is shown.
class WorkerContext {
public:
    using ProgressFn = std::function<void(int channel, int percent)>;
    // Answers a message or question; text is GB18030, as everywhere in the plain layers.
    using MessageFn = std::function<MessageAnswer(MessageKind, const std::string& text,
                                                  MessageButtons, const std::string& caption)>;

    void Progress(int channel, int percent) const;
    // Without a message callback, or once stop was requested, the answer is Cancel.
    MessageAnswer Message(MessageKind kind, const std::string& text,
                          MessageButtons buttons = MessageButtons::Ok,
                          const std::string& caption = {}) const;
    // Waits first while the window holds the job paused, so that a run never goes on, or
    // ends, underneath the question whether to stop it.
    bool StopRequested() const { return control_->WaitAndCheckStop(); }

private:
    friend class Worker;
    WorkerContext(const WorkerControl* control, const ProgressFn* progress,
                  const MessageFn* message)
        : control_(control), progress_(progress), message_(message) {}
    const WorkerControl* control_;
    const ProgressFn* progress_;
    const MessageFn* message_;
};

// How a job ended: Done when it returned, Failed when it threw (what() in detail).
struct WorkerResult {
    enum class Outcome { Done, Failed };
    Outcome outcome = Outcome::Done;
    std::string detail;
    bool Succeeded() const { return outcome == Outcome::Done; }
};

// One thread running one job. Created idle; Start() runs the job once and refuses a second
// start. The finished callback runs on the worker thread after the job has returned (or
// thrown: the exception is caught there and reported as Failed). The destructor requests
// stop and joins, so callbacks must not block on whoever destroys the worker.
class Worker {
public:
    using Job = std::function<void(WorkerContext&)>;
    using FinishedFn = std::function<void(const WorkerResult&)>;

    Worker() = default;
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Set these before Start(); afterwards they are ignored.
    void OnProgress(WorkerContext::ProgressFn fn);
    void OnMessage(WorkerContext::MessageFn fn);
    void OnFinished(FinishedFn fn);

    // False when the worker was started before or the job is empty.
    bool Start(Job job);
    bool Started() const { return started_.load(); }
    // True from the moment the finished callback has returned.
    bool Finished() const { return finished_.load(); }

    void RequestStop() { control_.RequestStop(); }
    bool StopRequested() const { return control_.StopRequested(); }
    // While paused the job waits at its next stop check; a stop request ends the pause.
    void Pause() { control_.Pause(); }
    void Resume() { control_.Resume(); }
    // Waits for the thread; harmless when it was never started or already joined. Never
    // call it from the worker thread itself (it then returns without waiting).
    void Join();

private:
    void Run(Job job);

    WorkerControl control_;
    std::atomic<bool> started_{false};
    std::atomic<bool> finished_{false};
    WorkerContext::ProgressFn progress_;
    WorkerContext::MessageFn message_;
    FinishedFn finished_fn_;
    std::mutex join_mutex_;
    std::thread thread_;
};
