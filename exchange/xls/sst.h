// The shared string table (SST) of a BIFF8 workbook: every distinct cell text, which
// LABELSST cells name by index.
#pragma once

#include "exchange/bytes.h"
#include "exchange/workbook.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::xls {

// The table as the file stores it (UTF-16 code units), for the writer, which keeps it.
struct SharedStringUnits {
    std::uint32_t total = 0; // cells that use the table, as the record says
    std::uint32_t declaredUnique = 0;
    std::vector<std::u16string> texts; // in table order
    std::string reason;                // why reading stopped short; empty when whole
    bool Ok() const { return reason.empty(); }
};

// The table as the reader puts it into a workbook's texts (GB18030), at indices first to
// first + count - 1.
struct SharedStrings {
    std::uint32_t first = 0;
    std::size_t count = 0;
    bool tooMany = false; // more than Workbook::kMaxSharedStrings: reading stopped there
    std::string reason;   // why reading stopped short; empty when whole
    bool Ok() const { return reason.empty(); }
};

// Reads the SST record's data and the CONTINUE records after it. A table that holds
// fewer strings than it declares is read as far as it goes, since writers miscount; one
// of more than Workbook::kMaxSharedStrings stops there with a reason.
SharedStrings ReadSharedStrings(ByteSpan sst, const std::vector<ByteSpan>& continues,
                                Workbook& into);
SharedStringUnits ReadSharedStringUnits(ByteSpan sst, const std::vector<ByteSpan>& continues);

// Writes an SST record holding `count` texts, asked for in order (split into CONTINUE records where
// it outgrows one record) followed by its EXTSST index, at the end of a workbook stream being
// built: the index holds stream positions, so `stream` must be the whole stream.
void WriteSharedStrings(ByteWriter& stream, std::uint32_t total, std::size_t count,
                        const std::function<std::u16string_view(std::size_t)>& text);

} // namespace quillon::xls
