#pragma once

// Packages and archives that the writer never makes, built for the reader's tests and the
// dump tool's tests: several entries, none, an encrypted entry, a lying size.
#include "exchange/package/package.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include <minizip/zip.h>

#include <string>
#include <utility>
#include <vector>

inline const ZipTime kSampleTime{2026, 3, 1, 12, 0, 0};

// An archive file written by minizip itself, entries in order; read back as bytes. With
// storeFirst the first entry is stored rather than deflated.
inline std::string ArchiveOf(const std::vector<std::pair<std::string, std::string>>& entries,
                             const char* password = nullptr, bool storeFirst = false) {
    TempDir dir;
    const std::filesystem::path file = dir / "a.zip";
    zipFile zf = zipOpen64(file.c_str(), APPEND_STATUS_CREATE);
    for (const auto& [name, content] : entries) {
        zip_fileinfo info{};
        unsigned long crc = crc32(0, reinterpret_cast<const Bytef*>(content.data()),
                                  static_cast<uInt>(content.size()));
        const bool stored = storeFirst && &name == &entries.front().first;
        zipOpenNewFileInZip3(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                             stored ? 0 : Z_DEFLATED, stored ? 0 : Z_DEFAULT_COMPRESSION, 0,
                             -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, password, crc);
        zipWriteInFileInZip(zf, content.data(), static_cast<unsigned>(content.size()));
        zipCloseFileInZip(zf);
    }
    zipClose(zf, nullptr);
    return ReadFileBytes(file);
}

inline std::string SampleArchive(const std::string& text,
                                 const std::string& name = "note_template_1.txt") {
    std::string archive;
    WriteSingleEntryArchive(name, text, kSampleTime, archive);
    return archive;
}

inline const char kSamplePassword[] = "sample-pass";

inline std::string Enciphered(const std::string& archive) {
    return IdeaEncryptBytes(archive, IdeaKeyFromPassword(kSamplePassword));
}

// Eleven GB18030 fields joined as a package line, without the line break.
inline std::string SampleLine(int i) {
    return "ID" + std::to_string(i) + "," + Gb18030("张三") + ",M,1980-01-01," + Gb18030("本科") +
           "," + Gb18030("客户") + "," + Gb18030("河北省") + "," + Gb18030("石家庄市") + "," +
           Gb18030("长安区") + "," + Gb18030("某公司 销售部") + ",1390000000" +
           std::to_string(i % 10);
}
