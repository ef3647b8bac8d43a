// The contact-collection form as data: what the blank workbook holds in either format.
//
// The .xls the program carries (data/template.xls) is built from this by
// tools/make_template.pl, which reads it as JSON (template_form_json prints it); the .xlsx
// writer lays its workbooks out from it directly. So a text, a list or a width changed here
// changes both, and the two formats cannot drift apart.
//
// Rows and columns count from 0 here (A1 is 0, 0), as both spreadsheet libraries take them.
// Texts are UTF-8.
#pragma once

#include <span>
#include <string_view>

namespace quillon::form {

// A rectangle of cells; a single cell has first == last.
struct Range {
    int firstRow;
    int firstColumn;
    int lastRow;
    int lastColumn;
    bool Merged() const { return firstRow != lastRow || firstColumn != lastColumn; }
};

// How a cell of the form looks. Each look is one format of the workbook.
enum class Look {
    Title,        // 宋体 18 pt bold, centred both ways, wrapped
    Header,       // 黑体 14 pt, centred both ways, thin borders
    HeaderSongti, // the same in 宋体 bold (the mobile number's header)
    Example,      // the example row: thin borders, centred both ways
    ExampleDate,  // the same with the date format
    ExampleLeft,  // the same, left-aligned, so that a long text runs on to its right
    Instructions, // 9 pt, top-left, wrapped
};

// A text placed over a range (merged when the range is more than a cell). An empty text is
// a formatted blank cell. The .xls is written in the order the cells are listed, which fixes
// the order of its formats and so its bytes.
struct Cell {
    Range range;
    std::string_view text;
    Look look;
};

// A list rule: the value must be one of a column of the lists sheet, or of a fixed list.
struct ListRule {
    std::span<const Range> cells;
    // A column of the lists sheet (0 = A), or -1 for the fixed list below.
    int listColumn;
    std::span<const std::string_view> fixedList;
    std::string_view errorTitle;   // empty: the spreadsheet's own words
    std::string_view errorMessage; //
};

struct Width {
    int firstColumn;
    int lastColumn;
    double characters;
};

struct RowHeight {
    int row;
    double points;
};

// The date format of the birthday column; the backslashes keep the dashes literal whatever
// the reader's locale says a date separator is.
inline constexpr std::string_view kDateFormat = "yyyy\\-mm\\-dd";

// The data sheet, "Sheet1".
inline constexpr std::string_view kDataSheetName = "Sheet1";
inline constexpr int kFirstRecordRow = 3; // row 4
inline constexpr int kBirthdayColumn = 2; // C
inline constexpr int kDataZoom = 85;
inline constexpr int kSelectedRow = 3; // F4
inline constexpr int kSelectedColumn = 5;
std::span<const Cell> DataSheetCells();
std::span<const Width> DataSheetWidths();
std::span<const RowHeight> DataSheetHeights();
// The list rules of the data sheet; their record rows run from kFirstRecordRow to a last row
// the format decides (the sheet's end), given as `lastRow` in the ranges' place.
inline constexpr int kToSheetEnd = -1;
std::span<const ListRule> DataSheetRules();

// The hidden sheet of pick lists, "Sheet2": one list a column, from row 1.
inline constexpr std::string_view kListsSheetName = "Sheet2";
std::span<const std::span<const std::string_view>> Lists();
// The rows of each list a rule takes its values from (Sheet2!$B$1:$B$10 for the education).
std::span<const int> ListRuleRows();

// The notes sheet, "说明".
inline constexpr std::string_view kNotesSheetName = "说明";
inline constexpr int kExampleRow = 2;
// The example's birthday, a date value in the date format.
inline constexpr int kExampleBirthdayColumn = 2;
inline constexpr std::string_view kExampleBirthday = "1961-01-01";
std::span<const Cell> NotesSheetCells();
std::span<const Width> NotesSheetWidths();
std::span<const RowHeight> NotesSheetHeights();
std::span<const ListRule> NotesSheetRules();
// The whole-number rule between 0 and 99999999999 on the notes' instruction cell.
inline constexpr Range kNotesNumberCell{14, 9, 14, 9};
inline constexpr double kNotesNumberMaximum = 99999999999.0;

// The sheets' default row height (the height of the 11 pt 宋体 default font) and the
// default font itself.
inline constexpr double kDefaultRowPoints = 13.5;
inline constexpr std::string_view kDefaultFont = "宋体";
inline constexpr double kDefaultFontPoints = 11;

} // namespace quillon::form
