// The package side of an import run: a package's records go in all together or not at all.
#include "exchange/import/import_run.h"
#include "exchange/import/package_records.h"
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

// A package of a million broken records lists the first of them, and counts the rest.
constexpr std::size_t kRefusedRecordsListed = 20;

ImportNote RefusalNote(RecordFault fault) {
    switch (fault) {
    case RecordFault::BadIdentifier:
        return ImportNote::RecordBadIdentifier;
    case RecordFault::EmptyField:
        return ImportNote::RecordEmptyField;
    case RecordFault::NotAMobileNumber:
        return ImportNote::RecordNotAMobileNumber;
    default:
        return ImportNote::RecordTooLong;
    }
}

} // namespace

void ImportRun::ReportRecordCheck(const PackageRecordCheck& check) {
    if (check.otherProvince > 0) {
        report_.Line({ImportNote::RecordsOfOtherProvinces,
                      static_cast<long long>(check.otherProvince), places_.loginAreaName});
    }
    const std::size_t listed = std::min(check.refused.size(), kRefusedRecordsListed);
    for (std::size_t i = 0; i < listed; ++i) {
        const RefusedRecord& refused = check.refused[i];
        ImportNotice notice(RefusalNote(refused.fault), static_cast<long long>(refused.line));
        notice.field = refused.field;
        report_.Line(notice);
    }
    if (!check.refused.empty()) {
        report_.Line({ImportNote::RecordsRefused, static_cast<long long>(check.refused.size())});
    }
}

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
    std::vector<ContactRecord>& records = contents.records;
    ReportRecordCheck(FilterPackageRecords(records, places_.loginAreaName));
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
    const bool replacing = ReplacesRegister();
    if (replacing && records.empty()) {
        // Nothing to put in its place: the register stays.
        report_.Line({ImportNote::PackageImported, 0});
        report_.Line({ImportNote::RegisterKept});
        return true;
    }
    Transaction transaction(db->connection());
    if (!transaction.status() || !PrepareTable()) {
        if (!transaction.status()) {
            report_.Line({ImportNote::StoreFailed, 0, {}, {}, transaction.status().detail});
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
            report_.Line({ImportNote::StoreFailed});
            return false;
        case InsertOutcome::BadBirthday:
            report_.Line({ImportNote::UnexpectedFailure});
            return false; // rolled back: nothing of this package stays
        default:
            report_.Box({ImportNote::InsertFailed, 0, {}, {}, inserted.detail});
            report_.Line({ImportNote::StoreFailed, 0, {}, {}, inserted.detail});
            return false;
        }
    }
    // A cancel confirmed while the records went in takes them back with the transaction,
    // and with it the replaced register.
    if (report_.StopRequested()) {
        NoteRolledBackAtStop(replacing, records.size());
        return false;
    }
    if (StoreStatus committed = transaction.Commit(); !committed) {
        report_.Line({ImportNote::StoreFailed, 0, {}, {}, committed.detail});
        return false;
    }
    importedIds_.clear();
    importedIds_.reserve(records.size());
    for (const ContactRecord& record : records) {
        importedIds_.push_back(record[kUI_ID]);
    }
    counters_.inserted = n;
    if (replacing) {
        NoteRegisterReplaced();
    }
    report_.ProgressPosition(n + 10);
    report_.Line({ImportNote::PackageImported, n});
    return true;
}
