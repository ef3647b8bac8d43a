#pragma once

#include "store/database.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <string>

// Flips one byte in the middle of every page after the first. The file is encrypted, so
// each of those pages then fails its MAC; the first page (the schema) still reads, so
// the file opens and only the reads of tables and indexes fail.
inline void DamagePagesAfterTheFirst(const std::filesystem::path& db) {
    std::string bytes = ReadFileBytes(db);
    for (std::size_t at = kCipherPageSize + kCipherPageSize / 2; at < bytes.size();
         at += kCipherPageSize) {
        bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
    }
    WriteFileBytes(db, bytes);
}
