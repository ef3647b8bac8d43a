#pragma once

#include "crypto/uiid.h"
#include "exchange/export/thread_export_01.h"
#include "exchange/export/thread_export_02.h"
#include "exchange/import/import_run.h"
#include "exchange/worker.h"
#include "platform/text.h"
#include "store/schema.h"
#include "support/temp_dir.h"
#include "ui/import_messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>

// The names in a folder, sorted.
inline std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// What a run reported, from the worker thread.
struct RecordingReport : ImportReport {
    std::vector<std::string> lines;
    std::vector<std::string> boxes;
    std::function<bool(const RecordingReport&)> stopWhen = [](const RecordingReport&) {
        return false;
    };
    void Line(const ImportNotice& notice) override {
        lines.push_back(ImportNoticeText(notice).toStdString());
    }
    void ProgressMaximum(int) override {}
    void ProgressPosition(int value) override { position = value; }
    int position = 0;
    void Box(const ImportNotice& notice) override {
        boxes.push_back(ImportNoticeText(notice).toStdString());
    }
    bool StopRequested() const override { return stopWhen(*this); }
};

// What an export run reported.
struct ExportLog {
    std::mutex mutex;
    std::vector<std::pair<int, int>> progress;
    ExportFailure failure = ExportFailure::None;
    ExportEnd end;
};

// A register in a temporary folder, with exports out of it and imports into it.
class PackageRunTest : public ::testing::Test {
protected:
    PackageRunTest() { EXPECT_TRUE(CreateSchema(Database())); }

    std::filesystem::path Database() const { return dir / "mydb"; }

    // Replaces the register with a new, empty one.
    void FreshRegister() {
        ASSERT_TRUE(std::filesystem::remove(Database()));
        ASSERT_TRUE(CreateSchema(Database()));
    }

    static ContactRecord Record(int i, const std::string& birthday = "1980-02-03") {
        ContactRecord r;
        r[kUser_Name] = Gb18030("张") + std::to_string(i);
        r[kMobile_NO] = std::to_string(13500000000LL + i);
        r[kUser_Sex] = Gb18030(i % 2 ? "男" : "女");
        r[kUser_Birthday] = birthday;
        r[kUser_Education] = Gb18030("大学");
        r[kRecode_Type] = Gb18030("村");
        r[kProvince] = Gb18030("江苏省");
        r[kCity] = Gb18030("南京市");
        r[kCounty_Seat] = Gb18030("玄武区");
        r[kOrganization_Detial] = Gb18030("某单位 书记");
        r[kUI_ID] = MakeUIID(r[kUser_Name], r[kMobile_NO]);
        return r;
    }

    void Store(const std::vector<ContactRecord>& records) {
        StoreResult<ImportDatabase> db = ImportDatabase::Open(Database());
        ASSERT_TRUE(db);
        for (const ContactRecord& r : records) {
            ASSERT_TRUE(db.value().InsertRecord(r, "2026-12-08 10:00:00").ok());
        }
    }
    void StoreRange(int first, int count) {
        std::vector<ContactRecord> records;
        for (int i = first; i < first + count; ++i) {
            records.push_back(Record(i));
        }
        Store(records);
    }

    // Runs the package export on a worker, as the window does.
    ExportOutcome Export(const std::filesystem::path& target, int perFile,
                         const std::string& password, ExportLog* log = nullptr,
                         std::function<bool(int, int)> stopAt = {}) {
        TCThread_Export_02 exporter;
        exporter.SetDatabase(Database());
        exporter.SetTargetName(target);
        exporter.SetMaxPerFile(perFile);
        exporter.SetPassword(password);
        exporter.SetExportTime({2026, 12, 8, 10, 30, 0});
        return RunOnWorker(exporter, log, std::move(stopAt));
    }

    // Runs the spreadsheet export on a worker, as the window does.
    ExportOutcome ExportWorkbooks(const std::filesystem::path& target, int perFile,
                                  ExportLog* log = nullptr,
                                  std::function<bool(int, int)> stopAt = {}) {
        TCThread_Export_01 exporter;
        exporter.SetDatabase(Database());
        exporter.SetTargetName(target);
        exporter.SetMaxPerFile(perFile);
        return RunOnWorker(exporter, log, std::move(stopAt));
    }

    template <typename Exporter>
    ExportOutcome RunOnWorker(Exporter& exporter, ExportLog* log,
                              std::function<bool(int, int)> stopAt) {
        Worker worker;
        ExportLog local;
        ExportLog& out = log ? *log : local;
        worker.OnProgress([&](int channel, int percent) {
            std::lock_guard lock(out.mutex);
            out.progress.emplace_back(channel, percent);
            if (stopAt && stopAt(channel, percent)) {
                worker.RequestStop();
            }
        });
        worker.Start([&](WorkerContext& context) { exporter.Execute(context); });
        worker.Join();
        out.end = exporter.End();
        out.failure = out.end.failure;
        return exporter.Outcome();
    }

    bool Import(const std::vector<std::filesystem::path>& files, ImportMode mode,
                const std::string& password, RecordingReport& report) {
        ImportRequest request{files, ImportKind::Package, mode, password};
        run.emplace(ImportPlaces{Database(), dir / "failed"}, request, report,
                    [] { return std::string("2026-12-08 11:00:00"); });
        return run->ImportFiles();
    }

    // Imports workbooks as the import worker does, with the login area given (GB18030).
    bool ImportWorkbooks(const std::vector<std::filesystem::path>& files, ImportMode mode,
                         RecordingReport& report, const std::string& loginArea = Gb18030("全国")) {
        ImportRequest request{files, ImportKind::Spreadsheet, mode, ""};
        run.emplace(ImportPlaces{Database(), dir / "failed", loginArea}, request, report,
                    [] { return std::string("2026-12-08 11:00:00"); });
        return run->ImportFiles();
    }

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        StoreResult<Connection> db = Connection::Open(Database());
        EXPECT_TRUE(db);
        db.value().Query(
            "select User_Name from t_address_book order by Mobile_NO",
            [&](const std::vector<std::string>& row) { names.push_back(Gb18030ToUtf8(row[0])); });
        return names;
    }
    int Count() { return static_cast<int>(Names().size()); }

    std::filesystem::path Package(const std::filesystem::path& target, int k) {
        return NumberedOutputFile(target, k, ".qsec");
    }

    TempDir dir;
    std::optional<ImportRun> run;
};
