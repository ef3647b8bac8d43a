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
    Damaged,       // not a package, or one whose archive or text is broken: see PackageDamage
};

// Why a package counts as damaged, for the words the window and the dump tool choose.
enum class PackageDamage {
    None,
    Incomplete,   // the file, its archive or its text ends before it should
    Checksum,     // the text inflated whole but does not match its checksum
    Structure,    // a cipher record's count, an archive header or the deflate stream is broken,
                  // or the text is encrypted inside the archive
    BadLine,      // a line of the text has fewer than eleven fields
    LongLine,     // a line longer than any record
    TooLarge,     // the text inflates past the bound of its entry
    FileTooLarge, // the file is larger than any package
};

struct PackageResult {
    PackageError error = PackageError::None;
    std::string detail; // English, for logs and the dump tool
    PackageDamage damage = PackageDamage::None;

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

// Bound on the inflated text: a hundred times the compressed size of the entry that holds it
// (a stored filler beside it must not raise the bound), at least 1 MiB so that a small
// package always reads, and never more than 2 GiB.
inline constexpr std::uint64_t kMaxPackageText = std::uint64_t{2} << 30;
inline constexpr std::uint64_t kMinPackageTextBound = std::uint64_t{1} << 20;
std::uint64_t PackageTextLimit(std::uint64_t entryCompressedSize);
// Larger packages are not read at all; the largest export (60,000 records) is far below.
inline constexpr std::uint64_t kMaxPackageSize = std::uint64_t{512} << 20;

// Deciphers a package into the archive it holds. A wrong password is known here: the
// deciphered bytes do not begin like an archive. The archive is no larger than the
// package, so a caller that must read the records twice keeps it instead of the records.
PackageResult DecipherPackage(std::string_view package, const IdeaKey& key, std::string& archive);
PackageResult DecipherPackageFile(const std::filesystem::path& package, const IdeaKey& key,
                                  std::string& archive);

// Takes the archive's last entry whatever its name and hands over its records in order, each
// as soon as its line is read; entryName is set before the first. The records before a
// damaged place have been handed over when the result says Damaged; callers that need all or
// nothing check a first reading before they act on a second. Returning false from onRecord
// stops the reading (the result then says None).
using RecordUntilFn = std::function<bool(ContactRecord&& record)>;
PackageResult ReadPackageArchive(std::string_view archive, std::string& entryName,
                                 const RecordUntilFn& onRecord);

// Deciphers and reads a package in one step.
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
// All records, or none with the reason. Memory grows with the records: for tests and small
// packages; the import and the dump tool read record by record.
PackageResult ReadPackageFile(const std::filesystem::path& package, const IdeaKey& key,
                              PackageContents& contents);
