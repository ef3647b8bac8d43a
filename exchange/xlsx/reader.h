// Reads the first worksheet of a .xlsx workbook (Office Open XML, a zip of XML parts)
// into the format-free model.
#pragma once

#include "exchange/bytes.h"
#include "exchange/workbook.h"

#include <cstddef>

namespace quillon::xlsx {

struct Limits {
    // The most one part (the sheet, the shared strings) may inflate to. Its parsed form
    // takes a few times as much memory again; a 60,000-row register sheet is some 25 MB.
    std::size_t maxPartBytes = std::size_t{96} << 20;
};

WorkbookResult ReadXlsx(ByteSpan file, const Limits& limits = {});

} // namespace quillon::xlsx
