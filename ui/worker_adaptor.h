#pragma once

#include "exchange/worker.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

// Runs a plain Worker for a window and brings its reports to the GUI thread: progress as
// queued signals, messages and questions as waiting calls that show the box with
// MessageBoxes::Show and hand the answer back, and the end as the queued finished signal.
//
// The worker's waiting calls do not use Qt::BlockingQueuedConnection: each waits on a
// handoff the adaptor can release. Destroying the adaptor (or Release()) answers every
// pending and later call with "cancelled", requests stop and joins, so a window never
// hangs on a worker that is waiting for that window.
class WorkerAdaptor : public QObject {
    Q_OBJECT
public:
    explicit WorkerAdaptor(QWidget* window, QObject* parent = nullptr);
    ~WorkerAdaptor() override;

    // Starts the job once; false when already started or the job is empty.
    bool Start(Worker::Job job);
    void RequestStop() { worker_.RequestStop(); }
    bool StopRequested() const { return worker_.StopRequested(); }
    // Holds the job at its next stop check while the window asks whether to stop it.
    void Pause() { worker_.Pause(); }
    void Resume() { worker_.Resume(); }
    bool Started() const { return worker_.Started(); }
    // True once the job and its end report are over on the worker thread.
    bool WorkerDone() const { return worker_.Finished(); }

    // From the worker thread: runs work on the GUI thread and waits for it. Returns false,
    // without running it, once the adaptor has been released. Called on the GUI thread it
    // simply runs the work.
    bool CallOnGui(const std::function<void()>& work);

    // From the GUI thread: waits for the worker in a nested event loop, so that the
    // worker's waiting calls (these and any other queued ones) are still served.
    void WaitServingGui();

    // From the GUI thread: refuses every pending and later waiting call, then stops the
    // worker and joins it. The destructor does this.
    void Release();

signals:
    void progress(int channel, int percent);
    // Emitted on the GUI thread after the job has returned; detail says why it failed.
    void finished(bool succeeded, const QString& detail);

private:
    struct Handoff;
    QPointer<QWidget> window_;
    std::shared_ptr<Handoff> handoff_;
    Worker worker_;
};
