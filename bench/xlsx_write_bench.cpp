// Measures the .xlsx export: 60,000 records into one workbook beside python3-openpyxl in
// write-only mode writing the same rows (three runs of each, taken in turn so that a change
// of load on the machine falls on both), then 1,000,000 records into one workbook for its
// peak memory; that workbook imported back into an empty register, which rejects every row
// (the areas are made up) and writes them back into a workbook; then those records, given
// real areas so that every row is taken, exported again and imported back, for each import's
// time and peak memory.
// Each run is a process of its own so that its peak memory is its own.
#include "exchange/export/thread_export_01.h"
#include "exchange/import/import_run.h"
#include "exchange/worker.h"
#include "export_bench.h"
#include "platform/text.h"
#include "populate.h"
#include "quiet_report.h"
#include "store/database.h"
#include "store/schema.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 60000;
constexpr int kLargeRecords = 1'000'000;
constexpr int kRuns = 3;

struct Run {
    double seconds = -1;
    double peakMb = 0;
};

// One export of every record into one .xlsx, in a child process.
Run ExportInChild(const fs::path& db, const fs::path& target, int perFile) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return {};
    }
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        TCThread_Export_01 exporter;
        exporter.SetDatabase(db);
        exporter.SetTargetName(target);
        exporter.SetFormat(quillon::WorkbookFormat::Xlsx);
        exporter.SetMaxPerFile(perFile);
        const auto start = std::chrono::steady_clock::now();
        Worker worker;
        worker.Start([&](WorkerContext& context) { exporter.Execute(context); });
        worker.Join();
        Run run;
        run.seconds = exporter.Outcome() == ExportOutcome::Completed ? Seconds(start) : -1;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        run.peakMb = usage.ru_maxrss / 1024.0;
        (void)!write(pipeEnds[1], &run, sizeof run);
        std::_Exit(0);
    }
    Run run;
    (void)!read(pipeEnds[0], &run, sizeof run);
    waitpid(child, nullptr, 0);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return run;
}

// One import of the workbook into an empty register, in a child process.
Run ImportInChild(const fs::path& workbook, const fs::path& db, int& inserted, int& rejected) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return {};
    }
    fs::remove(db);
    CreateSchema(db);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        QuietReport report;
        ImportRun run(ImportPlaces{db, db.parent_path() / "failed"},
                      ImportRequest{{workbook}, ImportKind::Spreadsheet, ImportMode::Append, ""},
                      report, [] { return std::string("2026-01-01 00:00:00"); });
        const auto start = std::chrono::steady_clock::now();
        Run result;
        result.seconds = run.ImportFiles() ? Seconds(start) : -1;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        result.peakMb = usage.ru_maxrss / 1024.0;
        const int counts[] = {run.Counters().inserted, run.Counters().rejected};
        (void)!write(pipeEnds[1], &result, sizeof result);
        (void)!write(pipeEnds[1], counts, sizeof counts);
        std::_Exit(0);
    }
    Run result;
    (void)!read(pipeEnds[0], &result, sizeof result);
    int counts[2] = {};
    (void)!read(pipeEnds[0], counts, sizeof counts);
    inserted = counts[0];
    rejected = counts[1];
    waitpid(child, nullptr, 0);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return result;
}

} // namespace

// With --small, leaves out the million records.
int main(int argc, char** argv) {
    const bool small = argc > 1 && std::string(argv[1]) == "--small";
    const fs::path dir =
        fs::temp_directory_path() / ("quillon-xlsx-write-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path db = dir / "mydb";
    Populate(db, kRecords);
    const fs::path csv = dir / "rows.csv";
    if (!DumpRows(db, csv)) {
        std::fprintf(stderr, "cannot dump the rows\n");
        return 1;
    }

    std::printf(".xlsx export, %d records into one workbook:\n", kRecords);
    const fs::path script = fs::path(QUILLON_BENCH_DIR) / "openpyxl_write.py";
    std::vector<double> oursRuns;
    std::vector<double> peerRuns;
    double peakMb = 0;
    for (int run = 0; run < kRuns; ++run) {
        const Run ours = ExportInChild(db, dir / "book", kRecords);
        oursRuns.push_back(ours.seconds);
        peakMb = std::max(peakMb, ours.peakMb);
        fs::remove(dir / "book_1.xlsx");
        peerRuns.push_back(TimeCommand("/usr/bin/python3 " + script.string() + " " + csv.string() +
                                       " " + (dir / "peer.xlsx").string()));
    }
    const Figures ours = Summary(oursRuns);
    std::printf("  %-44s %6.3f / %6.3f s (min / median of %d), peak memory %.1f MB\n",
                "this program", ours.min, ours.median, kRuns, peakMb);
    const Figures peer = Summary(peerRuns);
    if (peer.min > 0 && ours.min > 0) {
        std::printf("  %-44s %6.3f / %6.3f s   ratio openpyxl/ours %.1f / %.1f (target at "
                    "least 10)\n",
                    "python3-openpyxl write-only, the same rows", peer.min, peer.median,
                    peer.min / ours.min, peer.median / ours.median);
    } else {
        std::printf("  python3-openpyxl: not run (not installed or failed)\n");
    }

    int status = ours.min > 0 ? 0 : 1;
    if (!small) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        Populate(db, kLargeRecords);
        const Run large = ExportInChild(db, dir / "large", ExportSettings::kMaxPerXlsxFile);
        std::error_code ignored;
        const auto bytes = fs::file_size(dir / "large_1.xlsx", ignored);
        std::printf(".xlsx export, %d records into one workbook: %.1f s, peak memory %.1f MB "
                    "(target at most 100 MB), file %.1f MB\n",
                    kLargeRecords, large.seconds, large.peakMb,
                    bytes == static_cast<std::uintmax_t>(-1) ? 0.0 : bytes / 1048576.0);
        status = large.seconds > 0 ? status : 1;
        int inserted = 0;
        int rejected = 0;
        // Their areas are made up, so the import sends every row back in a workbook.
        const Run refused =
            ImportInChild(dir / "large_1.xlsx", dir / "back.db", inserted, rejected);
        std::printf("  imported back, every row rejected and written back: %.1f s, peak memory "
                    "%.1f MB, %d rows rejected\n",
                    refused.seconds, refused.peakMb, rejected);
        status = refused.seconds > 0 && rejected == kLargeRecords ? status : 1;
        // The records' areas are made real ones, so that the import takes every row.
        {
            StoreResult<Connection> connection = Connection::Open(db);
            if (!connection || !connection.value().Execute(
                                   Utf8ToGb18030("update t_address_book set Province = '河北省', "
                                                 "City = '石家庄市', County_Seat = '长安区'"))) {
                std::fprintf(stderr, "cannot give the records real areas\n");
                return 1;
            }
        }
        fs::remove(dir / "large_1.xlsx");
        ExportInChild(db, dir / "valid", ExportSettings::kMaxPerXlsxFile);
        const Run back = ImportInChild(dir / "valid_1.xlsx", dir / "back.db", inserted, rejected);
        std::printf("  imported back into an empty register: %.1f s, peak memory %.1f MB, "
                    "%d records\n",
                    back.seconds, back.peakMb, inserted);
        status = back.seconds > 0 && inserted == kLargeRecords ? status : 1;
    }
    fs::remove_all(dir);
    return status;
}
