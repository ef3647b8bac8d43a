// Reads the first worksheet of a .xlsx workbook (Office Open XML, a zip of XML parts)
// into the format-free model.
#pragma once

#include "exchange/bytes.h"
#include "exchange/workbook.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace quillon::xlsx {

struct Limits {
    // The most the sheet or the shared strings may inflate to: maxPartBytes, or inflationRatio
    // times their packed size where that is more, up to maxStreamedPartBytes. They are parsed
    // as they inflate, and what the workbook holds of them is bounded on its own
    // (maxCells, maxTextBytes), so this bounds the time spent. A sheet of records inflates to
    // twelve to twenty times its packed size (a million records: 50 MB packed, 700 MB
    // inflated), a deflate bomb to a thousand times: the time a part takes stays in
    // proportion to the file's size.
    std::size_t maxPartBytes = std::size_t{96} << 20;
    std::size_t inflationRatio = 100;
    std::uint64_t maxStreamedPartBytes = std::uint64_t{2} << 30;
    // The small parts (workbook, relationships, styles) are parsed into a tree, which takes
    // several times their size; none of them comes near this in a real workbook.
    std::size_t maxTreePartBytes = std::size_t{16} << 20;
    // What the workbook may hold of the sheet: every row of the format 16 columns wide, and
    // texts of 512 MB (a million records take some 100 MB).
    std::size_t maxCells = std::size_t{16} * Workbook::kMaxRows;
    std::size_t maxTextBytes = std::size_t{512} << 20;

    std::uint64_t StreamedPartLimit(std::uint64_t packedBytes) const {
        const std::uint64_t packed = std::min(packedBytes, maxStreamedPartBytes / inflationRatio);
        return std::max<std::uint64_t>(maxPartBytes, packed * inflationRatio);
    }
};

WorkbookResult ReadXlsx(ByteSpan file, const Limits& limits = {});

} // namespace quillon::xlsx
