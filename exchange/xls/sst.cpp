#include "exchange/xls/sst.h"

#include "exchange/xls/records.h"

#include <algorithm>

namespace quillon::xls {

SharedStrings ReadSharedStrings(ByteSpan sst, const std::vector<ByteSpan>& continues) {
    std::vector<ByteSpan> segments{sst};
    segments.insert(segments.end(), continues.begin(), continues.end());
    std::size_t bytes = 0;
    for (const ByteSpan& segment : segments) {
        bytes += segment.size();
    }
    ContinuedReader in(std::move(segments));
    SharedStrings table;
    table.total = in.U32();
    table.declaredUnique = in.U32();
    // Each string takes at least three bytes, so the data bounds the count whatever the
    // record claims.
    table.texts.reserve(std::min<std::size_t>(table.declaredUnique, bytes / 3 + 1));
    for (std::uint32_t i = 0; i < table.declaredUnique && in.Ok() && !in.AtEnd(); ++i) {
        const std::uint16_t characters = in.U16();
        std::u16string text = in.UnicodeString(characters);
        if (!in.Ok()) {
            break;
        }
        table.texts.push_back(Utf16ToGbkText(text));
    }
    if (!in.Ok()) {
        table.reason = "shared string " + std::to_string(table.texts.size()) + ": " + in.Reason();
    }
    return table;
}

} // namespace quillon::xls
