#include "exchange/export/export_run.h"

#include "exchange/worker.h"
#include "store/database.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>

void ExportSettings::SetMaxPerFile(int records, int most) {
    maxPerFile = std::clamp(records, kMinPerFile, most);
}

bool EnsureTargetFolder(const std::filesystem::path& target) {
    const std::filesystem::path folder = target.parent_path();
    std::error_code error;
    if (folder.empty() || std::filesystem::is_directory(folder, error)) {
        return !folder.empty();
    }
    return std::filesystem::create_directory(folder, error) && !error;
}

std::filesystem::path NumberedOutputFile(const std::filesystem::path& target, int k,
                                         const std::string& extension) {
    std::filesystem::path file = target;
    file += "_" + std::to_string(k) + extension;
    return file;
}

void ProgressChannel::Send(int percent) {
    context_.Progress(channel_, percent);
    last_ = percent;
}

namespace {

// Table columns in select order, mapped to the record's fields.
constexpr ContactField kExportColumns[] = {
    kUI_ID,         kUser_Name,      kMobile_NO,           kUser_Sex,
    kUser_Birthday, kUser_Education, kOrganization_Detial, kRecode_Type,
    kProvince,      kCity,           kCounty_Seat};

constexpr char kSelectAll[] =
    "select UI_ID, User_Name, Mobile_NO, User_Sex, User_Birthday, User_Education, "
    "Organization_Detial, Recode_Type, Province, City, County_Seat from t_address_book";

StoreResult<int> CountRecords(Connection& db) {
    int total = 0;
    const StoreStatus counted =
        db.Query("select count(1) from t_address_book", [&](const std::vector<std::string>& row) {
            const std::string& text = row.at(0);
            if (std::from_chars(text.data(), text.data() + text.size(), total).ec != std::errc()) {
                total = 0;
            }
        });
    if (!counted) {
        return counted;
    }
    return total;
}

ExportEnd DatabaseFailed(StoreStatus status, int filesWritten = 0) {
    return {ExportOutcome::Failed,
            ExportFailure::DatabaseUnreadable,
            filesWritten,
            std::move(status),
            {}};
}

// The system's words for a full disk, or a full share of it.
bool SaysDiskFull(const std::string& detail) {
    for (const int error : {ENOSPC, EDQUOT}) {
        if (detail.find(std::strerror(error)) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

ExportEnd FailedExport(ExportFailure failure, int filesWritten, std::string detail) {
    return {ExportOutcome::Failed, failure, filesWritten, {}, std::move(detail)};
}

ExportStep WriteFailure(std::string detail) {
    const ExportFailure failure =
        SaysDiskFull(detail) ? ExportFailure::DiskFull : ExportFailure::FileNotCreated;
    return {failure, std::move(detail)};
}

ExportEnd RunExport(WorkerContext& context, const ExportSettings& settings, ExportFiles& files) {
    if (!EnsureTargetFolder(settings.target)) {
        return FailedExport(ExportFailure::FolderNotCreated);
    }
    // Opened, read and closed by this worker alone.
    StoreResult<Connection> db = Connection::OpenForOneThread(settings.database);
    if (!db) {
        return DatabaseFailed(db.status());
    }
    const StoreResult<int> counted = CountRecords(db.value());
    if (!counted) {
        return DatabaseFailed(counted.status());
    }
    const int total = counted.value();
    if (total <= 0) {
        return FailedExport(ExportFailure::EmptyRegister);
    }
    const int m = settings.maxPerFile;
    const int fileCount = (total + m - 1) / m;
    ProgressChannel fileBar(context, kExportFileProgress);
    ProgressChannel totalBar(context, kExportTotalProgress);
    const int share = files.FillShare();

    int k = 0;
    int finished = 0;
    int fileSize = 0;
    bool open = false;
    bool stopped = false;
    ExportStep step; // the last step of writing a file: a failure ends the run
    const auto finishFile = [&]() -> bool {
        open = false;
        step = files.Finish(fileBar);
        finished += step ? 1 : 0;
        return static_cast<bool>(step);
    };

    const StoreStatus read =
        db.value().QueryUtf8While(kSelectAll, [&](std::span<const std::string_view> row) {
            if (context.StopRequested()) {
                stopped = true;
                return false;
            }
            if (!open) {
                ++k;
                files.Start(k);
                open = true;
                fileSize = k < fileCount ? m : total - (fileCount - 1) * m;
            }
            ExportRow record;
            for (std::size_t i = 0; i < std::size(kExportColumns) && i < row.size(); ++i) {
                record[kExportColumns[i]] = row[i];
            }
            if (!(step = files.Add(record))) {
                return false;
            }
            const int inFile = static_cast<int>(files.Records());
            fileBar.SendIfChanged(inFile * share / std::max(fileSize, inFile));
            if (inFile == m) {
                if (!finishFile()) {
                    return false;
                }
                const int percent = finished * 100 / fileCount;
                if (totalBar.Changes(percent)) {
                    totalBar.Send(percent);
                    fileBar.Send(0);
                }
            }
            return true;
        });

    // Only the end of the table ends an export well: not a stop, not an error, and not a
    // table that gave no row at all.
    if (stopped) {
        return {ExportOutcome::Stopped, ExportFailure::None, finished, {}, {}};
    }
    if (!step) {
        return FailedExport(step.failure, finished, std::move(step.detail));
    }
    if (!read) {
        return DatabaseFailed(read, finished);
    }
    if (k == 0) {
        return FailedExport(ExportFailure::EmptyRegister);
    }
    if (open && !finishFile()) {
        return FailedExport(step.failure, finished, std::move(step.detail));
    }
    fileBar.Send(100);
    totalBar.Send(100);
    return {ExportOutcome::Completed, ExportFailure::None, finished, {}, {}};
}
