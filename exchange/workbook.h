// What the import sees of a workbook, whatever format it came in: the first sheet's
// used range and the text of each cell, as GB18030.
//
// A cell's text is its value, not its formatted display: text as it stands; a whole
// number without exponent or ".0"; any other number in its shortest exact form; a
// date-formatted number as "yyyy-mm-dd" (with " hh:mm:ss" when not midnight); TRUE or
// FALSE; an error as the spreadsheet writes it (#DIV/0!); a formula as its cached
// result; an empty or absent cell as "".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

enum class WorkbookError {
    None,
    NotFound,     // no file at the path
    Unreadable,   // a folder, a device, or a read error
    TooLarge,     // over the size the readers accept, or a part that inflates past it
    Empty,        // no bytes at all, or a workbook without a worksheet
    NotAWorkbook, // neither a compound file nor a zip, or one that holds no workbook
    Encrypted,    // protected with a password
    Unsupported,  // a workbook of a format generation the readers do not know
    Damaged,      // its structure contradicts itself
    Truncated,    // it ends in the middle of a structure
};

// The reason in a few English words, for logs and diagnostics.
const char* WorkbookErrorName(WorkbookError error);

// The first sheet. Rows and columns count from 1.
class Workbook {
public:
    // The format's limits (those of the larger, .xlsx): a cell beyond them is damage.
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;
    // The most shared strings a reader takes from a file before refusing it as too large:
    // four times the cells of a 60,000-row register sheet of 16 columns, which no real
    // sheet of ours comes near, yet it bounds what a small file of empty items can cost.
    static constexpr std::size_t kMaxSharedStrings = 4'000'000;

    const std::string& SheetName() const { return sheetName_; }
    // The number of the last used row and column (not a count of used ones); 0 when
    // the sheet is empty. A formatted empty cell counts as used, as in the spreadsheet.
    int UsedRows() const { return usedRows_; }
    int UsedColumns() const { return usedColumns_; }
    // "" for a cell that holds nothing or lies outside the sheet. The view lasts as long as
    // the workbook and no longer.
    std::string_view CellText(int row, int column) const;
    // Calls visit(row, column, text) for each cell whose text is not empty, row by row and
    // left to right, so that a sparse sheet is walked without visiting its empty cells.
    // Only after Finish.
    template <typename Visit> void ForEachText(Visit&& visit) const {
        for (const Cell& cell : cells_) {
            const std::string_view text = Text(cell.text);
            if (!text.empty()) {
                visit(cell.row, cell.column, text);
            }
        }
    }

    // Building, by the readers. Texts are pooled so that a string many cells share is
    // held once; a reader adds it once and gives its index to each cell.
    void SetSheetName(std::string name) { sheetName_ = std::move(name); }
    std::uint32_t AddText(std::string_view text);
    // Row and column must lie within the limits above; the last text set for a cell wins.
    void SetCell(int row, int column, std::uint32_t text);
    void SetCellText(int row, int column, std::string_view text) {
        SetCell(row, column, AddText(text));
    }
    // Widens the used range without a text (an empty formatted cell, the sheet's own
    // record of its extent).
    void NoteUsed(int row, int column);
    // Sorts what was set out of order; called once by the reader when it is done.
    void Finish();

    std::size_t TextCount() const { return textEnds_.size(); }
    std::size_t CellCount() const { return cells_.size(); }
    std::size_t TextBytes() const { return textBytes_.size(); }

private:
    // One array of all cells in row and column order rather than one per row: a sheet of a
    // million rows holds some ten million cells, and an allocation per row would double that.
    struct Cell {
        int row;
        int column;
        std::uint32_t text;
        bool Before(int r, int c) const { return row < r || (row == r && column < c); }
    };

    std::string_view Text(std::uint32_t index) const {
        const std::size_t start = index == 0 ? 0 : textEnds_[index - 1];
        return std::string_view(textBytes_).substr(start, textEnds_[index] - start);
    }

    std::string sheetName_;
    int usedRows_ = 0;
    int usedColumns_ = 0;
    // The texts end to end, each ending where textEnds_ says: a file of millions of short
    // or empty texts costs their bytes and an offset each, not an allocation each. The
    // readers take files far smaller than the 4 GB an offset reaches.
    std::string textBytes_;
    std::vector<std::uint32_t> textEnds_;
    std::vector<Cell> cells_;
    bool sorted_ = true;
};

struct WorkbookResult {
    WorkbookError error = WorkbookError::None;
    std::string detail; // what and where, in English
    Workbook workbook;

    explicit operator bool() const { return error == WorkbookError::None; }
    static WorkbookResult Fail(WorkbookError error, std::string detail) {
        WorkbookResult result;
        result.error = error;
        result.detail = std::move(detail);
        return result;
    }
};

// The text of a number as the import reads it (see the top of this file). Exposed for the
// readers of both formats, which must agree.
std::string NumberText(double value);
// The text of a date-formatted number: "yyyy-mm-dd", " hh:mm:ss" added when the time is
// not midnight, the time alone for a serial below 1 in the 1900 system. A serial that is
// no date (negative, past the year 9999) gives NumberText instead.
std::string DateText(double serial, bool system1904);
// True when a number format code shows dates or times (it has y, m, d, h or s outside
// quoted text, escapes and bracketed colours or conditions).
bool IsDateFormatCode(std::string_view code);
// True for the built-in number formats that show dates or times.
bool IsBuiltInDateFormat(int id);

} // namespace quillon
