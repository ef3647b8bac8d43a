#include "ui/worker_adaptor.h"

#include "ui/message_box.h"
#include "ui/qt_text.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <condition_variable>
#include <mutex>

// Shared by the adaptor and the calls it posted: closed once the adaptor is released, so a
// worker never posts to, nor waits for, an adaptor that is going away.
struct WorkerAdaptor::Handoff {
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
};

namespace {
struct PendingCall {
    bool done = false;
};
} // namespace

WorkerAdaptor::WorkerAdaptor(QWidget* window, QObject* parent)
    : QObject(parent), window_(window), handoff_(std::make_shared<Handoff>()) {
    worker_.OnProgress([this](int channel, int percent) {
        std::lock_guard lock(handoff_->mutex);
        if (!handoff_->closed) {
            QMetaObject::invokeMethod(
                this, [this, channel, percent] { emit progress(channel, percent); },
                Qt::QueuedConnection);
        }
    });
    worker_.OnMessage([this](MessageKind kind, const std::string& text, MessageButtons buttons,
                             const std::string& caption) {
        MessageAnswer answer = MessageAnswer::Cancel;
        const bool shown = CallOnGui([&] {
            answer = MessageBoxes::Show(window_, kind, ToQString(text), buttons,
                                        caption.empty() ? QString() : ToQString(caption));
        });
        return shown ? answer : MessageAnswer::Cancel;
    });
    worker_.OnFinished([this](const WorkerResult& result) {
        std::lock_guard lock(handoff_->mutex);
        if (!handoff_->closed) {
            const bool ok = result.Succeeded();
            const QString detail = QString::fromStdString(result.detail);
            QMetaObject::invokeMethod(
                this, [this, ok, detail] { emit finished(ok, detail); }, Qt::QueuedConnection);
        }
    });
}

WorkerAdaptor::~WorkerAdaptor() {
    Release();
}

bool WorkerAdaptor::Start(Worker::Job job) {
    return worker_.Start(std::move(job));
}

bool WorkerAdaptor::CallOnGui(const std::function<void()>& work) {
    if (QThread::currentThread() == thread()) {
        work();
        return true;
    }
    auto call = std::make_shared<PendingCall>();
    std::unique_lock lock(handoff_->mutex);
    if (handoff_->closed) {
        return false;
    }
    // The posted call holds the handoff, not the adaptor: if the adaptor goes first, Qt
    // drops the event and the release below wakes the worker.
    QMetaObject::invokeMethod(
        this,
        [handoff = handoff_, call, &work] {
            {
                std::lock_guard guard(handoff->mutex);
                if (handoff->closed) {
                    return;
                }
            }
            work();
            std::lock_guard guard(handoff->mutex);
            call->done = true;
            handoff->changed.notify_all();
        },
        Qt::QueuedConnection);
    handoff_->changed.wait(lock, [&] { return call->done || handoff_->closed; });
    return call->done;
}

void WorkerAdaptor::WaitServingGui() {
    if (!worker_.Started()) {
        return;
    }
    if (!worker_.Finished()) {
        // The end report this loop delivers may lead the owner to delete this adaptor, and a
        // deleteLater() made in here is carried out in here: from then on nothing of it is
        // touched but the guard. Its destruction joins the worker.
        const QPointer<WorkerAdaptor> self(this);
        QEventLoop loop;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (!self || worker_.Finished()) {
                loop.quit();
            }
        });
        poll.start();
        loop.exec();
        if (!self) {
            return;
        }
    }
    worker_.Join();
}

void WorkerAdaptor::Release() {
    // Stop first: a worker woken by the release below must already see the request.
    worker_.RequestStop();
    {
        std::lock_guard lock(handoff_->mutex);
        handoff_->closed = true;
        handoff_->changed.notify_all();
    }
    worker_.Join();
}
