#include "exchange/template.h"

#include <cstddef>

// Generated at build time from data/template.xls.
extern const unsigned char quillon_template_xls[];
extern const std::size_t quillon_template_xls_size;

namespace quillon {

std::span<const unsigned char> SpreadsheetTemplateBytes() {
    return {quillon_template_xls, quillon_template_xls_size};
}

bool WriteSpreadsheetTemplate(std::FILE* out) {
    if (out == nullptr) {
        return false;
    }
    const auto bytes = SpreadsheetTemplateBytes();
    return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

bool SaveSpreadsheetTemplate(const std::filesystem::path& path) {
    std::FILE* out = std::fopen(path.c_str(), "wb+");
    if (out == nullptr) {
        return false;
    }
    const bool written = WriteSpreadsheetTemplate(out);
    // fclose flushes the buffered tail, so a full disk may only show here.
    const bool closed = std::fclose(out) == 0;
    return written && closed;
}

} // namespace quillon
