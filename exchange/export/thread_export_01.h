#pragma once

#include "exchange/export/export_run.h"
#include "exchange/worker.h"

#include <filesystem>
#include <string>

// Exports the whole contact table into workbooks made from the template, at most m
// records each: target_1.xls, target_2.xls, ... one record a row from row 4, every field
// as text. Runs as a worker's job; reports both progress channels through the worker context,
// keeps why it failed, and stops at the next record when asked. A workbook is made in memory and
// written whole, so a stop or a failure never leaves a half-filled one behind.
class TCThread_Export_01 {
public:
    void SetDatabase(std::filesystem::path database) { settings_.database = std::move(database); }
    void SetTargetName(std::filesystem::path target) { settings_.target = std::move(target); }
    void SetMaxPerFile(int records) { settings_.SetMaxPerFile(records); }
    void SetAreaName(std::string areaName) { settings_.areaName = std::move(areaName); }
    const ExportSettings& Settings() const { return settings_; }

    void Execute(WorkerContext& context);
    ExportEnd End() const { return end_.Load(); }
    ExportOutcome Outcome() const { return End().outcome; }

private:
    ExportSettings settings_;
    ExportEndSlot end_;
};
