// Workbooks in .xlsx laid out like the template: the form of template_form.h (title, header
// rows, the notes sheet, the hidden lists and the list rules down to the sheet's end) with
// records from row 4. libxlsxwriter lays out and writes the form; the records are streamed
// into its data sheet (sheet_rows.h), so that a sheet of a million rows costs what a row does.
#pragma once

#include "exchange/template_form.h"

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace quillon::xlsx {

class SheetRows;

// Rows of an .xlsx sheet, and the records one holds below the title and the two header rows.
inline constexpr int kMaxSheetRows = 1048576;
inline constexpr int kMaxRecordRows = kMaxSheetRows - 3;
// Characters a cell holds.
inline constexpr std::size_t kMaxCellCharacters = 32767;

enum class WriteError {
    None,
    Library,     // the library refused the form itself (no memory, a folder it cannot use)
    SheetFull,   // the sheet has no row left
    TextTooLong, // a cell longer than kMaxCellCharacters
    File,        // the file could not be written where it belongs
};

struct WriteResult {
    WriteError error = WriteError::None;
    std::string detail; // the library's or the system's words
    explicit operator bool() const { return error == WriteError::None; }
};

// One workbook on its way to `target`. Rows are appended from row 4; Save writes the file and
// puts it in the target's place at once, so that a failure or a workbook never saved (a
// stopped export) leaves no part of it under that name. The library's scratch files and the
// file being assembled lie in the target's folder (never in a /tmp that may be held in
// memory) and are removed whatever happens.
class TemplateWorkbook {
public:
    // `moreFormCells` are laid out on the data sheet with the form's own, and `moreWidths`
    // given to columns the form leaves at the default (a heading the form lacks, such as that
    // of the reason column of the rows an import sends back, and its room).
    explicit TemplateWorkbook(std::filesystem::path target,
                              std::span<const form::Cell> moreFormCells = {},
                              std::span<const form::Width> moreWidths = {});
    ~TemplateWorkbook();
    TemplateWorkbook(const TemplateWorkbook&) = delete;
    TemplateWorkbook& operator=(const TemplateWorkbook&) = delete;

    // Whether the form could be laid out; when not, nothing else does anything.
    const WriteResult& Status() const { return status_; }
    int Records() const { return records_; }

    // The next row, from column A on, of UTF-8 texts as the register stores them. Each text
    // reaches the sheet as it would through the program's GB18030 (a broken sequence becomes
    // one U+FFFD), and a text that only looks like a spreadsheet escape ("_x0041_") stays as
    // written.
    WriteResult AddRowUtf8(std::span<const std::string_view> cells);
    // The same for GB18030 texts.
    WriteResult AddRowGb18030(std::span<const std::string> cells);

    // Writes the workbook as it stands and replaces the target with it. Rows may follow, and
    // a later Save writes them too; a save writes the rows already deflated, not again.
    WriteResult Save();

private:
    // Why nothing can be added or saved (the form failed, or the workbook is saved), or none.
    WriteResult Usable() const;
    // Each text is converted into cell_ by `convert`, then added as the next row's cell.
    template <typename Text, typename Convert>
    WriteResult AddRow(std::span<const Text> cells, Convert convert);
    // Adds cell_ to the current row; `original` is the text it was made from (empty: no cell).
    WriteResult AddCell(int column, std::string_view original);
    void LayOutForm(std::span<const form::Cell> moreFormCells,
                    std::span<const form::Width> moreWidths);
    WriteResult CloseLibraryWorkbook();
    // A new empty file of an unpredictable name in the scratch folder.
    WriteResult MakeScratchFile(std::filesystem::path& path) const;
    void Discard();

    std::filesystem::path target_;
    std::filesystem::path form_; // the file the library writes the form to, while it does
    std::string formBytes_;      // the form as the library wrote it, without records
    std::string scratchFolder_;
    WriteResult status_;
    lxw_workbook* workbook_ = nullptr; // while the form is laid out
    lxw_worksheet* data_ = nullptr;
    lxw_format* body_ = nullptr;
    lxw_format* birthday_ = nullptr;
    int bodyStyle_ = 0;
    int birthdayStyle_ = 0;
    std::unique_ptr<SheetRows> rows_; // until saved
    int records_ = 0;
    std::string cell_;       // a cell's text as handed to the library
    std::u16string scratch_; // a text on its way through UTF-16
};

// Writes the blank form as an .xlsx at `path` (replaced at once); the reason when it cannot.
WriteResult SaveBlankTemplate(const std::filesystem::path& path);

} // namespace quillon::xlsx
