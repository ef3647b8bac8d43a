#include "exchange/export/thread_export_02.h"

#include "crypto/idea.h"
#include "exchange/package/package.h"
#include "platform/text.h"

#include <ctime>
#include <optional>

namespace {

// Packages of records: the record lines are zipped and enciphered when a package is
// finished, which takes the last 40% of its bar.
class PackageExportFiles : public ExportFiles {
public:
    PackageExportFiles(const ExportSettings& settings, IdeaKey key, ZipTime time)
        : settings_(settings), key_(key), time_(time) {}
    int FillShare() const override { return 60; }
    void Start(int k) override { writer_.emplace(settings_.target, k, key_, time_); }
    ExportStep Add(const ExportRow& row) override {
        for (std::size_t field = 0; field < row.size(); ++field) {
            record_[field] = Utf8ToGb18030(std::string(row[field]));
        }
        writer_->Add(record_);
        return {};
    }
    std::size_t Records() const override { return writer_->Records(); }
    ExportStep Finish(ProgressChannel& fileBar) override {
        PackageResult written = writer_->Finish([&](PackageWriter::Stage stage) {
            fileBar.Send(stage == PackageWriter::Stage::Archived ? 80 : 100);
        });
        writer_.reset();
        return written ? ExportStep{} : WriteFailure(std::move(written.detail));
    }

private:
    const ExportSettings& settings_;
    IdeaKey key_;
    ZipTime time_;
    std::optional<PackageWriter> writer_;
    ContactRecord record_; // its texts' room is kept from one record to the next
};

} // namespace

void TCThread_Export_02::Execute(WorkerContext& context) {
    // Stands if the run ends by an exception.
    end_.Store(FailedExport(ExportFailure::FileNotCreated));
    PackageExportFiles files(settings_, ExportKey(password_),
                             time_ ? *time_ : ZipTimeFromLocalTime(std::time(nullptr)));
    end_.Store(RunExport(context, settings_, files));
}
