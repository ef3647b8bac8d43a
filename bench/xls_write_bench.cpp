// Measures the spreadsheet export of 60,000 records into one workbook beside python3-xlwt
// writing the same rows (three runs of each, taken in turn so that a change of load on the
// machine falls on both), and LibreOffice converting them from CSV to .xls where it is
// installed. The export runs in a process of its own so that its peak memory is its own.
#include "bench_support.h"
#include "exchange/export/thread_export_01.h"
#include "exchange/worker.h"
#include "export_bench.h"
#include "platform/text.h"
#include "populate.h"
#include "store/database.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 60000;
constexpr int kRuns = 3;

double ExportInChild(const fs::path& db, const fs::path& target, bool printMemory) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return -1;
    }
    const pid_t child = fork();
    if (child == 0) {
        TCThread_Export_01 exporter;
        exporter.SetDatabase(db);
        exporter.SetTargetName(target);
        exporter.SetMaxPerFile(kRecords);
        const auto start = std::chrono::steady_clock::now();
        Worker worker;
        worker.Start([&](WorkerContext& context) { exporter.Execute(context); });
        worker.Join();
        double seconds = exporter.Outcome() == ExportOutcome::Completed ? Seconds(start) : -1;
        if (printMemory) {
            PrintPeakMemory();
            // Under load the wall time varies by half; the processor time much less.
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            std::printf("processor time of the export: %.3f s, %ld page faults\n",
                        usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                            (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6,
                        usage.ru_minflt);
        }
        std::fflush(stdout);
        (void)!write(pipeEnds[1], &seconds, sizeof seconds);
        std::_Exit(0);
    }
    double seconds = -1;
    (void)!read(pipeEnds[0], &seconds, sizeof seconds);
    waitpid(child, nullptr, 0);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return seconds;
}

} // namespace

// With --export-only, runs the export once and nothing else, for a profiler.
int main(int argc, char** argv) {
    const bool exportOnly = argc > 1 && std::string(argv[1]) == "--export-only";
    const fs::path dir =
        fs::temp_directory_path() / ("quillon-xls-write-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path db = dir / "mydb";
    Populate(db, kRecords);
    if (exportOnly) {
        const double seconds = ExportInChild(db, dir / "book", true);
        std::printf("  %-40s %6.3f s\n", "this program", seconds);
        fs::remove_all(dir);
        return seconds > 0 ? 0 : 1;
    }
    const fs::path csv = dir / "rows.csv";
    if (!DumpRows(db, csv)) {
        std::fprintf(stderr, "cannot dump the rows\n");
        return 1;
    }

    std::printf("spreadsheet export, %d records into one workbook (peak memory target at most "
                "250 MB):\n",
                kRecords);
    std::fflush(stdout);
    const fs::path script = fs::path(QUILLON_BENCH_DIR) / "xlwt_write.py";
    std::vector<double> oursRuns;
    std::vector<double> xlwtRuns;
    for (int run = 0; run < kRuns; ++run) {
        oursRuns.push_back(ExportInChild(db, dir / "book", run == 0));
        xlwtRuns.push_back(TimeCommand("/usr/bin/python3 " + script.string() + " " + csv.string() +
                                       " " + (dir / "xlwt.xls").string()));
    }
    const Figures ours = Summary(oursRuns);
    std::printf("  %-40s %6.3f / %6.3f s (min / median of %d)\n", "this program", ours.min,
                ours.median, kRuns);
    const Figures xlwt = Summary(xlwtRuns);
    if (xlwt.min > 0 && ours.min > 0) {
        std::printf("  %-40s %6.3f / %6.3f s   ratio xlwt/ours %.1f / %.1f (target at least "
                    "20)\n",
                    "python3-xlwt, the same rows", xlwt.min, xlwt.median, xlwt.min / ours.min,
                    xlwt.median / ours.median);
    } else {
        std::printf("  python3-xlwt: not run (not installed or failed)\n");
    }
    const double office = TimeCommand("command -v soffice >/dev/null && HOME=" + dir.string() +
                                      " soffice --headless --convert-to xls --outdir " +
                                      dir.string() + " " + csv.string() + " >/dev/null 2>&1");
    if (office > 0 && ours.min > 0) {
        std::printf("  %-40s %6.3f s (one run)   ratio LibreOffice/ours %.1f\n",
                    "LibreOffice, CSV to .xls", office, office / ours.min);
    } else {
        std::printf("  LibreOffice: not run (not installed or failed)\n");
    }
    fs::remove_all(dir);
    return ours.min > 0 ? 0 : 1;
}
