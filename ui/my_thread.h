#pragma once

#include "ui/worker_adaptor.h"

#include <functional>

class TCDialog_PhoneBook;

// The main window's deletion worker: one job run on a plain Worker, reported through the
// adaptor. Created idle; the creator sets the job, connects finished() (run on the GUI
// thread) and starts it. Destroying it never waits on a call it has posted to the window.
class CMyThread : public WorkerAdaptor {
    Q_OBJECT
public:
    using Job = std::function<void(TCDialog_PhoneBook*, WorkerContext&)>;

    explicit CMyThread(TCDialog_PhoneBook* window);
    void SetJob(Job job) { job_ = std::move(job); }
    // False when there is no job or it was started before.
    bool Start();

private:
    TCDialog_PhoneBook* window_;
    Job job_;
};
