#include "exchange/package/package.h"

#include "exchange/zip/zip_reader.h"
#include "platform/files.h"
#include "platform/strings.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <istream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {

PackageResult Fail(PackageError error, std::string detail) {
    return {error, std::move(detail)};
}

fs::path WithSuffix(const fs::path& target, int k, const char* extension) {
    fs::path p = target;
    p += "_" + std::to_string(k) + extension;
    return p;
}

PackageResult Damage(PackageDamage damage, std::string detail) {
    return {PackageError::Damaged, std::move(detail), damage};
}

// The archive opened, so whatever the ZIP layer refuses is damage, not a wrong key.
PackageDamage DamageOf(ZipError error) {
    switch (error) {
    case ZipError::NotAnArchive: // it began like one: the rest is cut off
    case ZipError::NoEntry:
    case ZipError::Incomplete:
        return PackageDamage::Incomplete;
    case ZipError::BadChecksum:
        return PackageDamage::Checksum;
    case ZipError::TooLarge:
        return PackageDamage::TooLarge;
    default:
        return PackageDamage::Structure;
    }
}

PackageResult ReadPackageBytes(std::istream& in, std::string& package) {
    package.clear();
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer), in.gcount() > 0) {
        package.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (package.size() > kMaxPackageSize) {
            return Damage(PackageDamage::FileTooLarge, "too large to be a package");
        }
    }
    if (in.bad()) {
        return Fail(PackageError::CannotRead, "the package cannot be read");
    }
    return {};
}

PackageResult ReadPackageBytes(const fs::path& package, std::string& bytes) {
    bytes.clear();
    std::error_code error;
    const fs::file_status status = fs::status(package, error);
    if (!fs::exists(status)) {
        return Fail(PackageError::CannotRead, "no such file");
    }
    // A FIFO or device would block or never end; a package is a plain file.
    if (!fs::is_regular_file(status)) {
        return Fail(PackageError::CannotRead, "not a regular file");
    }
    std::ifstream in(package, std::ios::binary);
    if (!in) {
        return Fail(PackageError::CannotRead,
                    std::error_code(errno, std::generic_category()).message());
    }
    return ReadPackageBytes(in, bytes);
}

void RemoveIfPresent(const fs::path& file) {
    std::error_code ignored;
    fs::remove(file, ignored);
}

} // namespace

PackageFiles PackageFilesFor(const fs::path& target, int k) {
    return {WithSuffix(target, k, ".txt"), WithSuffix(target, k, ".gz"),
            WithSuffix(target, k, ".qsec"), "note_template_" + std::to_string(k) + ".txt"};
}

IdeaKey ExportKey(std::string_view typedPassword) {
    return IdeaKeyFromPassword(TrimBlanksAndControls(typedPassword));
}

PackageResult BuildPackage(std::string_view text, std::string_view entryName, const IdeaKey& key,
                           const ZipTime& time, std::string& package) {
    std::string archive;
    if (ZipResult zipped = WriteSingleEntryArchive(entryName, text, time, archive); !zipped) {
        return Fail(PackageError::CannotWrite, zipped.detail);
    }
    package = IdeaEncryptBytes(archive, key);
    return {};
}

PackageWriter::PackageWriter(const fs::path& target, int k, const IdeaKey& key, ZipTime time)
    : files_(PackageFilesFor(target, k)), key_(key), time_(time) {
    RemoveIfPresent(files_.text);
    RemoveIfPresent(files_.archive);
    RemoveIfPresent(files_.package);
}

void PackageWriter::Add(const ContactRecord& record) {
    AppendPackageLine(record, text_);
    ++records_;
}

PackageResult PackageWriter::Finish(const StageFn& onStage) {
    std::string archive;
    ZipResult zipped = WriteSingleEntryArchive(files_.entryName, text_, time_, archive);
    std::string().swap(text_);
    if (!zipped) {
        return Fail(PackageError::CannotWrite, zipped.detail);
    }
    if (onStage) {
        onStage(Stage::Archived);
    }
    const std::string package = IdeaEncryptBytes(archive, key_);
    if (FileResult written = ReplaceFileAtomically(files_.package, package); !written) {
        return Fail(PackageError::CannotWrite, written.detail);
    }
    if (onStage) {
        onStage(Stage::Enciphered);
    }
    return {};
}

PackageResult WritePackage(const fs::path& target, int k, const std::vector<ContactRecord>& records,
                           const IdeaKey& key, const ZipTime& time) {
    PackageWriter writer(target, k, key, time);
    for (const ContactRecord& record : records) {
        writer.Add(record);
    }
    return writer.Finish();
}

std::uint64_t PackageTextLimit(std::uint64_t entryCompressedSize) {
    const std::uint64_t bound =
        entryCompressedSize > kMaxPackageText / 100 ? kMaxPackageText : entryCompressedSize * 100;
    return std::clamp(bound, kMinPackageTextBound, kMaxPackageText);
}

PackageResult DecipherPackage(std::string_view package, const IdeaKey& key, std::string& archive) {
    archive.clear();
    if (package.size() < kIdeaRecordSize) {
        return Damage(PackageDamage::Incomplete,
                      package.empty() ? "the file is empty" : "shorter than one cipher record");
    }
    if (package.size() > kMaxPackageSize) {
        return Damage(PackageDamage::FileTooLarge, "too large to be a package");
    }
    if (IdeaResult deciphered = IdeaDecryptBytes(package, key, archive); !deciphered) {
        archive.clear();
        // Count fields are not enciphered, so a bad one is damage whatever the key.
        return Damage(PackageDamage::Structure, "bad cipher record: " + deciphered.detail);
    }
    // A wrong key deciphers to noise, which begins like an archive once in two billion
    // times, so how the bytes begin tells a wrong password from a damaged package.
    if (!LooksLikeZip(archive)) {
        archive.clear();
        return Fail(PackageError::WrongPassword, "the deciphered bytes are not an archive");
    }
    return {};
}

PackageResult DecipherPackageFile(const fs::path& package, const IdeaKey& key,
                                  std::string& archive) {
    archive.clear();
    std::string bytes;
    if (PackageResult read = ReadPackageBytes(package, bytes); !read) {
        return read;
    }
    return DecipherPackage(bytes, key, archive);
}

PackageResult ReadPackageArchive(std::string_view archive, std::string& entryName,
                                 const RecordUntilFn& onRecord) {
    entryName.clear();
    bool stopped = false;
    PackageTextParser parser([&](ContactRecord&& record) {
        if (!stopped && !onRecord(std::move(record))) {
            stopped = true;
        }
    });
    ZipReader zip(archive);
    ZipResult read = zip.GoToLast();
    entryName = zip.Current().name;
    if (read) {
        // A compressed size that claims more than the archive holds raises no bound.
        const std::uint64_t compressed =
            std::min<std::uint64_t>(zip.Current().compressedSize, archive.size());
        read = zip.Inflate(PackageTextLimit(compressed),
                           [&](std::string_view chunk) { return parser.Feed(chunk) && !stopped; });
    }
    if (stopped) {
        return {};
    }
    if (!read) {
        return Damage(DamageOf(read.error), read.detail);
    }
    if (!parser.Problem().empty() || !parser.Finish()) {
        return Damage(parser.LineTooLong() ? PackageDamage::LongLine : PackageDamage::BadLine,
                      parser.Problem());
    }
    return {};
}

namespace {

PackageResult ReadEveryRecord(std::string_view archive, std::string& entryName,
                              const RecordFn& onRecord) {
    return ReadPackageArchive(archive, entryName, [&](ContactRecord&& record) {
        onRecord(std::move(record));
        return true;
    });
}

} // namespace

PackageResult ReadPackage(std::string_view package, const IdeaKey& key, std::string& entryName,
                          const RecordFn& onRecord) {
    entryName.clear();
    std::string archive;
    if (PackageResult deciphered = DecipherPackage(package, key, archive); !deciphered) {
        return deciphered;
    }
    return ReadEveryRecord(archive, entryName, onRecord);
}

PackageResult ReadPackage(std::istream& in, const IdeaKey& key, std::string& entryName,
                          const RecordFn& onRecord) {
    entryName.clear();
    std::string package;
    if (PackageResult read = ReadPackageBytes(in, package); !read) {
        return read;
    }
    return ReadPackage(std::string_view(package), key, entryName, onRecord);
}

PackageResult ReadPackageFile(const fs::path& package, const IdeaKey& key, std::string& entryName,
                              const RecordFn& onRecord) {
    entryName.clear();
    std::string archive;
    if (PackageResult deciphered = DecipherPackageFile(package, key, archive); !deciphered) {
        return deciphered;
    }
    return ReadEveryRecord(archive, entryName, onRecord);
}

PackageResult ReadPackageFile(const fs::path& package, const IdeaKey& key,
                              PackageContents& contents) {
    contents = {};
    PackageResult result =
        ReadPackageFile(package, key, contents.entryName,
                        [&](ContactRecord&& r) { contents.records.push_back(std::move(r)); });
    if (!result) {
        contents.records.clear();
    }
    return result;
}
