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
    // The most the sheet or the shared strings may inflate to: this much, or inflationRatio
    // times their packed size where that is more, up to maxPackedPartBytes. They are parsed as
    // they inflate, so this bounds the time spent more than the memory. A sheet of records
    // inflates to twelve to twenty times its packed size (a million records: some 50 MB
    // packed, 700 MB inflated), a deflate bomb to a thousand times, so the time a part may
    // take stays in proportion to the file's size.
    std::size_t maxPartBytes = std::size_t{96} << 20;
    std::size_t inflationRatio = 100;
    std::uint64_t maxPackedPartBytes = std::uint64_t{4} << 30;
    // The small parts (workbook, relationships, styles) are parsed into a tree, which takes
    // several times their size; none of them comes near this in a real workbook.
    std::size_t maxTreePartBytes = std::size_t{16} << 20;

    std::uint64_t StreamedPartLimit(std::uint64_t packedBytes) const {
        return std::max<std::uint64_t>(maxPartBytes,
                                       std::min(packedBytes, maxPackedPartBytes / inflationRatio) *
                                           inflationRatio);
    }
};

WorkbookResult ReadXlsx(ByteSpan file, const Limits& limits = {});

} // namespace quillon::xlsx
