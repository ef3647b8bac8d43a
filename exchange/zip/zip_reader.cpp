#include "exchange/zip/zip_reader.h"

#include "exchange/zip/memory_file.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <utility>
#include <vector>

// The archive bytes behind minizip's file callbacks, and minizip's handle on them.
struct ZipHandle {
    ZipMemoryFile file;
    unzFile uf = nullptr;

    ~ZipHandle() {
        if (uf != nullptr) {
            unzClose(uf);
        }
    }
};

namespace {

ZipResult Fail(ZipError error, std::string detail) {
    return {error, std::move(detail)};
}

std::string Quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

std::string_view WithoutLeadingSlash(std::string_view name) {
    return !name.empty() && name.front() == '/' ? name.substr(1) : name;
}

} // namespace

bool LooksLikeZip(std::string_view bytes) {
    const std::string_view start = bytes.substr(0, 4);
    return start == std::string_view("PK\x03\x04", 4) || start == std::string_view("PK\x05\x06", 4);
}

bool LooksLikeZip(quillon::ByteSpan bytes) {
    return LooksLikeZip(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

ZipReader::ZipReader(quillon::ByteSpan archive)
    : ZipReader(std::string_view(reinterpret_cast<const char*>(archive.data()), archive.size())) {}

ZipReader::ZipReader(std::string_view archive) : zip_(std::make_unique<ZipHandle>()) {
    zip_->file.in = archive;
    zlib_filefunc64_def functions = ZipMemoryFunctions(zip_->file);
    zip_->uf = unzOpen2_64("archive", &functions);
    if (zip_->uf != nullptr) {
        return;
    }
    // minizip takes an end record at offset 0 for none at all; that is an empty archive.
    if (archive.substr(0, 4) == std::string_view("PK\x05\x06", 4)) {
        opened_ = Fail(ZipError::NoEntry, "the archive holds no entry");
    } else {
        opened_ = Fail(ZipError::NotAnArchive, "not a ZIP archive");
    }
}

ZipReader::~ZipReader() = default;

bool ZipReader::IsOpen() const {
    return zip_->uf != nullptr;
}

ZipResult ZipReader::TakeCurrent() {
    current_ = {};
    hasCurrent_ = false;
    unz_file_info64 info{};
    std::vector<char> name(65536 + 1);
    if (unzGetCurrentFileInfo64(zip_->uf, &info, name.data(), static_cast<uLong>(name.size()),
                                nullptr, 0, nullptr, 0) != UNZ_OK) {
        return Fail(ZipError::Damaged, "an entry's header cannot be read");
    }
    current_.name.assign(name.data(), std::min<std::size_t>(info.size_filename, name.size() - 1));
    current_.compressedSize = info.compressed_size;
    current_.size = info.uncompressed_size;
    current_.encrypted = (info.flag & 1) != 0;
    hasCurrent_ = true;
    return {};
}

ZipResult ZipReader::Find(std::string_view name) {
    if (!IsOpen()) {
        return opened_;
    }
    const std::string wanted(WithoutLeadingSlash(name));
    if (unzLocateFile(zip_->uf, wanted.c_str(), 2) != UNZ_OK) {
        current_ = {};
        hasCurrent_ = false;
        return Fail(ZipError::NoSuchEntry, "no entry " + Quoted(wanted));
    }
    return TakeCurrent();
}

ZipResult ZipReader::GoToLast() {
    if (!IsOpen()) {
        return opened_;
    }
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(zip_->uf, &global) != UNZ_OK) {
        return Fail(ZipError::NotAnArchive, "no central directory");
    }
    if (global.number_entry == 0) {
        return Fail(ZipError::NoEntry, "the archive holds no entry");
    }
    if (unzGoToFirstFile(zip_->uf) != UNZ_OK) {
        return Fail(ZipError::Damaged, "the central directory cannot be read");
    }
    int rc = UNZ_OK;
    while ((rc = unzGoToNextFile(zip_->uf)) == UNZ_OK) {
    }
    if (rc != UNZ_END_OF_LIST_OF_FILE) {
        return Fail(ZipError::Damaged, "the central directory cannot be read");
    }
    return TakeCurrent();
}

// minizip checks the CRC only when the recorded size came out, so a deflate stream that
// ends early would pass unnoticed; the size is compared here.
ZipResult ZipReader::Inflate(std::uint64_t limit, const Consumer& consume) {
    if (!hasCurrent_) {
        return Fail(ZipError::NoSuchEntry, "no entry chosen");
    }
    const std::string name = Quoted(current_.name);
    if (current_.encrypted) {
        return Fail(ZipError::Encrypted, name + " is encrypted");
    }
    const auto tooLarge = [&] {
        return Fail(ZipError::TooLarge,
                    name + " inflates beyond " + std::to_string(limit) + " bytes");
    };
    if (current_.size > limit) {
        return tooLarge();
    }
    if (unzOpenCurrentFile(zip_->uf) != UNZ_OK) {
        return Fail(ZipError::Damaged, name + " cannot be opened");
    }
    std::vector<char> buffer(1 << 16);
    std::uint64_t total = 0;
    for (;;) {
        const int n =
            unzReadCurrentFile(zip_->uf, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (n < 0) {
            unzCloseCurrentFile(zip_->uf);
            return Fail(ZipError::Damaged, name + " cannot be inflated");
        }
        if (n == 0) {
            break;
        }
        total += static_cast<std::uint64_t>(n);
        if (total > limit) {
            unzCloseCurrentFile(zip_->uf);
            return tooLarge();
        }
        if (!consume(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) {
            unzCloseCurrentFile(zip_->uf);
            return {};
        }
    }
    if (const int closed = unzCloseCurrentFile(zip_->uf); closed != UNZ_OK) {
        return closed == UNZ_CRCERROR
                   ? Fail(ZipError::BadChecksum, name + ": the checksum does not match")
                   : Fail(ZipError::Damaged, name + " cannot be closed");
    }
    if (total != current_.size) {
        return Fail(ZipError::Incomplete, name + " ends after " + std::to_string(total) +
                                              " of its " + std::to_string(current_.size) +
                                              " bytes");
    }
    return {};
}

ZipResult ZipReader::Stream(std::string_view name, std::uint64_t limit, const Consumer& consume) {
    if (ZipResult found = Find(name); !found) {
        return found;
    }
    return Inflate(limit, consume);
}

ZipResult ZipReader::Read(std::string_view name, std::uint64_t limit, std::string& bytes) {
    bytes.clear();
    ZipResult result = Stream(name, limit, [&bytes](std::string_view chunk) {
        bytes.append(chunk);
        return true;
    });
    if (!result) {
        bytes.clear();
    }
    return result;
}
