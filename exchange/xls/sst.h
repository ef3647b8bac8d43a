// The shared string table (SST) of a BIFF8 workbook: every distinct cell text, which
// LABELSST cells name by index.
#pragma once

#include "exchange/bytes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon::xls {

template <typename Text> struct StringTable {
    std::uint32_t total = 0; // cells that use the table, as the record says
    std::uint32_t declaredUnique = 0;
    std::vector<Text> texts; // in table order
    std::string reason;      // why reading stopped short; empty when whole
    bool Ok() const { return reason.empty(); }
};

// As the program holds text (GB18030), and as the file stores it (UTF-16 code units).
using SharedStrings = StringTable<std::string>;
using SharedStringUnits = StringTable<std::u16string>;

// Reads the SST record's data and the CONTINUE records after it. A table that holds
// fewer strings than it declares is read as far as it goes, since writers miscount.
SharedStrings ReadSharedStrings(ByteSpan sst, const std::vector<ByteSpan>& continues);
SharedStringUnits ReadSharedStringUnits(ByteSpan sst, const std::vector<ByteSpan>& continues);

// Writes an SST record holding `count` texts, asked for in order (split into CONTINUE records where
// it outgrows one record) followed by its EXTSST index, at the end of a workbook stream being
// built: the index holds stream positions, so `stream` must be the whole stream.
void WriteSharedStrings(ByteWriter& stream, std::uint32_t total, std::size_t count,
                        const std::function<const std::u16string&(std::size_t)>& text);

} // namespace quillon::xls
