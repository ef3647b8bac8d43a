// The workbook side of an import run: every row checked against the rules, good rows stored,
// rejected and duplicate rows written back into workbooks with their reasons.
#include "exchange/import/failed_rows.h"
#include "exchange/import/import_run.h"
#include "exchange/import/row_rules.h"
#include "exchange/read_workbook.h"
#include "exchange/zip/zip_reader.h"
#include "platform/text.h"

#include <algorithm>
#include <optional>

namespace {

constexpr int kFirstDataRow = 4;
constexpr int kColumns = 10;

// Columns 1 to 10 hold the record's fields from the name to the mobile number, without
// the blanks around them; a row of blanks is empty. The identifier is made by the rules,
// from the name as it is stored.
ContactRecord ReadImportRow(const quillon::Workbook& sheet, int row, bool& empty) {
    ContactRecord record;
    empty = true;
    for (int column = 1; column <= kColumns; ++column) {
        std::string& field = record[kUser_Name + column - 1];
        field = sheet.CellText(row, column);
        TrimCellBlanks(field);
        empty = empty && field.empty();
    }
    return record;
}

// A path as the list shows it (GB18030).
std::string PathText(const std::filesystem::path& file) {
    return Utf8ToGb18030(file.string());
}

std::string FileNameOf(const std::filesystem::path& file) {
    const std::string path = file.string();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The .xlsx beside a free .xls name: the same name when it is free too, else counted on, as
// the .xls names are, so that no earlier workbook is written over.
std::filesystem::path FreeXlsxName(std::filesystem::path xls) {
    std::filesystem::path xlsx = xls.replace_extension(".xlsx");
    const std::string stem = xlsx.stem().string();
    std::error_code ignored;
    for (int n = 2; std::filesystem::exists(xlsx, ignored); ++n) {
        xlsx = xlsx.parent_path() / (stem + "_" + std::to_string(n) + ".xlsx");
    }
    return xlsx;
}

} // namespace

bool ImportRun::ImportSpreadsheetFile(const std::filesystem::path& file) {
    const std::string name = Utf8ToGb18030(FileNameOf(file));
    if (name.find(".xls") == std::string::npos) {
        report_.Line({ImportNote::NotAWorkbook});
        return false;
    }
    std::string bytes;
    quillon::WorkbookResult opened = quillon::ReadWorkbookFile(file, bytes);
    if (!opened) {
        report_.Line({ImportNote::WorkbookUnreadable, 0, PathText(file)});
        return false;
    }
    // Rows of an .xlsx go back in an .xlsx, which holds them all; the kind is the file's, not
    // its name's.
    const quillon::WorkbookFormat failedFormat =
        LooksLikeZip(bytes) ? quillon::WorkbookFormat::Xlsx : quillon::WorkbookFormat::Xls;
    std::string().swap(bytes);
    const quillon::Workbook& sheet = opened.workbook;
    if (sheet.UsedRows() < 1 || sheet.UsedColumns() < 1) {
        report_.Line({ImportNote::WorkbookEmpty});
        return false;
    }
    const int rows = sheet.UsedRows() - (kFirstDataRow - 1);
    if (rows <= 0) {
        report_.Line({ImportNote::HeadersOnly});
        return false;
    }
    ImportDatabase* db = OpenImportDatabase();
    if (!db) {
        return false;
    }
    // A cancel already asked for leaves the table untouched.
    if (report_.StopRequested()) {
        return false;
    }
    const AreaRows areaRows = AllAreas(places_.database);
    if (!areaRows) {
        // Without the area table every row would be rejected for its province.
        report_.Line({ImportNote::AreasUnreadable, 0, {}, {}, areaRows.status().detail});
        return false;
    }
    const AreaIndex areas(areaRows.value());

    // Rows go in by transactions of up to kSpreadsheetRowsPerCommit, so that sixty thousand
    // rows do not cost sixty thousand commits while the rows stored before a failure stay. The
    // register replaced by an overwrite goes in one transaction with its first file's rows,
    // so that a failure, a cancel or a file with no row to store leaves the old register.
    const bool replacing = ReplacesRegister();
    std::optional<Transaction> transaction;
    std::vector<ContactRecord> uncommitted; // inserted since the transaction began
    uncommitted.reserve(std::min(static_cast<std::size_t>(rows), kSpreadsheetRowsPerCommit));
    const auto begin = [&]() -> StoreStatus {
        transaction.emplace(db->connection());
        return transaction->status();
    };
    if (const StoreStatus begun = begin(); !begun) {
        report_.Line({ImportNote::StoreFailed, 0, {}, {}, begun.detail});
        return false;
    }
    if (!PrepareTable()) {
        return false;
    }
    report_.Line({ImportNote::WorkbookStarted, 0, name});
    report_.ProgressMaximum(rows);
    importedIds_.reserve(static_cast<std::size_t>(rows));

    if (failedFormat == quillon::WorkbookFormat::Xlsx) {
        rejectedWorkbook_ = FreeXlsxName(rejectedWorkbook_);
        duplicateWorkbook_ = FreeXlsxName(duplicateWorkbook_);
    }
    FailedRowsWorkbook rejected(rejectedWorkbook_, FailedRowsWorkbook::Kind::Rejected,
                                failedFormat);
    FailedRowsWorkbook duplicates(duplicateWorkbook_, FailedRowsWorkbook::Kind::Duplicates,
                                  failedFormat);
    const auto saveBoth = [&] {
        if (!rejected.Save()) {
            report_.Line({ImportNote::RejectedWorkbookFailed, 0, PathText(rejected.File())});
        }
        if (!duplicates.Save()) {
            report_.Line({ImportNote::DuplicateWorkbookFailed, 0, PathText(duplicates.File())});
        }
    };
    // Takes the rows of the open transaction out of the counts and the identifiers once
    // SQLite has taken them back; how many they were.
    const auto forgetUncommitted = [&]() -> std::size_t {
        const std::size_t lost = uncommitted.size();
        counters_.inserted -= static_cast<int>(lost);
        importedIds_.resize(importedIds_.size() - lost);
        return lost;
    };
    // The store failed: the open transaction is gone, and its rows, with the row that met
    // the failure, go back to the operator with the reason rather than vanish.
    static const std::string storeFailed = Gb18030("导入数据库失败！");
    const auto endOnStoreFailure = [&](const std::string& detail,
                                       const ContactRecord* failedRow = nullptr) {
        transaction.reset();
        forgetUncommitted();
        if (failedRow) {
            uncommitted.push_back(*failedRow);
        }
        for (const ContactRecord& record : uncommitted) {
            ++counters_.rejected;
            rejected.Add(record, storeFailed);
        }
        uncommitted.clear();
        if (replacing) {
            importedIds_.clear();
        }
        saveBoth();
        report_.Line({ImportNote::StoreFailed, 0, {}, {}, detail});
        return false;
    };
    // A failed-rows workbook cannot be written: the file ends before more rows are lost.
    // A replacing file leaves the register as it was; otherwise the stored rows stay.
    const auto endOnWorkbookFailure = [&](const FailedRowsWorkbook& workbook, ImportNote note) {
        report_.Line({note, 0, PathText(workbook.File())});
        if (replacing) {
            transaction.reset();
            forgetUncommitted();
            importedIds_.clear();
        } else if (transaction && !transaction->Commit()) {
            transaction.reset();
            forgetUncommitted();
        }
        (&workbook == &rejected ? duplicates : rejected).Save();
        return false;
    };
    const auto endOnStop = [&] {
        transaction.reset(); // rolls back, a replaced register with it
        NoteRolledBackAtStop(replacing, forgetUncommitted());
        uncommitted.clear();
        saveBoth();
        return false;
    };
    const auto reject = [&](const ContactRecord& record, const std::string& reason) {
        ++counters_.rejected;
        return rejected.Add(record, reason);
    };
    // A cancel confirmed while the rows went in is obeyed before they are committed.
    // Commits, or ends the file on that stop or on a failed commit (false).
    const auto commitOrEnd = [&]() -> bool {
        if (report_.StopRequested()) {
            return endOnStop();
        }
        if (const StoreStatus committed = transaction->Commit(); !committed) {
            return endOnStoreFailure(committed.detail);
        }
        transaction.reset();
        uncommitted.clear();
        return true;
    };

    const std::string addTime = clock_();
    static const std::string duplicate = Gb18030("重复数据");
    static const std::string noDate = Gb18030("日期格式应该为xxxx-xx-xx;\n");
    const auto importRows = [&]() -> bool {
        int emptyRows = 0;
        for (int row = kFirstDataRow; row < kFirstDataRow + rows; ++row) {
            if (report_.StopRequested()) {
                return endOnStop();
            }
            report_.ProgressPosition(row - kFirstDataRow + 1);
            bool empty = false;
            ContactRecord record = ReadImportRow(sheet, row, empty);
            if (empty) {
                if (++emptyRows == rows) {
                    report_.Line({ImportNote::WorkbookEmpty});
                    return false;
                }
                continue;
            }
            std::replace(record[kUser_Birthday].begin(), record[kUser_Birthday].end(), '/', '-');
            std::string errors;
            const ImportRowCheck check =
                ValidateImportRow(record, errors, areas, places_.loginAreaName);
            if (!check) {
                if (!reject(record, errors)) {
                    return endOnWorkbookFailure(rejected, ImportNote::RejectedWorkbookFailed);
                }
                continue;
            }
            ++counters_.accepted;
            if (!transaction) {
                if (const StoreStatus begun = begin(); !begun) {
                    return endOnStoreFailure(begun.detail, &record);
                }
            }
            const InsertResult inserted = db->InsertRecord(record, addTime);
            switch (inserted.outcome) {
            case InsertOutcome::Inserted:
                importedIds_.push_back(record[kUI_ID]);
                uncommitted.push_back(std::move(record));
                ++counters_.inserted;
                counters_.refiled += check.refiled ? 1 : 0;
                break;
            case InsertOutcome::Duplicate:
                ++counters_.duplicates;
                if (!duplicates.Add(record, duplicate)) {
                    return endOnWorkbookFailure(duplicates, ImportNote::DuplicateWorkbookFailed);
                }
                break;
            case InsertOutcome::BadBirthday:
                if (!reject(record, noDate)) {
                    return endOnWorkbookFailure(rejected, ImportNote::RejectedWorkbookFailed);
                }
                break;
            case InsertOutcome::Failed:
                // A locked, read-only or full database fails every row after this one too:
                // the file ends as a failure, and this row goes back with the others.
                return endOnStoreFailure(inserted.detail, &record);
            }
            if (!replacing && uncommitted.size() >= kSpreadsheetRowsPerCommit && !commitOrEnd()) {
                return false;
            }
        }
        return true;
    };
    try {
        if (!importRows()) {
            return false;
        }
    } catch (...) {
        // The rows written back so far are kept when the file ends on an exception.
        rejected.Save();
        duplicates.Save();
        throw;
    }

    if (!rejected.Save()) {
        return endOnWorkbookFailure(rejected, ImportNote::RejectedWorkbookFailed);
    }
    if (!duplicates.Save()) {
        return endOnWorkbookFailure(duplicates, ImportNote::DuplicateWorkbookFailed);
    }
    const bool keepRegister = replacing && counters_.inserted == 0;
    if (keepRegister) {
        transaction.reset(); // nothing to put in the register's place
    } else if (transaction && !commitOrEnd()) {
        return false;
    }
    if (replacing && !keepRegister) {
        NoteRegisterReplaced();
    }
    report_.Line({ImportNote::WorkbookDone});
    report_.Line({ImportNote::ResultRule});
    if (counters_.inserted > 0) {
        report_.Line({ImportNote::RowsStored, counters_.inserted});
    }
    if (counters_.refiled > 0) {
        report_.Line({ImportNote::RowsRefiled, counters_.refiled});
    }
    if (counters_.rejected > 0) {
        report_.Line({ImportNote::RowsRejected, counters_.rejected});
    }
    if (counters_.duplicates > 0) {
        report_.Line({ImportNote::RowsDuplicate, counters_.duplicates});
    }
    report_.Line({ImportNote::ResultRule});
    if (keepRegister) {
        report_.Line({ImportNote::RegisterKept});
    }
    return true;
}
