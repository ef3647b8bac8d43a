#pragma once

#include "store/contact_store.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

class WorkerContext;

// The two progress channels of an export, numbered like the window messages that carry
// them: the current output file, and all output files together.
enum ExportChannel : int { kExportFileProgress = 1125, kExportTotalProgress = 1126 };

// How an export run ended. Only Completed means every record of the table went out.
enum class ExportOutcome { NotRun, Completed, Failed, Stopped };

// Why a run failed; the export window has the words for each.
enum class ExportFailure {
    None,
    FolderNotCreated,   // the target's folder neither exists nor could be made
    FileNotCreated,     // an output file could not be made or written
    DiskFull,           // an output file could not be written for want of space
    EmptyRegister,      // the table holds no record: there is nothing to export
    DatabaseUnreadable, // the register could not be opened or read to its end
    TextTooLong,        // a value is longer than a cell of the workbook format holds
};

struct ExportEnd {
    ExportOutcome outcome = ExportOutcome::NotRun;
    ExportFailure failure = ExportFailure::None;
    // Whole output files the run left on disk, also when it was stopped or failed.
    int filesWritten = 0;
    // With DatabaseUnreadable: why, with SQLite's words.
    StoreStatus database;
    // With a file failure: the system's words, e.g. "No space left on device".
    std::string detail;
};

ExportEnd FailedExport(ExportFailure failure, int filesWritten = 0, std::string detail = {});

// An export's end as the worker thread records it and the window reads it afterwards.
class ExportEndSlot {
public:
    ExportEnd Load() const {
        std::lock_guard lock(mutex_);
        return end_;
    }
    void Store(ExportEnd end) {
        std::lock_guard lock(mutex_);
        end_ = std::move(end);
    }

private:
    mutable std::mutex mutex_;
    ExportEnd end_;
};

// What both export workers are told before they start.
struct ExportSettings {
    static constexpr int kMinPerFile = 10;
    static constexpr int kMaxPerFile = 60000;
    // An .xlsx sheet's rows below the title and the two header rows.
    static constexpr int kMaxPerXlsxFile = 1048573;
    static constexpr int kDefaultPerFile = 5000;

    std::filesystem::path database;
    // Output files are this path + "_" + k + the format's extension.
    std::filesystem::path target;
    int maxPerFile = kDefaultPerFile;
    std::string areaName; // GB18030; kept, not used: the export covers the whole table

    // Clamped to kMinPerFile..most.
    void SetMaxPerFile(int records, int most = kMaxPerFile);
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

// How one step of writing an output file went: done, or why not.
struct ExportStep {
    ExportFailure failure = ExportFailure::None;
    std::string detail;
    explicit operator bool() const { return failure == ExportFailure::None; }
};

// A file that could not be written: DiskFull when the system's words say the disk (or the
// operator's share of it) is full, FileNotCreated otherwise.
ExportStep WriteFailure(std::string detail);

// One record as the register stores it: each field's UTF-8 text, valid only during the call
// it is handed to. The formats convert it once, each to its own encoding.
using ExportRow = std::array<std::string_view, kContactFieldCount>;

// One output format of the export: the file being filled, made in memory and written
// whole, so that a stop or a failure never leaves part of one on disk.
class ExportFiles {
public:
    virtual ~ExportFiles() = default;
    // Of the file bar, the share that filling a file takes; writing it takes the rest.
    virtual int FillShare() const = 0;
    virtual void Start(int k) = 0;
    virtual ExportStep Add(const ExportRow& record) = 0;
    virtual std::size_t Records() const = 0;
    // Writes the file whole, or reports why it could not.
    virtual ExportStep Finish(ProgressChannel& fileBar) = 0;
};

// Exports the whole contact table into files of at most settings.maxPerFile records, with
// progress on both channels and a stop honoured before each record. The end says how many
// files were written and, for a failure, why: a register that cannot be opened or read to
// its end, a register without records, a file that cannot be made or written.
ExportEnd RunExport(WorkerContext& context, const ExportSettings& settings, ExportFiles& files);
