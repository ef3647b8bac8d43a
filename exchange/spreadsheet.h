// The workbook component: what the export and the import ask of a spreadsheet
// application. A workbook is opened with its first sheet active; its used range and cell
// texts are read as the import sees them; texts are set into the first sheet of a .xls
// made from the template and saved in place or under a new name.
#pragma once

#include "exchange/bytes.h"
#include "exchange/workbook.h"
#include "exchange/xls/container.h"
#include "exchange/xls/writer.h"

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Why a path given to open a workbook is refused before any file is touched.
enum class OpenRefusal { None, NoPath, NotWorkbookName };

// An empty path, or one without ".xls" in it (".xlsx" passes).
OpenRefusal CheckWorkbookPath(std::string_view path);

enum class SaveError { None, NotWritable, Container, File };

struct SaveResult {
    SaveError error = SaveError::None;
    std::string detail;
    explicit operator bool() const { return error == SaveError::None; }
};

class Spreadsheet {
public:
    // A new workbook in memory holding the blank template; it has no path until SaveAs.
    static Spreadsheet FromTemplate();
    // Reads the workbook at `path`; `error` holds the reader's reason when it fails.
    static Spreadsheet Open(const std::filesystem::path& path, WorkbookError& error,
                            std::string& detail);

    Spreadsheet(Spreadsheet&&) = default;
    Spreadsheet& operator=(Spreadsheet&&) = default;

    const Workbook& Sheet() const { return workbook_; }
    // As opened; the cells set since are not read back.
    int UsedRows() const { return workbook_.UsedRows(); }
    int UsedColumns() const { return workbook_.UsedColumns(); }
    std::string_view CellValue(int row, int column) const {
        return workbook_.CellText(row, column);
    }

    // Sets a cell of the first sheet to a GB18030 text. Only a .xls of the template's kind
    // can be written; for any other workbook this gives Unsupported.
    xls::SheetWriteError SetCellValue(int row, int column, std::string_view gb18030);
    // Sets a heading over a rectangle of the first sheet: the text in its first cell, each
    // cell in the format of the cell placed alike in the rectangle of the same size at
    // (modelRow, modelColumn), each column as wide as its model column, the whole merged
    // when it is more than a cell. So a heading put beside the template's takes the look,
    // the shape and the room of one of them.
    xls::SheetWriteError SetHeading(int firstRow, int firstColumn, int lastRow, int lastColumn,
                                    std::string_view gb18030, int modelRow, int modelColumn);
    // Sets a row's cells from `column` on to UTF-8 texts as the register stores them; the
    // sheet is the one SetCellValue gives for their GB18030 (see FirstSheetWriter).
    xls::SheetWriteError SetCellValuesUtf8(int row, int column,
                                           std::span<const std::string_view> utf8);

    // Makes room for the rows an export is about to set (see FirstSheetWriter::ReserveRows).
    void ReserveRows(int rows, int textsPerRow);

    // The whole file as it would be saved.
    SaveResult Bytes(std::vector<std::uint8_t>& out) const;
    // Replaces the file at once: a failed save leaves the old file (or none) as it was.
    SaveResult Save() { return SaveAs(path_); }
    SaveResult SaveAs(const std::filesystem::path& path);
    void Close() { *this = Spreadsheet(); }

private:
    Spreadsheet() = default;
    void PrepareWriter();
    // The file's entries with the filled Workbook stream; only when there is a writer.
    xls::CompoundResult FileEntries() const;

    std::filesystem::path path_;
    std::vector<std::uint8_t> file_;
    Workbook workbook_;
    // Held apart so that the writer's view of the stream survives a move.
    std::unique_ptr<std::vector<std::uint8_t>> stream_;
    std::unique_ptr<xls::FirstSheetWriter> writer_;
};

} // namespace quillon
