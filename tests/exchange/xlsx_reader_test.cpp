#include "zip_builder.h"

#include "exchange/read_workbook.h"
#include "exchange/xlsx/reader.h"
#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

using quillon::WorkbookError;

const char* kRootRels =
    R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
    R"(</Relationships>)";

std::string WorkbookXml(const std::string& extra = "") {
    return R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
           R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)" +
           extra + R"(<sheets><sheet name="名单" sheetId="1" r:id="rId1"/></sheets></workbook>)";
}

const char* kWorkbookRels =
    R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)"
    R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="./styles.xml"/>)"
    R"(</Relationships>)";

const char* kStyles =
    R"(<?xml version="1.0"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<numFmts><numFmt numFmtId="164" formatCode="yyyy\-mm\-dd"/><numFmt numFmtId="165" formatCode="000-0000-0000"/></numFmts>)"
    R"(<cellXfs><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="165"/><xf numFmtId="14"/></cellXfs></styleSheet>)";

const char* kSharedStrings =
    R"(<?xml version="1.0"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<si><t>张三</t></si>)"
    R"(<si><r><rPr><b/></rPr><t>rich </t></r><r><t xml:space="preserve">text </t></r><rPh><t>ignored</t></rPh></si>)"
    R"(<si><t xml:space="preserve"> </t></si>)"
    R"(<si><t>a_x000D_b</t></si>)"
    R"(</sst>)";

std::string Sheet(const std::string& rows, const std::string& prefix = "") {
    const std::string p = prefix.empty() ? "" : prefix + ":";
    return "<?xml version=\"1.0\"?><" + p + "worksheet xmlns" +
           (prefix.empty() ? "" : ":" + prefix) +
           "=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
           "<" +
           p + "dimension ref=\"A1:XFD1048576\"/><" + p + "sheetData>" + rows + "</" + p +
           "sheetData></" + p + "worksheet>";
}

std::vector<std::uint8_t> Xlsx(const std::string& sheet, const std::string& workbookExtra = "",
                               const std::string& sharedStrings = kSharedStrings) {
    return zipper::Zip({{"[Content_Types].xml", "<Types/>"},
                        {"_rels/.rels", kRootRels},
                        {"xl/workbook.xml", WorkbookXml(workbookExtra)},
                        {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                        {"xl/styles.xml", kStyles},
                        {"xl/sharedStrings.xml", sharedStrings},
                        {"xl/worksheets/sheet1.xml", sheet}});
}

std::string Text(const quillon::Workbook& book, int row, int column) {
    return Gb18030ToUtf8(std::string(book.CellText(row, column)));
}

TEST(XlsxReader, CellsOfEveryKind) {
    const auto file = Xlsx(Sheet(
        R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="s"><v>2</v></c>)"
        R"(<c r="D1" t="s"><v>3</v></c><c r="E1" t="inlineStr"><is><t>内联</t></is></c></row>)"
        R"(<row r="2"><c r="A2"><v>13588888888</v></c><c r="B2" s="2"><v>13588888888</v></c>)"
        R"(<c r="C2"><v>0.1</v></c><c r="D2"><v>1.5E-7</v></c><c r="E2"><v>-42</v></c></row>)"
        R"(<row r="3"><c r="A3" t="b"><v>1</v></c><c r="B3" t="b"><v>0</v></c><c r="C3" t="e"><v>#DIV/0!</v></c>)"
        R"(<c r="D3" t="str"><f>A1&amp;"x"</f><v>张三x</v></c><c r="E3"><f>1+1</f><v>2</v></c></row>)"
        R"(<row r="4"><c r="A4" s="1"><v>22282</v></c><c r="B4" s="3"><v>45352.35434027778</v></c>)"
        R"(<c r="C4" t="d"><v>2009-01-01T00:00:00</v></c><c r="D4" s="1"/></row>)"));
    const auto result = quillon::ReadWorkbook(file);
    ASSERT_TRUE(result) << result.detail;
    const auto& book = result.workbook;
    EXPECT_EQ(Gb18030ToUtf8(book.SheetName()), "名单");
    EXPECT_EQ(book.UsedRows(), 4); // not the claimed dimension
    EXPECT_EQ(book.UsedColumns(), 5);
    const struct {
        int row, column;
        const char* text;
    } cells[] = {
        {1, 1, "张三"},
        {1, 2, "rich text "},
        {1, 3, " "},
        {1, 4, "a\rb"},
        {1, 5, "内联"},
        {2, 1, "13588888888"},
        {2, 2, "13588888888"},
        {2, 3, "0.1"},
        {2, 4, "1.5e-07"},
        {2, 5, "-42"},
        {3, 1, "TRUE"},
        {3, 2, "FALSE"},
        {3, 3, "#DIV/0!"},
        {3, 4, "张三x"},
        {3, 5, "2"},
        {4, 1, "1961-01-01"},
        {4, 2, "2024-03-01 08:30:15"},
        {4, 3, "2009-01-01"},
        {4, 4, ""},
    };
    for (const auto& c : cells) {
        EXPECT_EQ(Text(book, c.row, c.column), c.text) << c.row << "," << c.column;
    }
}

TEST(XlsxReader, CellsWithoutReferencesAndPrefixedElements) {
    const auto file =
        Xlsx(Sheet(R"(<x:row><x:c><x:v>1</x:v></x:c><x:c><x:v>2</x:v></x:c></x:row>)"
                   R"(<x:row r="5"><x:c r="C5"><x:v>3</x:v></x:c><x:c><x:v>4</x:v></x:c></x:row>)"
                   R"(<x:row><x:c t="s"><x:v>0</x:v></x:c></x:row>)",
                   "x"),
             R"(<workbookPr date1904="1"/>)");
    const auto result = quillon::ReadWorkbook(file);
    ASSERT_TRUE(result) << result.detail;
    const auto& book = result.workbook;
    EXPECT_EQ(Text(book, 1, 1), "1");
    EXPECT_EQ(Text(book, 1, 2), "2");
    EXPECT_EQ(Text(book, 5, 3), "3");
    EXPECT_EQ(Text(book, 5, 4), "4");
    EXPECT_EQ(Text(book, 6, 1), "张三");
    EXPECT_EQ(book.UsedRows(), 6);
    EXPECT_EQ(book.UsedColumns(), 4);
}

TEST(XlsxReader, TheDateSystemOfTheWorkbookApplies) {
    const auto file = Xlsx(Sheet(R"(<row r="1"><c r="A1" s="1"><v>20820</v></c></row>)"),
                           R"(<workbookPr date1904="true"/>)");
    const auto result = quillon::ReadWorkbook(file);
    ASSERT_TRUE(result) << result.detail;
    EXPECT_EQ(Text(result.workbook, 1, 1), "1961-01-01");
}

TEST(XlsxReader, APartThatInflatesPastTheLimitIsRefused) {
    // 64 MB of blanks squeeze into a few hundred kilobytes.
    const std::string blanks(64u << 20, ' ');
    quillon::xlsx::Limits limits;
    limits.maxPartBytes = 8u << 20;
    limits.maxTreePartBytes = 4u << 20;
    const struct {
        const char* name;
        std::vector<std::uint8_t> file;
    } cases[] = {
        {"the sheet (streamed)", Xlsx(Sheet(blanks))},
        {"the workbook part (parsed whole)", Xlsx(Sheet(""), blanks)},
    };
    for (const auto& c : cases) {
        ASSERT_LT(c.file.size(), 1u << 20) << c.name;
        const auto result = quillon::xlsx::ReadXlsx(c.file, limits);
        EXPECT_EQ(result.error, WorkbookError::TooLarge) << c.name << ": " << result.detail;
    }
}

TEST(XlsxReader, ASheetPastTheLimitIsReadWhenItPacksLikeRecords) {
    // Rows of numbered texts pack some fifteen times, as the sheets of records do: a sheet
    // twice the floor is read, since it stays under a hundred times its packed size.
    std::string rows;
    for (int row = 1; rows.size() < (std::size_t{2} << 20); ++row) {
        const std::string n = std::to_string(row * 7919 % 1000003);
        rows += "<row r=\"" + std::to_string(row) + "\"><c r=\"A" + std::to_string(row) +
                "\" t=\"inlineStr\"><is><t>" + n + "</t></is></c></row>";
    }
    quillon::xlsx::Limits limits;
    limits.maxPartBytes = 1u << 20;
    const auto result = quillon::xlsx::ReadXlsx(Xlsx(Sheet(rows)), limits);
    ASSERT_TRUE(result) << result.detail;
    EXPECT_GT(result.workbook.UsedRows(), 10000);
}

TEST(XlsxReader, MoreCellsOrTextThanTheWorkbookTakesAreRefused) {
    // Since a part may inflate far, what the workbook holds of it is bounded on its own.
    quillon::xlsx::Limits limits;
    limits.maxCells = 1000;
    limits.maxTextBytes = 4096;
    std::string cells;
    for (int i = 0; i < 1001; ++i) {
        cells += "<c><v>1</v></c>";
    }
    const std::string longText(5000, 'x');
    const struct {
        const char* name;
        std::vector<std::uint8_t> file;
    } cases[] = {
        {"cells", Xlsx(Sheet("<row>" + cells + "</row>"))},
        {"an inline text",
         Xlsx(Sheet("<row><c t=\"inlineStr\"><is><t>" + longText + "</t></is></c></row>"))},
        {"shared strings", Xlsx(Sheet(""), "",
                                "<sst><si><t>" + longText.substr(0, 3000) + "</t></si><si><t>" +
                                    longText.substr(0, 3000) + "</t></si></sst>")},
    };
    for (const auto& c : cases) {
        const auto result = quillon::xlsx::ReadXlsx(c.file, limits);
        EXPECT_EQ(result.error, WorkbookError::TooLarge) << c.name << ": " << result.detail;
    }
    EXPECT_TRUE(
        quillon::xlsx::ReadXlsx(Xlsx(Sheet("<row>" + cells.substr(15) + "</row>")), limits));
}

TEST(XlsxReader, BrokenPartsAreNamedAsDamage) {
    const struct {
        const char* name;
        std::string sheet;
    } cases[] = {
        {"malformed XML", "<worksheet><sheetData><row>"},
        {"shared string out of range", Sheet(R"(<row r="1"><c r="A1" t="s"><v>99</v></c></row>)")},
        {"shared string with more after it",
         Sheet(R"(<row r="1"><c r="A1" t="s"><v>1x</v></c></row>)")},
        {"row past the last", Sheet(R"(<row r="1048577"><c><v>1</v></c></row>)")},
        {"row that wraps round to 1", Sheet(R"(<row r="4294967297"><c><v>1</v></c></row>)")},
        {"row number with more after it", Sheet(R"(<row r="2x"><c><v>1</v></c></row>)")},
        {"column past the last", Sheet(R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)")},
        {"reference that is no cell", Sheet(R"(<row r="1"><c r="1A"><v>1</v></c></row>)")},
    };
    for (const auto& c : cases) {
        const auto result = quillon::ReadWorkbook(Xlsx(c.sheet));
        EXPECT_EQ(result.error, WorkbookError::Damaged) << c.name << ": " << result.detail;
        EXPECT_FALSE(result.detail.empty()) << c.name;
    }
}

TEST(XlsxReader, AStyleNumberPastTheStylesIsNoStyle) {
    // 2^32 + 1 would wrap round to style 1, a date format.
    const auto result = quillon::ReadWorkbook(
        Xlsx(Sheet(R"(<row r="1"><c r="A1" s="4294967297"><v>22282</v></c></row>)")));
    ASSERT_TRUE(result) << result.detail;
    EXPECT_EQ(Text(result.workbook, 1, 1), "22282");
}

TEST(XlsxReader, MoreSharedStringsThanAnySheetHoldsAreRefused) {
    std::string items = R"(<?xml version="1.0"?><sst>)";
    for (std::size_t i = 0; i <= quillon::Workbook::kMaxSharedStrings; ++i) {
        items += "<si/>";
    }
    items += "</sst>";
    const auto result = quillon::ReadWorkbook(Xlsx(Sheet(""), "", items));
    EXPECT_EQ(result.error, WorkbookError::TooLarge) << result.detail;
    EXPECT_NE(result.detail.find("shared strings"), std::string::npos) << result.detail;
}

TEST(XlsxReader, TheSheetIsFoundAmongManyThatNameNoRelationship) {
    std::string sheets;
    std::string rels;
    for (int i = 0; i < 3000; ++i) {
        sheets += R"(<sheet name="s" sheetId="1" r:id="none)" + std::to_string(i) + R"("/>)";
        rels +=
            R"(<Relationship Id="other)" + std::to_string(i) +
            R"(" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="x.xml"/>)";
    }
    const std::string workbook =
        R"(<?xml version="1.0"?><workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
        "<sheets>" +
        sheets + R"(<sheet name="名单" sheetId="2" r:id="rId1"/></sheets></workbook>)";
    const std::string workbookRels =
        R"(<?xml version="1.0"?><Relationships>)" + rels +
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
        "</Relationships>";
    const auto result = quillon::ReadWorkbook(
        zipper::Zip({{"_rels/.rels", kRootRels},
                     {"xl/workbook.xml", workbook},
                     {"xl/_rels/workbook.xml.rels", workbookRels},
                     {"xl/worksheets/sheet1.xml", Sheet(R"(<row><c><v>7</v></c></row>)")}}));
    ASSERT_TRUE(result) << result.detail;
    EXPECT_EQ(Gb18030ToUtf8(result.workbook.SheetName()), "名单");
    EXPECT_EQ(Text(result.workbook, 1, 1), "7");
}

} // namespace
