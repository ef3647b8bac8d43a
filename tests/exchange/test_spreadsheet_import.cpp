#include "exchange/import/failed_rows.h"
#include "exchange/read_workbook.h"
#include "exchange/spreadsheet.h"
#include "exchange/xls/container.h"
#include "exchange/xls/records.h"
#include "exchange/xlsx/writer.h"
#include "exchange/zip/zip_reader.h"
#include "package_run_fixture.h"
#include "workbook_rows.h"

#include <fstream>

namespace {

class SpreadsheetImportTest : public PackageRunTest {
protected:
    std::vector<std::string> Stored(const std::string& columns) {
        std::vector<std::string> rows;
        StoreResult<Connection> db = Connection::Open(Database());
        EXPECT_TRUE(db);
        db.value().Query("select " + columns + " from t_address_book order by Mobile_NO",
                         [&](const std::vector<std::string>& row) {
                             std::string line;
                             for (const std::string& v : row) {
                                 line += (line.empty() ? "" : "|") + Gb18030ToUtf8(v);
                             }
                             rows.push_back(line);
                         });
        return rows;
    }
};

TEST_F(SpreadsheetImportTest, ExportedWorkbooksComeBackWhole) {
    StoreRange(0, 25);
    const auto target = dir / "out" / "book";
    ASSERT_EQ(ExportWorkbooks(target, 10), ExportOutcome::Completed);
    const std::vector<std::string> before = Stored("UI_ID, User_Name, User_Birthday, City");
    FreshRegister();
    RecordingReport report;
    ASSERT_TRUE(ImportWorkbooks({NumberedOutputFile(target, 1, ".xls"),
                                 NumberedOutputFile(target, 2, ".xls"),
                                 NumberedOutputFile(target, 3, ".xls")},
                                ImportMode::Overwrite, report));
    EXPECT_EQ(Stored("UI_ID, User_Name, User_Birthday, City"), before);
    ASSERT_GE(report.lines.size(), 5u);
    EXPECT_EQ(report.lines[0], "开始导入book_1.xls文件");
    EXPECT_EQ(report.lines[1], "文件导入完成，导入结果为：");
    EXPECT_EQ(report.lines[2], std::string(29, '-'));
    EXPECT_EQ(report.lines[3], "10行数据成功导入数据库");
    EXPECT_EQ(report.lines.back(), std::string(29, '-'));
    EXPECT_TRUE(report.boxes.empty());
}

TEST_F(SpreadsheetImportTest, RowsAreCheckedStoredOrWrittenBackWithTheirReasons) {
    Store({Record(7)}); // 张7, 13500000007
    Row slashDate = Good(1, "李?四");
    slashDate[2] = "1980/1/2";
    Row noDay = Good(2);
    noDay[2] = "2001-02-30";
    Row badMobile = Good(3);
    badMobile[9] = "1251234567a";
    Row hostile = Good(4, "'); drop table t_address_book; --");
    hostile[8] = "O'Brien's 公司";
    Row duplicate = Good(7, "张7");
    Row otherCounty = Good(5);
    otherCounty[5] = "湖北省";
    otherCounty[6] = "省直辖县级行政区划";
    otherCounty[7] = "仙桃市";
    const auto file = MakeWorkbook(dir / "in" / "rows.xls", {slashDate, noDay, Row(10), badMobile,
                                                             hostile, duplicate, otherCounty});
    RecordingReport report;
    ASSERT_TRUE(ImportWorkbooks({file}, ImportMode::Append, report));
    EXPECT_EQ(run->Counters().inserted, 3);
    EXPECT_EQ(run->Counters().rejected, 2);
    EXPECT_EQ(run->Counters().duplicates, 1);
    EXPECT_EQ(run->Counters().accepted, 4);
    EXPECT_EQ(report.lines,
              (std::vector<std::string>{"开始导入rows.xls文件", "文件导入完成，导入结果为：",
                                        std::string(29, '-'), "3行数据成功导入数据库",
                                        "2行非法数据", "1行重复数据。", std::string(29, '-')}));
    // The name's "?" is stored as "-", its identifier made from the name as stored; the date
    // is stored in full; the quotes come back as they went in.
    const std::vector<std::string> stored =
        Stored("UI_ID, User_Name, User_Birthday, Organization_Detial, County_Seat");
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[0],
              MakeUIID(Gb18030("李-四"), "13500000001") + "|李-四|1980-01-02|某单位 书记|长安区");
    EXPECT_EQ(stored[1], MakeUIID("'); drop table t_address_book; --", "13500000004") +
                             "|'); drop table t_address_book; --|1980-01-02|O'Brien's 公司|长安区");
    EXPECT_NE(stored[2].find("仙桃市"), std::string::npos);

    const std::vector<Row> rejected = RowsOf(run->RejectedWorkbook());
    ASSERT_EQ(rejected.size(), 2u);
    EXPECT_EQ(rejected[0][2], "2001-02-30");
    EXPECT_EQ(rejected[0][10], "日期格式应该为xxxx-xx-xx;\n");
    EXPECT_EQ(rejected[1][9], "1251234567a");
    EXPECT_EQ(rejected[1][10], "手机号第二位不是3至9;\n手机号中有非数字;\n");
    const std::vector<Row> duplicates = RowsOf(run->DuplicateWorkbook());
    ASSERT_EQ(duplicates.size(), 1u);
    EXPECT_EQ(duplicates[0][0], "张7");
    EXPECT_EQ(duplicates[0][10], "重复数据");
}

// Texts a column repeats are converted for the database once and kept, up to a limit per
// column; past it each row's texts are converted on their own. Either way every column of
// every row is stored as it was written, the birthday in its stored form.
TEST_F(SpreadsheetImportTest, EveryTextIsStoredAsWrittenWhetherItsColumnRepeatsItOrNot) {
    std::vector<Row> rows;
    std::vector<std::string> expected;
    for (int i = 0; i < 1500; ++i) {
        Row row = Good(i, "张" + std::to_string(i));
        row[1] = i % 2 ? "男" : "女";
        row[2] = i % 3 ? "1980-01-02" : "1980/1/2";
        row[8] = "单位" + std::to_string(i);
        rows.push_back(row);
        expected.push_back(row[0] + "|" + row[1] + "|1980-01-02|" + row[8] + "|" + row[9]);
    }
    RecordingReport report;
    ASSERT_TRUE(ImportWorkbooks({MakeWorkbook(dir / "in" / "texts.xls", rows)}, ImportMode::Append,
                                report));
    EXPECT_EQ(Stored("User_Name, User_Sex, User_Birthday, Organization_Detial, Mobile_NO"),
              expected);
}

TEST_F(SpreadsheetImportTest, FilesThatHoldNoRowsEndWithTheirLine) {
    const auto headersOnly = MakeWorkbook(dir / "in" / "headers.xls", {});
    const auto emptyRows = MakeWorkbook(dir / "in" / "empty.xls", {Row(10), Row(10)});
    WriteFileBytes(dir / "in" / "text.xls", "name,mobile\n");
    WriteFileBytes(dir / "in" / "book.qsec", "not a workbook");
    struct Case {
        std::filesystem::path file;
        std::string line;
    } cases[] = {
        {headersOnly, "excel只有表头，无数据！"},
        {emptyRows, "开始导入empty.xls文件\nexcel无数据！无法导入"},
        {dir / "in" / "text.xls", "打开" + (dir / "in" / "text.xls").string() + "文件失败!"},
        {dir / "in" / "book.qsec", "导入文件不是Excel文件！"},
        {dir / "in" / "missing.xls", "打开" + (dir / "in" / "missing.xls").string() + "文件失败!"},
    };
    for (const Case& c : cases) {
        RecordingReport report;
        EXPECT_FALSE(ImportWorkbooks({c.file}, ImportMode::Append, report));
        std::string lines;
        for (const std::string& line : report.lines) {
            lines += (lines.empty() ? "" : "\n") + line;
        }
        EXPECT_EQ(lines, c.line) << c.file;
    }
    EXPECT_EQ(Count(), 0);
}

TEST_F(SpreadsheetImportTest, ACancelTakesBackThisFilesRowsAndAnOverwriteLeavesTheOldRegister) {
    StoreRange(100000, 3);
    constexpr int batch = static_cast<int>(kSpreadsheetRowsPerCommit);
    constexpr int stopAt = batch + batch / 2;
    std::vector<Row> rows;
    for (int i = 0; i < 2 * batch + batch / 2; ++i) {
        rows.push_back(Good(i, "王" + std::to_string(i)));
    }
    const auto file = MakeWorkbook(dir / "in" / "big.xls", rows);

    RecordingReport append;
    append.stopWhen = [](const RecordingReport& r) { return r.position >= stopAt; };
    EXPECT_FALSE(ImportWorkbooks({file}, ImportMode::Append, append));
    // The batch going in is rolled back at the stop; the committed one is taken back by id.
    EXPECT_EQ(run->ImportedIds().size(), std::size_t{batch});
    EXPECT_EQ(Count(), 3 + batch);
    EXPECT_EQ(run->DeleteImportedRecords(), ImportDatabase::DeleteOutcome::Done);
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(append.lines.back(),
              "已取消导入，本文件已导入的" + std::to_string(stopAt) + "条记录已撤回。");

    RecordingReport overwrite;
    overwrite.stopWhen = [](const RecordingReport& r) { return r.position >= stopAt; };
    EXPECT_FALSE(ImportWorkbooks({file}, ImportMode::Overwrite, overwrite));
    EXPECT_TRUE(run->ImportedIds().empty());
    EXPECT_EQ(Count(), 3);
    run->DeleteImportedRecords();
    EXPECT_EQ(overwrite.lines.back(), "已取消导入，原有通讯录保持不变。");
    EXPECT_EQ(Count(), 3);

    RecordingReport whole;
    ASSERT_TRUE(ImportWorkbooks({file}, ImportMode::Overwrite, whole));
    EXPECT_EQ(Count(), 2 * batch + batch / 2);
}

TEST_F(SpreadsheetImportTest, AreasWrittenTheUsualWaysAreFiledWhereTheTableKeepsThemAndCounted) {
    const auto row = [](int i, const std::string& province, const std::string& city,
                        const std::string& county) {
        Row r = Good(i, "赵" + std::to_string(i));
        r[5] = province;
        r[6] = city;
        r[7] = county;
        return r;
    };
    const auto file =
        MakeWorkbook(dir / "in" / "areas.xls",
                     {row(1, "北京市", "北京市", "海淀区"), row(2, "北京市", "市辖区", "海淀区"),
                      row(3, "北京市", "", "海淀区"), row(4, "湖北省", "仙桃市", ""),
                      row(5, " 河北 ", "石家庄", "长安"), row(6, "江苏省", "", "鼓楼区"),
                      row(7, "河北省", "石家庄市", "长安区")});
    RecordingReport report;
    ASSERT_TRUE(ImportWorkbooks({file}, ImportMode::Append, report));
    EXPECT_EQ(
        Stored("User_Name, Province, City, County_Seat"),
        (std::vector<std::string>{"赵1|北京市|海淀区|", "赵2|北京市|海淀区|", "赵3|北京市|海淀区|",
                                  "赵4|湖北省|省直辖县级行政区划|仙桃市",
                                  "赵5|河北省|石家庄市|长安区", "赵7|河北省|石家庄市|长安区"}));
    // Four were filed elsewhere; the short names and the row written as the table has it
    // are not counted.
    EXPECT_NE(std::find(report.lines.begin(), report.lines.end(),
                        "其中4行的地区按省市县组织结构表的写法导入"),
              report.lines.end());
    const std::vector<Row> rejected = RowsOf(run->RejectedWorkbook());
    ASSERT_EQ(rejected.size(), 1u);
    EXPECT_EQ(rejected[0][7], "鼓楼区"); // two cities of the province have one
}

// Whether the workbook's first sheet merges K2:K3, as the template merges each heading of
// one column over both header rows (and, in an .xlsx, gives K a width; the golden .xls
// shows its width).
bool MergesK2ToK3(const std::filesystem::path& file) {
    const std::string bytes = ReadFileBytes(file);
    if (LooksLikeZip(bytes)) {
        ZipReader zip(bytes);
        std::string sheet;
        return zip.Read("xl/worksheets/sheet1.xml", 1 << 26, sheet) &&
               sheet.find("<mergeCell ref=\"K2:K3\"/>") != std::string::npos &&
               sheet.find("<col min=\"11\" max=\"11\"") != std::string::npos;
    }
    const quillon::ByteSpan file_bytes(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                       bytes.size());
    const quillon::xls::BytesResult stream =
        quillon::xls::ReadCompoundStream(file_bytes, "Workbook");
    if (!stream) {
        return false;
    }
    // Up to the first sheet's end: rows and columns from 0, the last row before the columns.
    const std::uint8_t k2k3[] = {1, 0, 2, 0, 10, 0, 10, 0};
    quillon::xls::RecordWalker walk(stream.bytes);
    quillon::xls::Record record;
    for (int ends = 0; ends < 2 && walk.Next(record);) {
        ends += record.id == quillon::xls::rec::kEof ? 1 : 0;
        if (record.id != quillon::xls::rec::kMergedCells) {
            continue;
        }
        for (std::size_t at = 2; at + 8 <= record.data.size(); at += 8) {
            if (std::equal(std::begin(k2k3), std::end(k2k3), record.data.begin() + at)) {
                return true;
            }
        }
    }
    return false;
}

// A person fixes the rows sent back and imports the same workbook again: its headings,
// the reason's among them, are passed over as the template's are, and the reasons left
// aside, in either format.
TEST_F(SpreadsheetImportTest, FailedRowsWorkbooksHeadTheReasonsAndImportBackOnceFixed) {
    for (const quillon::WorkbookFormat format :
         {quillon::WorkbookFormat::Xls, quillon::WorkbookFormat::Xlsx}) {
        const bool xlsx = format == quillon::WorkbookFormat::Xlsx;
        SCOPED_TRACE(xlsx ? "xlsx" : "xls");
        FreshRegister();
        Store({Record(7)});
        Row tenDigits = Good(1);
        tenDigits[9] = "1351234567";
        const std::vector<Row> rows = {tenDigits, Good(7, "张7"), Good(2)};
        std::filesystem::path source = dir / "in" / (xlsx ? "rows.xlsx" : "rows.xls");
        if (xlsx) {
            quillon::xlsx::TemplateWorkbook book(source);
            for (const Row& row : rows) {
                std::vector<std::string_view> cells(row.begin(), row.end());
                ASSERT_TRUE(book.AddRowUtf8(cells));
            }
            ASSERT_TRUE(book.Save());
        } else {
            MakeWorkbook(source, rows);
        }
        RecordingReport first;
        ASSERT_TRUE(ImportWorkbooks({source}, ImportMode::Append, first));
        ASSERT_EQ(run->Counters().rejected, 1);
        ASSERT_EQ(run->Counters().duplicates, 1);
        const std::filesystem::path rejected = run->RejectedWorkbook();
        const std::filesystem::path duplicates = run->DuplicateWorkbook();
        ASSERT_EQ(rejected.extension(), xlsx ? ".xlsx" : ".xls");
        for (const auto& [file, heading] :
             {std::pair{rejected, "错误原因"}, std::pair{duplicates, "重复原因"}}) {
            quillon::WorkbookResult book = quillon::ReadWorkbookFile(file);
            ASSERT_TRUE(book) << book.detail;
            EXPECT_EQ(Gb18030ToUtf8(std::string(book.workbook.CellText(2, 11))), heading);
            EXPECT_EQ(Gb18030ToUtf8(std::string(book.workbook.CellText(2, 10))), "手机号码");
            EXPECT_EQ(book.workbook.CellText(3, 11), "");
            EXPECT_TRUE(MergesK2ToK3(file)) << file;
        }

        // The rejected row as sent back is refused again for the same reason, and only it.
        RecordingReport again;
        ASSERT_TRUE(ImportWorkbooks({rejected}, ImportMode::Append, again));
        EXPECT_EQ(run->Counters().rejected, 1);
        EXPECT_EQ(run->Counters().inserted, 0);
        EXPECT_EQ(RowsOf(run->RejectedWorkbook()), RowsOf(rejected));
        std::filesystem::path fixed = rejected;
        if (!xlsx) {
            quillon::WorkbookError error{};
            std::string detail;
            quillon::Spreadsheet sheet = quillon::Spreadsheet::Open(rejected, error, detail);
            ASSERT_EQ(sheet.SetCellValue(4, 10, "13512345678"),
                      quillon::xls::SheetWriteError::None);
            fixed = dir / "in" / "fixed.xls";
            ASSERT_TRUE(sheet.SaveAs(fixed));
            EXPECT_TRUE(MergesK2ToK3(fixed));
        }
        FreshRegister();
        RecordingReport back;
        ASSERT_TRUE(ImportWorkbooks({fixed, duplicates}, ImportMode::Append, back));
        std::vector<std::string> expected = {"张7|13500000007"};
        if (!xlsx) {
            expected.push_back("张三|13512345678");
        }
        EXPECT_EQ(Stored("User_Name, Mobile_NO"), expected);
    }
}

// A cell holds 32767 UTF-16 units; a text of characters beyond U+FFFF, cut by characters,
// would be refused whole and leave its cell empty.
TEST(FailedRowsWorkbook, ALongTextOfExtensionBCharactersIsCutToWhatACellHolds) {
    TempDir dir;
    FailedRowsWorkbook rows(dir / "bad.xls", FailedRowsWorkbook::Kind::Rejected);
    ContactRecord record;
    std::string longName;
    for (int i = 0; i < 20000; ++i) {
        longName += Gb18030("𠀾");
    }
    record[kUser_Name] = longName;
    ASSERT_TRUE(rows.Add(record, Gb18030("姓名长度有误;")));
    ASSERT_TRUE(rows.Save());
    quillon::WorkbookResult book = quillon::ReadWorkbookFile(dir / "bad.xls");
    ASSERT_TRUE(book) << book.detail;
    EXPECT_EQ(book.workbook.CellText(4, 1), longName.substr(0, 4 * 16383));
    EXPECT_EQ(Gb18030ToUtf8(std::string(book.workbook.CellText(4, 11))), "姓名长度有误;");
}

TEST(FailedRowsWorkbook, AFullSheetGoesOnInTheNextWorkbookAndLongTextsAreCut) {
    TempDir dir;
    FailedRowsWorkbook rows(dir / "bad.xls", FailedRowsWorkbook::Kind::Duplicates);
    ContactRecord record;
    record[kUser_Name] = "n";
    const std::string reason(40000, 'x');
    for (std::size_t i = 0; i < FailedRowsWorkbook::kRowsPerWorkbook + 2; ++i) {
        record[kMobile_NO] = std::to_string(i);
        ASSERT_TRUE(rows.Add(record, i == 0 ? reason : "r"));
    }
    ASSERT_TRUE(rows.Save());
    EXPECT_EQ(rows.File(), dir / "bad_2.xls");
    quillon::WorkbookResult first = quillon::ReadWorkbookFile(dir / "bad.xls");
    ASSERT_TRUE(first) << first.detail;
    EXPECT_EQ(first.workbook.UsedRows(), 65536);
    EXPECT_EQ(first.workbook.CellText(4, 11), std::string(32767, 'x'));
    EXPECT_EQ(first.workbook.CellText(65536, 10), std::to_string(65532));
    const std::vector<Row> second = RowsOf(dir / "bad_2.xls");
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[1][9], std::to_string(65534));

    EXPECT_EQ(CutGb18030Text(Gb18030("张三李"), 2), Gb18030("张三"));
    EXPECT_EQ(CutGb18030Text("a" + Gb18030("张"), 1), "a");
    // A cell counts UTF-16 units: a character beyond U+FFFF takes two, and is never split.
    EXPECT_EQ(CutGb18030Text(Gb18030("𠀾𠀾𠀾"), 5), Gb18030("𠀾𠀾"));
    EXPECT_EQ(CutGb18030Text(Gb18030("𠀾𠀾𠀾"), 4), Gb18030("𠀾𠀾"));
    EXPECT_EQ(CutGb18030Text(Gb18030("Zoë"), 3), Gb18030("Zoë"));
}

} // namespace

namespace {

// Every workbook people sent in the shared corpus, damaged ones among them: each file ends
// with its list lines, what it stored is what it counted, and the next file goes on.
TEST_F(SpreadsheetImportTest, EveryCorpusWorkbookEndsWithItsLinesAndStoresWhatItCounts) {
    const std::filesystem::path corpus = QUILLON_WORKBOOK_CORPUS;
    if (!std::filesystem::is_directory(corpus)) {
        GTEST_SKIP() << "no workbook corpus at " << corpus;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    int stored = 0;
    int imported = 0;
    for (const std::filesystem::path& file : files) {
        RecordingReport report;
        const bool ok = ImportWorkbooks({file}, ImportMode::Append, report);
        EXPECT_FALSE(report.lines.empty()) << file;
        EXPECT_TRUE(report.boxes.empty()) << file;
        stored += run->Counters().inserted;
        imported += ok ? 1 : 0;
        ASSERT_EQ(Count(), stored) << file;
    }
    std::printf("%zu corpus workbooks: %d imported, %d rows stored\n", files.size(), imported,
                stored);
}

} // namespace

namespace {

const std::filesystem::path kGolden = QUILLON_GOLDEN_DIR;

// Rows the import must reject or flag, with two it takes, under the login area 河北省.
std::vector<Row> GoldenImportRows() {
    std::vector<Row> rows;
    const auto with = [&](int i, std::size_t column, const std::string& value) {
        Row row = Good(i, "行" + std::to_string(i));
        row[column] = value;
        rows.push_back(row);
    };
    with(1, 2, "19800102");         // eight digits without a dash
    with(2, 2, "1234-5678");        // no second dash
    with(3, 9, "1351234567");       // ten digits
    with(4, 9, "1251234567a");      // second digit and a letter
    with(5, 3, "其他 ");            // taken: the blank around it is not part of it
    with(6, 5, "北京市");           // another province than the login area's
    with(7, 7, "海淀区");           // a county of another city
    with(8, 3, "其它");             // taken
    with(9, 2, "1980/1/2");         // taken, stored as 1980-01-02
    rows.push_back(Good(7, "张7")); // the register holds it already
    return rows;
}

TEST_F(SpreadsheetImportTest, TheImportWritesTheGoldenRejectedAndDuplicateWorkbooks) {
    const auto input = kGolden / "import_rows.xls";
    if (std::getenv("QUILLON_REWRITE_GOLDEN") != nullptr) {
        MakeWorkbook(input, GoldenImportRows());
    }
    Store({Record(7)});
    RecordingReport report;
    ASSERT_TRUE(ImportWorkbooks({input}, ImportMode::Append, report, Gb18030("河北省")));
    EXPECT_EQ(run->Counters().inserted, 3);
    EXPECT_EQ(run->Counters().rejected, 6);
    EXPECT_EQ(run->Counters().duplicates, 1);
    const auto rejected = kGolden / "import_rejected.xls";
    const auto duplicates = kGolden / "import_duplicates.xls";
    if (std::getenv("QUILLON_REWRITE_GOLDEN") != nullptr) {
        std::filesystem::copy_file(run->RejectedWorkbook(), rejected,
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(run->DuplicateWorkbook(), duplicates,
                                   std::filesystem::copy_options::overwrite_existing);
        std::ofstream csv(kGolden / "import_rejected.csv", std::ios::binary);
        for (const Row& row : RowsOf(rejected)) {
            for (std::size_t c = 0; c < row.size(); ++c) {
                std::string quoted;
                for (char ch : row[c]) {
                    quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
                }
                csv << (c ? "," : "") << '"' << quoted << '"';
            }
            csv << "\n";
        }
    }
    EXPECT_EQ(ReadFileBytes(run->RejectedWorkbook()), ReadFileBytes(rejected));
    EXPECT_EQ(ReadFileBytes(run->DuplicateWorkbook()), ReadFileBytes(duplicates));
    const std::vector<Row> rows = RowsOf(rejected);
    ASSERT_EQ(rows.size(), 6u);
    const std::vector<std::string> reasons = {
        "日期格式应该为xxxx-xx-xx;\n日期格式中年应有4位;\n",
        "日期格式应该为xxxx-xx-xx;\n日期格式中月最多2位;\n",
        "手机号不是11位;\n",
        "手机号第二位不是3至9;\n手机号中有非数字;\n",
        "导入非本省数据;\n石家庄市不在北京市;长安区不在石家庄市",
        "海淀区不在石家庄市",
    };
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        EXPECT_EQ(rows[i][10], reasons[i]) << i;
    }
    EXPECT_EQ(RowsOf(duplicates).at(0)[10], "重复数据");
    EXPECT_EQ(Stored("User_Birthday, User_Education").back(), "1980-01-02|大学");
    EXPECT_EQ(Stored("User_Education").front(), "其他"); // 行5, stored without its blank
}

} // namespace
