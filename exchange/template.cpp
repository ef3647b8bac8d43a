#include "exchange/template.h"

#include "exchange/xls/writer.h"
#include "exchange/xlsx/writer.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

// Generated at build time from data/template.xls.
extern const unsigned char quillon_template_xls[];
extern const std::size_t quillon_template_xls_size;

namespace quillon {

const char* WorkbookExtension(WorkbookFormat format) {
    return format == WorkbookFormat::Xlsx ? ".xlsx" : ".xls";
}

int MaxRecordsPerSheet(WorkbookFormat format) {
    return format == WorkbookFormat::Xlsx ? xlsx::kMaxRecordRows : xls::kMaxSheetRows - 3;
}

WorkbookFormat WorkbookFormatOfName(std::string_view name, WorkbookFormat otherwise) {
    const auto endsWith = [&](std::string_view end) {
        return name.size() >= end.size() &&
               std::equal(end.begin(), end.end(), name.end() - end.size(), [](char a, char b) {
                   return a == std::tolower(static_cast<unsigned char>(b));
               });
    };
    if (endsWith(".xlsx")) {
        return WorkbookFormat::Xlsx;
    }
    if (endsWith(".xls")) {
        return WorkbookFormat::Xls;
    }
    return otherwise;
}

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

bool SaveSpreadsheetTemplate(const std::filesystem::path& path, WorkbookFormat format,
                             std::string* why) {
    if (format == WorkbookFormat::Xls) {
        return SaveSpreadsheetTemplate(path);
    }
    const xlsx::WriteResult saved = xlsx::SaveBlankTemplate(path);
    if (!saved && why) {
        *why = saved.detail;
    }
    return static_cast<bool>(saved);
}

} // namespace quillon
