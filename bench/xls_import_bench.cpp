// Measures the import of a 60,000-row workbook into an empty register, rules and area
// checks included: once with every row valid and once with every row rejected (and so
// written back), each as .xls and, where LibreOffice can convert it, as .xlsx. Each import
// runs in a process of its own so that each peak memory figure is its own.
#include "bench_support.h"
#include "exchange/import/import_run.h"
#include "exchange/spreadsheet.h"
#include "platform/text.h"
#include "populate.h"
#include "quiet_report.h"
#include "store/schema.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kRows = 60000;

bool MakeWorkbook(const fs::path& file, bool valid) {
    quillon::Spreadsheet sheet = quillon::Spreadsheet::FromTemplate();
    for (int i = 0; i < kRows; ++i) {
        const std::string mobile = std::to_string((valid ? 13500000000LL : 12500000000LL) + i);
        const std::string cells[] = {Gb18030("张") + std::to_string(i),
                                     Gb18030(i % 2 ? "男" : "女"),
                                     "1980-01-02",
                                     Gb18030("大学"),
                                     Gb18030("村"),
                                     Gb18030("河北省"),
                                     Gb18030("石家庄市"),
                                     Gb18030("长安区"),
                                     Gb18030("某单位 书记"),
                                     mobile};
        for (int c = 0; c < 10; ++c) {
            sheet.SetCellValue(4 + i, c + 1, cells[c]);
        }
    }
    return static_cast<bool>(sheet.SaveAs(file));
}

void ImportInChild(const fs::path& dir, const fs::path& workbook, const char* what) {
    InChild([&] {
        const fs::path db = dir / ("db-" + workbook.filename().string());
        CreateSchema(db);
        QuietReport report;
        ImportRun run(ImportPlaces{db, dir / "failed"},
                      ImportRequest{{workbook}, ImportKind::Spreadsheet, ImportMode::Append, ""},
                      report);
        const auto start = std::chrono::steady_clock::now();
        const bool ok = run.ImportFiles();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("  %-44s %7.3f s  inserted %5d rejected %5d  peak %.1f MB%s\n", what, seconds,
                    run.Counters().inserted, run.Counters().rejected, usage.ru_maxrss / 1024.0,
                    ok ? "" : "  (the import failed)");
        return ok;
    });
}

// The same workbook as .xlsx, through LibreOffice; empty when it is not installed.
fs::path AsXlsx(const fs::path& dir, const fs::path& xls) {
    const std::string command = "command -v soffice >/dev/null && HOME=" + dir.string() +
                                " soffice --headless --convert-to xlsx --outdir " + dir.string() +
                                " " + xls.string() + " >/dev/null 2>&1";
    fs::path xlsx = xls;
    xlsx.replace_extension(".xlsx");
    return std::system(command.c_str()) == 0 && fs::exists(xlsx) ? xlsx : fs::path();
}

} // namespace

int main() {
    const fs::path dir =
        fs::temp_directory_path() / ("quillon-xls-import-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path valid = dir / "valid.xls";
    const fs::path rejected = dir / "rejected.xls";
    if (!MakeWorkbook(valid, true) || !MakeWorkbook(rejected, false)) {
        std::fprintf(stderr, "cannot make the workbooks\n");
        return 1;
    }
    std::printf("spreadsheet import of %d rows into an empty register (targets: valid rows at most "
                "5 s, rejected rows at most 10 s, peak memory at most 300 MB):\n",
                kRows);
    ImportInChild(dir, valid, ".xls, every row valid");
    ImportInChild(dir, rejected, ".xls, every row rejected");
    const fs::path validX = AsXlsx(dir, valid);
    const fs::path rejectedX = AsXlsx(dir, rejected);
    if (validX.empty() || rejectedX.empty()) {
        std::printf("  .xlsx: not run (LibreOffice is not installed or failed)\n");
    } else {
        ImportInChild(dir, validX, ".xlsx, every row valid");
        ImportInChild(dir, rejectedX, ".xlsx, every row rejected");
    }
    fs::remove_all(dir);
    return 0;
}
