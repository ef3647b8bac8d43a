// A zip archive read from bytes in memory, each entry inflated under a size limit so
// that a small archive cannot make the reader fill memory (a "zip bomb").
#pragma once

#include "exchange/bytes.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quillon::xlsx {

enum class ZipError {
    None,
    NotZip, // no zip signature, or no central directory to be found
    NoSuchEntry,
    Encrypted, // the entry is protected with a password
    TooLarge,  // the entry inflates past the limit
    Damaged,   // a broken entry: bad compressed data, a checksum that does not match
};

struct ZipEntryResult {
    ZipError error = ZipError::None;
    std::string detail;
    std::string bytes;
    explicit operator bool() const { return error == ZipError::None; }
};

bool LooksLikeZip(ByteSpan file);

struct ZipSource;

class ZipArchive {
public:
    // The bytes must outlive the archive.
    explicit ZipArchive(ByteSpan file);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool IsOpen() const { return handle_ != nullptr; }
    bool Has(std::string_view name);
    // The entry's contents; names match without regard to case, as in a package.
    ZipEntryResult Read(std::string_view name, std::size_t limit);
    // The same handed over piece by piece as it inflates, so that a large part need not be
    // held whole; the consumer returns false to stop (the result then carries no error
    // of the archive's, and the consumer knows why it stopped).
    using Consumer = std::function<bool(const char* data, std::size_t size)>;
    ZipEntryResult Stream(std::string_view name, std::size_t limit, const Consumer& consume);

private:
    std::unique_ptr<ZipSource> source_;
    void* handle_ = nullptr;
};

} // namespace quillon::xlsx
