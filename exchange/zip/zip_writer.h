// Writes the one-entry archive a package holds, in memory, so that no clear text touches
// the disk.
#pragma once

#include "exchange/zip/zip_reader.h"

#include <ctime>
#include <string>
#include <string_view>

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

// Builds an archive holding one entry with the content, deflated at zlib's default level,
// with no password, no Zip64 fields and no data descriptor. Fails with WriteFailed.
ZipResult WriteSingleEntryArchive(std::string_view entryName, std::string_view content,
                                  const ZipTime& time, std::string& archive);
