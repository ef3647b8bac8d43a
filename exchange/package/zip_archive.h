#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

// The ZIP layer of a package: one deflated, unencrypted entry, written and read in memory
// so that no clear text touches the disk. Entry names are data here, never paths.

// The modification time written into the entry's headers. The archive's bytes depend on
// it, so the caller passes it in and the same inputs always give the same archive.
struct ZipTime {
    int year = 1980; // 1980..2107, what a DOS date can hold
    int month = 1;   // 1..12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};
ZipTime ZipTimeFromLocalTime(std::time_t when);

enum class ArchiveError {
    None,
    WriteFailed,  // the ZIP layer refused a step while writing
    NotAnArchive, // no end-of-central-directory record that makes sense
    NoEntry,      // an archive without any entry
    EntryDamaged, // an entry that cannot be read, inflated or checked (CRC)
    EntryEncrypted,
    TooLarge, // the entry inflates beyond the bound given
};

struct ArchiveResult {
    ArchiveError error = ArchiveError::None;
    std::string detail;

    bool ok() const { return error == ArchiveError::None; }
    explicit operator bool() const { return ok(); }
};

// Builds an archive holding one entry with the content, deflated at zlib's default level,
// with no password, no Zip64 fields and no data descriptor.
ArchiveResult WriteSingleEntryArchive(std::string_view entryName, std::string_view content,
                                      const ZipTime& time, std::string& archive);

// Receives the inflated content piece by piece; returning false stops the reading (the
// result is then None: the receiver has its own reason).
using ChunkFn = std::function<bool(std::string_view chunk)>;

// Reads the archive's last entry, whatever its name, as the import always has (with
// several entries the last one counts). Inflation stops with TooLarge once more than
// `limit` bytes came out, so a small archive cannot fill memory or disk.
ArchiveResult ReadLastEntry(std::string_view archive, std::uint64_t limit, std::string& entryName,
                            const ChunkFn& onChunk);
