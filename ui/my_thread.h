#pragma once

#include <QThread>
#include <functional>

class TCDialog_PhoneBook;

// A worker that runs one job for a window, then ends. Created idle; the creator sets the
// job and connects finished() (its termination handler, run on the GUI thread).
class CMyThread : public QThread {
    Q_OBJECT
public:
    using Job = std::function<void(TCDialog_PhoneBook*)>;

    explicit CMyThread(QObject* parent = nullptr) : QThread(parent) {}
    void SetJob(Job job, TCDialog_PhoneBook* window) {
        job_ = std::move(job);
        window_ = window;
    }

protected:
    void run() override {
        if (job_ && window_) {
            job_(window_);
        }
    }

private:
    Job job_;
    TCDialog_PhoneBook* window_ = nullptr;
};
