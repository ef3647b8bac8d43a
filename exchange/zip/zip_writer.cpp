#include "exchange/zip/zip_writer.h"

#include "exchange/zip/memory_file.h"

#include <minizip/zip.h>

#include <algorithm>
#include <utility>

namespace {

ZipResult Fail(ZipError error, std::string detail) {
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

ZipResult WriteEntry(zipFile zf, std::string_view entryName, std::string_view content,
                     const ZipTime& time) {
    const zip_fileinfo info = EntryInfo(time);
    const std::string name(entryName);
    int rc = zipOpenNewFileInZip(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                 Z_DEFLATED, Z_DEFAULT_COMPRESSION);
    if (rc != ZIP_OK) {
        return Fail(ZipError::WriteFailed, "cannot start the entry (" + std::to_string(rc) + ")");
    }
    for (std::size_t done = 0; done < content.size();) {
        const std::size_t n = std::min<std::size_t>(content.size() - done, 1u << 30);
        rc = zipWriteInFileInZip(zf, content.data() + done, static_cast<unsigned>(n));
        if (rc != ZIP_OK) {
            return Fail(ZipError::WriteFailed,
                        "cannot deflate the entry (" + std::to_string(rc) + ")");
        }
        done += n;
    }
    rc = zipCloseFileInZip(zf);
    if (rc != ZIP_OK) {
        return Fail(ZipError::WriteFailed, "cannot finish the entry (" + std::to_string(rc) + ")");
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

ZipResult WriteSingleEntryArchive(std::string_view entryName, std::string_view content,
                                  const ZipTime& time, std::string& archive) {
    archive.clear();
    ZipMemoryFile file;
    file.out = &archive;
    zlib_filefunc64_def functions = ZipMemoryFunctions(file);
    ZipWriter zip(zipOpen2_64("archive", APPEND_STATUS_CREATE, nullptr, &functions));
    if (!zip.get()) {
        return Fail(ZipError::WriteFailed, "cannot create the archive");
    }
    if (ZipResult entry = WriteEntry(zip.get(), entryName, content, time); !entry) {
        archive.clear();
        return entry;
    }
    if (const int rc = zip.Close(); rc != ZIP_OK) {
        archive.clear();
        return Fail(ZipError::WriteFailed,
                    "cannot finish the archive (" + std::to_string(rc) + ")");
    }
    return {};
}
