// The package side of an import run: a package's records go in all together or not at all.
#include "exchange/import/import_run.h"
#include "exchange/import/package_records.h"
#include "exchange/package/package.h"

namespace {

// A package whose deciphered bytes are no archive was enciphered under another password;
// one that opens but is broken inside is damaged, and says how.
ImportNotice PackageFailureNotice(const PackageResult& failure) {
    switch (failure.error) {
    case PackageError::CannotRead:
        return {ImportNote::PackageUnreadable};
    case PackageError::WrongPassword:
        return {ImportNote::WrongPassword};
    default:
        return {ImportNote::PackageDamaged,
                static_cast<long long>(failure.damage),
                {},
                {},
                failure.detail};
    }
}

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
    for (const RefusedRecord& refused : check.refused) {
        ImportNotice notice(RefusalNote(refused.fault), static_cast<long long>(refused.line));
        notice.field = refused.field;
        report_.Line(notice);
    }
    if (check.refusedCount > 0) {
        report_.Line({ImportNote::RecordsRefused, static_cast<long long>(check.refusedCount)});
    }
}

bool ImportRun::ImportPackageFile(const std::filesystem::path& file) {
    // The package is deciphered in memory, so no clear text is left on disk, and no scratch
    // file of an earlier import can be read in its place. Its archive, no larger than the
    // file, is kept and inflated twice: once to check every record before the register is
    // touched, once to store them. No record is held past its own turn, so a small package
    // of millions of records cannot fill memory.
    std::string archive;
    if (const PackageResult deciphered =
            DecipherPackageFile(file, IdeaKeyFromPassword(request_.password), archive);
        !deciphered) {
        report_.Line(PackageFailureNotice(deciphered));
        return false;
    }
    std::string entryName;
    PackageRecordFilter filter(places_.loginAreaName);
    const PackageResult checked = ReadPackageArchive(archive, entryName, [&](ContactRecord&& r) {
        filter.Accept(r);
        return true;
    });
    if (!checked) {
        report_.Line(PackageFailureNotice(checked));
        return false;
    }
    ReportRecordCheck(filter.Check());
    const std::size_t accepted = filter.Check().accepted;
    const int n = static_cast<int>(accepted);
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
    if (replacing && accepted == 0) {
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
    std::vector<std::string> ids;
    ids.reserve(accepted);
    bool insertFailed = false;
    PackageRecordFilter again(places_.loginAreaName);
    const PackageResult stored =
        ReadPackageArchive(archive, entryName, [&](ContactRecord&& record) {
            if (!again.Accept(record)) {
                return true;
            }
            const InsertResult inserted = db->InsertRecord(record, addTime);
            if (inserted.ok()) {
                ids.push_back(std::move(record[kUI_ID]));
                return true;
            }
            insertFailed = true;
            switch (inserted.outcome) {
            case InsertOutcome::Duplicate:
                report_.Box(
                    {ImportNote::DuplicateRecord, 0, record[kUser_Name], record[kMobile_NO]});
                report_.Line({ImportNote::StoreFailed});
                break;
            case InsertOutcome::BadBirthday:
                report_.Line({ImportNote::UnexpectedFailure});
                break;
            default:
                report_.Box({ImportNote::InsertFailed, 0, {}, {}, inserted.detail});
                report_.Line({ImportNote::StoreFailed, 0, {}, {}, inserted.detail});
                break;
            }
            return false;
        });
    if (insertFailed) {
        return false; // rolled back: nothing of this package stays
    }
    // The first reading found the package whole; a second that does not (the same bytes
    // in memory) is reported all the same, and nothing of it stays.
    if (!stored) {
        report_.Line(PackageFailureNotice(stored));
        return false;
    }
    // A cancel confirmed while the records went in takes them back with the transaction,
    // and with it the replaced register.
    if (report_.StopRequested()) {
        NoteRolledBackAtStop(replacing, ids.size());
        return false;
    }
    if (StoreStatus committed = transaction.Commit(); !committed) {
        report_.Line({ImportNote::StoreFailed, 0, {}, {}, committed.detail});
        return false;
    }
    importedIds_ = std::move(ids);
    counters_.inserted = n;
    if (replacing) {
        NoteRegisterReplaced();
    }
    report_.ProgressPosition(n + 10);
    report_.Line({ImportNote::PackageImported, n});
    return true;
}
