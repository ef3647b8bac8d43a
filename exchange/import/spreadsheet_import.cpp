// The workbook side of an import run: every row checked against the rules, good rows stored,
// rejected and duplicate rows written back into workbooks with their reasons.
#include "crypto/uiid.h"
#include "exchange/import/failed_rows.h"
#include "exchange/import/import_run.h"
#include "exchange/import/row_rules.h"
#include "exchange/read_workbook.h"
#include "platform/text.h"

#include <algorithm>
#include <optional>

namespace {

constexpr int kFirstDataRow = 4;
constexpr int kColumns = 10;
constexpr std::size_t kRowsPerCommit = 1000;

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

std::string FileNameOf(const std::filesystem::path& file) {
    const std::string path = file.string();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

bool ImportRun::ImportSpreadsheetFile(const std::filesystem::path& file) {
    const std::string name = Utf8ToGbk(FileNameOf(file));
    if (name.find(".xls") == std::string::npos) {
        report_.Line({ImportNote::NotAWorkbook});
        return false;
    }
    quillon::WorkbookResult opened = quillon::ReadWorkbookFile(file);
    if (!opened) {
        report_.Line({ImportNote::WorkbookUnreadable, 0, Utf8ToGbk(file.string())});
        return false;
    }
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
    AreaRows areaRows = AllAreas(places_.database);
    const AreaIndex areas(areaRows ? areaRows.value() : std::vector<AreaRow>{});

    // Rows go in by transactions of up to kRowsPerCommit, so that sixty thousand rows do
    // not cost sixty thousand commits while the rows stored before a failure stay. The
    // register replaced by an overwrite goes in one transaction with its first file's rows,
    // so that a failure or a cancel of that file leaves the old register as it was.
    const bool wholeFile = request_.mode == ImportMode::Overwrite && !registerReplaced_;
    std::optional<Transaction> transaction;
    std::vector<ContactRecord> uncommitted; // inserted since the transaction began
    const auto begin = [&]() -> bool {
        transaction.emplace(db->connection());
        return static_cast<bool>(transaction->status());
    };
    if (!begin() || !PrepareTable()) {
        if (!transaction->status()) {
            report_.Line({ImportNote::StoreFailed});
        }
        return false;
    }
    report_.Line({ImportNote::WorkbookStarted, 0, name});
    report_.ProgressMaximum(rows);
    importedIds_.reserve(static_cast<std::size_t>(rows));

    FailedRowsWorkbook rejected(rejectedWorkbook_);
    FailedRowsWorkbook duplicates(duplicateWorkbook_);
    const auto saveBoth = [&] {
        rejected.Save();
        duplicates.Save();
    };
    const auto reject = [&](const ContactRecord& record, const std::string& reason) {
        ++counters_.rejected;
        rejected.Add(record, reason);
    };
    // Rows a transaction held that SQLite took back are not stored: they are neither
    // counted nor listed as such, and go back to the operator with the reason.
    const auto loseUncommitted = [&] {
        counters_.inserted -= static_cast<int>(uncommitted.size());
        importedIds_.resize(importedIds_.size() - uncommitted.size());
        for (const ContactRecord& record : uncommitted) {
            reject(record, Gbk("导入数据库失败！"));
        }
        uncommitted.clear();
    };
    const auto commit = [&]() -> bool {
        const bool committed = static_cast<bool>(transaction->Commit());
        transaction.reset();
        if (!committed) {
            loseUncommitted();
        }
        uncommitted.clear();
        return committed;
    };
    const auto failStore = [&] {
        saveBoth();
        report_.Line({ImportNote::StoreFailed});
        return false;
    };

    const std::string addTime = clock_();
    int emptyRows = 0;
    for (int row = kFirstDataRow; row < kFirstDataRow + rows; ++row) {
        if (report_.StopRequested()) {
            if (wholeFile) {
                transaction.reset(); // rolls back, the replaced register with it
                importedIds_.clear();
            } else if (transaction) {
                commit(); // the cancel then takes back this file's rows by their ids
            }
            saveBoth();
            return false;
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
        if (!ValidateImportRow(record, errors, areas, places_.loginAreaName)) {
            reject(record, errors);
            continue;
        }
        ++counters_.accepted;
        if (!transaction && !begin()) {
            reject(record, Gbk("导入数据库失败！"));
            return failStore();
        }
        const InsertResult inserted = db->InsertRecord(record, addTime);
        switch (inserted.outcome) {
        case InsertOutcome::Inserted:
            importedIds_.push_back(record[kUI_ID]);
            uncommitted.push_back(record);
            ++counters_.inserted;
            break;
        case InsertOutcome::Duplicate:
            ++counters_.duplicates;
            duplicates.Add(record, Gbk("重复数据"));
            break;
        case InsertOutcome::BadBirthday:
            reject(record, Gbk("日期格式应该为xxxx-xx-xx;\n"));
            break;
        case InsertOutcome::Failed:
            // Never dropped without a trace: the row goes back to the operator.
            reject(record, Gbk("导入数据库失败！"));
            if (!db->InTransaction()) {
                // SQLite took the whole transaction back (a full disk, an I/O error).
                transaction.reset();
                loseUncommitted();
                if (wholeFile) {
                    importedIds_.clear();
                }
                return failStore();
            }
            break;
        }
        if (!wholeFile && uncommitted.size() >= kRowsPerCommit && !commit()) {
            return failStore();
        }
    }
    if (transaction && !commit()) {
        if (wholeFile) {
            importedIds_.clear();
        }
        return failStore();
    }
    saveBoth();
    if (request_.mode == ImportMode::Overwrite) {
        registerReplaced_ = true;
    }
    report_.Line({ImportNote::WorkbookDone});
    report_.Line({ImportNote::ResultRule});
    if (counters_.inserted > 0) {
        report_.Line({ImportNote::RowsStored, counters_.inserted});
    }
    if (counters_.rejected > 0) {
        report_.Line({ImportNote::RowsRejected, counters_.rejected});
    }
    if (counters_.duplicates > 0) {
        report_.Line({ImportNote::RowsDuplicate, counters_.duplicates});
    }
    report_.Line({ImportNote::ResultRule});
    return true;
}
