// The package side of an import run: a package's records go in all together or not at all.
#include "exchange/import/import_run.h"
#include "exchange/package/package.h"

namespace {

// The cipher cannot tell a wrong password from damage: both leave bytes that are no archive,
// and nothing of them is imported.
ImportNote PackageFailureNote(PackageError error) {
    switch (error) {
    case PackageError::CannotRead:
        return ImportNote::PackageUnreadable;
    case PackageError::BadLine:
        return ImportNote::UnexpectedFailure;
    default:
        return ImportNote::WrongPassword;
    }
}

} // namespace

bool ImportRun::ImportPackageFile(const std::filesystem::path& file) {
    // The package is read whole into memory, so no clear text is left on disk, and no
    // scratch file of an earlier import can be read in its place.
    PackageContents contents;
    const PackageResult read =
        ReadPackageFile(file, IdeaKeyFromPassword(request_.password), contents);
    if (!read) {
        report_.Line({PackageFailureNote(read.error)});
        return false;
    }
    const std::vector<ContactRecord>& records = contents.records;
    const int n = static_cast<int>(records.size());
    report_.ProgressMaximum(n + 10);
    report_.ProgressPosition(n);
    ImportDatabase* db = OpenImportDatabase();
    if (!db) {
        return false;
    }
    // A cancel before the insert leaves the register exactly as it was, in every mode.
    if (report_.StopRequested()) {
        return false;
    }
    Transaction transaction(db->connection());
    if (!transaction.status() || !PrepareTable()) {
        if (!transaction.status()) {
            report_.Line({ImportNote::StoreFailed});
        }
        return false;
    }
    const std::string addTime = clock_();
    for (const ContactRecord& record : records) {
        const InsertResult inserted = db->InsertRecord(record, addTime);
        if (inserted.ok()) {
            continue;
        }
        switch (inserted.outcome) {
        case InsertOutcome::Duplicate:
            report_.Box({ImportNote::DuplicateRecord, 0, record[kUser_Name], record[kMobile_NO]});
            break;
        case InsertOutcome::BadBirthday:
            report_.Line({ImportNote::UnexpectedFailure});
            return false; // rolled back: nothing of this package stays
        default:
            report_.Box({ImportNote::InsertFailed, 0, {}, {}, inserted.detail});
            break;
        }
        report_.Line({ImportNote::StoreFailed});
        return false;
    }
    if (!transaction.Commit()) {
        report_.Line({ImportNote::StoreFailed});
        return false;
    }
    if (request_.mode == ImportMode::Overwrite) {
        registerReplaced_ = true;
    }
    importedIds_.clear();
    importedIds_.reserve(records.size());
    for (const ContactRecord& record : records) {
        importedIds_.push_back(record[kUI_ID]);
    }
    counters_.inserted = n;
    report_.ProgressPosition(n + 10);
    report_.Line({ImportNote::PackageImported, n});
    return true;
}
