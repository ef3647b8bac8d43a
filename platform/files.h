#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

// Reading and replacing the small files the program keeps its state in (config.ini, the
// registry's key files).

enum class FileError {
    None,
    NotFound,   // nothing at the path (a dangling link counts as nothing)
    NotRegular, // a folder, FIFO, device or socket
    TooLarge,   // over the size limit
    ReadFailed,
    WriteFailed,
};

struct FileResult {
    FileError error = FileError::None;
    std::string detail; // the system's words, e.g. "No space left on device"

    explicit operator bool() const { return error == FileError::None; }
    static FileResult Fail(FileError error, std::string detail) {
        return {error, std::move(detail)};
    }
};

struct FileContents {
    FileResult status;
    std::string bytes;
};

// Settings and key files are a few hundred bytes; anything bigger is not one of ours.
inline constexpr std::size_t kSmallFileLimit = 1 << 20;

// Reads a whole regular file of at most `limit` bytes. A link to a regular file is read
// (an administrator may keep config.ini elsewhere); a FIFO or device is refused without
// blocking on it or reading from it.
FileContents ReadSmallFile(const std::filesystem::path& file, std::size_t limit = kSmallFileLimit);

// Writes part of a buffer the way ::write does (bytes written, or -1 with errno set).
// Replaceable so that tests can make a write fail part way, as on a full disk.
using FileWriter = std::function<long(int fd, const char* data, std::size_t size)>;
long PosixWrite(int fd, const char* data, std::size_t size);
// Writes all of the bytes, going on after a short write or a signal; false with errno set.
bool WriteAll(int fd, std::string_view bytes, const FileWriter& writer = PosixWrite);

// Replaces the file's contents all at once: writes a freshly created temporary file with
// an unpredictable name beside it, syncs it, and renames it over the file. On any failure
// the temporary file is removed and the old file is left as it was. The old file's
// permissions are kept. A link at the path is replaced by a regular file, never written
// through.
FileResult ReplaceFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                                 const FileWriter& writer = PosixWrite);
// The same for contents that `fill` writes itself into the new file's descriptor (a large
// file made on the way out, never held whole in memory); false with errno set on failure.
using FileFiller = std::function<bool(int fd)>;
FileResult ReplaceFileAtomicallyWith(const std::filesystem::path& file, const FileFiller& fill);
