#pragma once

#include "exchange/export/export_run.h"
#include "exchange/worker.h"

#include "exchange/zip/zip_writer.h"

#include <optional>
#include <string>

// Exports the whole contact table into enciphered packages of at most m records each:
// target_1.qsec, target_2.qsec, ... Runs as a worker's job; reports both progress channels
// through the worker context, keeps why it failed, and stops at the next record when asked. A
// package is made in memory and written whole, so neither clear text nor a partial package is ever
// left behind.
class TCThread_Export_02 {
public:
    void SetDatabase(std::filesystem::path database) { settings_.database = std::move(database); }
    void SetTargetName(std::filesystem::path target) { settings_.target = std::move(target); }
    void SetMaxPerFile(int records) { settings_.SetMaxPerFile(records); }
    void SetAreaName(std::string areaName) { settings_.areaName = std::move(areaName); }
    // GB18030; the key is made from these bytes as given (the window trims them).
    void SetPassword(std::string password) { password_ = std::move(password); }
    const ExportSettings& Settings() const { return settings_; }
    // The time written into the archives; the moment of the export unless set.
    void SetExportTime(ZipTime time) { time_ = time; }

    void Execute(WorkerContext& context);
    ExportEnd End() const { return end_.Load(); }
    ExportOutcome Outcome() const { return End().outcome; }

private:
    ExportSettings settings_;
    std::string password_;
    std::optional<ZipTime> time_;
    ExportEndSlot end_;
};
