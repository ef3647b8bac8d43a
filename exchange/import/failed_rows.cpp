#include "exchange/import/failed_rows.h"

#include "exchange/template_form.h"
#include "exchange/xls/writer.h"
#include "exchange/xlsx/writer.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <system_error>

namespace {

constexpr int kFirstRow = 4;

// The source columns in order, then the reason.
constexpr ContactField kColumns[] = {
    kUser_Name, kUser_Sex, kUser_Birthday, kUser_Education,      kRecode_Type,
    kProvince,  kCity,     kCounty_Seat,   kOrganization_Detial, kMobile_NO};

// The reason column's heading, over both header rows in the look of the form's headings
// there, so that it reads as one of them.
quillon::form::Cell ReasonHeading(FailedRowsWorkbook::Kind kind) {
    constexpr int column = static_cast<int>(std::size(kColumns));
    constexpr int top = quillon::form::kFirstRecordRow - 2;
    return {{top, column, top + 1, column},
            kind == FailedRowsWorkbook::Kind::Rejected ? "错误原因" : "重复原因",
            quillon::form::Look::Header};
}

// The form's first heading of the same shape and look, whose cells the .xls heading copies
// the formats of (the template's formats are found by its cells, not by their looks).
const quillon::form::Range& ModelOf(const quillon::form::Cell& heading) {
    const quillon::form::Range& want = heading.range;
    for (const quillon::form::Cell& cell : quillon::form::DataSheetCells()) {
        const quillon::form::Range& r = cell.range;
        if (cell.look == heading.look && r.firstRow == want.firstRow && r.lastRow == want.lastRow &&
            r.lastColumn - r.firstColumn == want.lastColumn - want.firstColumn) {
            return r;
        }
    }
    return want;
}

std::filesystem::path NextFreeName(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    const std::string stem = file.stem().string();
    const std::string extension = file.extension().string();
    std::error_code ignored;
    for (int n = 2;; ++n) {
        std::filesystem::path candidate = folder / (stem + "_" + std::to_string(n) + extension);
        if (!std::filesystem::exists(candidate, ignored)) {
            return candidate;
        }
    }
}

} // namespace

std::string CutGb18030Text(const std::string& gb18030, std::size_t units) {
    std::size_t at = 0;
    for (std::size_t count = 0; at < gb18030.size();) {
        count += Gb18030Utf16Length(gb18030, at);
        if (count > units) {
            break;
        }
        at += Gb18030CharacterLength(gb18030, at);
    }
    return gb18030.substr(0, at);
}

std::size_t FailedRowsWorkbook::RowsPerWorkbook() const {
    return format_ == quillon::WorkbookFormat::Xlsx ? quillon::xlsx::kMaxRecordRows
                                                    : kRowsPerWorkbook;
}

bool FailedRowsWorkbook::StartNextWorkbook() {
    bool saved = true;
    if (started_) {
        saved = Save();
        file_ = NextFreeName(file_);
    }
    started_ = true;
    if (format_ == quillon::WorkbookFormat::Xlsx) {
        StartXlsx();
    } else {
        sheet_.emplace(quillon::Spreadsheet::FromTemplate());
        // The template is the program's own, so the heading's model is always there.
        const quillon::form::Cell heading = ReasonHeading(kind_);
        const quillon::form::Range& at = heading.range;
        const quillon::form::Range& model = ModelOf(heading);
        sheet_->SetHeading(at.firstRow + 1, at.firstColumn + 1, at.lastRow + 1, at.lastColumn + 1,
                           Utf8ToGb18030(std::string(heading.text)), model.firstRow + 1,
                           model.firstColumn + 1);
    }
    rowsInSheet_ = 0;
    unsaved_ = 0;
    return saved;
}

bool FailedRowsWorkbook::Add(const ContactRecord& record, const std::string& reason) {
    bool saved = true;
    if (!started_ || rowsInSheet_ == RowsPerWorkbook()) {
        saved = StartNextWorkbook();
    }
    if (format_ == quillon::WorkbookFormat::Xlsx) {
        std::array<std::string, std::size(kColumns) + 1> cells;
        for (std::size_t i = 0; i < std::size(kColumns); ++i) {
            cells[i] = CutGb18030Text(record[kColumns[i]], quillon::xlsx::kMaxCellCharacters);
        }
        cells.back() = CutGb18030Text(reason, quillon::xlsx::kMaxCellCharacters);
        // Only a workbook that could not be started refuses a row; its save says so.
        (void)xlsx_->AddRowGb18030(cells);
    } else {
        const int row = kFirstRow + static_cast<int>(rowsInSheet_);
        int column = 1;
        for (ContactField field : kColumns) {
            sheet_->SetCellValue(row, column++,
                                 CutGb18030Text(record[field], quillon::xls::kMaxCellCharacters));
        }
        sheet_->SetCellValue(row, column, CutGb18030Text(reason, quillon::xls::kMaxCellCharacters));
    }
    ++rowsInSheet_;
    ++rows_;
    // The first row of a workbook is written at once, so that a folder that cannot take
    // it ends the import at that row instead of a thousand rows later. After that a save
    // waits until the rows since the last one are as many as those already on disk (and at
    // least kRowsPerSave): each save rewrites the whole sheet, so saving every thousand
    // rows would cost time growing with the square of the rows, while doubling keeps the
    // rows written in all below three times the sheet's.
    ++unsaved_;
    if (rowsInSheet_ == 1 || unsaved_ >= std::max(kRowsPerSave, rowsInSheet_ - unsaved_)) {
        saved = Save() && saved;
    }
    return saved;
}

bool FailedRowsWorkbook::Save() {
    if (!started_ || unsaved_ == 0) {
        return true;
    }
    if (format_ == quillon::WorkbookFormat::Xlsx ? !xlsx_->Save() : !sheet_->SaveAs(file_)) {
        return false;
    }
    unsaved_ = 0;
    return true;
}

void FailedRowsWorkbook::StartXlsx() {
    const quillon::form::Cell heading = ReasonHeading(kind_);
    // As wide as the model's column, as the .xls heading's column is.
    const int model = ModelOf(heading).firstColumn;
    std::vector<quillon::form::Width> widths;
    for (const quillon::form::Width& width : quillon::form::DataSheetWidths()) {
        if (width.firstColumn <= model && model <= width.lastColumn) {
            widths.push_back(
                {heading.range.firstColumn, heading.range.lastColumn, width.characters});
        }
    }
    xlsx_.emplace(file_, std::span(&heading, 1), widths);
}
