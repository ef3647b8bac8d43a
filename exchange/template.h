// The blank contact-collection workbook (.xls) that the program carries.
//
// Every spreadsheet the program hands out or writes back starts as these exact
// bytes: the template saved for people who collect numbers outside the program,
// each export file before its rows are filled in, and each workbook of rejected
// import rows. The bytes are fixed at build time from data/template.xls.
#pragma once

#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace quillon {

// The two workbook formats the program writes: the template's own .xls (65,536 rows a
// sheet), and .xlsx laid out from the same form (1,048,576 rows).
enum class WorkbookFormat { Xls, Xlsx };

// ".xls" or ".xlsx".
const char* WorkbookExtension(WorkbookFormat format);
// The records a sheet of the format holds below the title and the two header rows.
int MaxRecordsPerSheet(WorkbookFormat format);
// The format a file name asks for by its extension (".xlsx" or ".xls", in any case), or
// `otherwise` when it names neither.
WorkbookFormat WorkbookFormatOfName(std::string_view name, WorkbookFormat otherwise);

// The whole template, first byte to last.
std::span<const unsigned char> SpreadsheetTemplateBytes();

// Writes the template to an open binary stream at its current position. The
// stream is neither opened, positioned nor closed here. True only when every
// byte was accepted by the stream.
bool WriteSpreadsheetTemplate(std::FILE* out);

// Creates or truncates `path` and writes the template into it. False when the
// file cannot be opened, when not every byte could be written, or when closing
// (which flushes the last bytes) fails; a partial file is never reported as
// saved.
bool SaveSpreadsheetTemplate(const std::filesystem::path& path);

// The blank form in either format. The .xls is the bytes above, written in place; the .xlsx
// is made from the same form and put in the file's place at once, so a failure leaves the
// old file (or none). False when the file cannot be written; `why` (when given) then holds
// the system's or the library's words.
bool SaveSpreadsheetTemplate(const std::filesystem::path& path, WorkbookFormat format,
                             std::string* why = nullptr);

} // namespace quillon
