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

namespace quillon {

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

} // namespace quillon
