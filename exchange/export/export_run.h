#pragma once

#include <filesystem>
#include <string>

// The two progress channels of an export, numbered like the window messages that carry
// them: the current output file, and all output files together.
enum ExportChannel : int { kExportFileProgress = 1125, kExportTotalProgress = 1126 };

// How an export run ended. Only Completed means every record of the table went out.
enum class ExportOutcome { NotRun, Completed, Failed, Stopped };

// What both export workers are told before they start.
struct ExportSettings {
    static constexpr int kMinPerFile = 10;
    static constexpr int kMaxPerFile = 60000;
    static constexpr int kDefaultPerFile = 5000;

    std::filesystem::path database;
    // Output files are this path + "_" + k + the format's extension.
    std::filesystem::path target;
    int maxPerFile = kDefaultPerFile;
    std::string areaName; // GBK; kept, not used: the export covers the whole table

    void SetMaxPerFile(int records);
};

// The folder the output files go to (the target's parent), created one level deep when it
// is missing; false when it neither exists nor can be made.
bool EnsureTargetFolder(const std::filesystem::path& target);

// target + "_" + k + extension, the name of output file k.
std::filesystem::path NumberedOutputFile(const std::filesystem::path& target, int k,
                                         const std::string& extension);
