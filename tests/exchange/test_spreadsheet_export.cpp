#include "exchange/read_workbook.h"
#include "exchange/spreadsheet.h"
#include "golden_packages.h"
#include "package_run_fixture.h"

#include <cstdlib>
#include <fstream>

namespace {

const std::filesystem::path kGolden = QUILLON_GOLDEN_DIR;

std::filesystem::path Workbook(const std::filesystem::path& target, int k) {
    return NumberedOutputFile(target, k, ".xls");
}

quillon::Workbook Read(const std::filesystem::path& file) {
    quillon::WorkbookResult read = quillon::ReadWorkbookFile(file);
    EXPECT_TRUE(read) << file << ": " << read.detail;
    return std::move(read.workbook);
}

// The record as the export lays it out in a row, as UTF-8.
std::vector<std::string> SheetRow(const ContactRecord& r) {
    std::vector<std::string> row;
    for (ContactField f : {kUser_Name, kUser_Sex, kUser_Birthday, kUser_Education, kRecode_Type,
                           kProvince, kCity, kCounty_Seat, kOrganization_Detial, kMobile_NO}) {
        row.push_back(Gb18030ToUtf8(r[f]));
    }
    return row;
}

std::vector<std::string> RowOf(const quillon::Workbook& book, int row) {
    std::vector<std::string> cells;
    for (int c = 1; c <= 10; ++c) {
        cells.push_back(Gb18030ToUtf8(std::string(book.CellText(row, c))));
    }
    return cells;
}

TEST_F(PackageRunTest, TwentyFiveRecordsByTenMakeThreeWorkbooksOfTenTenAndFive) {
    StoreRange(0, 25);
    ExportLog log;
    const auto target = dir / "out" / "book";
    ASSERT_EQ(ExportWorkbooks(target, 10, &log), ExportOutcome::Completed);
    EXPECT_EQ(FilesIn(dir / "out"),
              (std::vector<std::string>{"book_1.xls", "book_2.xls", "book_3.xls"}));
    std::vector<std::pair<int, int>> expected;
    const int k = 1125, t = 1126;
    for (int file = 0; file < 2; ++file) {
        for (int p = 10; p <= 100; p += 10) {
            expected.emplace_back(k, p);
        }
        expected.insert(expected.end(), {{t, file ? 66 : 33}, {k, 0}});
    }
    for (int p = 20; p <= 100; p += 20) {
        expected.emplace_back(k, p);
    }
    expected.insert(expected.end(), {{k, 100}, {t, 100}});
    EXPECT_EQ(log.progress, expected);
    EXPECT_EQ(log.failure, ExportFailure::None);

    int record = 0;
    for (int file = 1; file <= 3; ++file) {
        const quillon::Workbook book = Read(Workbook(target, file));
        EXPECT_EQ(book.UsedRows(), file < 3 ? 13 : 8) << file;
        EXPECT_EQ(book.UsedColumns(), 10);
        EXPECT_EQ(Gb18030ToUtf8(std::string(book.CellText(2, 1))),
                  "姓名"); // the template's headers stay
        for (int row = 4; row <= book.UsedRows(); ++row) {
            EXPECT_EQ(RowOf(book, row), SheetRow(Record(record++))) << file << ":" << row;
        }
    }
    EXPECT_EQ(record, 25);

    FreshRegister();
    StoreRange(0, 20);
    const auto even = dir / "even" / "book";
    ASSERT_EQ(ExportWorkbooks(even, 10), ExportOutcome::Completed);
    EXPECT_EQ(FilesIn(dir / "even"), (std::vector<std::string>{"book_1.xls", "book_2.xls"}));
}

TEST_F(PackageRunTest, ARecordOfEmptyFieldsIsARowOfEmptyCells) {
    ContactRecord empty;
    empty[kUI_ID] = "0123456789ABCDEF0123456789ABCDEF";
    Store({Record(1), empty, Record(2)});
    const auto target = dir / "out" / "book";
    ASSERT_EQ(ExportWorkbooks(target, 10), ExportOutcome::Completed);
    const quillon::Workbook book = Read(Workbook(target, 1));
    EXPECT_EQ(book.UsedRows(), 6);
    EXPECT_EQ(RowOf(book, 5), std::vector<std::string>(10));
    EXPECT_EQ(RowOf(book, 6), SheetRow(Record(2)));
}

TEST_F(PackageRunTest, AStoppedSpreadsheetExportLeavesOnlyWholeWorkbooks) {
    StoreRange(0, 25);
    ExportLog log;
    const auto target = dir / "out" / "book";
    const auto stopAt = [](int channel, int percent) { return channel == 1126 && percent == 33; };
    EXPECT_EQ(ExportWorkbooks(target, 10, &log, stopAt), ExportOutcome::Stopped);
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>{"book_1.xls"});
    EXPECT_EQ(Read(Workbook(target, 1)).UsedRows(), 13);
    EXPECT_EQ(log.failure, ExportFailure::None);
    EXPECT_EQ(log.end.filesWritten, 1);
    EXPECT_NE(log.progress.back(), (std::pair<int, int>{1126, 100}));
}

TEST_F(PackageRunTest, ASpreadsheetExportThatCannotWriteSaysSoAndStops) {
    StoreRange(0, 25);
    // The second workbook's name is taken by a folder that cannot be replaced.
    std::filesystem::create_directories(dir / "out" / "book_2.xls" / "x");
    ExportLog log;
    EXPECT_EQ(ExportWorkbooks(dir / "out" / "book", 10, &log), ExportOutcome::Failed);
    EXPECT_EQ(log.failure, ExportFailure::FileNotCreated);
    EXPECT_EQ(log.end.filesWritten, 1);
    EXPECT_EQ(FilesIn(dir / "out"), (std::vector<std::string>{"book_1.xls", "book_2.xls"}));
    EXPECT_EQ(Read(Workbook(dir / "out" / "book", 1)).UsedRows(), 13);
    EXPECT_NE(log.progress.back(), (std::pair<int, int>{1126, 100}));

    // An empty register exports nothing, and that is no success.
    FreshRegister();
    ExportLog emptyLog;
    EXPECT_EQ(ExportWorkbooks(dir / "empty" / "book", 10, &emptyLog), ExportOutcome::Failed);
    EXPECT_EQ(emptyLog.failure, ExportFailure::EmptyRegister);
    EXPECT_TRUE(FilesIn(dir / "empty").empty());
}

TEST_F(PackageRunTest, ACellTooLongForTheFormatFailsTheExportInsteadOfBeingCut) {
    ContactRecord r = Record(1);
    r[kOrganization_Detial] = std::string(quillon::xls::kMaxCellCharacters + 1, 'x');
    Store({Record(0), r});
    ExportLog log;
    EXPECT_EQ(ExportWorkbooks(dir / "out" / "book", 10, &log), ExportOutcome::Failed);
    EXPECT_EQ(log.failure, ExportFailure::TextTooLong);
    EXPECT_TRUE(FilesIn(dir / "out").empty());
}

TEST_F(PackageRunTest, TheSpreadsheetExportWritesTheGoldenWorkbook) {
    const std::vector<ContactRecord> golden = GoldenRecords(kGolden / kGoldenCsv);
    ASSERT_EQ(golden.size(), 25u);
    Store(golden);
    const auto target = dir / "out" / kGoldenTarget;
    ASSERT_EQ(ExportWorkbooks(target, 25), ExportOutcome::Completed);
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>{"golden_1.xls"});
    // Set only when the workbook layout is meant to change.
    if (std::getenv("QUILLON_REWRITE_GOLDEN") != nullptr) {
        std::filesystem::copy_file(Workbook(target, 1), Workbook(kGolden / kGoldenTarget, 1),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    EXPECT_EQ(ReadFileBytes(Workbook(target, 1)),
              ReadFileBytes(Workbook(kGolden / kGoldenTarget, 1)));
    const quillon::Workbook book = Read(Workbook(kGolden / kGoldenTarget, 1));
    for (std::size_t i = 0; i < golden.size(); ++i) {
        EXPECT_EQ(RowOf(book, 4 + static_cast<int>(i)), SheetRow(golden[i])) << i;
    }
}

} // namespace
