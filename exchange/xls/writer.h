// Filling in the first sheet of a BIFF8 workbook stream with texts, as the export and the
// rejected-rows workbooks do with the template.
//
// Everything of the stream is kept except what the new cells change: the shared strings
// (rewritten with their index), the first sheet's cell table (rebuilt in Excel's order of
// ROW blocks, cells and DBCELL, with its INDEX and DIMENSIONS), and the stream positions
// that move with them (BOUNDSHEET offsets, the other sheets' INDEX records). A new cell
// takes its column's format; a cell set over an existing one keeps that cell's format.
// Merged ranges added go in beside the sheet's own.
#pragma once

#include "exchange/bytes.h"
#include "exchange/xls/text_index.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::xls {

// The limits of a .xls sheet and cell.
inline constexpr int kMaxSheetRows = 65536;
inline constexpr int kMaxSheetColumns = 256;
inline constexpr std::size_t kMaxCellCharacters = 32767;

enum class SheetWriteError {
    None,
    Damaged,     // the stream cannot be followed
    Unsupported, // a layout this writer does not rebuild (it knows the template's kind)
    OutOfRange,  // a row or column past the sheet's limits
    TextTooLong, // more than kMaxCellCharacters
};

struct SheetWriterResult {
    SheetWriteError error = SheetWriteError::None;
    std::string detail;
    explicit operator bool() const { return error == SheetWriteError::None; }
};

class FirstSheetWriter {
public:
    // Reads the stream's layout; on failure `error` says why and the writer is unusable.
    // The stream must outlive the writer.
    explicit FirstSheetWriter(ByteSpan stream);
    FirstSheetWriter(const FirstSheetWriter&) = delete;
    FirstSheetWriter& operator=(const FirstSheetWriter&) = delete;

    const SheetWriterResult& Status() const { return status_; }

    // Sets a cell (rows and columns from 1) to a GB18030 text; an empty text leaves a
    // formatted empty cell. Refuses cells past the sheet's limits and over-long texts.
    SheetWriteError SetText(int row, int column, std::string_view gb18030);
    // Sets the cells of a row from `column` on to UTF-8 texts, as the database hands them
    // over, giving the sheet SetText would give their GB18030: the export's way, which
    // converts each distinct text once, straight to UTF-16. All are set, or none when one
    // is refused.
    SheetWriteError SetUtf8Texts(int row, int column, std::span<const std::string_view> utf8);

    // Gives a cell the format of the model cell (of the model's column when it holds none);
    // a cell not set yet becomes a formatted blank, a text set on it later keeps the format.
    // A cell the writer keeps as read (a number, a formula) is Unsupported.
    SheetWriteError CopyFormat(int row, int column, int modelRow, int modelColumn);
    // Gives a column the width (and the column format) of the model column. A column with
    // a width of its own already is Unsupported; a model without one leaves both at the
    // sheet's default.
    SheetWriteError CopyColumnWidth(int column, int modelColumn);
    // Merges the rectangle (rows and columns from 1) into one cell. The caller keeps it
    // apart from the sheet's other merges.
    SheetWriteError Merge(int firstRow, int firstColumn, int lastRow, int lastColumn);

    // Makes room for `rows` rows of `textsPerRow` texts each, as an export that knows how
    // many it writes asks for; the sheet is the same without it.
    void ReserveRows(int rows, int textsPerRow);

    // The whole stream with the cells set so far.
    std::vector<std::uint8_t> Build() const;

private:
    struct Span {
        std::size_t begin = 0;
        std::size_t end = 0;
    };
    enum class Kind : std::uint8_t { Text, Blank, Kept };
    // Eight bytes: an export holds hundreds of thousands.
    struct Cell {
        std::uint8_t column; // below kMaxSheetColumns
        Kind kind;
        std::uint16_t format;
        // The shared string of a Text cell, or the kept records of a Kept one.
        std::uint32_t index;
    };
    static_assert(kMaxSheetColumns <= 256);
    static Cell MakeCell(int column, std::uint16_t format, Kind kind, std::uint32_t index) {
        return {static_cast<std::uint8_t>(column), kind, format, index};
    }
    struct Row {
        bool used = false;
        bool hasRecord = false;
        std::uint8_t record[16] = {};
        std::vector<Cell> cells; // by column
    };

    bool Fail(SheetWriteError error, std::string detail);
    bool ReadGlobals();
    bool ReadFirstSheet();
    bool ReadCellRecord(std::uint16_t id, ByteSpan data, ByteSpan whole);
    void KeepRecords(int row, int column, std::uint16_t format, std::vector<std::uint8_t> bytes);
    void PutCell(int row, Cell cell);
    Row& RowAt(int row);
    // Texts are found by their bytes in the encoding they come in, fixed by the first one
    // set; a text in the other encoding is converted to it.
    enum class Keys : std::uint8_t { Unset, Gb18030, Utf8 };
    void UseKeys(Keys keys);
    bool CheckCell(int row, int column) const;
    void SetCell(int r, std::uint16_t c, std::uint32_t text); // kNoText for a blank
    std::string_view AddedKey(std::size_t i) const;
    std::u16string_view AddedText(std::size_t i) const;
    void AppendAdded(std::string_view key, std::uint64_t hash);
    std::uint32_t AddString(std::string_view gb18030);
    std::uint32_t AddUtf8String(std::string_view utf8, std::uint64_t hash);
    std::uint32_t FindString(std::string_view key, std::uint64_t hash) const;
    std::string_view KeyOf(std::uint32_t index) const; // "" for a kept text not indexed

    std::size_t EstimatedSize() const;
    void WriteFirstSheet(ByteWriter& out) const;
    std::vector<int> UsedRowNumbers() const;
    void WriteCellTable(ByteWriter& out, const std::vector<int>& used,
                        std::vector<std::uint32_t>& dbcells) const;
    void WriteRowCells(ByteWriter& out, int row) const;
    void WriteAddedMerges(ByteWriter& out) const;

    ByteSpan stream_;
    SheetWriterResult status_;

    Span sst_;    // the SST record and its CONTINUE records
    Span extSst_; // empty when the stream has none
    std::size_t globalsEnd_ = 0;
    std::vector<std::size_t> sheetOffsetFields_; // BOUNDSHEET offset fields, by position
    std::vector<std::uint32_t> sheetOffsets_;
    Span sheet_;                 // the first sheet, BOF to EOF
    Span cells_;                 // its cell table
    std::size_t index_ = 0;      // its INDEX record, 0 when none
    std::size_t dimensions_ = 0; // its DIMENSIONS record
    // Where added merges go: after the sheet's last MERGEDCELLS record, or its DIMENSIONS.
    std::size_t mergesEnd_ = 0;
    struct MergedRange {
        std::uint16_t firstRow, lastRow, firstColumn, lastColumn; // from 0
    };
    std::vector<MergedRange> merges_;
    struct ColumnInfo {
        std::size_t offset; // of the COLINFO record
        std::uint16_t first, last;
    };
    std::vector<ColumnInfo> columnInfos_;
    // COLINFO records added, each with the stream offset of the record it goes before, in
    // column order.
    struct AddedColumnInfo {
        std::size_t before;
        std::uint16_t column;
        std::vector<std::uint8_t> record;
    };
    std::vector<AddedColumnInfo> addedColumnInfos_;
    std::uint16_t columnFormats_[kMaxSheetColumns];

    std::uint32_t total_ = 0;
    // The table as read, then the texts added (most cells repeat a text, so each distinct
    // one is converted once). The added texts' keys and UTF-16 units are each one buffer:
    // an export adds a hundred thousand texts, which would otherwise be as many blocks.
    std::vector<std::u16string> keptStrings_;
    std::vector<std::string> keptKeys_; // the kept texts as keys, where the index has them
    static constexpr std::size_t kReservedBytesPerText = 16;
    struct AddedEnd {
        std::size_t key;
        std::size_t units;
    };
    std::string addedKeys_;
    std::u16string addedUnits_;
    std::vector<AddedEnd> addedEnds_;
    Keys keys_ = Keys::Unset;
    TextIndex stringIndex_;
    // The text each column was last set to by SetUtf8Texts, or kNone.
    static constexpr std::uint32_t kNotFoundYet = TextIndex::kNone - 1;
    std::uint32_t lastTextInColumn_[kMaxSheetColumns];
    std::vector<std::vector<std::uint8_t>> raw_;
    std::vector<Row> rows_; // by 0-based row number; a row not used has no record or cell
    // Cells come a row at a time: the row last used saves a lookup for each.
    int lastRowNumber_ = -1;
    Row* lastRow_ = nullptr;
};

} // namespace quillon::xls
