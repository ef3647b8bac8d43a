// Measures the import of a 60,000-row workbook into an empty register, rules and area
// checks included, beside the floor SQLite sets: the same rows, already in the form that is
// bound, inserted in one transaction with one prepared statement into the same encrypted
// register with the import connection's settings. Every row valid and every row rejected
// (and so written back, 60,000 and 6,000 rows to show it grows linearly), as .xls and as
// .xlsx. Each figure is the min and median of three imports, each in a process of its own
// on a fresh register, so that each peak memory figure is its own.
#include "bench_support.h"
#include "crypto/uiid.h"
#include "exchange/import/import_run.h"
#include "exchange/read_workbook.h"
#include "exchange/spreadsheet.h"
#include "platform/text.h"
#include "quiet_report.h"
#include "store/import_database.h"
#include "store/schema.h"
#include "zip_builder.h"

#include <sqlcipher/sqlite3.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRows = 60000;
constexpr int kRuns = 3;
constexpr char kAddTime[] = "2026-12-08 11:00:00";

// Row i of the workbook (UTF-8), as a register sheet holds it: the name and the mobile
// number differ from row to row, the other columns repeat.
std::array<std::string, 10> RowTexts(int i, bool valid) {
    return {"张" + std::to_string(i),
            i % 2 ? "男" : "女",
            "1980-01-02",
            "大学",
            "村",
            "河北省",
            "石家庄市",
            "长安区",
            "某单位 书记",
            std::to_string((valid ? 13500000000LL : 12500000000LL) + i)};
}

bool MakeWorkbook(const fs::path& file, int rows, bool valid) {
    quillon::Spreadsheet sheet = quillon::Spreadsheet::FromTemplate();
    for (int i = 0; i < rows; ++i) {
        int column = 1;
        for (const std::string& text : RowTexts(i, valid)) {
            sheet.SetCellValue(4 + i, column++, Utf8ToGb18030(text));
        }
    }
    return static_cast<bool>(sheet.SaveAs(file));
}

std::string CellReference(int row, int column) {
    std::string letters;
    for (int c = column; c > 0; c = (c - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    }
    return letters + std::to_string(row);
}

std::string XmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Every cell of the .xls as a text cell of an .xlsx with shared strings, as spreadsheets
// write one; through LibreOffice when it is installed, so that the file is one a spreadsheet
// really wrote.
fs::path AsXlsx(const fs::path& dir, const fs::path& xls) {
    fs::path xlsx = xls;
    xlsx.replace_extension(".xlsx");
    const std::string command = "command -v soffice >/dev/null && HOME=" + dir.string() +
                                " soffice --headless --convert-to xlsx --outdir " + dir.string() +
                                " " + xls.string() + " >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0 && fs::exists(xlsx)) {
        return xlsx;
    }
    const quillon::WorkbookResult read = quillon::ReadWorkbookFile(xls);
    if (!read) {
        return {};
    }
    std::vector<std::string> strings;
    std::unordered_map<std::string, std::size_t> index;
    std::string sheet = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                        "<worksheet "
                        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                        "<sheetData>";
    int openRow = 0;
    read.workbook.ForEachText([&](int row, int column, std::string_view gb18030) {
        if (row != openRow) {
            sheet += openRow == 0 ? "" : "</row>";
            sheet += "<row r=\"" + std::to_string(row) + "\">";
            openRow = row;
        }
        const std::string text = Gb18030ToUtf8(std::string(gb18030));
        const auto [it, added] = index.emplace(text, strings.size());
        if (added) {
            strings.push_back(text);
        }
        sheet += "<c r=\"" + CellReference(row, column) + "\" t=\"s\"><v>" +
                 std::to_string(it->second) + "</v></c>";
    });
    sheet += openRow == 0 ? "" : "</row>";
    sheet += "</sheetData></worksheet>";
    std::string sst = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<sst "
                      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    for (const std::string& text : strings) {
        sst += "<si><t xml:space=\"preserve\">" + XmlEscaped(text) + "</t></si>";
    }
    sst += "</sst>";
    const char* relationships = "http://schemas.openxmlformats.org/officeDocument/2006/"
                                "relationships";
    const zipper::Parts parts = {
        {"[Content_Types].xml",
         "<?xml version=\"1.0\"?><Types "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>"},
        {"_rels/.rels", std::string("<?xml version=\"1.0\"?><Relationships "
                                    "xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                                    "relationships\"><Relationship Id=\"rId1\" Type=\"") +
                            relationships +
                            "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         std::string("<?xml version=\"1.0\"?><workbook "
                     "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                     "xmlns:r=\"") +
             relationships +
             "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
             "</workbook>"},
        {"xl/_rels/workbook.xml.rels",
         std::string("<?xml version=\"1.0\"?><Relationships "
                     "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                     "<Relationship Id=\"rId1\" Type=\"") +
             relationships +
             "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
             relationships + "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", std::move(sheet)},
        {"xl/sharedStrings.xml", std::move(sst)},
    };
    const std::vector<std::uint8_t> bytes = zipper::Zip(parts);
    std::ofstream out(xlsx, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        return {};
    }
    return xlsx;
}

struct ImportTiming {
    double seconds = 0;
    double cpuSeconds = 0; // of the process, for a loaded machine where wall time wanders
    double peakMb = 0;
    int inserted = 0;
    int rejected = 0;
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs timed work in a child process of its own and hands back what it measured; nothing
// when the child failed.
template <typename Work> std::optional<ImportTiming> TimedInChild(Work work) {
    int fds[2];
    if (pipe(fds) != 0) {
        return std::nullopt;
    }
    const bool ok = InChild([&] {
        close(fds[0]);
        std::optional<ImportTiming> timing = work();
        if (timing) {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            timing->peakMb = usage.ru_maxrss / 1024.0;
            timing->cpuSeconds = CpuSeconds() - timing->cpuSeconds;
            if (write(fds[1], &*timing, sizeof *timing) != sizeof *timing) {
                return false;
            }
        }
        return timing.has_value();
    });
    close(fds[1]);
    ImportTiming timing;
    const bool got = read(fds[0], &timing, sizeof timing) == sizeof timing;
    close(fds[0]);
    return ok && got ? std::optional<ImportTiming>(timing) : std::nullopt;
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A fresh register under dir for one run.
fs::path FreshRegister(const fs::path& dir) {
    static int made = 0;
    const fs::path db = dir / ("register-" + std::to_string(++made) + ".db");
    fs::remove(db);
    fs::remove_all(dir / ("failed-" + db.stem().string()));
    CreateSchema(db);
    return db;
}

std::optional<ImportTiming> ImportOnce(const fs::path& dir, const fs::path& workbook) {
    const fs::path db = FreshRegister(dir);
    const fs::path failed = dir / ("failed-" + db.stem().string());
    return TimedInChild([&]() -> std::optional<ImportTiming> {
        QuietReport report;
        ImportRun run(ImportPlaces{db, failed},
                      ImportRequest{{workbook}, ImportKind::Spreadsheet, ImportMode::Append, ""},
                      report, [] { return std::string(kAddTime); });
        const double cpu = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const bool ok = run.ImportFiles();
        const double seconds = Seconds(start);
        if (!ok) {
            return std::nullopt;
        }
        return ImportTiming{seconds, cpu, 0, run.Counters().inserted, run.Counters().rejected};
    });
}

// The valid rows as the import binds them (UTF-8), inserted in one transaction with one
// prepared statement on a connection opened as the import opens its own.
std::optional<ImportTiming> FloorOnce(const fs::path& dir) {
    const fs::path db = FreshRegister(dir);
    return TimedInChild([&]() -> std::optional<ImportTiming> {
        std::vector<std::array<std::string, 12>> rows;
        rows.reserve(kRows);
        for (int i = 0; i < kRows; ++i) {
            const std::array<std::string, 10> t = RowTexts(i, true);
            rows.push_back({MakeUIID(Utf8ToGb18030(t[0]), t[9]), t[0], t[9], t[1], t[2], t[3], t[8],
                            t[4], t[5], t[6], t[7], kAddTime});
        }
        StoreResult<ImportDatabase> opened = ImportDatabase::Open(db);
        if (!opened) {
            return std::nullopt;
        }
        sqlite3* handle = opened.value().connection().Handle();
        const double cpu = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        Transaction transaction(opened.value().connection());
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(handle,
                           "insert into t_address_book (UI_ID, User_Name, Mobile_NO, User_Sex, "
                           "User_Birthday, User_Education, Organization_Detial, Recode_Type, "
                           "Province, City, County_Seat, Add_Time) values (?1, ?2, ?3, ?4, ?5, "
                           "?6, ?7, ?8, ?9, ?10, ?11, ?12);",
                           -1, &insert, nullptr);
        bool ok = insert != nullptr;
        for (const auto& row : rows) {
            for (int p = 0; p < 12 && ok; ++p) {
                sqlite3_bind_text(insert, p + 1, row[p].data(), static_cast<int>(row[p].size()),
                                  SQLITE_STATIC);
            }
            ok = ok && sqlite3_step(insert) == SQLITE_DONE;
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        ok = ok && transaction.Commit();
        const double seconds = Seconds(start);
        if (!ok) {
            return std::nullopt;
        }
        return ImportTiming{seconds, cpu, 0, kRows, 0};
    });
}

struct Figure {
    double min = 0;
    double median = 0;
    double cpuMedian = 0;
    ImportTiming last;
    bool ok = false;
};

template <typename Once> Figure MinMedian(Once once) {
    std::vector<double> seconds;
    std::vector<double> cpu;
    Figure figure;
    for (int i = 0; i < kRuns; ++i) {
        const std::optional<ImportTiming> timing = once();
        if (!timing) {
            return figure;
        }
        seconds.push_back(timing->seconds);
        cpu.push_back(timing->cpuSeconds);
        figure.last = *timing;
    }
    std::sort(seconds.begin(), seconds.end());
    figure.min = seconds.front();
    figure.median = seconds[seconds.size() / 2];
    std::sort(cpu.begin(), cpu.end());
    figure.cpuMedian = cpu[cpu.size() / 2];
    figure.ok = true;
    return figure;
}

void Print(const char* what, const Figure& figure) {
    if (!figure.ok) {
        std::printf("  %-40s failed\n", what);
        return;
    }
    std::printf("  %-40s %6.3f / %6.3f s (cpu %5.3f s)  inserted %5d rejected %5d  peak %5.1f MB\n",
                what, figure.min, figure.median, figure.cpuMedian, figure.last.inserted,
                figure.last.rejected, figure.last.peakMb);
}

void PrintRatio(const char* what, const Figure& figure, const Figure& peer, const char* peerName) {
    if (figure.ok && peer.ok) {
        std::printf("  %-40s %6.2f / %6.2f   (min / median over %s)\n", what, figure.min / peer.min,
                    figure.median / peer.median, peerName);
    }
}

} // namespace

// --only valid|rejected|xlsx|floor DIR runs that import once, for a profiler, on workbooks kept in
// DIR (made there on the first such run).
int main(int argc, char** argv) {
    const std::string only = argc == 4 && std::string(argv[1]) == "--only" ? argv[2] : "";
    const fs::path dir =
        !only.empty()
            ? fs::path(argv[3])
            : fs::temp_directory_path() / ("quillon-xls-import-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path valid = dir / "valid.xls";
    const fs::path rejected = dir / "rejected.xls";
    const fs::path rejectedTenth = dir / "rejected-tenth.xls";
    const fs::path rejectedHalf = dir / "rejected-half.xls";
    fs::path validX = dir / "valid.xlsx";
    if (only.empty() || !fs::exists(validX)) {
        if (!MakeWorkbook(valid, kRows, true) || !MakeWorkbook(rejected, kRows, false) ||
            !MakeWorkbook(rejectedTenth, kRows / 10, false) ||
            !MakeWorkbook(rejectedHalf, kRows / 2, false)) {
            std::fprintf(stderr, "cannot make the workbooks\n");
            return 1;
        }
        validX = AsXlsx(dir, valid);
    }
    if (!only.empty()) {
        const fs::path& workbook = only == "xlsx" ? validX : only == "rejected" ? rejected : valid;
        const std::optional<ImportTiming> timing =
            only == "floor" ? FloorOnce(dir) : ImportOnce(dir, workbook);
        const ImportTiming once = timing.value_or(ImportTiming{});
        Print(only.c_str(),
              Figure{once.seconds, once.seconds, once.cpuSeconds, once, timing.has_value()});
        return 0;
    }
    std::printf("spreadsheet import into an empty register, min / median of %d, each run in a "
                "process of its own\n(targets: valid .xls at most 1.0 s and 2.5x the floor, "
                "rejected at most 1.0 s and linear, valid .xlsx at most 1.5 s)\n",
                kRuns);
    const Figure floor = MinMedian([&] { return FloorOnce(dir); });
    Print("floor: 60000 rows, one transaction", floor);
    const Figure xls = MinMedian([&] { return ImportOnce(dir, valid); });
    Print(".xls, 60000 rows, every row valid", xls);
    PrintRatio("  ratio to the floor", xls, floor, "the floor");
    const Figure bad = MinMedian([&] { return ImportOnce(dir, rejected); });
    Print(".xls, 60000 rows, every row rejected", bad);
    const Figure badTenth = MinMedian([&] { return ImportOnce(dir, rejectedTenth); });
    Print(".xls, 6000 rows, every row rejected", badTenth);
    const Figure badHalf = MinMedian([&] { return ImportOnce(dir, rejectedHalf); });
    Print(".xls, 30000 rows, every row rejected", badHalf);
    // A file's fixed costs (the register's key, the area table, the workbook's first save)
    // weigh most in the smallest file; twice the rows against half shows the growth.
    PrintRatio("  ratio 60000 to 6000 (linear: 10)", bad, badTenth, "6000 rows");
    PrintRatio("  ratio 60000 to 30000 (linear: 2)", bad, badHalf, "30000 rows");
    if (validX.empty()) {
        std::printf("  .xlsx: not run (the .xlsx could not be made)\n");
    } else {
        const Figure xlsx = MinMedian([&] { return ImportOnce(dir, validX); });
        Print(".xlsx, 60000 rows, every row valid", xlsx);
    }
    fs::remove_all(dir);
    return 0;
}
