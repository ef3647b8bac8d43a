#include "exchange/worker.h"

#include <exception>

void WorkerControl::RequestStop() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true);
    }
    changed_.notify_all();
}

void WorkerControl::Pause() {
    std::lock_guard lock(mutex_);
    paused_ = true;
}

void WorkerControl::Resume() {
    {
        std::lock_guard lock(mutex_);
        paused_ = false;
    }
    changed_.notify_all();
}

bool WorkerControl::WaitAndCheckStop() const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !paused_ || stop_.load(); });
    return stop_.load();
}

void WorkerContext::Progress(int channel, int percent) const {
    if (*progress_) {
        (*progress_)(channel, percent);
    }
}

MessageAnswer WorkerContext::Message(MessageKind kind, const std::string& text,
                                     MessageButtons buttons, const std::string& caption) const {
    if (!*message_ || control_->StopRequested()) {
        return MessageAnswer::Cancel;
    }
    return (*message_)(kind, text, buttons, caption);
}

Worker::~Worker() {
    RequestStop();
    Join();
}

void Worker::OnProgress(WorkerContext::ProgressFn fn) {
    if (!Started()) {
        progress_ = std::move(fn);
    }
}

void Worker::OnMessage(WorkerContext::MessageFn fn) {
    if (!Started()) {
        message_ = std::move(fn);
    }
}

void Worker::OnFinished(FinishedFn fn) {
    if (!Started()) {
        finished_fn_ = std::move(fn);
    }
}

bool Worker::Start(Job job) {
    if (!job) {
        return false;
    }
    bool expected = false;
    if (!started_.compare_exchange_strong(expected, true)) {
        return false;
    }
    std::lock_guard lock(join_mutex_);
    thread_ = std::thread([this, job = std::move(job)]() mutable { Run(std::move(job)); });
    return true;
}

void Worker::Run(Job job) {
    WorkerResult result;
    try {
        WorkerContext context(&control_, &progress_, &message_);
        job(context);
    } catch (const std::exception& e) {
        result = {WorkerResult::Outcome::Failed, e.what()};
    } catch (...) {
        result = {WorkerResult::Outcome::Failed, "unknown exception"};
    }
    try {
        if (finished_fn_) {
            finished_fn_(result);
        }
    } catch (...) {
        // A failing report must not take the process down with std::terminate.
    }
    finished_.store(true);
}

void Worker::Join() {
    std::lock_guard lock(join_mutex_);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}
