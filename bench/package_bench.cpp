// Measures the package export of a 100,000-record register into packages of 60,000, and the
// import of those two packages into an empty register, each in a process of its own so that
// each peak memory figure is its own.
#include "bench_support.h"
#include "exchange/export/thread_export_02.h"
#include "exchange/import/import_run.h"
#include "exchange/worker.h"
#include "populate.h"
#include "quiet_report.h"
#include "store/schema.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 100000;
constexpr int kPerPackage = 60000;

double Seconds(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool Export(const fs::path& db, const fs::path& target) {
    TCThread_Export_02 exporter;
    exporter.SetDatabase(db);
    exporter.SetTargetName(target);
    exporter.SetMaxPerFile(kPerPackage);
    exporter.SetPassword("benchmark");
    const auto start = std::chrono::steady_clock::now();
    Worker worker;
    worker.Start([&](WorkerContext& context) { exporter.Execute(context); });
    worker.Join();
    std::printf("package export, %d records in packages of %d: %.3f s (target at most 2 s)\n",
                kRecords, kPerPackage, Seconds(start));
    PrintPeakMemory();
    return exporter.Outcome() == ExportOutcome::Completed;
}

bool Import(const fs::path& db, const fs::path& target) {
    QuietReport report;
    ImportRequest request{
        {NumberedOutputFile(target, 1, ".qsec"), NumberedOutputFile(target, 2, ".qsec")},
        ImportKind::Package,
        ImportMode::Append,
        "benchmark"};
    ImportRun run({db, db.parent_path() / "failed"}, request, report);
    const auto start = std::chrono::steady_clock::now();
    const bool imported = run.ImportFiles();
    std::printf("package import, the two packages into an empty register: %.3f s (target at "
                "most 2 s)\n",
                Seconds(start));
    PrintPeakMemory();
    return imported;
}

} // namespace

int main() {
    const fs::path dir =
        fs::temp_directory_path() / ("quillon-package-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path full = dir / "full", empty = dir / "empty", target = dir / "out" / "book";
    Populate(full, kRecords);
    CreateSchema(empty);
    const bool exported = InChild([&] { return Export(full, target); });
    const bool imported = exported && InChild([&] { return Import(empty, target); });
    fs::remove_all(dir);
    if (!exported || !imported) {
        std::fprintf(stderr, "package bench: the %s failed\n", exported ? "import" : "export");
        return 1;
    }
    return 0;
}
