#pragma once

#include "store/contact_store.h"

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <string>

class WorkerContext;

// The two progress channels of an export, numbered like the window messages that carry
// them: the current output file, and all output files together.
enum ExportChannel : int { kExportFileProgress = 1125, kExportTotalProgress = 1126 };

// How an export run ended. Only Completed means every record of the table went out.
enum class ExportOutcome { NotRun, Completed, Failed, Stopped };

// Why a run failed; the export window has the words for each.
enum class ExportFailure {
    None,
    FolderNotCreated, // the target's folder neither exists nor could be made
    FileNotCreated,   // an output file could not be made, or the table gave nothing to write
};

struct ExportEnd {
    ExportOutcome outcome = ExportOutcome::NotRun;
    ExportFailure failure = ExportFailure::None;
};

// An export's end as the worker thread records it and the window reads it afterwards.
class ExportEndSlot {
public:
    ExportEnd Load() const { return {outcome_.load(), failure_.load()}; }
    void Store(ExportEnd end) {
        failure_ = end.failure;
        outcome_ = end.outcome;
    }

private:
    std::atomic<ExportOutcome> outcome_{ExportOutcome::NotRun};
    std::atomic<ExportFailure> failure_{ExportFailure::None};
};

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

// Sends a progress channel's value, or only when it changed.
class ProgressChannel {
public:
    ProgressChannel(WorkerContext& context, int channel) : context_(context), channel_(channel) {}
    void Send(int percent);
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

// One output format of the export: the file being filled, made in memory and written
// whole, so that a stop or a failure never leaves part of one on disk.
class ExportFiles {
public:
    virtual ~ExportFiles() = default;
    // Of the file bar, the share that filling a file takes; writing it takes the rest.
    virtual int FillShare() const = 0;
    virtual void Start(int k) = 0;
    virtual bool Add(const ContactRecord& record) = 0;
    virtual std::size_t Records() const = 0;
    // Writes the file; false when it could not be written whole.
    virtual bool Finish(ProgressChannel& fileBar) = 0;
};

// Exports the whole contact table into files of at most settings.maxPerFile records, with
// progress on both channels and a stop honoured before each record. A file that cannot be
// made, a table that gives no record and a table read that ends on an error all fail the
// run with FileNotCreated.
ExportEnd RunExport(WorkerContext& context, const ExportSettings& settings, ExportFiles& files);
