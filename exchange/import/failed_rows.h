#pragma once

#include "exchange/spreadsheet.h"
#include "exchange/template.h"
#include "exchange/xlsx/writer.h"
#include "store/contact_store.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// A workbook made from the template into which an import writes back the rows it could not
// take, each with its reason in column 11. It is written to disk while the import runs, in
// batches that grow with the sheet (its first row at once, then whenever the rows not yet
// on disk are as many as those on it), and whole whenever the import ends, however it ends:
// every way out of an import saves it. So an import of many bad rows rewrites the workbook
// a few times rather than once per thousand rows. When a sheet is full the rows go on in a
// further workbook beside it (name_2.xls, name_3.xls...). An .xlsx import writes them as
// .xlsx, whose sheet holds sixteen times the rows. Column 11 has a heading of its own,
// which says what the reasons are about; the importer reads such a workbook back as any
// other, the fixed rows and all, and leaves the reasons aside.
class FailedRowsWorkbook {
public:
    enum class Kind { Rejected, Duplicates };

    // The smallest batch saved while the import runs.
    static constexpr std::size_t kRowsPerSave = 1000;
    // Rows 4 to 65,536 of a .xls sheet.
    static constexpr std::size_t kRowsPerWorkbook = 65533;

    // `file` with the extension of `format`.
    FailedRowsWorkbook(std::filesystem::path file, Kind kind,
                       quillon::WorkbookFormat format = quillon::WorkbookFormat::Xls)
        : file_(std::move(file)), kind_(kind), format_(format) {}

    // The workbook being filled (the first until it is full).
    const std::filesystem::path& File() const { return file_; }
    std::size_t Rows() const { return rows_; }

    // Adds the record's ten fields and the reason (GB18030) as the next row; saves when a
    // batch is full. False when a save failed.
    bool Add(const ContactRecord& record, const std::string& reason);
    // Writes every row so far; true when the file on disk holds them all (or there are
    // none, and nothing is written).
    bool Save();

private:
    bool StartNextWorkbook();
    std::size_t RowsPerWorkbook() const;
    // An .xlsx keeps its rows deflated in a scratch file as they come, so that a save writes
    // them without holding them in memory.
    void StartXlsx();

    std::filesystem::path file_;
    Kind kind_;
    quillon::WorkbookFormat format_;
    std::optional<quillon::Spreadsheet> sheet_;
    std::optional<quillon::xlsx::TemplateWorkbook> xlsx_;
    bool started_ = false;
    std::size_t rows_ = 0;        // in all workbooks
    std::size_t rowsInSheet_ = 0; // in the current one
    std::size_t unsaved_ = 0;
};

// The text cut to at most `units` UTF-16 code units, as a workbook cell counts them (a
// character beyond U+FFFF takes two), never inside a character.
std::string CutGb18030Text(const std::string& gb18030, std::size_t units);
