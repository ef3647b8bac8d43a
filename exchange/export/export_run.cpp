#include "exchange/export/export_run.h"

#include "exchange/worker.h"
#include "store/database.h"

#include <algorithm>
#include <charconv>
#include <system_error>

void ExportSettings::SetMaxPerFile(int records) {
    maxPerFile = std::clamp(records, kMinPerFile, kMaxPerFile);
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

int CountRecords(Connection& db) {
    int total = 0;
    db.Query("select count(1) from t_address_book", [&](const std::vector<std::string>& row) {
        const std::string& text = row.at(0);
        if (std::from_chars(text.data(), text.data() + text.size(), total).ec != std::errc()) {
            total = 0;
        }
    });
    return total;
}

} // namespace

ExportEnd RunExport(WorkerContext& context, const ExportSettings& settings, ExportFiles& files) {
    constexpr ExportEnd kFileNotCreated{ExportOutcome::Failed, ExportFailure::FileNotCreated};
    if (!EnsureTargetFolder(settings.target)) {
        return {ExportOutcome::Failed, ExportFailure::FolderNotCreated};
    }
    StoreResult<Connection> db = Connection::Open(settings.database);
    const int total = db ? CountRecords(db.value()) : 0;
    // An export that writes nothing has not succeeded, whatever the reason.
    if (total <= 0) {
        return kFileNotCreated;
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
    bool failed = false;
    bool stopped = false;
    const auto finishFile = [&]() -> bool {
        open = false;
        return files.Finish(fileBar);
    };

    const StoreStatus read =
        db.value().QueryWhile(kSelectAll, [&](const std::vector<std::string>& row) {
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
            ContactRecord record;
            for (std::size_t i = 0; i < std::size(kExportColumns) && i < row.size(); ++i) {
                record[kExportColumns[i]] = row[i];
            }
            if (!files.Add(record)) {
                failed = true;
                return false;
            }
            const int inFile = static_cast<int>(files.Records());
            fileBar.SendIfChanged(inFile * share / std::max(fileSize, inFile));
            if (inFile == m) {
                if (!finishFile()) {
                    failed = true;
                    return false;
                }
                ++finished;
                const int percent = finished * 100 / fileCount;
                if (totalBar.Changes(percent)) {
                    totalBar.Send(percent);
                    fileBar.Send(0);
                }
            }
            return true;
        });

    // Only the end of the table ends an export well: not an error, and not a table that
    // gave no row at all.
    if (stopped) {
        return {ExportOutcome::Stopped, ExportFailure::None};
    }
    if (failed || !read || k == 0 || (open && !finishFile())) {
        return kFileNotCreated;
    }
    fileBar.Send(100);
    totalBar.Send(100);
    return {ExportOutcome::Completed, ExportFailure::None};
}
