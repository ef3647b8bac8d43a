// The record rows of an .xlsx data sheet, written as the sheet's XML and deflated as they
// come into a scratch file, then spliced into the workbook the library wrote without them.
//
// The library writes each cell through stdio and compresses every part at zlib's default
// level, with no setting for it; for a sheet of records that is most of an export's time.
// Here a row costs a few appends and the fastest deflate level: the sheet's XML is highly
// repetitive, so the file grows by about a fifth against the default level, while writing
// it takes a third of the time. The form (its rows, merges, list rules and every other part)
// stays the library's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace quillon::xlsx {

// A column's letters in a cell reference, from 0: "A", "Z", "AA".
std::string ColumnLetters(int column);

struct SpliceResult {
    bool ok = true;
    std::string detail; // the system's or the archive's words
    explicit operator bool() const { return ok; }
};

class SheetRows {
public:
    // The scratch file is made in `folder` and has no name there; it goes with the object.
    explicit SheetRows(const std::filesystem::path& folder);
    ~SheetRows();
    SheetRows(const SheetRows&) = delete;
    SheetRows& operator=(const SheetRows&) = delete;

    // Why the rows cannot be written (no scratch file, a write that failed), or ok.
    const SpliceResult& Status() const { return status_; }

    // Rows and columns count from 0, as the library's do; rows must come in increasing order
    // and a row's cells from left to right. The text is UTF-8 as the sheet is to show it: it
    // is escaped here for XML and for the format's own "_xHHHH_" escapes.
    void StartRow(int row);
    void AddText(int column, std::string_view utf8, int style);
    void EndRow();
    // Takes back the row started last, as if it had not been (a cell that could not be had).
    void CancelRow();

    // Writes to `out` every part of the archive `form` with the rows so far placed at the
    // end of the data sheet `sheetPart` (after the form's own rows), and the sheet's recorded
    // extent widened to hold them. Rows may follow for a later splice.
    SpliceResult SpliceInto(std::string_view form, std::string_view sheetPart,
                            const std::filesystem::path& out);

private:
    void AppendEscaped(std::string_view utf8);
    void Deflate(int flush);
    void Fail(std::string detail);

    struct Stream;
    int fd_ = -1;
    std::unique_ptr<Stream> stream_;
    SpliceResult status_;
    std::string xml_;    // rows not yet deflated
    std::string packed_; // deflated bytes not yet written
    std::uint64_t xmlBytes_ = 0;
    std::uint64_t packedBytes_ = 0;
    unsigned long crc_ = 0;
    int row_ = -1;
    std::size_t rowStart_ = 0; // where the current row's XML begins in xml_
    int lastColumnBefore_ = -1;
    std::string rowNumber_; // the current row's number as the sheet writes it (from 1)
    int lastRow_ = -1;
    int lastColumn_ = -1;
};

} // namespace quillon::xlsx
