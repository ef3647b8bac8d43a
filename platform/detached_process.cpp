#include "platform/detached_process.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// What the grandchild or the middle process reports when it cannot go on.
struct Report {
    StartError error;
    int errorNumber;
};

void SendReport(int fd, StartError error, int errorNumber) {
    const Report report{error, errorNumber};
    if (::write(fd, &report, sizeof report) < 0) {
        // Nothing more can be done in a child that is about to end.
    }
}

// Only async-signal-safe calls after fork: the caller may have other threads (the GUI's),
// so the argument array is built before forking.
[[noreturn]] void RunMiddle(int reportFd, char* const* args) {
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild < 0) {
        SendReport(reportFd, StartError::ForkFailed, errno);
    } else if (grandchild == 0) {
        ::execvp(args[0], args);
        SendReport(reportFd, StartError::ExecFailed, errno);
    }
    ::_exit(0);
}

// Blocks until every write end is closed: by a successful exec or by the processes' ends.
StartResult ReadReport(int fd) {
    Report report{};
    ssize_t n;
    do {
        n = ::read(fd, &report, sizeof report);
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(sizeof report)) {
        return {report.error, report.errorNumber};
    }
    return {};
}

} // namespace

StartResult StartDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return {StartError::ExecFailed, EINVAL};
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return {StartError::ForkFailed, errno};
    }
    const pid_t middle = ::fork();
    if (middle < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return {StartError::ForkFailed, error};
    }
    if (middle == 0) {
        ::close(fds[0]);
        RunMiddle(fds[1], args.data());
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    const StartResult result = ReadReport(fds[0]);
    ::close(fds[0]);
    return result;
}
