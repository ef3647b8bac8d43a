#include "ui/my_thread.h"

#include "ui/dialog_phonebook.h"

CMyThread::CMyThread(TCDialog_PhoneBook* window) : WorkerAdaptor(window, window), window_(window) {}

bool CMyThread::Start() {
    if (!job_) {
        return false;
    }
    return WorkerAdaptor::Start(
        [job = job_, window = window_](WorkerContext& context) { job(window, context); });
}
