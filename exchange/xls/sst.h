// The shared string table (SST) of a BIFF8 workbook: every distinct cell text, which
// LABELSST cells name by index.
#pragma once

#include "exchange/bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::xls {

struct SharedStrings {
    std::uint32_t total = 0; // cells that use the table, as the record says
    std::uint32_t declaredUnique = 0;
    std::vector<std::string> texts; // GBK, in table order
    std::string reason;             // why reading stopped short; empty when whole
    bool Ok() const { return reason.empty(); }
};

// Reads the SST record's data and the CONTINUE records after it. A table that holds
// fewer strings than it declares is read as far as it goes, since writers miscount.
SharedStrings ReadSharedStrings(ByteSpan sst, const std::vector<ByteSpan>& continues);

} // namespace quillon::xls
