#include "exchange/spreadsheet.h"

#include "exchange/read_workbook.h"
#include "exchange/template.h"
#include "exchange/xls/container.h"
#include "platform/files.h"
#include "platform/text.h"

namespace quillon {

OpenRefusal CheckWorkbookPath(std::string_view path) {
    if (path.empty()) {
        return OpenRefusal::NoPath;
    }
    if (path.find(".xls") == std::string_view::npos) {
        return OpenRefusal::NotWorkbookName;
    }
    return OpenRefusal::None;
}

std::string OpenRefusalText(OpenRefusal refusal) {
    switch (refusal) {
    case OpenRefusal::NoPath:
        return Gbk("文件不存在，无法打开！");
    case OpenRefusal::NotWorkbookName:
        return Gbk("请输入打开文件名");
    case OpenRefusal::None:
        break;
    }
    return {};
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
    const FileContents file = ReadSmallFile(path, kMaxWorkbookFileBytes);
    WorkbookResult read =
        file.status
            ? ReadWorkbook(ByteSpan(reinterpret_cast<const std::uint8_t*>(file.bytes.data()),
                                    file.bytes.size()))
            : ReadWorkbookFile(path);
    error = read.error;
    detail = std::move(read.detail);
    if (!read) {
        return sheet;
    }
    sheet.path_ = path;
    sheet.file_.assign(file.bytes.begin(), file.bytes.end());
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

xls::SheetWriteError Spreadsheet::SetCellValue(int row, int column, std::string_view gbk) {
    if (!writer_) {
        return xls::SheetWriteError::Unsupported;
    }
    return writer_->SetText(row, column, gbk);
}

SaveResult Spreadsheet::Bytes(std::vector<std::uint8_t>& out) const {
    if (!writer_) {
        return {SaveError::NotWritable, "only a .xls of the template's kind can be written"};
    }
    xls::BytesResult file =
        xls::ReplaceCompoundStream(file_, "Workbook", writer_->Build(), xls::kMiniStreamCutoff);
    if (!file) {
        return {SaveError::Container, std::move(file.detail)};
    }
    out = std::move(file.bytes);
    return {};
}

SaveResult Spreadsheet::SaveAs(const std::filesystem::path& path) {
    std::vector<std::uint8_t> bytes;
    if (SaveResult built = Bytes(bytes); !built) {
        return built;
    }
    const FileResult written = ReplaceFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!written) {
        return {SaveError::File, written.detail};
    }
    path_ = path;
    return {};
}

} // namespace quillon
