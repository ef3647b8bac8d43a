#include "exchange/spreadsheet.h"

#include "exchange/read_workbook.h"
#include "exchange/template.h"
#include "exchange/xls/container.h"
#include "platform/files.h"

namespace quillon {

namespace {

SaveResult NotWritable() {
    return {SaveError::NotWritable, "only a .xls of the template's kind can be written"};
}

} // namespace

OpenRefusal CheckWorkbookPath(std::string_view path) {
    if (path.empty()) {
        return OpenRefusal::NoPath;
    }
    if (path.find(".xls") == std::string_view::npos) {
        return OpenRefusal::NotWorkbookName;
    }
    return OpenRefusal::None;
}

Spreadsheet Spreadsheet::FromTemplate() {
    Spreadsheet sheet;
    const auto bytes = SpreadsheetTemplateBytes();
    sheet.file_.assign(bytes.begin(), bytes.end());
    sheet.workbook_ = ReadWorkbook(sheet.file_).workbook;
    sheet.PrepareWriter();
    return sheet;
}

Spreadsheet Spreadsheet::Open(const std::filesystem::path& path, WorkbookError& error,
                              std::string& detail) {
    Spreadsheet sheet;
    std::string bytes;
    WorkbookResult read = ReadWorkbookFile(path, bytes);
    error = read.error;
    detail = std::move(read.detail);
    if (!read) {
        return sheet;
    }
    sheet.path_ = path;
    sheet.file_.assign(bytes.begin(), bytes.end());
    sheet.workbook_ = std::move(read.workbook);
    sheet.PrepareWriter();
    return sheet;
}

void Spreadsheet::PrepareWriter() {
    if (!xls::LooksLikeCompoundFile(file_)) {
        return;
    }
    xls::BytesResult stream = xls::ReadCompoundStream(file_, "Workbook");
    if (!stream) {
        return;
    }
    stream_ = std::make_unique<std::vector<std::uint8_t>>(std::move(stream.bytes));
    auto writer = std::make_unique<xls::FirstSheetWriter>(*stream_);
    if (writer->Status()) {
        writer_ = std::move(writer);
    }
}

xls::SheetWriteError Spreadsheet::SetCellValue(int row, int column, std::string_view gb18030) {
    if (!writer_) {
        return xls::SheetWriteError::Unsupported;
    }
    return writer_->SetText(row, column, gb18030);
}

xls::SheetWriteError Spreadsheet::SetHeading(int firstRow, int firstColumn, int lastRow,
                                             int lastColumn, std::string_view gb18030, int modelRow,
                                             int modelColumn) {
    if (!writer_) {
        return xls::SheetWriteError::Unsupported;
    }
    for (int column = firstColumn; column <= lastColumn; ++column) {
        const xls::SheetWriteError widened =
            writer_->CopyColumnWidth(column, modelColumn + column - firstColumn);
        if (widened != xls::SheetWriteError::None) {
            return widened;
        }
    }
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            const xls::SheetWriteError copied = writer_->CopyFormat(
                row, column, modelRow + row - firstRow, modelColumn + column - firstColumn);
            if (copied != xls::SheetWriteError::None) {
                return copied;
            }
        }
    }
    if (const xls::SheetWriteError set = writer_->SetText(firstRow, firstColumn, gb18030);
        set != xls::SheetWriteError::None) {
        return set;
    }
    if (firstRow == lastRow && firstColumn == lastColumn) {
        return xls::SheetWriteError::None;
    }
    return writer_->Merge(firstRow, firstColumn, lastRow, lastColumn);
}

xls::SheetWriteError Spreadsheet::SetCellValuesUtf8(int row, int column,
                                                    std::span<const std::string_view> utf8) {
    if (!writer_) {
        return xls::SheetWriteError::Unsupported;
    }
    return writer_->SetUtf8Texts(row, column, utf8);
}

void Spreadsheet::ReserveRows(int rows, int textsPerRow) {
    if (writer_) {
        writer_->ReserveRows(rows, textsPerRow);
    }
}

xls::CompoundResult Spreadsheet::FileEntries() const {
    return xls::ReplaceStreamIn(file_, "Workbook", writer_->Build(), xls::kMiniStreamCutoff);
}

SaveResult Spreadsheet::Bytes(std::vector<std::uint8_t>& out) const {
    if (!writer_) {
        return NotWritable();
    }
    const xls::CompoundResult entries = FileEntries();
    xls::BytesResult file = entries ? xls::WriteCompoundFile(entries.root) : xls::BytesResult{};
    if (!entries || !file) {
        return {SaveError::Container, entries ? file.detail : entries.detail};
    }
    out = std::move(file.bytes);
    return {};
}

SaveResult Spreadsheet::SaveAs(const std::filesystem::path& path) {
    if (!writer_) {
        return NotWritable();
    }
    const xls::CompoundResult entries = FileEntries();
    if (!entries) {
        return {SaveError::Container, entries.detail};
    }
    // Written straight into the file that replaces the old one: a workbook of many
    // megabytes is never held whole a second time.
    std::string why;
    const FileResult written = ReplaceFileAtomicallyWith(
        path, [&](int fd) { return xls::WriteCompoundFileTo(entries.root, fd, why); });
    if (!written) {
        return {SaveError::File, why.empty() ? written.detail : why + ": " + written.detail};
    }
    path_ = path;
    return {};
}

} // namespace quillon
