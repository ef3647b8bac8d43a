#include "exchange/xlsx/zip_archive.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace quillon::xlsx {

// The archive bytes and a read position, behind minizip's file callbacks.
struct ZipSource {
    ByteSpan bytes;
    std::size_t position = 0;
};

namespace {

voidpf ZCALLBACK OpenSource(voidpf opaque, const void*, int) {
    return opaque;
}

uLong ZCALLBACK ReadSource(voidpf, voidpf stream, void* buffer, uLong size) {
    auto* source = static_cast<ZipSource*>(stream);
    const std::size_t left = source->bytes.size() - source->position;
    const std::size_t n = std::min<std::size_t>(left, size);
    std::memcpy(buffer, source->bytes.data() + source->position, n);
    source->position += n;
    return static_cast<uLong>(n);
}

uLong ZCALLBACK WriteSource(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK TellSource(voidpf, voidpf stream) {
    return static_cast<ZipSource*>(stream)->position;
}

long ZCALLBACK SeekSource(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* source = static_cast<ZipSource*>(stream);
    ZPOS64_T base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = source->position;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = source->bytes.size();
        break;
    default:
        break;
    }
    if (offset > source->bytes.size() || base > source->bytes.size() - offset) {
        return -1;
    }
    source->position = static_cast<std::size_t>(base + offset);
    return 0;
}

int ZCALLBACK CloseSource(voidpf, voidpf) {
    return 0;
}

int ZCALLBACK ErrorSource(voidpf, voidpf) {
    return 0;
}

std::string_view WithoutLeadingSlash(std::string_view name) {
    return !name.empty() && name.front() == '/' ? name.substr(1) : name;
}

} // namespace

bool LooksLikeZip(ByteSpan file) {
    return file.size() >= 4 && file[0] == 'P' && file[1] == 'K' &&
           ((file[2] == 3 && file[3] == 4) || (file[2] == 5 && file[3] == 6));
}

ZipArchive::ZipArchive(ByteSpan file) : source_(std::make_unique<ZipSource>()) {
    source_->bytes = file;
    zlib_filefunc64_def functions{};
    functions.zopen64_file = OpenSource;
    functions.zread_file = ReadSource;
    functions.zwrite_file = WriteSource;
    functions.ztell64_file = TellSource;
    functions.zseek64_file = SeekSource;
    functions.zclose_file = CloseSource;
    functions.zerror_file = ErrorSource;
    functions.opaque = source_.get();
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
