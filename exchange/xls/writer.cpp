#include "exchange/xls/writer.h"

#include "exchange/xls/records.h"
#include "exchange/xls/sst.h"
#include "platform/text.h"

#include <algorithm>

namespace quillon::xls {

namespace {

constexpr std::uint16_t kBiff8 = 0x0600;
constexpr std::uint16_t kDefaultCellFormat = 0x0F;
constexpr std::size_t kRowsPerBlock = 32;
constexpr std::size_t kIndexFixedBytes = 16;
constexpr std::size_t kDimensionsBytes = 14;
constexpr std::size_t kRowBytes = 16;

// A new row: default height, no row format of its own.
constexpr std::uint8_t kNewRow[kRowBytes] = {0, 0, 0, 0, 0, 0,    0x0E, 0x01,
                                             0, 0, 0, 0, 0, 0x01, 0x0F, 0};

bool IsCellTableRecord(std::uint16_t id) {
    switch (id) {
    case rec::kRow:
    case rec::kDbCell:
    case rec::kBlank:
    case rec::kMulBlank:
    case rec::kLabelSst:
    case rec::kLabel:
    case rec::kRString:
    case rec::kNumber:
    case rec::kRk:
    case rec::kMulRk:
    case rec::kBoolErr:
    case rec::kFormula:
    case rec::kString:
    case rec::kShrFmla:
    case rec::kArray:
    case rec::kTable:
        return true;
    default:
        return false;
    }
}

// Records that belong to the formula cell before them.
bool FollowsFormula(std::uint16_t id) {
    return id == rec::kString || id == rec::kShrFmla || id == rec::kArray || id == rec::kTable;
}

void Header(ByteWriter& out, std::uint16_t id, std::size_t length) {
    out.U16(id);
    out.U16(static_cast<std::uint16_t>(length));
}

void CopyRange(ByteWriter& out, ByteSpan stream, std::size_t begin, std::size_t end) {
    if (end > begin) {
        out.Bytes(stream.subspan(begin, end - begin));
    }
}

std::uint16_t At16(ByteSpan data, std::size_t offset) {
    return static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
}

std::uint32_t At32(ByteSpan data, std::size_t offset) {
    return static_cast<std::uint32_t>(At16(data, offset)) |
           static_cast<std::uint32_t>(At16(data, offset + 2)) << 16;
}

std::vector<std::uint8_t> RkRecord(std::uint16_t row, std::uint16_t column, std::uint16_t format,
                                   ByteSpan value) {
    ByteWriter out;
    Header(out, rec::kRk, 10);
    out.U16(row);
    out.U16(column);
    out.U16(format);
    out.Bytes(value);
    return out.Take();
}

} // namespace

FirstSheetWriter::FirstSheetWriter(ByteSpan stream) : stream_(stream) {
    std::fill(std::begin(columnFormats_), std::end(columnFormats_), kDefaultCellFormat);
    std::fill(std::begin(lastTextInColumn_), std::end(lastTextInColumn_), TextIndex::kNone);
    if (ReadGlobals()) {
        ReadFirstSheet();
    }
}

bool FirstSheetWriter::Fail(SheetWriteError error, std::string detail) {
    status_.error = error;
    status_.detail = std::move(detail);
    return false;
}

bool FirstSheetWriter::ReadGlobals() {
    RecordWalker walk(stream_);
    Record record;
    if (!walk.Next(record) || record.id != rec::kBof || record.data.size() < 4) {
        return Fail(SheetWriteError::Damaged, "the stream does not begin with a BOF record");
    }
    if (At16(record.data, 0) != kBiff8) {
        return Fail(SheetWriteError::Unsupported, "not a BIFF8 workbook");
    }
    bool haveSst = false;
    while (walk.Next(record)) {
        switch (record.id) {
        case rec::kBoundSheet:
            sheetOffsetFields_.push_back(record.offset + 4);
            sheetOffsets_.push_back(At32(record.data, 0));
            break;
        case rec::kSst: {
            if (haveSst) {
                return Fail(SheetWriteError::Damaged, "two shared string tables");
            }
            sst_.begin = record.offset;
            SharedStringUnits table = ReadSharedStringUnits(record.data, walk.TakeContinues());
            sst_.end = walk.Position();
            if (!table.Ok()) {
                return Fail(SheetWriteError::Damaged, table.reason);
            }
            total_ = table.total;
            keptStrings_ = std::move(table.texts);
            haveSst = true;
            break;
        }
        case rec::kExtSst:
            if (!haveSst) {
                return Fail(SheetWriteError::Unsupported, "EXTSST before SST");
            }
            extSst_ = {record.offset, walk.Position()};
            break;
        case rec::kEof:
            globalsEnd_ = walk.Position();
            if (!haveSst) {
                return Fail(SheetWriteError::Unsupported, "no shared string table");
            }
            if (sheetOffsets_.empty()) {
                return Fail(SheetWriteError::Damaged, "no sheet");
            }
            return true;
        default:
            break;
        }
    }
    return Fail(SheetWriteError::Damaged,
                walk.Failed() ? walk.Reason() : "the workbook globals have no end");
}

bool FirstSheetWriter::ReadFirstSheet() {
    sheet_.begin = sheetOffsets_.front();
    for (std::size_t i = 1; i < sheetOffsets_.size(); ++i) {
        if (sheetOffsets_[i] <= sheet_.begin) {
            return Fail(SheetWriteError::Unsupported, "the first sheet is not stored first");
        }
    }
    if (sheet_.begin < globalsEnd_ || sheet_.begin >= stream_.size()) {
        return Fail(SheetWriteError::Damaged, "the first sheet's offset lies outside the stream");
    }
    RecordWalker walk(stream_, sheet_.begin);
    Record record;
    if (!walk.Next(record) || record.id != rec::kBof) {
        return Fail(SheetWriteError::Damaged, "the first sheet does not begin with a BOF record");
    }
    bool inTable = false;
    bool tableSeen = false;
    while (walk.Next(record)) {
        if (IsCellTableRecord(record.id)) {
            if (tableSeen) {
                return Fail(SheetWriteError::Unsupported, "cells after the cell table");
            }
            if (!inTable) {
                inTable = true;
                cells_.begin = record.offset;
            }
            const ByteSpan whole = stream_.subspan(record.offset, 4 + record.data.size());
            if (!ReadCellRecord(record.id, record.data, whole)) {
                return false;
            }
            continue;
        }
        if (inTable) {
            inTable = false;
            tableSeen = true;
            cells_.end = record.offset;
        }
        switch (record.id) {
        case rec::kIndex:
            if (record.data.size() < kIndexFixedBytes) {
                return Fail(SheetWriteError::Damaged, "INDEX record too short");
            }
            index_ = record.offset;
            break;
        case rec::kDimensions:
            if (record.data.size() < kDimensionsBytes) {
                return Fail(SheetWriteError::Unsupported, "DIMENSIONS of an older format");
            }
            dimensions_ = record.offset;
            mergesEnd_ = std::max(mergesEnd_, walk.Position());
            if (!tableSeen) {
                cells_ = {walk.Position(), walk.Position()};
            }
            break;
        case rec::kMergedCells:
            mergesEnd_ = walk.Position();
            break;
        case rec::kColInfo:
            if (record.data.size() >= 8) {
                columnInfos_.push_back({record.offset, At16(record.data, 0), At16(record.data, 2)});
                const std::uint16_t last = std::min<std::uint16_t>(At16(record.data, 2), 255);
                for (std::uint16_t c = At16(record.data, 0); c <= last; ++c) {
                    columnFormats_[c] = At16(record.data, 6);
                }
            }
            break;
        case rec::kEof:
            sheet_.end = walk.Position();
            if (dimensions_ == 0 || (tableSeen && cells_.begin < dimensions_)) {
                return Fail(SheetWriteError::Unsupported, "no DIMENSIONS before the cells");
            }
            for (std::size_t i = 1; i < sheetOffsets_.size(); ++i) {
                if (sheetOffsets_[i] < sheet_.end) {
                    return Fail(SheetWriteError::Damaged, "sheets overlap");
                }
            }
            return true;
        default:
            break;
        }
    }
    return Fail(SheetWriteError::Damaged,
                walk.Failed() ? walk.Reason() : "the first sheet has no end");
}

bool FirstSheetWriter::ReadCellRecord(std::uint16_t id, ByteSpan data, ByteSpan whole) {
    if (id == rec::kDbCell) {
        return true; // rebuilt
    }
    if (FollowsFormula(id)) {
        if (raw_.empty()) {
            return Fail(SheetWriteError::Damaged, "a formula's records without the formula");
        }
        raw_.back().insert(raw_.back().end(), whole.begin(), whole.end());
        return true;
    }
    const std::size_t fixed =
        id == rec::kRow ? kRowBytes : std::max<std::size_t>(6, MinimumRecordSize(id));
    if (data.size() < fixed) {
        return Fail(SheetWriteError::Damaged, "a cell record too short");
    }
    const std::uint16_t row = At16(data, 0);
    const std::uint16_t column = At16(data, 2);
    if (id == rec::kRow) {
        Row& entry = RowAt(row);
        entry.hasRecord = true;
        std::copy_n(data.begin(), kRowBytes, entry.record);
        return true;
    }
    if (id == rec::kMulBlank || id == rec::kMulRk) {
        const std::size_t each = id == rec::kMulBlank ? 2 : 6;
        const std::uint16_t last = At16(data, data.size() - 2);
        if (last < column || last >= kMaxSheetColumns ||
            data.size() != 6 + each * (last - column + 1u)) {
            return Fail(SheetWriteError::Damaged, "a run of cells of the wrong size");
        }
        for (std::uint16_t c = column; c <= last; ++c) {
            const std::size_t at = 4 + each * (c - column);
            const std::uint16_t format = At16(data, at);
            if (id == rec::kMulBlank) {
                PutCell(row, MakeCell(c, format, Kind::Blank, 0));
            } else {
                KeepRecords(row, c, format, RkRecord(row, c, format, data.subspan(at + 2, 4)));
            }
        }
        return true;
    }
    if (column >= kMaxSheetColumns) {
        return Fail(SheetWriteError::Damaged, "a cell past the last column");
    }
    const std::uint16_t format = At16(data, 4);
    if (id == rec::kBlank) {
        PutCell(row, MakeCell(column, format, Kind::Blank, 0));
    } else if (id == rec::kLabelSst) {
        const std::uint32_t text = At32(data, 6);
        if (text >= keptStrings_.size()) {
            return Fail(SheetWriteError::Damaged, "a cell names a shared string that is missing");
        }
        PutCell(row, MakeCell(column, format, Kind::Text, text));
    } else {
        KeepRecords(row, column, format, {whole.begin(), whole.end()});
    }
    return true;
}

void FirstSheetWriter::KeepRecords(int row, int column, std::uint16_t format,
                                   std::vector<std::uint8_t> bytes) {
    raw_.push_back(std::move(bytes));
    PutCell(row, MakeCell(column, format, Kind::Kept, static_cast<std::uint32_t>(raw_.size() - 1)));
}

FirstSheetWriter::Row& FirstSheetWriter::RowAt(int row) {
    if (row != lastRowNumber_) {
        if (static_cast<std::size_t>(row) >= rows_.size()) {
            rows_.resize(row + 1);
        }
        lastRow_ = &rows_[row];
        lastRow_->used = true;
        lastRowNumber_ = row;
    }
    return *lastRow_;
}

void FirstSheetWriter::ReserveRows(int rows, int textsPerRow) {
    // Only reserved, not touched: memory the rows never reach costs nothing, and the
    // vectors are not copied as they grow.
    const auto cells = static_cast<std::size_t>(rows) * static_cast<std::size_t>(textsPerRow);
    rows_.reserve(static_cast<std::size_t>(rows));
    addedEnds_.reserve(cells);
    addedKeys_.reserve(cells * kReservedBytesPerText);
    addedUnits_.reserve(cells * kReservedBytesPerText / 2);
}

void FirstSheetWriter::PutCell(int row, Cell cell) {
    constexpr std::size_t kUsualColumns = 16;
    std::vector<Cell>& cells = RowAt(row).cells;
    if (cells.capacity() == 0) {
        cells.reserve(kUsualColumns);
    }
    if (cells.empty() || cells.back().column < cell.column) {
        cells.push_back(cell);
        return;
    }
    auto at =
        std::lower_bound(cells.begin(), cells.end(), cell.column,
                         [](const Cell& c, std::uint16_t column) { return c.column < column; });
    if (at != cells.end() && at->column == cell.column) {
        *at = cell;
    } else {
        cells.insert(at, cell);
    }
}

std::string_view FirstSheetWriter::AddedKey(std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : addedEnds_[i - 1].key;
    return std::string_view(addedKeys_).substr(begin, addedEnds_[i].key - begin);
}

std::u16string_view FirstSheetWriter::AddedText(std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : addedEnds_[i - 1].units;
    return std::u16string_view(addedUnits_).substr(begin, addedEnds_[i].units - begin);
}

std::string_view FirstSheetWriter::KeyOf(std::uint32_t index) const {
    const std::size_t kept = keptStrings_.size();
    return index < kept ? std::string_view(keptKeys_[index]) : AddedKey(index - kept);
}

std::uint32_t FirstSheetWriter::FindString(std::string_view key, std::uint64_t hash) const {
    return stringIndex_.Find(key, hash, [this](std::uint32_t index) { return KeyOf(index); });
}

void FirstSheetWriter::UseKeys(Keys keys) {
    keys_ = keys;
    // A text set again that the table holds already (the pick lists' words) uses its entry;
    // only texts that survive the way through GB18030 unchanged can be found that way.
    keptKeys_.resize(keptStrings_.size());
    for (std::size_t i = 0; i < keptStrings_.size(); ++i) {
        std::string gb18030 = Utf16ToGb18030Text(keptStrings_[i]);
        if (Gb18030ToUtf16(gb18030) != keptStrings_[i]) {
            continue;
        }
        std::string key = keys == Keys::Gb18030 ? std::move(gb18030) : Utf16ToUtf8(keptStrings_[i]);
        const std::uint64_t hash = TextIndex::Hash(key);
        if (FindString(key, hash) == TextIndex::kNone) {
            keptKeys_[i] = std::move(key);
            stringIndex_.Add(hash, static_cast<std::uint32_t>(i));
        }
    }
}

// The added text's UTF-16 units are already at the end of addedUnits_.
void FirstSheetWriter::AppendAdded(std::string_view key, std::uint64_t hash) {
    addedKeys_.append(key);
    addedEnds_.push_back({addedKeys_.size(), addedUnits_.size()});
    const auto index = static_cast<std::uint32_t>(keptStrings_.size() + addedEnds_.size() - 1);
    stringIndex_.Add(hash, index);
}

std::uint32_t FirstSheetWriter::AddString(std::string_view gb18030) {
    const std::uint64_t hash = TextIndex::Hash(gb18030);
    if (const std::uint32_t found = FindString(gb18030, hash); found != TextIndex::kNone) {
        return found;
    }
    addedUnits_ += Gb18030ToUtf16(std::string(gb18030));
    AppendAdded(gb18030, hash);
    return static_cast<std::uint32_t>(keptStrings_.size() + addedEnds_.size() - 1);
}

std::uint32_t FirstSheetWriter::AddUtf8String(std::string_view utf8, std::uint64_t hash) {
    if (const std::uint32_t found = FindString(utf8, hash); found != TextIndex::kNone) {
        return found;
    }
    const std::size_t unitsBefore = addedUnits_.size();
    if (AppendUtf8AsUtf16(utf8, addedUnits_) == 0) {
        AppendAdded(utf8, hash);
    } else {
        // Found by the text it becomes, as its GB18030 would be: texts broken alike are one.
        const std::string mended =
            Utf16ToUtf8(std::u16string_view(addedUnits_).substr(unitsBefore));
        const std::uint64_t mendedHash = TextIndex::Hash(mended);
        if (const std::uint32_t found = FindString(mended, mendedHash); found != TextIndex::kNone) {
            addedUnits_.resize(unitsBefore);
            return found;
        }
        AppendAdded(mended, mendedHash);
    }
    return static_cast<std::uint32_t>(keptStrings_.size() + addedEnds_.size() - 1);
}

bool FirstSheetWriter::CheckCell(int row, int column) const {
    return row >= 1 && row <= kMaxSheetRows && column >= 1 && column <= kMaxSheetColumns;
}

void FirstSheetWriter::SetCell(int r, std::uint16_t c, std::uint32_t text) {
    std::uint16_t format = columnFormats_[c];
    std::vector<Cell>& cells = RowAt(r).cells;
    if (cells.empty() || cells.back().column < c) {
        // The usual case: a row filled left to right.
    } else if (const auto old = std::lower_bound(
                   cells.begin(), cells.end(), c,
                   [](const Cell& cell, std::uint16_t column) { return cell.column < column; });
               old != cells.end() && old->column == c) {
        format = old->format;
        if (old->kind == Kind::Text) {
            --total_;
        }
    }
    if (text == TextIndex::kNone) {
        PutCell(r, MakeCell(c, format, Kind::Blank, 0));
    } else {
        PutCell(r, MakeCell(c, format, Kind::Text, text));
        ++total_;
    }
}

SheetWriteError FirstSheetWriter::SetText(int row, int column, std::string_view gb18030) {
    if (status_.error != SheetWriteError::None) {
        return status_.error;
    }
    if (!CheckCell(row, column)) {
        return SheetWriteError::OutOfRange;
    }
    if (keys_ == Keys::Utf8) {
        const std::string utf8 = Gb18030ToUtf8(std::string(gb18030));
        const std::string_view text = utf8;
        return SetUtf8Texts(row, column, std::span(&text, 1));
    }
    // A character takes at least one GB18030 byte for each of its UTF-16 units, so only a
    // long text needs counting.
    if (gb18030.size() > kMaxCellCharacters &&
        Gb18030ToUtf16(std::string(gb18030)).size() > kMaxCellCharacters) {
        return SheetWriteError::TextTooLong;
    }
    if (keys_ == Keys::Unset) {
        UseKeys(Keys::Gb18030);
    }
    SetCell(row - 1, static_cast<std::uint16_t>(column - 1),
            gb18030.empty() ? TextIndex::kNone : AddString(gb18030));
    return SheetWriteError::None;
}

SheetWriteError FirstSheetWriter::CopyFormat(int row, int column, int modelRow, int modelColumn) {
    if (status_.error != SheetWriteError::None) {
        return status_.error;
    }
    if (!CheckCell(row, column) || !CheckCell(modelRow, modelColumn)) {
        return SheetWriteError::OutOfRange;
    }
    const auto byColumn = [](const Cell& cell, std::uint16_t c) { return cell.column < c; };
    const auto c = static_cast<std::uint16_t>(column - 1);
    const auto modelC = static_cast<std::uint16_t>(modelColumn - 1);
    std::uint16_t format = columnFormats_[modelC];
    if (static_cast<std::size_t>(modelRow - 1) < rows_.size()) {
        const std::vector<Cell>& cells = rows_[modelRow - 1].cells;
        const auto model = std::lower_bound(cells.begin(), cells.end(), modelC, byColumn);
        if (model != cells.end() && model->column == modelC) {
            format = model->format;
        }
    }
    std::vector<Cell>& cells = RowAt(row - 1).cells;
    const auto old = std::lower_bound(cells.begin(), cells.end(), c, byColumn);
    if (old == cells.end() || old->column != c) {
        PutCell(row - 1, MakeCell(c, format, Kind::Blank, 0));
    } else if (old->kind == Kind::Kept) {
        return SheetWriteError::Unsupported; // its format is inside the bytes kept
    } else {
        old->format = format;
    }
    return SheetWriteError::None;
}

SheetWriteError FirstSheetWriter::CopyColumnWidth(int column, int modelColumn) {
    if (status_.error != SheetWriteError::None) {
        return status_.error;
    }
    if (!CheckCell(1, column) || !CheckCell(1, modelColumn)) {
        return SheetWriteError::OutOfRange;
    }
    const auto c = static_cast<std::uint16_t>(column - 1);
    const auto modelC = static_cast<std::uint16_t>(modelColumn - 1);
    const auto covers = [](std::uint16_t at) {
        return [at](const ColumnInfo& info) { return info.first <= at && at <= info.last; };
    };
    const auto added = [c](const AddedColumnInfo& info) { return info.column == c; };
    if (std::any_of(columnInfos_.begin(), columnInfos_.end(), covers(c)) ||
        std::any_of(addedColumnInfos_.begin(), addedColumnInfos_.end(), added)) {
        return SheetWriteError::Unsupported; // a record of several columns is not split
    }
    const auto model = std::find_if(columnInfos_.begin(), columnInfos_.end(), covers(modelC));
    if (model == columnInfos_.end()) {
        return SheetWriteError::None;
    }
    RecordWalker walk(stream_, model->offset);
    Record record;
    walk.Next(record); // read once already
    std::vector<std::uint8_t> copy(stream_.begin() + static_cast<std::ptrdiff_t>(record.offset),
                                   stream_.begin() + static_cast<std::ptrdiff_t>(walk.Position()));
    for (const std::size_t field : {4, 6}) {
        copy[field] = static_cast<std::uint8_t>(c);
        copy[field + 1] = static_cast<std::uint8_t>(c >> 8);
    }
    columnFormats_[c] = At16(record.data, 6);
    // The records stay in column order: before the first of a later column, else after the
    // last (before DIMENSIONS when there is none).
    const auto later = std::find_if(columnInfos_.begin(), columnInfos_.end(),
                                    [c](const ColumnInfo& info) { return info.first > c; });
    std::size_t before = dimensions_;
    if (later != columnInfos_.end()) {
        before = later->offset;
    } else if (!columnInfos_.empty()) {
        RecordWalker after(stream_, columnInfos_.back().offset);
        after.Next(record);
        before = after.Position();
    }
    const auto at = std::find_if(addedColumnInfos_.begin(), addedColumnInfos_.end(),
                                 [c](const AddedColumnInfo& info) { return info.column > c; });
    addedColumnInfos_.insert(at, {before, c, std::move(copy)});
    return SheetWriteError::None;
}

SheetWriteError FirstSheetWriter::Merge(int firstRow, int firstColumn, int lastRow,
                                        int lastColumn) {
    if (status_.error != SheetWriteError::None) {
        return status_.error;
    }
    if (!CheckCell(firstRow, firstColumn) || !CheckCell(lastRow, lastColumn) ||
        lastRow < firstRow || lastColumn < firstColumn) {
        return SheetWriteError::OutOfRange;
    }
    merges_.push_back(
        {static_cast<std::uint16_t>(firstRow - 1), static_cast<std::uint16_t>(lastRow - 1),
         static_cast<std::uint16_t>(firstColumn - 1), static_cast<std::uint16_t>(lastColumn - 1)});
    return SheetWriteError::None;
}

SheetWriteError FirstSheetWriter::SetUtf8Texts(int row, int column,
                                               std::span<const std::string_view> utf8) {
    if (status_.error != SheetWriteError::None) {
        return status_.error;
    }
    if (!CheckCell(row, column) ||
        (!utf8.empty() && !CheckCell(row, column + static_cast<int>(utf8.size()) - 1))) {
        return SheetWriteError::OutOfRange;
    }
    // A character takes at least one UTF-8 byte for each of its UTF-16 units.
    for (const std::string_view text : utf8) {
        if (text.size() > kMaxCellCharacters) {
            std::u16string units;
            AppendUtf8AsUtf16(text, units);
            if (units.size() > kMaxCellCharacters) {
                return SheetWriteError::TextTooLong;
            }
        }
    }
    if (keys_ == Keys::Gb18030) {
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            (void)SetText(row, column + static_cast<int>(i), Utf8ToGb18030(std::string(utf8[i])));
        }
        return SheetWriteError::None;
    }
    if (keys_ == Keys::Unset) {
        UseKeys(Keys::Utf8);
    }
    // The row's cells take exactly the room they need: an export sets tens of thousands.
    std::vector<Cell>& cells = RowAt(row - 1).cells;
    cells.reserve(cells.size() + utf8.size());
    // A column often repeats the text of the row above (the province, a sex); the others
    // are looked up all at once, so that their waits for memory overlap.
    std::uint32_t texts[kMaxSheetColumns];
    std::uint64_t hashes[kMaxSheetColumns];
    const std::size_t first = static_cast<std::size_t>(column - 1);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const std::uint32_t above = lastTextInColumn_[first + i];
        if (utf8[i].empty() || (above != TextIndex::kNone && KeyOf(above) == utf8[i])) {
            texts[i] = utf8[i].empty() ? TextIndex::kNone : above;
            continue;
        }
        texts[i] = kNotFoundYet;
        hashes[i] = TextIndex::Hash(utf8[i]);
        stringIndex_.Prefetch(hashes[i]);
    }
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (texts[i] == kNotFoundYet) {
            texts[i] = AddUtf8String(utf8[i], hashes[i]);
        }
        if (texts[i] != TextIndex::kNone) {
            lastTextInColumn_[first + i] = texts[i];
        }
        SetCell(row - 1, static_cast<std::uint16_t>(first + i), texts[i]);
    }
    return SheetWriteError::None;
}

std::size_t FirstSheetWriter::EstimatedSize() const {
    std::size_t size = stream_.size() + 2 * addedUnits_.size() + 11 * addedEnds_.size();
    for (const Row& row : rows_) {
        size += row.used ? 4 + kRowBytes + 2 + 14 * row.cells.size() : 0;
    }
    for (const auto& records : raw_) {
        size += records.size();
    }
    size += 4 + 8 * merges_.size();
    for (const AddedColumnInfo& info : addedColumnInfos_) {
        size += info.record.size();
    }
    return size + size / 64 + 4096;
}

std::vector<std::uint8_t> FirstSheetWriter::Build() const {
    if (status_.error != SheetWriteError::None) {
        return {};
    }
    ByteWriter out;
    // Fresh memory is costly to touch: one buffer of the right size, never regrown.
    out.Reserve(EstimatedSize());
    CopyRange(out, stream_, 0, sst_.begin);
    const std::size_t kept = keptStrings_.size();
    WriteSharedStrings(
        out, total_, kept + addedEnds_.size(), [&](std::size_t i) -> std::u16string_view {
            return i < kept ? std::u16string_view(keptStrings_[i]) : AddedText(i - kept);
        });
    if (extSst_.end != 0) {
        CopyRange(out, stream_, sst_.end, extSst_.begin);
        CopyRange(out, stream_, extSst_.end, sheet_.begin);
    } else {
        CopyRange(out, stream_, sst_.end, sheet_.begin);
    }
    const std::size_t sheetStart = out.Size();
    WriteFirstSheet(out);
    const std::int64_t shift =
        static_cast<std::int64_t>(out.Size()) - static_cast<std::int64_t>(sheet_.end);
    const std::size_t restStart = out.Size();
    CopyRange(out, stream_, sheet_.end, stream_.size());

    const auto moved = [shift](std::uint32_t offset) {
        return static_cast<std::uint32_t>(offset + shift);
    };
    for (std::size_t i = 0; i < sheetOffsets_.size(); ++i) {
        out.PatchU32(sheetOffsetFields_[i],
                     i == 0 ? static_cast<std::uint32_t>(sheetStart) : moved(sheetOffsets_[i]));
    }
    // The other sheets' INDEX records point at their DBCELL records, which moved too.
    RecordWalker walk(stream_, sheet_.end);
    Record record;
    while (walk.Next(record)) {
        if (record.id != rec::kIndex || record.data.size() < kIndexFixedBytes) {
            continue;
        }
        const std::size_t at = record.offset + 4 - sheet_.end + restStart;
        if (const std::uint32_t defColWidth = At32(record.data, 12); defColWidth != 0) {
            out.PatchU32(at + 12, moved(defColWidth));
        }
        for (std::size_t field = kIndexFixedBytes; field + 4 <= record.data.size(); field += 4) {
            out.PatchU32(at + field, moved(At32(record.data, field)));
        }
    }
    return out.Take();
}

void FirstSheetWriter::WriteFirstSheet(ByteWriter& out) const {
    std::uint32_t firstRow = 0;
    std::uint32_t rowLimit = 0;
    std::uint16_t firstColumn = kMaxSheetColumns;
    std::uint16_t columnLimit = 0;
    const std::vector<int> used = UsedRowNumbers();
    if (!used.empty()) {
        firstRow = static_cast<std::uint32_t>(used.front());
        rowLimit = static_cast<std::uint32_t>(used.back()) + 1;
    }
    for (int number : used) {
        const Row& row = rows_[number];
        if (!row.cells.empty()) {
            firstColumn = std::min<std::uint16_t>(firstColumn, row.cells.front().column);
            columnLimit = std::max<std::uint16_t>(columnLimit, row.cells.back().column + 1);
        }
    }
    if (columnLimit == 0) {
        firstColumn = 0;
    }
    const std::size_t blocks = (used.size() + kRowsPerBlock - 1) / kRowsPerBlock;

    std::size_t indexFields = 0; // where the new INDEX's DBCELL offsets go
    std::size_t defColWidthField = 0;
    std::size_t defColWidthAt = 0;
    RecordWalker walk(stream_, sheet_.begin);
    Record record;
    while (walk.Position() < cells_.begin && walk.Next(record)) {
        const ByteSpan whole = stream_.subspan(record.offset, 4 + record.data.size());
        for (const AddedColumnInfo& info : addedColumnInfos_) {
            if (info.before == record.offset) {
                out.Bytes(info.record);
            }
        }
        if (record.offset == index_) {
            Header(out, rec::kIndex, kIndexFixedBytes + 4 * blocks);
            out.U32(At32(record.data, 0));
            out.U32(firstRow);
            out.U32(rowLimit);
            if (At32(record.data, 12) != 0) {
                defColWidthField = out.Size();
            }
            out.U32(0);
            indexFields = out.Size();
            out.Zeros(4 * blocks);
        } else if (record.offset == dimensions_) {
            Header(out, rec::kDimensions, kDimensionsBytes);
            out.U32(firstRow);
            out.U32(rowLimit);
            out.U16(firstColumn);
            out.U16(columnLimit);
            out.U16(0);
        } else {
            if (record.id == rec::kDefColWidth) {
                defColWidthAt = out.Size();
            }
            out.Bytes(whole);
        }
        if (walk.Position() == mergesEnd_) {
            WriteAddedMerges(out);
        }
    }
    if (defColWidthField != 0) {
        out.PatchU32(defColWidthField, static_cast<std::uint32_t>(defColWidthAt));
    }
    std::vector<std::uint32_t> dbcells;
    WriteCellTable(out, used, dbcells);
    if (index_ != 0) {
        for (std::size_t i = 0; i < dbcells.size(); ++i) {
            out.PatchU32(indexFields + 4 * i, dbcells[i]);
        }
    }
    if (mergesEnd_ > cells_.end) {
        CopyRange(out, stream_, cells_.end, mergesEnd_);
        WriteAddedMerges(out);
        CopyRange(out, stream_, mergesEnd_, sheet_.end);
    } else {
        CopyRange(out, stream_, cells_.end, sheet_.end);
    }
}

void FirstSheetWriter::WriteAddedMerges(ByteWriter& out) const {
    // As many ranges as one record's body holds.
    constexpr std::size_t kPerRecord = (kMaxRecordData - 2) / 8;
    for (std::size_t at = 0; at < merges_.size(); at += kPerRecord) {
        const std::size_t count = std::min(kPerRecord, merges_.size() - at);
        Header(out, rec::kMergedCells, 2 + 8 * count);
        out.U16(static_cast<std::uint16_t>(count));
        for (std::size_t i = at; i < at + count; ++i) {
            out.U16(merges_[i].firstRow);
            out.U16(merges_[i].lastRow);
            out.U16(merges_[i].firstColumn);
            out.U16(merges_[i].lastColumn);
        }
    }
}

std::vector<int> FirstSheetWriter::UsedRowNumbers() const {
    std::vector<int> used;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].used) {
            used.push_back(static_cast<int>(i));
        }
    }
    return used;
}

void FirstSheetWriter::WriteCellTable(ByteWriter& out, const std::vector<int>& used,
                                      std::vector<std::uint32_t>& dbcells) const {
    for (std::size_t block = 0; block < used.size(); block += kRowsPerBlock) {
        const auto blockBegin = used.begin() + static_cast<std::ptrdiff_t>(block);
        const auto next = used.begin() +
                          static_cast<std::ptrdiff_t>(std::min(used.size(), block + kRowsPerBlock));
        const std::size_t firstRowRecord = out.Size();
        for (auto it = blockBegin; it != next; ++it) {
            const Row& row = rows_[*it];
            Header(out, rec::kRow, kRowBytes);
            const std::size_t at = out.Size();
            out.Bytes(row.hasRecord ? ByteSpan(row.record) : ByteSpan(kNewRow));
            out.PatchU16(at, static_cast<std::uint16_t>(*it));
            if (!row.cells.empty()) {
                out.PatchU16(at + 2, row.cells.front().column);
                out.PatchU16(at + 4, static_cast<std::uint16_t>(row.cells.back().column + 1));
            } else if (!row.hasRecord) {
                out.PatchU16(at + 2, 0);
                out.PatchU16(at + 4, 0);
            }
        }
        // Each row's cells are found from the one before; the first from the end of the
        // block's first ROW record.
        std::vector<std::uint16_t> starts;
        std::size_t previous = firstRowRecord + 4 + kRowBytes;
        for (auto it = blockBegin; it != next; ++it) {
            starts.push_back(static_cast<std::uint16_t>(out.Size() - previous));
            previous = out.Size();
            WriteRowCells(out, *it);
        }
        dbcells.push_back(static_cast<std::uint32_t>(out.Size()));
        Header(out, rec::kDbCell, 4 + 2 * starts.size());
        out.U32(static_cast<std::uint32_t>(out.Size() - 4 - firstRowRecord));
        for (std::uint16_t start : starts) {
            out.U16(start);
        }
    }
}

void FirstSheetWriter::WriteRowCells(ByteWriter& out, int row) const {
    // Most of a sheet is LABELSST and BLANK records: a row's are put together on the stack
    // and appended at once, not a few bytes at a time.
    constexpr std::size_t kLongestRecord = 14;
    std::uint8_t records[kMaxSheetColumns * kLongestRecord];
    std::size_t used = 0;
    for (const Cell& cell : rows_[row].cells) {
        if (cell.kind == Kind::Kept) {
            out.Bytes(ByteSpan(records, used));
            used = 0;
            out.Bytes(raw_[cell.index]);
            continue;
        }
        const bool text = cell.kind == Kind::Text;
        const std::uint16_t id = text ? rec::kLabelSst : rec::kBlank;
        const std::uint16_t length = text ? 10 : 6;
        const std::uint8_t record[kLongestRecord] = {static_cast<std::uint8_t>(id),
                                                     static_cast<std::uint8_t>(id >> 8),
                                                     static_cast<std::uint8_t>(length),
                                                     0,
                                                     static_cast<std::uint8_t>(row),
                                                     static_cast<std::uint8_t>(row >> 8),
                                                     static_cast<std::uint8_t>(cell.column),
                                                     static_cast<std::uint8_t>(cell.column >> 8),
                                                     static_cast<std::uint8_t>(cell.format),
                                                     static_cast<std::uint8_t>(cell.format >> 8),
                                                     static_cast<std::uint8_t>(cell.index),
                                                     static_cast<std::uint8_t>(cell.index >> 8),
                                                     static_cast<std::uint8_t>(cell.index >> 16),
                                                     static_cast<std::uint8_t>(cell.index >> 24)};
        std::copy_n(record, 4u + length, records + used);
        used += 4u + length;
    }
    out.Bytes(ByteSpan(records, used));
}

} // namespace quillon::xls
