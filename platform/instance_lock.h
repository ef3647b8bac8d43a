#pragma once

#include <chrono>
#include <filesystem>

// One program at a time on an installation folder's register. The lock is an flock on a
// file in the folder: the kernel drops it when the process ends, however it ends, so a
// crash never leaves the folder locked. Its descriptor is closed on exec, so no program
// this one starts (the help viewer, a file manager, the restart with root rights) ever
// holds it on our behalf.

// The lock file's name inside the installation folder.
inline constexpr char kInstanceLockName[] = "quillon.lock";

enum class InstanceLockError {
    None,
    HeldElsewhere, // another process holds the lock: the program already runs on this folder
    CannotOpen,    // the lock file can be neither opened nor created
};

class InstanceLock {
public:
    // Takes the lock on `file`, creating the file when it is missing, and holds it for as
    // long as the object lives. While another process holds it, tries again until `wait`
    // has passed.
    static InstanceLock Take(const std::filesystem::path& file,
                             std::chrono::milliseconds wait = std::chrono::milliseconds(0));

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    bool Held() const { return fd_ >= 0; }
    InstanceLockError Error() const { return error_; }
    int ErrorNumber() const { return errorNumber_; } // errno of the failed open

private:
    InstanceLock(int fd, InstanceLockError error, int errorNumber)
        : fd_(fd), error_(error), errorNumber_(errorNumber) {}
    int fd_ = -1;
    InstanceLockError error_ = InstanceLockError::None;
    int errorNumber_ = 0;
};

// Whether another process holds the lock on `file` right now. Creates nothing and needs
// only the right to read the file, so a process without the rights to write the folder can
// ask; a file that is missing or unreadable counts as not held. To ask, it takes the lock
// for a moment, so whoever takes it for good must allow for that moment (Take's wait).
bool InstanceLockHeldElsewhere(const std::filesystem::path& file);
