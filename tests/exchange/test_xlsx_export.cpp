// The .xlsx side of the workbooks: the export, the blank template and the failed rows of an
// .xlsx import, read back by the program's own reader and imported again.
#include "exchange/read_workbook.h"
#include "exchange/template.h"
#include "exchange/xlsx/writer.h"
#include "exchange/zip/zip_reader.h"
#include "package_run_fixture.h"
#include "store/database.h"

#include <fstream>

namespace {

using quillon::WorkbookFormat;

quillon::Workbook Read(const std::filesystem::path& file) {
    quillon::WorkbookResult read = quillon::ReadWorkbookFile(file);
    EXPECT_TRUE(read) << file << ": " << read.detail;
    return std::move(read.workbook);
}

std::string Utf8Cell(const quillon::Workbook& book, int row, int column) {
    return Gb18030ToUtf8(std::string(book.CellText(row, column)));
}

bool IsZipFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string head(4, '\0');
    in.read(head.data(), 4);
    return LooksLikeZip(head);
}

class XlsxRunTest : public PackageRunTest {
protected:
    ExportOutcome ExportXlsx(const std::filesystem::path& target, int perFile,
                             ExportLog* log = nullptr, std::function<bool(int, int)> stopAt = {}) {
        TCThread_Export_01 exporter;
        exporter.SetDatabase(Database());
        exporter.SetTargetName(target);
        exporter.SetFormat(WorkbookFormat::Xlsx);
        exporter.SetMaxPerFile(perFile);
        return RunOnWorker(exporter, log, std::move(stopAt));
    }

    // Every record, every field, as stored (the insertion time aside).
    std::vector<std::vector<std::string>> Register() {
        std::vector<std::vector<std::string>> rows;
        StoreResult<Connection> db = Connection::Open(Database());
        EXPECT_TRUE(db);
        db.value().Query("select UI_ID, User_Name, Mobile_NO, User_Sex, User_Birthday, "
                         "User_Education, Organization_Detial, Recode_Type, Province, City, "
                         "County_Seat from t_address_book order by UI_ID",
                         [&](const std::vector<std::string>& row) { rows.push_back(row); });
        return rows;
    }

    // Texts that a careless writer loses: a character beyond U+FFFF (GB18030's four bytes), what
    // looks like the format's own escape, XML's special characters, a tab and a line feed, a
    // carriage return, and a control character and U+FFFF, which XML cannot hold.
    static std::vector<ContactRecord> AwkwardRecords(int count) {
        std::vector<ContactRecord> records;
        for (int i = 0; i < count; ++i) {
            ContactRecord r = Record(i);
            if (i % 3 == 0) {
                r[kUser_Name] = Gb18030("𠀀𪚥") + std::to_string(i);
            }
            const char* const units[] = {"A&B <公司> \"党支部\" 'x'",
                                         "_x0041_ 单位\t一\n二 _x005F_", "单位 \r\n一\x01二\uFFFF"};
            r[kOrganization_Detial] = Gb18030(units[i % 3]);
            r[kUI_ID] = MakeUIID(r[kUser_Name], r[kMobile_NO]);
            records.push_back(r);
        }
        return records;
    }
};

TEST_F(XlsxRunTest, AnExportedRegisterImportedBackInOverwriteModeIsTheSameRegister) {
    Store(AwkwardRecords(25));
    const auto before = Register();
    ASSERT_EQ(before.size(), 25u);
    ExportLog log;
    const auto target = dir / "out" / "book";
    ASSERT_EQ(ExportXlsx(target, 10, &log), ExportOutcome::Completed);
    // Nothing but the whole workbooks: no scratch file of the library's is left behind.
    EXPECT_EQ(FilesIn(dir / "out"),
              (std::vector<std::string>{"book_1.xlsx", "book_2.xlsx", "book_3.xlsx"}));
    EXPECT_EQ(log.progress.back(), (std::pair<int, int>{1126, 100}));
    const quillon::Workbook first = Read(NumberedOutputFile(target, 1, ".xlsx"));
    EXPECT_EQ(first.UsedRows(), 13);
    EXPECT_EQ(Utf8Cell(first, 2, 1), "姓名");
    EXPECT_EQ(Utf8Cell(first, 3, 6), "省(区、市)");

    // Another installation's register, replaced by the files.
    FreshRegister();
    StoreRange(100, 3);
    RecordingReport report;
    ASSERT_TRUE(ImportWorkbooks({NumberedOutputFile(target, 1, ".xlsx"),
                                 NumberedOutputFile(target, 2, ".xlsx"),
                                 NumberedOutputFile(target, 3, ".xlsx")},
                                ImportMode::Overwrite, report));
    EXPECT_EQ(Register(), before);
    EXPECT_FALSE(std::filesystem::exists(dir / "failed") &&
                 !std::filesystem::is_empty(dir / "failed"));
}

TEST_F(XlsxRunTest, AStoppedOrFailedXlsxExportLeavesOnlyWholeWorkbooks) {
    StoreRange(0, 25);
    ExportLog stopped;
    const auto stopAt = [](int channel, int percent) { return channel == 1126 && percent == 33; };
    EXPECT_EQ(ExportXlsx(dir / "stop" / "book", 10, &stopped, stopAt), ExportOutcome::Stopped);
    EXPECT_EQ(FilesIn(dir / "stop"), std::vector<std::string>{"book_1.xlsx"});
    EXPECT_EQ(Read(dir / "stop" / "book_1.xlsx").UsedRows(), 13);

    // The second file's name is a folder that cannot be replaced: it stays as it was.
    std::filesystem::create_directories(dir / "taken" / "book_2.xlsx" / "x");
    ExportLog taken;
    EXPECT_EQ(ExportXlsx(dir / "taken" / "book", 10, &taken), ExportOutcome::Failed);
    EXPECT_EQ(taken.failure, ExportFailure::FileNotCreated);
    EXPECT_EQ(taken.end.filesWritten, 1);
    EXPECT_EQ(FilesIn(dir / "taken"), (std::vector<std::string>{"book_1.xlsx", "book_2.xlsx"}));
    EXPECT_TRUE(std::filesystem::exists(dir / "taken" / "book_2.xlsx" / "x"));

    // A cell longer than the format holds fails the export in its file, which never appears.
    ContactRecord tooLong = Record(99);
    tooLong[kOrganization_Detial] = std::string(quillon::xlsx::kMaxCellCharacters + 1, 'x');
    Store({tooLong});
    ExportLog failed;
    EXPECT_EQ(ExportXlsx(dir / "long" / "book", 20, &failed), ExportOutcome::Failed);
    EXPECT_EQ(failed.failure, ExportFailure::TextTooLong);
    const std::vector<std::string> left = FilesIn(dir / "long");
    EXPECT_LE(left.size(), 1u);
    for (const std::string& name : left) {
        EXPECT_EQ(name, "book_1.xlsx");
    }
}

TEST(XlsxTemplate, AWorkbookSavedAgainHoldsTheRowsAddedSince) {
    // The rows that an import sends back are saved as they come, into the same workbook.
    TempDir dir;
    const auto file = dir / "rows.xlsx";
    quillon::xlsx::TemplateWorkbook book(file);
    ASSERT_TRUE(book.Status());
    const auto addRows = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            const std::string name = "row " + std::to_string(i);
            const std::string_view cells[] = {name, "男"};
            ASSERT_TRUE(book.AddRowUtf8(cells));
        }
    };
    addRows(0, 1);
    ASSERT_TRUE(book.Save());
    EXPECT_EQ(Read(file).UsedRows(), 4);
    addRows(1, 3000); // past a deflated piece
    ASSERT_TRUE(book.Save());
    addRows(3000, 3001);
    ASSERT_TRUE(book.Save());
    const quillon::Workbook saved = Read(file);
    EXPECT_EQ(saved.UsedRows(), 3004);
    EXPECT_EQ(Utf8Cell(saved, 4, 1), "row 0");
    EXPECT_EQ(Utf8Cell(saved, 3004, 1), "row 3000");
    EXPECT_EQ(Utf8Cell(saved, 3004, 2), "男");
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"rows.xlsx"});
}

TEST(XlsxExportSettings, TheRecordsPerFileFollowTheFormatWhicheverIsSetFirst) {
    TCThread_Export_01 exporter;
    exporter.SetMaxPerFile(2'000'000);
    EXPECT_EQ(exporter.Settings().maxPerFile, 60000);
    exporter.SetFormat(WorkbookFormat::Xlsx);
    EXPECT_EQ(exporter.Settings().maxPerFile, 1'048'573);
    exporter.SetMaxPerFile(100'000);
    EXPECT_EQ(exporter.Settings().maxPerFile, 100'000);
    exporter.SetFormat(WorkbookFormat::Xls);
    EXPECT_EQ(exporter.Settings().maxPerFile, 60000);
    exporter.SetMaxPerFile(5);
    EXPECT_EQ(exporter.Settings().maxPerFile, 10);
}

TEST(XlsxTemplate, TheBlankFormIsSavedWholeOrNotAtAll) {
    TempDir dir;
    const auto file = dir / "form.xlsx";
    { std::ofstream(file) << std::string(1 << 20, 'x'); }
    std::string why;
    ASSERT_TRUE(quillon::SaveSpreadsheetTemplate(file, WorkbookFormat::Xlsx, &why)) << why;
    EXPECT_TRUE(IsZipFile(file));
    const quillon::Workbook form = Read(file);
    EXPECT_EQ(form.SheetName(), "Sheet1");
    EXPECT_EQ(form.UsedRows(), 3);
    EXPECT_EQ(form.UsedColumns(), 10);
    EXPECT_EQ(Utf8Cell(form, 2, 10), "手机号码");
    EXPECT_EQ(Utf8Cell(form, 3, 8), "县(市、区、旗)");
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"form.xlsx"});

    EXPECT_FALSE(quillon::SaveSpreadsheetTemplate(dir / "missing" / "form.xlsx",
                                                  WorkbookFormat::Xlsx, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));

    EXPECT_EQ(quillon::WorkbookFormatOfName("a/b.XLSX", WorkbookFormat::Xls), WorkbookFormat::Xlsx);
    EXPECT_EQ(quillon::WorkbookFormatOfName("b.xls", WorkbookFormat::Xlsx), WorkbookFormat::Xls);
    EXPECT_EQ(quillon::WorkbookFormatOfName("b.xls.bak", WorkbookFormat::Xlsx),
              WorkbookFormat::Xlsx);
}

TEST_F(XlsxRunTest, TheFailedRowsOfAnXlsxImportGoBackInXlsxWorkbooks) {
    StoreRange(0, 1);
    ContactRecord bad = Record(2);
    bad[kUser_Sex] = Gb18030("未知");
    const auto source = dir / "in.xlsx";
    {
        quillon::xlsx::TemplateWorkbook book(source);
        for (const ContactRecord& r : {Record(1), bad, Record(0)}) {
            std::vector<std::string> cells;
            for (ContactField f :
                 {kUser_Name, kUser_Sex, kUser_Birthday, kUser_Education, kRecode_Type, kProvince,
                  kCity, kCounty_Seat, kOrganization_Detial, kMobile_NO}) {
                cells.push_back(r[f]);
            }
            ASSERT_TRUE(book.AddRowGb18030(cells));
        }
        ASSERT_TRUE(book.Save());
    }
    RecordingReport report;
    ASSERT_TRUE(ImportWorkbooks({source}, ImportMode::Append, report));
    EXPECT_EQ(Count(), 2);
    ASSERT_EQ(run->RejectedWorkbook().extension(), ".xlsx");
    ASSERT_EQ(run->DuplicateWorkbook().extension(), ".xlsx");
    EXPECT_EQ(FilesIn(dir / "failed").size(), 2u);
    const quillon::Workbook rejected = Read(run->RejectedWorkbook());
    EXPECT_TRUE(IsZipFile(run->RejectedWorkbook()));
    EXPECT_EQ(rejected.UsedRows(), 4);
    EXPECT_EQ(Utf8Cell(rejected, 4, 1), "张2");
    EXPECT_EQ(Utf8Cell(rejected, 4, 2), "未知");
    EXPECT_NE(Utf8Cell(rejected, 4, 11).find("性别"), std::string::npos);
    const quillon::Workbook duplicates = Read(run->DuplicateWorkbook());
    EXPECT_EQ(Utf8Cell(duplicates, 4, 1), "张0");
    EXPECT_EQ(Utf8Cell(duplicates, 4, 11), "重复数据");
}

} // namespace
