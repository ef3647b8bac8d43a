#include "exchange/import/import_run.h"

#include "platform/text.h"

#include <cstdio>
#include <ctime>
#include <new>
#include <system_error>

ImportRun::ImportRun(ImportPlaces places, ImportRequest request, ImportReport& report, Clock clock)
    : places_(std::move(places)), request_(std::move(request)), report_(report),
      clock_(std::move(clock)) {}

bool ImportRun::ImportFiles() {
    for (const std::filesystem::path& file : request_.files) {
        if (!ImportOneFile(file)) {
            return false;
        }
        // A cancel confirmed while this file went in takes this file back, and the
        // files after it are not started.
        if (report_.StopRequested()) {
            return false;
        }
    }
    return true;
}

bool ImportRun::ImportOneFile(const std::filesystem::path& file) {
    try {
        PrepareFile();
        return request_.kind == ImportKind::Package ? ImportPackageFile(file)
                                                    : ImportSpreadsheetFile(file);
    } catch (const std::bad_alloc&) {
        report_.Line({ImportNote::OutOfMemory});
    } catch (const std::exception&) {
        report_.Line({ImportNote::UnexpectedFailure});
    }
    return false;
}

void ImportRun::PrepareFile() {
    counters_ = {};
    importedIds_.clear();
    replacement_ = Replacement::None;
    rolledBackRows_ = 0;
    std::error_code ignored;
    std::filesystem::create_directories(places_.failedFolder, ignored);
    const std::string timestamp = ImportTimestamp();
    rejectedWorkbook_ = UniqueWorkbookName(Gb18030("格式错误数据"), timestamp);
    duplicateWorkbook_ = UniqueWorkbookName(Gb18030("重复姓名和手机号数据"), timestamp);
}

std::filesystem::path ImportRun::UniqueWorkbookName(const std::string& stem,
                                                    const std::string& timestamp) const {
    // Two files prepared within one second would share a name, and the second file's
    // rejected rows would overwrite the first's: count on until the name is free.
    const std::string base = Gb18030ToUtf8(stem + timestamp);
    std::filesystem::path candidate = places_.failedFolder / (base + ".xls");
    std::error_code ignored;
    for (int n = 2; std::filesystem::exists(candidate, ignored) || candidate == rejectedWorkbook_ ||
                    candidate == duplicateWorkbook_;
         ++n) {
        candidate = places_.failedFolder / (base + "_" + std::to_string(n) + ".xls");
    }
    return candidate;
}

ImportDatabase* ImportRun::OpenImportDatabase() {
    if (db_) {
        return &*db_;
    }
    StoreResult<ImportDatabase> opened = ImportDatabase::Open(places_.database);
    if (!opened) {
        report_.Box({ImportNote::DatabaseUnopenable, 0, {}, {}, opened.status().detail});
        return nullptr;
    }
    db_.emplace(std::move(opened.value()));
    return &*db_;
}

bool ImportRun::ReplacesRegister() const {
    return request_.mode == ImportMode::Overwrite && !registerReplaced_;
}

void ImportRun::NoteRegisterReplaced() {
    registerReplaced_ = true;
    replacement_ = Replacement::Committed;
}

void ImportRun::NoteRolledBackAtStop(bool replacing, std::size_t rows) {
    if (replacing) {
        replacement_ = Replacement::RolledBack;
        importedIds_.clear();
    } else {
        rolledBackRows_ = rows;
    }
}

bool ImportRun::PrepareTable() {
    if (request_.mode == ImportMode::Unchosen) {
        return true;
    }
    const TablePreparation prepared = db_->PrepareContactTable(ReplacesRegister());
    if (prepared != TablePreparation::Ready) {
        ReportTablePreparation(prepared);
        return false;
    }
    return true;
}

void ImportRun::ReportTablePreparation(TablePreparation outcome) {
    switch (outcome) {
    case TablePreparation::CreateFailed:
        report_.Box({ImportNote::TableNotCreated});
        break;
    case TablePreparation::DropFailed:
        report_.Box({ImportNote::OldTableNotDropped});
        break;
    case TablePreparation::CreateAfterDropFailed:
        report_.Box({ImportNote::TableNotRecreated});
        break;
    case TablePreparation::Ready:
        break;
    }
}

ImportDatabase::DeleteOutcome ImportRun::DeleteImportedRecords() {
    switch (replacement_) {
    case Replacement::Committed:
        report_.Line({ImportNote::CancelKeptReplacement, counters_.inserted});
        return ImportDatabase::DeleteOutcome::NothingToDo;
    case Replacement::RolledBack:
        report_.Line({ImportNote::CancelRegisterUntouched});
        return ImportDatabase::DeleteOutcome::NothingToDo;
    case Replacement::None:
        break;
    }
    const auto takenBack = static_cast<long long>(importedIds_.size() + rolledBackRows_);
    ImportDatabase::DeleteOutcome outcome = ImportDatabase::DeleteOutcome::NothingToDo;
    if (db_) {
        outcome = db_->DeleteImportedRecords(importedIds_);
    }
    if (outcome == ImportDatabase::DeleteOutcome::Failed) {
        report_.Line({ImportNote::UndoFailed});
        return outcome;
    }
    importedIds_.clear();
    report_.Line({ImportNote::CancelTookBack, takenBack});
    return outcome;
}

std::string ImportTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%d年%d月%d日%d时%d分%d秒", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return Gb18030(text);
}
