#include "exchange/xlsx/zip_archive.h"

#include "exchange/zip/memory_file.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace quillon::xlsx {

// The archive bytes behind minizip's file callbacks.
struct ZipSource {
    ZipMemoryFile file;
};

namespace {

std::string_view WithoutLeadingSlash(std::string_view name) {
    return !name.empty() && name.front() == '/' ? name.substr(1) : name;
}

} // namespace

bool LooksLikeZip(ByteSpan file) {
    return file.size() >= 4 && file[0] == 'P' && file[1] == 'K' &&
           ((file[2] == 3 && file[3] == 4) || (file[2] == 5 && file[3] == 6));
}

ZipArchive::ZipArchive(ByteSpan file) : source_(std::make_unique<ZipSource>()) {
    source_->file.in = std::string_view(reinterpret_cast<const char*>(file.data()), file.size());
    zlib_filefunc64_def functions = ZipMemoryFunctions(source_->file);
    handle_ = unzOpen2_64("memory", &functions);
}

ZipArchive::~ZipArchive() {
    if (handle_ != nullptr) {
        unzClose(handle_);
    }
}

bool ZipArchive::Has(std::string_view name) {
    const std::string wanted(WithoutLeadingSlash(name));
    return handle_ != nullptr && unzLocateFile(handle_, wanted.c_str(), 2) == UNZ_OK;
}

ZipEntryResult ZipArchive::Read(std::string_view name, std::size_t limit) {
    std::string bytes;
    ZipEntryResult result = Stream(name, limit, [&bytes](const char* data, std::size_t size) {
        bytes.append(data, size);
        return true;
    });
    if (result) {
        result.bytes = std::move(bytes);
    }
    return result;
}

ZipEntryResult ZipArchive::Stream(std::string_view name, std::size_t limit,
                                  const Consumer& consume) {
    ZipEntryResult result;
    const std::string wanted(WithoutLeadingSlash(name));
    if (handle_ == nullptr || unzLocateFile(handle_, wanted.c_str(), 2) != UNZ_OK) {
        result.error = ZipError::NoSuchEntry;
        result.detail = "no part \"" + wanted + "\"";
        return result;
    }
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(handle_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        result.error = ZipError::Damaged;
        result.detail = "the entry of \"" + wanted + "\" cannot be read";
        return result;
    }
    if (info.flag & 1) {
        result.error = ZipError::Encrypted;
        result.detail = "\"" + wanted + "\" is encrypted";
        return result;
    }
    if (unzOpenCurrentFile(handle_) != UNZ_OK) {
        result.error = ZipError::Damaged;
        result.detail = "\"" + wanted + "\" cannot be opened";
        return result;
    }
    // The declared size can lie either way; the limit is enforced on what comes out.
    std::vector<char> buffer(1 << 16);
    std::size_t total = 0;
    int got;
    while ((got = unzReadCurrentFile(handle_, buffer.data(),
                                     static_cast<unsigned>(buffer.size()))) > 0) {
        total += static_cast<std::size_t>(got);
        if (total > limit) {
            unzCloseCurrentFile(handle_);
            result.error = ZipError::TooLarge;
            result.detail =
                "\"" + wanted + "\" inflates to more than " + std::to_string(limit) + " bytes";
            return result;
        }
        if (!consume(buffer.data(), static_cast<std::size_t>(got))) {
            unzCloseCurrentFile(handle_);
            return result;
        }
    }
    const int closed = unzCloseCurrentFile(handle_);
    if (got < 0 || closed != UNZ_OK) {
        result.error = ZipError::Damaged;
        result.detail = "\"" + wanted + "\" is damaged" +
                        std::string(closed == UNZ_CRCERROR ? " (checksum mismatch)" : "");
    }
    return result;
}

} // namespace quillon::xlsx
