#include "biff_builder.h"

#include "exchange/read_workbook.h"
#include "exchange/template.h"
#include "exchange/xls/container.h"
#include "exchange/xls/reader.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using biff::Body;
using biff::Book;
using biff::Bytes;
using quillon::ByteWriter;
using quillon::WorkbookError;
namespace rec = quillon::xls::rec;

struct Expected {
    int row;
    int column;
    const char* text; // UTF-8
};

void ExpectCells(const quillon::Workbook& book, std::initializer_list<Expected> cells) {
    for (const Expected& e : cells) {
        EXPECT_EQ(Gb18030ToUtf8(std::string(book.CellText(e.row, e.column))), e.text)
            << "row " << e.row << ", column " << e.column;
    }
}

quillon::WorkbookResult Read(const Book& book) {
    const Bytes file = book.File();
    return quillon::ReadWorkbook(file);
}

Bytes Rk(std::uint16_t row, std::uint16_t column, std::uint32_t rk, std::uint16_t xf = 0) {
    return biff::Cell(row, column, xf, Body([&](ByteWriter& w) { w.U32(rk); }));
}

TEST(XlsReader, CellsOfEveryKind) {
    Book book;
    biff::AddXfs(book, 0);
    book.Global(rec::kSst, Body([](ByteWriter& w) {
                    w.U32(2);
                    w.U32(2);
                    biff::String(w, u"shared");
                    biff::String(w, u"手机号码");
                }));
    book.Sheet(rec::kDimensions, Body([](ByteWriter& w) {
                   w.U32(0);
                   w.U32(3);
                   w.U16(0);
                   w.U16(5);
                   w.U16(0);
               }));
    book.Sheet(rec::kNumber, biff::Number(0, 0, 13588888888.0));
    book.Sheet(rec::kRk, Rk(0, 1, (42u << 2) | 0x02));   // integer
    book.Sheet(rec::kRk, Rk(0, 2, (1234u << 2) | 0x03)); // integer / 100
    book.Sheet(rec::kRk, Rk(0, 3, 0x3FF80000u));         // 1.5 from the high bits
    book.Sheet(rec::kMulRk, Body([](ByteWriter& w) {
                   w.U16(1);
                   w.U16(0);
                   w.U16(0);
                   w.U32((7u << 2) | 0x02);
                   w.U16(0);
                   w.U32((static_cast<std::uint32_t>(-3) << 2) | 0x02);
                   w.U16(1);
               }));
    book.Sheet(rec::kLabelSst, biff::Cell(1, 2, 0, Body([](ByteWriter& w) { w.U32(1); })));
    book.Sheet(rec::kLabel, biff::Label(1, 3, u"张三"));
    book.Sheet(rec::kLabelSst, biff::Cell(1, 4, 0, Body([](ByteWriter& w) { w.U32(0); })));
    book.Sheet(rec::kBoolErr, biff::Cell(2, 0, 0, Bytes{1, 0}));
    book.Sheet(rec::kBoolErr, biff::Cell(2, 1, 0, Bytes{0x07, 1}));
    book.Sheet(rec::kFormula, biff::Formula(2, 2, biff::DoubleResult(0.25)));
    book.Sheet(rec::kFormula, biff::Formula(2, 3, biff::SpecialResult(0)));
    // A shared formula record may stand between a formula and its text result.
    book.Sheet(0x04BC, Bytes(10, 0));
    book.Sheet(rec::kString, Body([](ByteWriter& w) { biff::String(w, u"结果"); }));
    book.Sheet(rec::kFormula, biff::Formula(2, 4, biff::SpecialResult(1, 0)));
    book.Sheet(rec::kFormula, biff::Formula(3, 0, biff::SpecialResult(2, 0x2A)));
    book.Sheet(rec::kFormula, biff::Formula(3, 1, biff::SpecialResult(3)));
    book.Sheet(rec::kBlank, biff::Cell(3, 2, 0));
    book.Sheet(rec::kMulBlank, Body([](ByteWriter& w) {
                   w.U16(4);
                   w.U16(3);
                   w.U16(0);
                   w.U16(0);
                   w.U16(0);
                   w.U16(5); // columns D to F of row 5
               }));

    const auto result = Read(book);
    ASSERT_TRUE(result) << result.detail;
    const auto& cells = result.workbook;
    EXPECT_EQ(Gb18030ToUtf8(cells.SheetName()), "Sheet1");
    EXPECT_EQ(cells.UsedRows(), 5);
    EXPECT_EQ(cells.UsedColumns(), 6);
    ExpectCells(cells, {{1, 1, "13588888888"},
                        {1, 2, "42"},
                        {1, 3, "12.34"},
                        {1, 4, "1.5"},
                        {2, 1, "7"},
                        {2, 2, "-3"},
                        {2, 3, "手机号码"},
                        {2, 4, "张三"},
                        {2, 5, "shared"},
                        {3, 1, "TRUE"},
                        {3, 2, "#DIV/0!"},
                        {3, 3, "0.25"},
                        {3, 4, "结果"},
                        {3, 5, "FALSE"},
                        {4, 1, "#N/A"},
                        {4, 2, ""},
                        {4, 3, ""},
                        {5, 6, ""}});
}

class XlsDateSystems : public ::testing::TestWithParam<bool> {};

TEST_P(XlsDateSystems, NumbersThroughFormats) {
    const bool system1904 = GetParam();
    Book book;
    if (system1904) {
        book.Global(rec::kDateMode, Bytes{1, 0});
    }
    book.Global(rec::kFormat, Body([](ByteWriter& w) {
                    w.U16(164);
                    biff::String(w, u"yyyy\\-mm\\-dd");
                }));
    book.Global(rec::kFormat, Body([](ByteWriter& w) {
                    w.U16(165);
                    biff::String(w, u"000-0000-0000");
                }));
    for (std::uint16_t format : {0, 164, 165, 14, 22}) {
        book.Global(rec::kXf, Body([&](ByteWriter& w) {
                        w.U16(0);
                        w.U16(format);
                        w.Zeros(16);
                    }));
    }
    const double birthday = system1904 ? 20820 : 22282; // 1961-01-01
    book.Sheet(rec::kNumber, biff::Number(0, 0, birthday, 1));
    book.Sheet(rec::kNumber, biff::Number(0, 1, 13588888888.0, 2));
    book.Sheet(rec::kNumber, biff::Number(0, 2, birthday, 3));
    book.Sheet(rec::kNumber, biff::Number(0, 3, birthday + 0.75, 4));
    book.Sheet(rec::kNumber, biff::Number(0, 4, birthday, 0));
    book.Sheet(rec::kRk, Rk(0, 5, (static_cast<std::uint32_t>(birthday) << 2) | 2, 1));

    const auto result = Read(book);
    ASSERT_TRUE(result) << result.detail;
    const std::string serial = system1904 ? "20820" : "22282";
    ExpectCells(result.workbook, {{1, 1, "1961-01-01"},
                                  {1, 2, "13588888888"},
                                  {1, 3, "1961-01-01"},
                                  {1, 4, "1961-01-01 18:00:00"},
                                  {1, 5, serial.c_str()},
                                  {1, 6, "1961-01-01"}});
}

INSTANTIATE_TEST_SUITE_P(XlsReader, XlsDateSystems, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "From1904" : "From1900");
});

// The shared strings run on into CONTINUE records: one string is split in its characters
// (and changes from one byte to two a character at the split), the next starts in the
// record after.
TEST(XlsReader, SharedStringsSplitAcrossContinueRecords) {
    ByteWriter sst;
    sst.U32(3);
    sst.U32(3);
    sst.U16(6);
    sst.U8(0);
    sst.Bytes(Bytes{'a', 'b', 'c'});
    ByteWriter first;
    first.U8(1); // the rest is UTF-16
    for (char16_t c : std::u16string(u"号码x")) {
        first.U16(c);
    }
    ByteWriter second;
    biff::String(second, u"next");
    biff::String(second, u"last");
    Book book;
    ByteWriter raw;
    Book::Record(raw, rec::kSst, sst.Data());
    Book::Record(raw, rec::kContinue, first.Data());
    Book::Record(raw, rec::kContinue, second.Data());
    book.RawGlobal(raw.Take());
    for (std::uint32_t i = 0; i < 3; ++i) {
        book.Sheet(rec::kLabelSst, biff::Cell(static_cast<std::uint16_t>(i), 0, 0,
                                              Body([&](ByteWriter& w) { w.U32(i); })));
    }
    const auto result = Read(book);
    ASSERT_TRUE(result) << result.detail;
    ExpectCells(result.workbook, {{1, 1, "abc号码x"}, {2, 1, "next"}, {3, 1, "last"}});
}

TEST(XlsReader, StaleSheetOffsetAndDimensionsAreNotTrusted) {
    Book book;
    book.correctOffset = false;
    book.Sheet(rec::kDimensions, Body([](ByteWriter& w) {
                   w.U32(0);
                   w.U32(1); // claims one row and one column
                   w.U16(0);
                   w.U16(1);
                   w.U16(0);
               }));
    book.Sheet(rec::kLabel, biff::Label(9, 3, u"far"));
    const auto result = Read(book);
    ASSERT_TRUE(result) << result.detail;
    EXPECT_EQ(result.workbook.UsedRows(), 10);
    EXPECT_EQ(result.workbook.UsedColumns(), 4);
    ExpectCells(result.workbook, {{10, 4, "far"}});
}

TEST(XlsReader, Biff5TextInTheWorkbooksCodePage) {
    const struct {
        std::uint16_t codePage;
        std::string bytes;
        const char* text;
    } cases[] = {
        {936, Gb18030("男"), "男"},
        {1252, "Jos\xE9", "José"}, // a letter GBK holds too (it has the pinyin vowels)
        {1252,
         "\xC4"
         "cker",
         "Äcker"}, // one it lacked
    };
    for (const auto& c : cases) {
        Book book(true);
        book.Global(rec::kCodePage, Body([&](ByteWriter& w) { w.U16(c.codePage); }));
        for (std::uint16_t row = 0; row < 3; ++row) {
            book.Sheet(rec::kLabel,
                       biff::Cell(row, 0, 0, Body([&](ByteWriter& w) {
                                      w.U16(static_cast<std::uint16_t>(c.bytes.size()));
                                      for (char b : c.bytes) {
                                          w.U8(static_cast<std::uint8_t>(b));
                                      }
                                  })));
        }
        book.Sheet(rec::kRk, Rk(0, 1, (5u << 2) | 2));
        const auto result = Read(book);
        ASSERT_TRUE(result) << result.detail;
        ExpectCells(result.workbook, {{1, 1, c.text}, {3, 1, c.text}, {1, 2, "5"}});
    }
}

TEST(XlsReader, ABareWorkbookStreamIsReadToo) {
    Book book;
    book.Sheet(rec::kLabel, biff::Label(0, 0, u"bare"));
    const Bytes stream = book.Stream();
    const auto result = quillon::ReadWorkbook(stream);
    ASSERT_TRUE(result) << result.detail;
    ExpectCells(result.workbook, {{1, 1, "bare"}});
}

TEST(XlsReader, TheTemplateReadsAsTheBlankForm) {
    const auto result = quillon::ReadWorkbook(quillon::SpreadsheetTemplateBytes());
    ASSERT_TRUE(result) << result.detail;
    const auto& book = result.workbook;
    EXPECT_EQ(book.SheetName(), "Sheet1");
    EXPECT_EQ(book.UsedRows(), 3);
    EXPECT_EQ(book.UsedColumns(), 10);
    EXPECT_EQ(Gb18030ToUtf8(std::string(book.CellText(1, 1))).rfind("附件\n", 0), 0u);
    ExpectCells(book, {{2, 1, "姓名"},
                       {2, 2, "性别"},
                       {2, 3, "出生年月"},
                       {2, 6, "所 在 地 方"},
                       {2, 10, "手机号码"},
                       {3, 6, "省(区、市)"},
                       {3, 8, "县(市、区、旗)"},
                       {3, 1, ""},
                       {4, 1, ""}});
}

TEST(CompoundFile, ReplacingAStreamKeepsTheOthersAndPadsTheWorkbook) {
    const auto file = quillon::SpreadsheetTemplateBytes();
    const auto before = quillon::xls::ReadCompoundFile(file);
    ASSERT_TRUE(before) << before.detail;

    const Bytes small{9, 8, 0, 0};
    const auto replaced = quillon::xls::ReplaceCompoundStream(file, "workbook", small,
                                                              quillon::xls::kMiniStreamCutoff);
    ASSERT_TRUE(replaced) << replaced.detail;
    const auto after = quillon::xls::ReadCompoundFile(replaced.bytes);
    ASSERT_TRUE(after) << after.detail;
    ASSERT_EQ(after.root.children.size(), before.root.children.size());
    for (const auto& entry : before.root.children) {
        const auto* kept = quillon::xls::FindEntry(after.root, entry.name);
        ASSERT_NE(kept, nullptr) << entry.name;
        if (entry.name == "Workbook") {
            ASSERT_EQ(kept->bytes.size(), 4096u);
            EXPECT_TRUE(std::equal(small.begin(), small.end(), kept->bytes.begin()));
        } else {
            EXPECT_EQ(kept->bytes, entry.bytes) << entry.name;
        }
    }
    EXPECT_EQ(after.root.classId, before.root.classId);

    EXPECT_EQ(quillon::xls::ReplaceCompoundStream(file, "Nothing", small).error,
              quillon::xls::ContainerError::NoSuchStream);
}

// A compound file whose extra streams name the Workbook stream's sectors: written whole,
// then each extra entry's start sector and size made those of the Workbook entry.
Bytes StreamsSharingTheWorkbooksSectors(const Book& book, int extra) {
    quillon::xls::CompoundEntry root;
    root.storage = true;
    quillon::xls::CompoundEntry workbook;
    workbook.name = "Workbook";
    workbook.bytes = book.Stream();
    workbook.bytes.resize(32768, 0);
    root.children.push_back(workbook);
    for (int i = 0; i < extra; ++i) {
        quillon::xls::CompoundEntry small;
        small.name = "s" + std::to_string(i);
        small.bytes = {1};
        root.children.push_back(small);
    }
    Bytes file = quillon::xls::WriteCompoundFile(root).bytes;
    // Directory entries are 128 bytes, aligned to that in sectors after the 512-byte header:
    // a UTF-16 name, its length in bytes at 64, the type at 66 (2 for a stream), the start
    // sector at 116 and the size at 120.
    const auto isEntry = [&](std::size_t at, const std::string& name) {
        if (file[at + 64] != 2 * (name.size() + 1) || file[at + 66] != 2) {
            return false;
        }
        for (std::size_t i = 0; i < name.size(); ++i) {
            if (file[at + 2 * i] != name[i] || file[at + 2 * i + 1] != 0) {
                return false;
            }
        }
        return true;
    };
    std::size_t workbookAt = 0;
    for (std::size_t at = 512; at + 128 <= file.size(); at += 128) {
        if (isEntry(at, "Workbook")) {
            workbookAt = at;
        }
    }
    EXPECT_NE(workbookAt, 0u);
    int patched = 0;
    for (std::size_t at = 512; at + 128 <= file.size(); at += 128) {
        for (int i = 0; i < extra; ++i) {
            if (isEntry(at, "s" + std::to_string(i))) {
                std::copy_n(file.begin() + workbookAt + 116, 8, file.begin() + at + 116);
                ++patched;
            }
        }
    }
    EXPECT_EQ(patched, extra);
    return file;
}

TEST(CompoundFile, EntriesSharingTheWorkbooksSectorsAreNotReadOverAndOver) {
    Book book;
    book.Sheet(rec::kLabel, biff::Label(0, 0, u"kept"));
    const Bytes file = StreamsSharingTheWorkbooksSectors(book, 40);

    // The reader takes the Workbook stream alone.
    const auto read = quillon::ReadWorkbook(file);
    ASSERT_TRUE(read) << read.detail;
    ExpectCells(read.workbook, {{1, 1, "kept"}});

    // Reading every stream would take 41 times the Workbook's sectors, far more than the
    // file holds: that is damage, whether for a writer filling the file or anyone else.
    const auto whole = quillon::xls::ReadCompoundFile(file);
    EXPECT_EQ(whole.error, quillon::xls::ContainerError::Damaged);
    EXPECT_NE(whole.detail.find("add up to more"), std::string::npos) << whole.detail;
    EXPECT_EQ(quillon::xls::ReplaceCompoundStream(file, "Workbook", Bytes{9, 8, 0, 0}).error,
              quillon::xls::ContainerError::Damaged);

    // One stream is read alone, whatever the case of its name.
    const auto stream = quillon::xls::ReadCompoundStream(file, "WORKBOOK");
    ASSERT_TRUE(stream) << stream.detail;
    EXPECT_EQ(stream.bytes.size(), 32768u);
}

TEST(XlsFixtures, WorkbooksWrittenByOtherProgramsReadAsTheyShowThem) {
    // Written by tests/data/workbooks/make_fixtures.sh from cells.fods.in.
    const std::filesystem::path dir = QUILLON_WORKBOOK_FIXTURES;
    for (const char* name :
         {"cells-libreoffice.xls", "cells1904-libreoffice.xls", "cells-gnumeric.xls",
          "cells-libreoffice.xlsx", "cells1904-libreoffice.xlsx", "cells-gnumeric.xlsx"}) {
        SCOPED_TRACE(name);
        const auto result = quillon::ReadWorkbookFile(dir / name);
        ASSERT_TRUE(result) << result.detail;
        const auto& book = result.workbook;
        EXPECT_EQ(book.SheetName(), "Cells");
        EXPECT_EQ(book.UsedRows(), 4);
        EXPECT_EQ(book.UsedColumns(), 6);
        ExpectCells(book, {{1, 1, "张三"},
                           {1, 2, "男"},
                           {1, 3, "1961-01-01"},
                           {1, 4, "2024-03-01 08:30:15"},
                           {1, 5, "13588888888"},
                           {1, 6, "13588888888"}, // shown as 135-8888-8888
                           {2, 1, "42"},
                           {2, 2, "-7"},
                           {2, 3, "0.1"},
                           {2, 4, "1234567.891"},
                           {2, 5, "2.5"}, // shown as 2.50
                           {2, 6, "1.5e-07"},
                           {3, 1, "3"},
                           {3, 3, "号码ab"},
                           {3, 4, "#DIV/0!"},
                           {3, 5, "TRUE"},
                           {3, 6, "2009-01-01"},
                           {4, 1, ""},
                           {4, 2, "  padded  "},
                           {4, 3, "0135"},
                           {4, 5, ""},
                           {4, 6, "last"}});
        // 0.1 + 0.2 as each program stored it: LibreOffice's .xls keeps every bit, its
        // .xlsx and gnumeric round to fifteen digits.
        const std::string sum = Gb18030ToUtf8(std::string(book.CellText(3, 2)));
        EXPECT_TRUE(sum == "0.3" || sum == "0.30000000000000004") << sum;
    }
}

} // namespace
