#pragma once

#include "crypto/idea.h"
#include "exchange/package/record_lines.h"
#include "exchange/zip/zip_writer.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

// A .qsec package, from the outside in: an enciphered file (crypto/idea.h) under the key of
// the password, holding a ZIP archive with one entry "note_template_" + k + ".txt", holding
// the package text (record_lines.h). Installations exchange these files, so the bytes must
// stay what they are.

enum class PackageError {
    None,
    CannotRead,    // the package file cannot be opened or read
    CannotWrite,   // the package (or its folder) cannot be written
    WrongPassword, // deciphered, it does not begin like an archive: almost surely another key
    Damaged,       // it begins like an archive but is broken, or is no package at all
    BadLine,       // the archive is whole but a line of its text has fewer than eleven fields
};

struct PackageResult {
    PackageError error = PackageError::None;
    std::string detail;

    bool ok() const { return error == PackageError::None; }
    explicit operator bool() const { return ok(); }
};

// Names of package number k (1, 2, ...) beside the target: the package itself and the
// names of the text file and archive earlier versions left beside it while writing.
struct PackageFiles {
    std::filesystem::path text;    // target + "_k.txt"
    std::filesystem::path archive; // target + "_k.gz"
    std::filesystem::path package; // target + "_k.qsec"
    std::string entryName;         // "note_template_k.txt"
};
PackageFiles PackageFilesFor(const std::filesystem::path& target, int k);

// The export makes its key from the password with the bytes up to 0x20 at both ends
// removed; the import uses the password exactly as typed.
IdeaKey ExportKey(std::string_view typedPassword);

// The whole package for a text, in memory.
PackageResult BuildPackage(std::string_view text, std::string_view entryName, const IdeaKey& key,
                           const ZipTime& time, std::string& package);

// Writes one package while the export walks the table. The text and the archive stay in
// memory, so no clear text ever reaches the disk; the package file appears only whole
// (written beside and renamed). Files left under package k's names, by this or an
// earlier version, are removed when the writer starts.
class PackageWriter {
public:
    enum class Stage { Archived, Enciphered };
    using StageFn = std::function<void(Stage)>;

    PackageWriter(const std::filesystem::path& target, int k, const IdeaKey& key, ZipTime time);
    PackageWriter(const PackageWriter&) = delete;
    PackageWriter& operator=(const PackageWriter&) = delete;

    void Add(const ContactRecord& record);
    std::size_t Records() const { return records_; }
    // Archives, enciphers and writes the package; on failure nothing of it remains.
    PackageResult Finish(const StageFn& onStage = {});
    const PackageFiles& Files() const { return files_; }

private:
    PackageFiles files_;
    IdeaKey key_;
    ZipTime time_;
    std::string text_;
    std::size_t records_ = 0;
};

// One whole package from records.
PackageResult WritePackage(const std::filesystem::path& target, int k,
                           const std::vector<ContactRecord>& records, const IdeaKey& key,
                           const ZipTime& time);

// Bound on the inflated text: a hundred times the package, and never more than 2 GiB.
inline constexpr std::uint64_t kMaxPackageText = std::uint64_t{2} << 30;
std::uint64_t PackageTextLimit(std::uint64_t packageSize);
// Larger packages are not read at all; the largest export (60,000 records) is far below.
inline constexpr std::uint64_t kMaxPackageSize = std::uint64_t{512} << 20;

// Reads a package: deciphers it, takes the archive's last entry whatever its name, and
// hands over its records in order. The records before a bad line have been handed over
// when the result says Damaged; callers that need all or nothing collect them first.
using RecordFn = std::function<void(ContactRecord&& record)>;
PackageResult ReadPackage(std::string_view package, const IdeaKey& key, std::string& entryName,
                          const RecordFn& onRecord);
PackageResult ReadPackage(std::istream& package, const IdeaKey& key, std::string& entryName,
                          const RecordFn& onRecord);
PackageResult ReadPackageFile(const std::filesystem::path& package, const IdeaKey& key,
                              std::string& entryName, const RecordFn& onRecord);

struct PackageContents {
    std::string entryName;
    std::vector<ContactRecord> records;
};
// All records, or none with the reason.
PackageResult ReadPackageFile(const std::filesystem::path& package, const IdeaKey& key,
                              PackageContents& contents);
