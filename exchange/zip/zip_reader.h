// ZIP archives read from bytes in memory, for workbooks (.xlsx) and packages (.qsec) alike.
// Every entry inflates under a bound the caller gives, so a small archive cannot make the
// reader fill memory; an entry counts as read only when its checksum and its recorded size
// both came out. Entry names are data here, never paths.
#pragma once

#include "exchange/bytes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

enum class ZipError {
    None,
    WriteFailed,  // the ZIP layer refused a step while writing (zip_writer.h)
    NotAnArchive, // no end-of-central-directory record that makes sense
    NoEntry,      // an archive without any entry
    NoSuchEntry,  // no entry of the name asked for
    Encrypted,    // the entry is protected with a password
    TooLarge,     // the entry inflates beyond the bound given
    Damaged,      // a header that cannot be read, a deflate stream that breaks off
    BadChecksum,  // inflated whole, but the CRC does not match
    Incomplete,   // the deflate stream ends before the entry's recorded size
};

struct ZipResult {
    ZipError error = ZipError::None;
    std::string detail;

    bool ok() const { return error == ZipError::None; }
    explicit operator bool() const { return ok(); }
};

// Whether the bytes begin like an archive: a local header, or the end record of an empty
// archive.
bool LooksLikeZip(std::string_view bytes);
bool LooksLikeZip(quillon::ByteSpan bytes);

struct ZipEntryInfo {
    std::string name;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0; // as recorded in the central directory
    bool encrypted = false;
};

struct ZipHandle;

class ZipReader {
public:
    // The bytes must outlive the reader.
    explicit ZipReader(std::string_view archive);
    explicit ZipReader(quillon::ByteSpan archive);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    bool IsOpen() const;
    // NotAnArchive or NoEntry when the archive did not open.
    const ZipResult& OpenResult() const { return opened_; }

    // Makes an entry the current one. Names match without regard to case, a leading '/'
    // ignored, as parts are named inside a workbook.
    ZipResult Find(std::string_view name);
    // The last entry of the central directory, whatever its name.
    ZipResult GoToLast();
    const ZipEntryInfo& Current() const { return current_; }

    // Hands over the current entry's inflated bytes piece by piece; the consumer returns
    // false to stop (the result then carries no error of the archive's: the consumer knows
    // why it stopped). TooLarge once more than `limit` bytes came out.
    using Consumer = std::function<bool(std::string_view chunk)>;
    ZipResult Inflate(std::uint64_t limit, const Consumer& consume);

    // Find and Inflate in one step.
    ZipResult Stream(std::string_view name, std::uint64_t limit, const Consumer& consume);
    // The entry's whole contents.
    ZipResult Read(std::string_view name, std::uint64_t limit, std::string& bytes);

private:
    ZipResult TakeCurrent();

    std::unique_ptr<ZipHandle> zip_;
    ZipResult opened_;
    ZipEntryInfo current_;
    bool hasCurrent_ = false;
};
