#pragma once

#include "exchange/export/export_run.h"
#include "exchange/template.h"
#include "exchange/worker.h"

#include <filesystem>
#include <string>

// Exports the whole contact table into workbooks laid out like the template, at most m
// records each: target_1.xls, target_2.xls, ... (or .xlsx), one record a row from row 4,
// every field as text. Runs as a worker's job; reports both progress channels through the
// worker context, keeps why it failed, and stops at the next record when asked. A workbook
// reaches its name only whole, so a stop or a failure never leaves a half-filled one behind.
class TCThread_Export_01 {
public:
    void SetDatabase(std::filesystem::path database) { settings_.database = std::move(database); }
    void SetTargetName(std::filesystem::path target) { settings_.target = std::move(target); }
    // Clamped to 10..60000 for .xls and 10..1048573 for .xlsx, whichever order the two
    // setters are called in.
    void SetMaxPerFile(int records);
    void SetFormat(quillon::WorkbookFormat format);
    void SetAreaName(std::string areaName) { settings_.areaName = std::move(areaName); }
    const ExportSettings& Settings() const { return settings_; }
    quillon::WorkbookFormat Format() const { return format_; }

    void Execute(WorkerContext& context);
    ExportEnd End() const { return end_.Load(); }
    ExportOutcome Outcome() const { return End().outcome; }

private:
    ExportSettings settings_;
    quillon::WorkbookFormat format_ = quillon::WorkbookFormat::Xls;
    int requestedPerFile_ = ExportSettings::kDefaultPerFile;
    ExportEndSlot end_;
};
