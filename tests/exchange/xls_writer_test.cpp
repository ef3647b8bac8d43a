#include "exchange/read_workbook.h"
#include "exchange/spreadsheet.h"
#include "exchange/template.h"
#include "exchange/xls/container.h"
#include "exchange/xls/records.h"
#include "platform/text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

using quillon::Spreadsheet;
using quillon::xls::SheetWriteError;

quillon::Workbook ReadBack(const Spreadsheet& sheet) {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(sheet.Bytes(bytes));
    quillon::WorkbookResult read = quillon::ReadWorkbook(bytes);
    EXPECT_TRUE(read) << read.detail;
    return std::move(read.workbook);
}

TEST(XlsWriter, RefusesCellsPastTheFormatsLimitsInsteadOfWrapping) {
    Spreadsheet sheet = Spreadsheet::FromTemplate();
    const std::string longest(quillon::xls::kMaxCellCharacters, 'x');
    const std::string chinese = [] {
        std::string text;
        for (std::size_t i = 0; i < quillon::xls::kMaxCellCharacters; ++i) {
            text += Gb18030("张");
        }
        return text;
    }();
    struct Case {
        int row, column;
        std::string text;
        SheetWriteError expected;
    } cases[] = {
        {0, 1, "a", SheetWriteError::OutOfRange},
        {4, 0, "a", SheetWriteError::OutOfRange},
        {65537, 1, "a", SheetWriteError::OutOfRange},
        {4, 257, "a", SheetWriteError::OutOfRange},
        {4, 1, longest + "x", SheetWriteError::TextTooLong},
        {4, 2, chinese + Gb18030("张"), SheetWriteError::TextTooLong},
        {4, 1, longest, SheetWriteError::None},
        {4, 2, chinese, SheetWriteError::None}, // 65,534 bytes, but 32,767 characters
        {65536, 256, "last", SheetWriteError::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sheet.SetCellValue(c.row, c.column, c.text), c.expected)
            << c.row << "," << c.column << " " << c.text.size();
    }
    const quillon::Workbook book = ReadBack(sheet);
    EXPECT_EQ(book.UsedRows(), 65536);
    EXPECT_EQ(book.UsedColumns(), 256);
    EXPECT_EQ(book.CellText(4, 1), longest);
    EXPECT_EQ(book.CellText(4, 2), chinese); // split over CONTINUE records
    EXPECT_EQ(book.CellText(65536, 256), "last");
}

TEST(XlsWriter, KeepsTheTemplateAroundNewCellsAndReplacesCellsSetTwice) {
    Spreadsheet sheet = Spreadsheet::FromTemplate();
    ASSERT_EQ(sheet.SetCellValue(2, 10, Gb18030("电话")), SheetWriteError::None); // a header
    ASSERT_EQ(sheet.SetCellValue(40, 3, "first"), SheetWriteError::None);
    ASSERT_EQ(sheet.SetCellValue(40, 3, "second"), SheetWriteError::None);
    ASSERT_EQ(sheet.SetCellValue(5, 1, Gb18030("男")), SheetWriteError::None); // in the lists too
    ASSERT_EQ(sheet.SetCellValue(7, 4, ""), SheetWriteError::None);
    // Rows out of order and far apart land in their own cell blocks.
    for (int row = 1000; row >= 100; row -= 9) {
        ASSERT_EQ(sheet.SetCellValue(row, 1, std::to_string(row)), SheetWriteError::None);
    }
    const quillon::Workbook book = ReadBack(sheet);
    EXPECT_EQ(Gb18030ToUtf8(std::string(book.CellText(2, 10))), "电话");
    EXPECT_EQ(Gb18030ToUtf8(std::string(book.CellText(2, 1))), "姓名");
    EXPECT_EQ(book.CellText(40, 3), "second");
    EXPECT_EQ(Gb18030ToUtf8(std::string(book.CellText(5, 1))), "男");
    EXPECT_EQ(book.CellText(7, 4), "");
    for (int row = 1000; row >= 100; row -= 9) {
        EXPECT_EQ(book.CellText(row, 1), std::to_string(row));
    }
    EXPECT_EQ(book.UsedRows(), 1000);
}

// The export hands the writer the register's UTF-8; the workbook must be the one the
// program's GB18030 texts give, byte for byte: the same characters, and the same shared
// strings, texts broken alike being one.
TEST(XlsWriter, TextsSetAsUtf8GiveTheBytesTheirGb18030Gives) {
    const std::string longChinese = [] {
        std::string text;
        for (std::size_t i = 0; i < quillon::xls::kMaxCellCharacters; ++i) {
            text += "张";
        }
        return text;
    }();
    const std::vector<std::string> odd = {
        "男", // the template's lists have it
        "a\xFF",   "a\xFE",
        "a\uFFFD", // what both of the above become
        "\uE78D",  // a private use character GB18030 lacks, so U+FFFD too
        "\uFFFD",  "李𠀾华 😀", std::string("a\0b", 3), "\xED\xA0\x80", "", "Zoë",
    };
    Spreadsheet through = Spreadsheet::FromTemplate();
    Spreadsheet straight = Spreadsheet::FromTemplate();
    constexpr int kColumns = 10;
    straight.ReserveRows(3004, kColumns);
    // Enough rows for many cell blocks, CONTINUE records and a growing index.
    for (int r = 0; r < 3000; ++r) {
        std::vector<std::string> texts;
        for (int c = 0; c < kColumns; ++c) {
            texts.push_back(c == 0   ? "姓名" + std::to_string(r)
                            : c == 1 ? odd[static_cast<std::size_t>(r) % odd.size()]
                            : c == 2 ? odd[static_cast<std::size_t>(r * 7 + 3) % odd.size()]
                            // Runs of the text above, where a broken text is followed
                            // by the one it becomes.
                            : c == 3
                                ? odd[static_cast<std::size_t>(r / 3) % odd.size()]
                                : "r" + std::to_string(r % (c * 50)) + "c" + std::to_string(c));
        }
        std::vector<std::string_view> views(texts.begin(), texts.end());
        for (int c = 0; c < kColumns; ++c) {
            ASSERT_EQ(through.SetCellValue(4 + r, 1 + c, Utf8ToGb18030(texts[c])),
                      SheetWriteError::None);
        }
        ASSERT_EQ(straight.SetCellValuesUtf8(4 + r, 1, views), SheetWriteError::None);
    }
    // The longest text a cell holds, split over CONTINUE records.
    ASSERT_EQ(through.SetCellValue(3004, 1, Utf8ToGb18030(longChinese)), SheetWriteError::None);
    const std::string_view longest[] = {longChinese};
    ASSERT_EQ(straight.SetCellValuesUtf8(3004, 1, longest), SheetWriteError::None);
    // A cell set again, in the program's text, after the texts set as UTF-8.
    ASSERT_EQ(through.SetCellValue(10, 2, Gb18030("女")), SheetWriteError::None);
    ASSERT_EQ(straight.SetCellValue(10, 2, Gb18030("女")), SheetWriteError::None);
    // A row with a text too long for its cell sets none of its cells.
    const std::string tooLong = longChinese + "张";
    const std::string_view refused[] = {"kept out", tooLong};
    EXPECT_EQ(straight.SetCellValuesUtf8(5000, 1, refused), SheetWriteError::TextTooLong);
    const std::string_view past[] = {"a", "b"};
    EXPECT_EQ(straight.SetCellValuesUtf8(5000, 256, past), SheetWriteError::OutOfRange);

    std::vector<std::uint8_t> expected;
    std::vector<std::uint8_t> written;
    ASSERT_TRUE(through.Bytes(expected));
    ASSERT_TRUE(straight.Bytes(written));
    EXPECT_TRUE(expected == written)
        << expected.size() << " bytes expected, " << written.size() << " written";
}

TEST(XlsWriter, OnlyTemplateWorkbooksAreWrittenAndSavingIsAllOrNothing) {
    TempDir dir;
    // An .xlsx is read, never written.
    quillon::WorkbookError error{};
    std::string detail;
    Spreadsheet xlsx = Spreadsheet::Open(
        std::filesystem::path(QUILLON_WORKBOOK_FIXTURES) / "cells-libreoffice.xlsx", error, detail);
    ASSERT_EQ(error, quillon::WorkbookError::None) << detail;
    EXPECT_EQ(xlsx.SetCellValue(1, 1, "a"), SheetWriteError::Unsupported);
    EXPECT_EQ(xlsx.SaveAs(dir / "x.xls").error, quillon::SaveError::NotWritable);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.xls"));

    // Saved in place after opening; a save into a folder's place changes nothing.
    Spreadsheet made = Spreadsheet::FromTemplate();
    ASSERT_EQ(made.SetCellValue(4, 1, "kept"), SheetWriteError::None);
    ASSERT_TRUE(made.SaveAs(dir / "book.xls"));
    Spreadsheet opened = Spreadsheet::Open(dir / "book.xls", error, detail);
    ASSERT_EQ(error, quillon::WorkbookError::None) << detail;
    EXPECT_EQ(opened.CellValue(4, 1), "kept");
    ASSERT_EQ(opened.SetCellValue(5, 1, "added"), SheetWriteError::None);
    ASSERT_TRUE(opened.Save());
    std::filesystem::create_directories(dir / "taken.xls" / "x");
    EXPECT_EQ(opened.SaveAs(dir / "taken.xls").error, quillon::SaveError::File);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.xls"));
    Spreadsheet again = Spreadsheet::Open(dir / "book.xls", error, detail);
    EXPECT_EQ(again.CellValue(4, 1), "kept");
    EXPECT_EQ(again.CellValue(5, 1), "added");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);

    Spreadsheet missing = Spreadsheet::Open(dir / "none.xls", error, detail);
    EXPECT_EQ(error, quillon::WorkbookError::NotFound);
}

TEST(XlsWriter, AStreamWithTwoSharedStringTablesIsRefusedAsDamaged) {
    const auto file = quillon::SpreadsheetTemplateBytes();
    std::vector<std::uint8_t> stream = quillon::xls::ReadCompoundStream(file, "Workbook").bytes;
    ASSERT_TRUE(quillon::xls::FirstSheetWriter(stream).Status());
    quillon::xls::RecordWalker walk(stream);
    quillon::xls::Record record;
    while (walk.Next(record) && record.id != quillon::xls::rec::kSst) {
    }
    ASSERT_EQ(record.id, quillon::xls::rec::kSst);
    const auto begin = stream.begin() + static_cast<std::ptrdiff_t>(record.offset);
    const std::vector<std::uint8_t> copy(
        begin, begin + 4 + static_cast<std::ptrdiff_t>(record.data.size()));
    stream.insert(begin, copy.begin(), copy.end());
    EXPECT_EQ(quillon::xls::FirstSheetWriter(stream).Status().error, SheetWriteError::Damaged);
}

TEST(XlsWriter, PathsAreRefusedBeforeAnyFileIsTouched) {
    EXPECT_EQ(quillon::CheckWorkbookPath(""), quillon::OpenRefusal::NoPath);
    EXPECT_EQ(quillon::CheckWorkbookPath("/data/book.txt"), quillon::OpenRefusal::NotWorkbookName);
    EXPECT_EQ(quillon::CheckWorkbookPath("/data/book.xlsx"), quillon::OpenRefusal::None);
    EXPECT_EQ(quillon::CheckWorkbookPath("/data/book.XLS"), quillon::OpenRefusal::NotWorkbookName);
}

} // namespace
