// Opening a workbook the import was given, whatever its kind: a .xls (compound file or
// bare BIFF stream) or a .xlsx (zip). The kind is told from the bytes, not the name,
// since people rename files.
#pragma once

#include "exchange/bytes.h"
#include "exchange/workbook.h"

#include <filesystem>
#include <string>

namespace quillon {

// The largest workbook file the import reads: twice what a full .xls sheet of texts
// takes, and far beyond any register people send.
inline constexpr std::size_t kMaxWorkbookFileBytes = std::size_t{256} << 20;

WorkbookResult ReadWorkbook(ByteSpan bytes);
WorkbookResult ReadWorkbookFile(const std::filesystem::path& path);
// The same, handing back the file's bytes as well (for a workbook that is to be written).
WorkbookResult ReadWorkbookFile(const std::filesystem::path& path, std::string& bytes);

} // namespace quillon
