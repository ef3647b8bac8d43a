// Reads the first worksheet of a .xlsx workbook (Office Open XML, a zip of XML parts)
// into the format-free model.
#pragma once

#include "exchange/bytes.h"
#include "exchange/workbook.h"

#include <cstddef>

namespace quillon::xlsx {

struct Limits {
    // The most the sheet or the shared strings may inflate to. They are parsed as they
    // inflate, so this bounds the time spent more than the memory; a 60,000-row register
    // sheet is some 25 MB.
    std::size_t maxPartBytes = std::size_t{96} << 20;
    // The small parts (workbook, relationships, styles) are parsed into a tree, which takes
    // several times their size; none of them comes near this in a real workbook.
    std::size_t maxTreePartBytes = std::size_t{16} << 20;
};

WorkbookResult ReadXlsx(ByteSpan file, const Limits& limits = {});

} // namespace quillon::xlsx
