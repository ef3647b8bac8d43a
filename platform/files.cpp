#include "platform/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now, so that a failing close (deferred write errors) can be reported.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

FileResult OpenFailure(int error) {
    if (error == ENOENT) {
        return FileResult::Fail(FileError::NotFound, ErrnoText(error));
    }
    return FileResult::Fail(FileError::ReadFailed, ErrnoText(error));
}

// Reads at most limit + 1 bytes, so a file that grew past the limit since fstat is caught.
FileContents ReadCapped(int fd, std::size_t limit) {
    FileContents contents;
    char chunk[4096];
    while (contents.bytes.size() <= limit) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            contents.status = FileResult::Fail(FileError::ReadFailed, ErrnoText(errno));
            return contents;
        }
        if (n == 0) {
            return contents;
        }
        contents.bytes.append(chunk, static_cast<std::size_t>(n));
    }
    contents.status = FileResult::Fail(FileError::TooLarge, "larger than the limit");
    contents.bytes.clear();
    return contents;
}

std::filesystem::path TemporaryNameBeside(const std::filesystem::path& file) {
    static std::mt19937_64 generator{std::random_device{}()};
    std::filesystem::path temp = file.parent_path();
    temp /= "." + file.filename().string() + "." + std::to_string(generator()) + ".tmp";
    return temp;
}

// O_EXCL with O_NOFOLLOW: a file or link planted at the name makes the open fail instead
// of being followed or reused.
int CreateExclusive(const std::filesystem::path& file, std::filesystem::path& temp) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        temp = TemporaryNameBeside(file);
        const int fd =
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// The old file's mode and owner carry over; a new file gets 0644.
void CopyPermissions(int fd, const std::filesystem::path& file) {
    struct stat existing {};
    if (::stat(file.c_str(), &existing) != 0) {
        ::fchmod(fd, 0644);
        return;
    }
    ::fchmod(fd, existing.st_mode & 07777);
    if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        // Only root may give a file away; anyone else keeps owning what they wrote.
    }
}

// Makes the rename itself durable; a folder that cannot be synced is no reason to fail.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

long PosixWrite(int fd, const char* data, std::size_t size) {
    return ::write(fd, data, size);
}

bool WriteAll(int fd, std::string_view bytes, const FileWriter& writer) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long n = writer(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

FileContents ReadSmallFile(const std::filesystem::path& file, std::size_t limit) {
    // O_NONBLOCK so that opening a FIFO does not wait for a writer.
    Fd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        return {OpenFailure(errno), {}};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return {FileResult::Fail(FileError::ReadFailed, ErrnoText(errno)), {}};
    }
    if (!S_ISREG(info.st_mode)) {
        return {FileResult::Fail(FileError::NotRegular, "not a regular file"), {}};
    }
    if (static_cast<std::uintmax_t>(info.st_size) > limit) {
        return {FileResult::Fail(FileError::TooLarge, "larger than the limit"), {}};
    }
    return ReadCapped(fd.get(), limit);
}

FileResult ReplaceFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                                 const FileWriter& writer) {
    return ReplaceFileAtomicallyWith(file, [&](int fd) { return WriteAll(fd, bytes, writer); });
}

FileResult ReplaceFileAtomicallyWith(const std::filesystem::path& file, const FileFiller& fill) {
    std::filesystem::path temp;
    Fd fd(CreateExclusive(file, temp));
    if (fd.get() < 0) {
        return FileResult::Fail(FileError::WriteFailed, ErrnoText(errno));
    }
    CopyPermissions(fd.get(), file);
    int error = 0;
    errno = 0;
    if (!fill(fd.get()) || ::fsync(fd.get()) != 0) {
        error = errno != 0 ? errno : EIO;
    }
    if (!fd.Close() && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.c_str(), file.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.c_str());
        return FileResult::Fail(FileError::WriteFailed, ErrnoText(error));
    }
    SyncFolder(file.parent_path());
    return {};
}
