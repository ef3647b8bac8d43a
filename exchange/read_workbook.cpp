#include "exchange/read_workbook.h"

#include "exchange/xls/container.h"
#include "exchange/xls/reader.h"
#include "exchange/xlsx/reader.h"
#include "exchange/zip/zip_reader.h"
#include "platform/files.h"

namespace quillon {

WorkbookResult ReadWorkbook(ByteSpan bytes) {
    if (bytes.empty()) {
        return WorkbookResult::Fail(WorkbookError::Empty, "the file is empty");
    }
    if (LooksLikeZip(bytes)) {
        return xlsx::ReadXlsx(bytes);
    }
    WorkbookResult result = xls::ReadXls(bytes);
    if (result.error == WorkbookError::NotAWorkbook && !xls::LooksLikeCompoundFile(bytes)) {
        result.detail = "neither a .xls nor a .xlsx workbook";
    }
    return result;
}

WorkbookResult ReadWorkbookFile(const std::filesystem::path& path) {
    std::string bytes;
    return ReadWorkbookFile(path, bytes);
}

WorkbookResult ReadWorkbookFile(const std::filesystem::path& path, std::string& bytes) {
    FileContents file = ReadSmallFile(path, kMaxWorkbookFileBytes);
    switch (file.status.error) {
    case FileError::None:
        break;
    case FileError::NotFound:
        return WorkbookResult::Fail(WorkbookError::NotFound, "no file at " + path.string());
    case FileError::TooLarge:
        return WorkbookResult::Fail(WorkbookError::TooLarge,
                                    "the file is larger than " +
                                        std::to_string(kMaxWorkbookFileBytes >> 20) + " MB");
    default:
        return WorkbookResult::Fail(WorkbookError::Unreadable,
                                    path.string() + ": " + file.status.detail);
    }
    bytes = std::move(file.bytes);
    return ReadWorkbook(
        ByteSpan(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

} // namespace quillon
