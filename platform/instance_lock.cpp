#include "platform/instance_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// A non-blocking exclusive flock: 0 when taken, EWOULDBLOCK while another open file
// holds it, or the errno of another failure.
int TryLock(int fd) {
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
}

} // namespace

InstanceLock InstanceLock::Take(const std::filesystem::path& file, std::chrono::milliseconds wait) {
    // Readable by everyone, so that a start without root rights can tell that the program
    // already runs before it asks for them.
    const int fd = OpenRetrying(file.c_str(), O_RDWR | O_CREAT, 0644);
    if (fd < 0) {
        return {-1, InstanceLockError::CannotOpen, errno};
    }
    constexpr std::chrono::milliseconds kRetryEvery(20);
    const auto giveUp = std::chrono::steady_clock::now() + wait;
    int error;
    while ((error = TryLock(fd)) == EWOULDBLOCK && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(kRetryEvery);
    }
    if (error != 0) {
        ::close(fd);
        return {-1,
                error == EWOULDBLOCK ? InstanceLockError::HeldElsewhere
                                     : InstanceLockError::CannotOpen,
                error};
    }
    return {fd, InstanceLockError::None, 0};
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(other.error_), errorNumber_(other.errorNumber_) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
        errorNumber_ = other.errorNumber_;
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) {
        ::close(fd_); // closing the only descriptor of the open file drops the lock
    }
}

bool InstanceLockHeldElsewhere(const std::filesystem::path& file) {
    const int fd = OpenRetrying(file.c_str(), O_RDONLY);
    if (fd < 0) {
        return false;
    }
    const bool held = TryLock(fd) == EWOULDBLOCK;
    ::close(fd);
    return held;
}
