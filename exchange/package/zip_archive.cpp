#include "exchange/package/zip_archive.h"

#include "exchange/zip/memory_file.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

ArchiveResult Fail(ArchiveError error, std::string detail) {
    return {error, std::move(detail)};
}

// Closes the archive being written unless Close() did; the archive is then unusable.
class ZipWriter {
public:
    explicit ZipWriter(zipFile zf) : zf_(zf) {}
    ~ZipWriter() {
        if (zf_) {
            zipClose(zf_, nullptr);
        }
    }
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;
    zipFile get() const { return zf_; }
    int Close() { return zipClose(std::exchange(zf_, nullptr), nullptr); }

private:
    zipFile zf_;
};

class UnzReader {
public:
    explicit UnzReader(unzFile uf) : uf_(uf) {}
    ~UnzReader() {
        if (uf_) {
            unzClose(uf_);
        }
    }
    UnzReader(const UnzReader&) = delete;
    UnzReader& operator=(const UnzReader&) = delete;
    unzFile get() const { return uf_; }

private:
    unzFile uf_;
};

zip_fileinfo EntryInfo(const ZipTime& t) {
    zip_fileinfo info{};
    info.tmz_date.tm_year = static_cast<uInt>(t.year);
    info.tmz_date.tm_mon = static_cast<uInt>(t.month - 1);
    info.tmz_date.tm_mday = static_cast<uInt>(t.day);
    info.tmz_date.tm_hour = static_cast<uInt>(t.hour);
    info.tmz_date.tm_min = static_cast<uInt>(t.minute);
    info.tmz_date.tm_sec = static_cast<uInt>(t.second);
    return info;
}

ArchiveResult WriteEntry(zipFile zf, std::string_view entryName, std::string_view content,
                         const ZipTime& time) {
    const zip_fileinfo info = EntryInfo(time);
    const std::string name(entryName);
    int rc = zipOpenNewFileInZip(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                 Z_DEFLATED, Z_DEFAULT_COMPRESSION);
    if (rc != ZIP_OK) {
        return Fail(ArchiveError::WriteFailed,
                    "cannot start the entry (" + std::to_string(rc) + ")");
    }
    for (std::size_t done = 0; done < content.size();) {
        const std::size_t n = std::min<std::size_t>(content.size() - done, 1u << 30);
        rc = zipWriteInFileInZip(zf, content.data() + done, static_cast<unsigned>(n));
        if (rc != ZIP_OK) {
            return Fail(ArchiveError::WriteFailed,
                        "cannot deflate the entry (" + std::to_string(rc) + ")");
        }
        done += n;
    }
    rc = zipCloseFileInZip(zf);
    if (rc != ZIP_OK) {
        return Fail(ArchiveError::WriteFailed,
                    "cannot finish the entry (" + std::to_string(rc) + ")");
    }
    return {};
}

// Moves to the last entry of the central directory.
ArchiveResult GoToLastEntry(unzFile uf) {
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(uf, &global) != UNZ_OK) {
        return Fail(ArchiveError::NotAnArchive, "no central directory");
    }
    if (global.number_entry == 0) {
        return Fail(ArchiveError::NoEntry, "the archive holds no entry");
    }
    if (unzGoToFirstFile(uf) != UNZ_OK) {
        return Fail(ArchiveError::EntryDamaged, "the central directory cannot be read");
    }
    int rc = UNZ_OK;
    while ((rc = unzGoToNextFile(uf)) == UNZ_OK) {
    }
    if (rc != UNZ_END_OF_LIST_OF_FILE) {
        return Fail(ArchiveError::EntryDamaged, "the central directory cannot be read");
    }
    return {};
}

// minizip checks the CRC only when the recorded size came out, so a deflate stream that
// ends early would pass unnoticed; the size is compared here.
ArchiveResult InflateCurrentEntry(unzFile uf, std::uint64_t recordedSize, std::uint64_t limit,
                                  const ChunkFn& onChunk) {
    if (unzOpenCurrentFile(uf) != UNZ_OK) {
        return Fail(ArchiveError::EntryDamaged, "the entry cannot be opened");
    }
    std::vector<char> buffer(1 << 16);
    std::uint64_t total = 0;
    for (;;) {
        const int n = unzReadCurrentFile(uf, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (n < 0) {
            unzCloseCurrentFile(uf);
            return Fail(ArchiveError::EntryDamaged, "the entry cannot be inflated");
        }
        if (n == 0) {
            break;
        }
        total += static_cast<std::uint64_t>(n);
        if (total > limit) {
            unzCloseCurrentFile(uf);
            return Fail(ArchiveError::TooLarge,
                        "the entry inflates beyond " + std::to_string(limit) + " bytes");
        }
        if (!onChunk(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) {
            unzCloseCurrentFile(uf);
            return {};
        }
    }
    if (unzCloseCurrentFile(uf) != UNZ_OK) {
        return Fail(ArchiveError::EntryDamaged, "the entry's checksum does not match");
    }
    if (total != recordedSize) {
        return Fail(ArchiveError::EntryDamaged, "the entry ends before its recorded size");
    }
    return {};
}

} // namespace

ZipTime ZipTimeFromLocalTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

ArchiveResult WriteSingleEntryArchive(std::string_view entryName, std::string_view content,
                                      const ZipTime& time, std::string& archive) {
    archive.clear();
    ZipMemoryFile file;
    file.out = &archive;
    zlib_filefunc64_def functions = ZipMemoryFunctions(file);
    ZipWriter zip(zipOpen2_64("archive", APPEND_STATUS_CREATE, nullptr, &functions));
    if (!zip.get()) {
        return Fail(ArchiveError::WriteFailed, "cannot create the archive");
    }
    if (ArchiveResult entry = WriteEntry(zip.get(), entryName, content, time); !entry) {
        archive.clear();
        return entry;
    }
    if (const int rc = zip.Close(); rc != ZIP_OK) {
        archive.clear();
        return Fail(ArchiveError::WriteFailed,
                    "cannot finish the archive (" + std::to_string(rc) + ")");
    }
    return {};
}

ArchiveResult ReadLastEntry(std::string_view archive, std::uint64_t limit, std::string& entryName,
                            const ChunkFn& onChunk) {
    entryName.clear();
    ZipMemoryFile file;
    file.in = archive;
    zlib_filefunc64_def functions = ZipMemoryFunctions(file);
    UnzReader zip(unzOpen2_64("archive", &functions));
    if (!zip.get()) {
        // minizip takes an end record at offset 0 for none at all; that is an empty archive.
        if (archive.substr(0, 4) == std::string_view("PK\x05\x06", 4)) {
            return Fail(ArchiveError::NoEntry, "the archive holds no entry");
        }
        return Fail(ArchiveError::NotAnArchive, "not a ZIP archive");
    }
    if (ArchiveResult last = GoToLastEntry(zip.get()); !last) {
        return last;
    }
    unz_file_info64 info{};
    std::vector<char> name(65536 + 1);
    if (unzGetCurrentFileInfo64(zip.get(), &info, name.data(), static_cast<uLong>(name.size()),
                                nullptr, 0, nullptr, 0) != UNZ_OK) {
        return Fail(ArchiveError::EntryDamaged, "the entry's header cannot be read");
    }
    entryName.assign(name.data(), std::min<std::size_t>(info.size_filename, name.size() - 1));
    if (info.flag & 1) {
        return Fail(ArchiveError::EntryEncrypted, "the entry is encrypted");
    }
    if (info.uncompressed_size > limit) {
        return Fail(ArchiveError::TooLarge,
                    "the entry inflates beyond " + std::to_string(limit) + " bytes");
    }
    return InflateCurrentEntry(zip.get(), info.uncompressed_size, limit, onChunk);
}
