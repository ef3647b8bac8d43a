#include "exchange/export/thread_export_02.h"

#include "crypto/idea.h"
#include "exchange/package/package.h"
#include "platform/text.h"
#include "store/database.h"

#include <charconv>
#include <ctime>
#include <optional>

namespace {

constexpr char kErrorCaption[] = "Error";

std::string PackageFailure() {
    return Gbk("文件创建失败，请确保计算机有够的空间存放导出文件，并且选择一个空目录保存文件！");
}

// Table columns in select order, mapped to the record's fields.
constexpr ContactField kExportColumns[] = {
    kUI_ID,         kUser_Name,      kMobile_NO,           kUser_Sex,
    kUser_Birthday, kUser_Education, kOrganization_Detial, kRecode_Type,
    kProvince,      kCity,           kCounty_Seat};

constexpr char kSelectAll[] =
    "select UI_ID, User_Name, Mobile_NO, User_Sex, User_Birthday, User_Education, "
    "Organization_Detial, Recode_Type, Province, City, County_Seat from t_address_book";

// Sends a channel's value only when it changed.
class ProgressChannel {
public:
    ProgressChannel(WorkerContext& context, int channel) : context_(context), channel_(channel) {}
    void Send(int percent) {
        context_.Progress(channel_, percent);
        last_ = percent;
    }
    bool Changes(int percent) const { return percent != last_; }
    void SendIfChanged(int percent) {
        if (Changes(percent)) {
            Send(percent);
        }
    }

private:
    WorkerContext& context_;
    int channel_;
    int last_ = -1;
};

} // namespace

void TCThread_Export_02::Execute(WorkerContext& context) {
    outcome_ = ExportOutcome::Failed;
    const auto fail = [&](const std::string& text, const std::string& caption = kErrorCaption) {
        context.Message(MessageKind::Plain, text, MessageButtons::Ok, caption);
    };
    const IdeaKey key = ExportKey(password_);
    const ZipTime time = time_ ? *time_ : ZipTimeFromLocalTime(std::time(nullptr));
    if (!EnsureTargetFolder(settings_.target)) {
        fail(Gbk("文件夹创建失败！"), "Quillon");
        return;
    }
    StoreResult<Connection> db = Connection::Open(settings_.database);
    int total = 0;
    if (db) {
        db.value().Query(
            "select count(1) from t_address_book", [&](const std::vector<std::string>& row) {
                const std::string& text = row.at(0);
                if (std::from_chars(text.data(), text.data() + text.size(), total).ec !=
                    std::errc()) {
                    total = 0;
                }
            });
    }
    // An export that writes nothing has not succeeded, whatever the reason.
    if (total <= 0) {
        fail(PackageFailure());
        return;
    }
    const int m = settings_.maxPerFile;
    const int packages = (total + m - 1) / m;
    ProgressChannel fileBar(context, kExportFileProgress);
    ProgressChannel totalBar(context, kExportTotalProgress);

    int k = 0;
    int finished = 0;
    int packageSize = 0;
    std::optional<PackageWriter> writer;
    bool failed = false;
    bool stopped = false;

    const auto finishPackage = [&]() -> bool {
        const PackageResult written = writer->Finish([&](PackageWriter::Stage stage) {
            fileBar.Send(stage == PackageWriter::Stage::Archived ? 80 : 100);
        });
        writer.reset();
        if (!written) {
            fail(PackageFailure());
            return false;
        }
        return true;
    };

    const StoreStatus read =
        db.value().QueryWhile(kSelectAll, [&](const std::vector<std::string>& row) {
            if (context.StopRequested()) {
                stopped = true;
                return false;
            }
            if (!writer) {
                ++k;
                writer.emplace(settings_.target, k, key, time);
                packageSize = k < packages ? m : total - (packages - 1) * m;
            }
            ContactRecord record;
            for (std::size_t i = 0; i < std::size(kExportColumns) && i < row.size(); ++i) {
                record[kExportColumns[i]] = row[i];
            }
            writer->Add(record);
            const int inPackage = static_cast<int>(writer->Records());
            fileBar.SendIfChanged(inPackage * 60 / std::max(packageSize, inPackage));
            if (inPackage == m) {
                if (!finishPackage()) {
                    failed = true;
                    return false;
                }
                ++finished;
                const int percent = finished * 100 / packages;
                if (totalBar.Changes(percent)) {
                    totalBar.Send(percent);
                    fileBar.Send(0);
                }
            }
            return true;
        });

    // Only the end of the table ends an export well: not an error, and not a table that
    // gave no row at all. A package being made lives in memory until it is finished, so a
    // stop or a failure leaves nothing of it on disk.
    if (!failed && !stopped && (!read || k == 0)) {
        fail(PackageFailure());
        failed = true;
    }
    if (!failed && !stopped && writer && !finishPackage()) {
        failed = true;
    }
    if (failed || stopped) {
        outcome_ = stopped ? ExportOutcome::Stopped : ExportOutcome::Failed;
        return;
    }
    fileBar.Send(100);
    totalBar.Send(100);
    outcome_ = ExportOutcome::Completed;
}
