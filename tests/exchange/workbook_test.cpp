#include "exchange/bytes.h"
#include "exchange/workbook.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quillon::DateText;
using quillon::IsDateFormatCode;
using quillon::NumberText;

TEST(NumberText, WholeNumbersInFullOthersShortestExact) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {13588888888.0, "13588888888"}, // a mobile number stored as a number
        {42, "42"},
        {-7, "-7"},
        {0, "0"},
        {-0.0, "0"},
        {1e20, "100000000000000000000"},
        {0.1, "0.1"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1234567.891, "1234567.891"},
        {-2.5, "-2.5"},
        {1.5e-7, "1.5e-07"},
        {1e21, "1e+21"},
        {NAN, "#NUM!"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NumberText(c.value), c.text) << c.text;
    }
}

TEST(DateText, SerialsOfBothDateSystems) {
    const struct {
        double serial;
        bool system1904;
        const char* text;
    } cases[] = {
        {22282, false, "1961-01-01"},
        {39814, false, "2009-01-01"},
        {45352.35434027778, false, "2024-03-01 08:30:15"},
        {45352.99999999, false, "2024-03-02"}, // rounds to the next midnight
        {1, false, "1900-01-01"},
        {59, false, "1900-02-28"},
        {60, false, "1900-02-29"}, // the day the 1900 system counts that never was
        {61, false, "1900-03-01"},
        {0.5, false, "12:00:00"},
        {2958465, false, "9999-12-31"},
        {2958466, false, "2958466"}, // past the last date: the number
        {-1, false, "-1"},
        {0, true, "1904-01-01"},
        {20820, true, "1961-01-01"},
        {1.25, true, "1904-01-02 06:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateText(c.serial, c.system1904), c.text) << c.serial;
    }
}

TEST(DateFormatCode, DatesAndTimesOnlyOutsideTextAndBrackets) {
    const struct {
        const char* code;
        bool date;
    } cases[] = {
        {"yyyy\\-mm\\-dd", true},
        {"yyyy-mm-dd hh:mm:ss", true},
        {"[$-804]yyyy\"年\"m\"月\"d\"日\"", true},
        {"[h]:mm", true},
        {"mm:ss", true},
        {"General", false},
        {"0", false},
        {"000-0000-0000", false}, // a mobile number shown in groups
        {"#,##0.00_);[Red]\\(#,##0.00\\)", false},
        {"0.00E+00", false},
        {"\"days\" 0", false},
        {"[Red]0", false},
        {"_(* #,##0_)", false},
        {"@", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsDateFormatCode(c.code), c.date) << c.code;
    }
}

TEST(WorkbookModel, CellsSetOutOfOrderAreFoundAndTheLastSetWins) {
    quillon::Workbook book;
    book.SetCellText(5, 2, "b5");
    book.SetCellText(1, 3, "c1");
    book.SetCellText(5, 1, "a5");
    book.SetCellText(1, 3, "c1 again");
    book.NoteUsed(7, 4);
    book.Finish();
    EXPECT_EQ(book.CellText(5, 2), "b5");
    EXPECT_EQ(book.CellText(5, 1), "a5");
    EXPECT_EQ(book.CellText(1, 3), "c1 again");
    EXPECT_EQ(book.CellText(2, 2), "");
    EXPECT_EQ(book.CellText(0, 0), "");
    EXPECT_EQ(book.UsedRows(), 7);
    EXPECT_EQ(book.UsedColumns(), 4);
}

TEST(WorkbookModel, TextsAreWalkedInOrderAndEmptyOnesCostNoCell) {
    quillon::Workbook book;
    for (int i = 0; i < 1000; ++i) {
        book.AddText(""); // a table of empty items, as a hostile file has millions
    }
    const std::uint32_t shared = book.AddText("shared");
    book.SetCell(9, 1, shared);
    book.SetCellText(3, 5, "e3");
    book.SetCellText(3, 2, "");
    book.SetCell(1, 16384, shared);
    book.SetCellText(3, 1, "a3");
    book.Finish();
    EXPECT_EQ(book.TextCount(), 1004u);
    EXPECT_EQ(book.CellText(9, 1), "shared");
    EXPECT_EQ(book.CellText(1, 16384), "shared");
    std::vector<std::string> seen;
    book.ForEachText([&](int row, int column, std::string_view text) {
        seen.push_back(std::to_string(row) + "," + std::to_string(column) + "=" +
                       std::string(text));
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"1,16384=shared", "3,1=a3", "3,5=e3", "9,1=shared"}));
}

TEST(ByteReader, AReadPastTheEndFailsWithAReasonAndStaysFailed) {
    const std::uint8_t data[] = {1, 0, 2};
    quillon::ByteReader in(data);
    EXPECT_EQ(in.U16(), 1);
    EXPECT_EQ(in.U16(), 0); // only one byte left
    EXPECT_FALSE(in.Ok());
    EXPECT_NE(in.Reason().find("needed 2 bytes at offset 2"), std::string::npos) << in.Reason();
    EXPECT_EQ(in.U8(), 0); // the byte that is there is not read after a failure
    EXPECT_TRUE(in.Bytes(1).empty());
}

TEST(ByteWriter, PatchOutsideTheBufferIsRefused) {
    quillon::ByteWriter w;
    w.U32(0);
    EXPECT_TRUE(w.PatchU32(0, 0x01020304));
    EXPECT_FALSE(w.PatchU32(1, 5));
    EXPECT_FALSE(w.PatchU16(static_cast<std::size_t>(-1), 5));
    EXPECT_EQ(w.Data(), (std::vector<std::uint8_t>{4, 3, 2, 1}));
}

} // namespace
