#include "exchange/xls/reader.h"

#include "exchange/xls/container.h"
#include "exchange/xls/records.h"
#include "exchange/xls/sst.h"
#include "platform/text.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_map>

namespace quillon::xls {

namespace {

enum class Biff { V5, V8 };

constexpr std::uint16_t kBofWorksheet = 0x0010;
constexpr std::uint16_t kDefaultCodePage = 1252;

// Text in a BIFF5 file is bytes in the workbook's code page; the program wants GB18030, and
// format codes are looked at as UTF-8. The converter is opened once per workbook: a sheet
// of accented names would otherwise open one for every cell.
class CodePageDecoder {
public:
    explicit CodePageDecoder(std::uint16_t codePage) : codePage_(codePage) {
        if (codePage != 936) {
            converter_ = TextConverter::Open("UTF-8", IconvName(codePage).c_str());
            if (!converter_) {
                converter_ = TextConverter::Open("UTF-8", "CP1252");
            }
        }
    }

    std::uint16_t CodePage() const { return codePage_; }

    std::string ToUtf8(ByteSpan bytes) {
        std::string in(bytes.begin(), bytes.end());
        if (std::all_of(in.begin(), in.end(), [](char c) { return (c & 0x80) == 0; })) {
            return in;
        }
        if (codePage_ == 936) {
            return Gb18030ToUtf8(in);
        }
        if (!converter_) {
            std::replace_if(
                in.begin(), in.end(), [](char c) { return (c & 0x80) != 0; }, '?');
            return in;
        }
        // A byte the code page does not define becomes one "?".
        return converter_->Convert(
            in, [](const unsigned char*, std::size_t) -> std::size_t { return 1; });
    }

private:
    static std::string IconvName(std::uint16_t codePage) {
        switch (codePage) {
        case 367:
            return "ASCII";
        case 10000:
        case 32768:
            return "MACINTOSH";
        case 32769:
            return "CP1252";
        default:
            return "CP" + std::to_string(codePage);
        }
    }

    std::uint16_t codePage_;
    std::unique_ptr<TextConverter> converter_;
};

const char* ErrorText(std::uint8_t code) {
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    case 0x2A:
        return "#N/A";
    case 0x2B:
        return "#GETTING_DATA";
    default:
        return "#N/A";
    }
}

double RkValue(std::uint32_t rk) {
    double value;
    if (rk & 0x02) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        value = std::bit_cast<double>(static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32);
    }
    return (rk & 0x01) ? value / 100 : value;
}

bool IsCellRecord(std::uint16_t id) {
    switch (id) {
    case rec::kNumber:
    case rec::kRk:
    case rec::kMulRk:
    case rec::kLabelSst:
    case rec::kLabel:
    case rec::kRString:
    case rec::kBoolErr:
    case rec::kFormula:
    case rec::kBlank:
    case rec::kMulBlank:
        return true;
    default:
        return false;
    }
}

struct SheetEntry {
    std::uint32_t offset = 0;
    std::uint8_t kind = 0; // 0 worksheet, 1 macro sheet, 2 chart, 6 VB module
    std::string name;      // GB18030
};

// What the workbook globals say that the cells need.
struct Globals {
    Biff biff = Biff::V8;
    std::uint16_t codePage = kDefaultCodePage;
    bool system1904 = false;
    std::unordered_map<int, bool> formatIsDate; // custom formats by index
    std::vector<std::uint16_t> xfFormat;        // format index of each XF, in order
    std::vector<SheetEntry> sheets;
    SharedStrings sst;
    std::size_t end = 0; // offset after the globals' EOF
};

class Reader {
public:
    explicit Reader(ByteSpan stream) : stream_(stream) {}

    WorkbookResult Read() {
        std::optional<std::size_t> sheetStart;
        if (!ReadGlobals(sheetStart)) {
            return Fail();
        }
        if (!sheetStart) {
            sheetStart = FindFirstSheet();
        }
        if (!sheetStart) {
            if (error_ == WorkbookError::None) {
                Refuse(WorkbookError::Empty, "the workbook holds no worksheet");
            }
            return Fail();
        }
        if (!ReadSheet(*sheetStart)) {
            return Fail();
        }
        book_.Finish();
        WorkbookResult result;
        result.workbook = std::move(book_);
        return result;
    }

private:
    WorkbookResult Fail() { return WorkbookResult::Fail(error_, detail_); }

    bool Refuse(WorkbookError error, std::string detail) {
        if (error_ == WorkbookError::None) {
            error_ = error;
            detail_ = std::move(detail);
        }
        return false;
    }

    bool WalkFailed(const RecordWalker& walk) {
        return Refuse(walk.Truncated() ? WorkbookError::Truncated : WorkbookError::Damaged,
                      walk.Reason());
    }

    bool ReadBof(const Record& bof, std::uint16_t& kind) {
        ByteReader in(bof.data);
        const std::uint16_t version = in.U16();
        kind = in.U16();
        if (version == 0x0600 || (version != 0x0500 && bof.data.size() >= 16)) {
            g_.biff = Biff::V8;
        } else if (version == 0x0500 || version == 0) {
            g_.biff = Biff::V5;
        } else {
            return Refuse(WorkbookError::Unsupported,
                          "workbook version " + std::to_string(version) + " is older than BIFF5");
        }
        return true;
    }

    bool ReadGlobals(std::optional<std::size_t>& sheetStart) {
        RecordWalker walk(stream_);
        Record record;
        if (!walk.Next(record)) {
            return walk.Failed() ? WalkFailed(walk)
                                 : Refuse(WorkbookError::Empty, "the workbook stream is empty");
        }
        if (record.id == 0x0009 || record.id == 0x0209 || record.id == 0x0409) {
            return Refuse(WorkbookError::Unsupported, "a BIFF2, BIFF3 or BIFF4 workbook");
        }
        if (record.id != rec::kBof) {
            return Refuse(WorkbookError::NotAWorkbook,
                          "the workbook stream does not start with a BOF record");
        }
        std::uint16_t kind = 0;
        if (!ReadBof(record, kind)) {
            return false;
        }
        if (kind == kBofWorksheet) {
            sheetStart = 0; // a lone worksheet without globals
            return true;
        }
        while (walk.Next(record)) {
            if (!ReadGlobalRecord(record, walk)) {
                return false;
            }
            if (record.id == rec::kEof) {
                g_.end = walk.Position();
                for (const SheetEntry& sheet : g_.sheets) {
                    if (sheet.kind == 0) {
                        book_.SetSheetName(sheet.name);
                        if (IsSheetBof(sheet.offset)) {
                            sheetStart = sheet.offset;
                        }
                        break;
                    }
                }
                return true;
            }
        }
        return walk.Failed() ? WalkFailed(walk)
                             : Refuse(WorkbookError::Truncated, "the workbook globals have no end");
    }

    bool ReadGlobalRecord(const Record& record, RecordWalker& walk) {
        ByteReader in(record.data);
        switch (record.id) {
        case rec::kFilePass:
            return Refuse(WorkbookError::Encrypted, "the workbook is protected with a password");
        case rec::kCodePage:
            g_.codePage = in.U16();
            break;
        case rec::kDateMode:
            g_.system1904 = in.U16() == 1;
            break;
        case rec::kFormat: {
            const int index = in.U16();
            const std::string code =
                g_.biff == Biff::V8 ? Utf16ToUtf8(ReadUnicodeString16(in)) : Biff5String8(in, true);
            // A format code that cannot be read costs only the knowledge whether its
            // cells show dates; their values are still there.
            if (in.Ok()) {
                g_.formatIsDate[index] = IsDateFormatCode(code);
            }
            break;
        }
        case rec::kXf:
            in.Skip(2);
            g_.xfFormat.push_back(in.U16());
            break;
        case rec::kBoundSheet: {
            SheetEntry sheet;
            sheet.offset = in.U32();
            in.Skip(1);
            sheet.kind = in.U8();
            sheet.name = g_.biff == Biff::V8 ? Utf16ToGb18030Text(ReadUnicodeString8(in))
                                             : Utf8ToGb18030(Biff5String8(in, true));
            // A sheet name that cannot be read costs nothing but the name.
            g_.sheets.push_back(std::move(sheet));
            break;
        }
        case rec::kSst:
            g_.sst = ReadSharedStrings(record.data, walk.TakeContinues(), book_);
            if (g_.sst.tooMany) {
                return Refuse(WorkbookError::TooLarge, "the workbook holds " + g_.sst.reason);
            }
            break;
        default:
            break;
        }
        return true;
    }

    // Text of BIFF5 with an 8-bit (format, sheet name) or 16-bit (cell) count, as UTF-8.
    std::string Biff5String8(ByteReader& in, bool shortCount) {
        const std::size_t count = shortCount ? in.U8() : in.U16();
        const ByteSpan bytes = in.Bytes(count);
        if (!decoder_ || decoder_->CodePage() != g_.codePage) {
            decoder_.emplace(g_.codePage);
        }
        return decoder_->ToUtf8(bytes);
    }

    bool IsSheetBof(std::size_t offset) const {
        if (offset == 0 || offset >= stream_.size() || stream_.size() - offset < 8) {
            return false;
        }
        ByteReader in(stream_.subspan(offset, 8));
        const std::uint16_t id = in.U16();
        in.Skip(4);
        return id == rec::kBof && in.U16() == kBofWorksheet;
    }

    // When the sheet list points nowhere useful (a writer that left stale offsets), the
    // first worksheet is the first one after the globals.
    std::optional<std::size_t> FindFirstSheet() {
        RecordWalker walk(stream_, g_.end);
        Record record;
        while (walk.Next(record)) {
            if (record.id == rec::kBof && record.data.size() >= 4 &&
                ByteReader(record.data.subspan(2, 2)).U16() == kBofWorksheet) {
                return record.offset;
            }
        }
        if (walk.Failed()) {
            WalkFailed(walk);
        }
        return std::nullopt;
    }

    bool ReadSheet(std::size_t start) {
        RecordWalker walk(stream_, start);
        Record record;
        if (!walk.Next(record) || record.id != rec::kBof) {
            return walk.Failed() ? WalkFailed(walk)
                                 : Refuse(WorkbookError::Damaged, "the worksheet has no BOF");
        }
        int depth = 0; // inside a chart embedded in the sheet
        while (walk.Next(record)) {
            if (record.id == rec::kBof) {
                ++depth;
                continue;
            }
            if (record.id == rec::kEof) {
                if (depth == 0) {
                    return true;
                }
                --depth;
                continue;
            }
            if (depth == 0 && !ReadCellRecord(record, walk)) {
                return false;
            }
        }
        return walk.Failed() ? WalkFailed(walk)
                             : Refuse(WorkbookError::Truncated, "the worksheet has no end");
    }

    bool IsDateXf(std::uint16_t xf) const {
        if (xf >= g_.xfFormat.size()) {
            return false;
        }
        const int format = g_.xfFormat[xf];
        const auto custom = g_.formatIsDate.find(format);
        return custom != g_.formatIsDate.end() ? custom->second : IsBuiltInDateFormat(format);
    }

    // Row and column as the record gives them (from 0); false for one past the limits.
    bool Place(std::uint32_t row, std::uint32_t column) {
        if (row >= static_cast<std::uint32_t>(Workbook::kMaxRows) ||
            column >= static_cast<std::uint32_t>(Workbook::kMaxColumns)) {
            return Refuse(WorkbookError::Damaged, "a cell at row " + std::to_string(row + 1) +
                                                      ", column " + std::to_string(column + 1) +
                                                      " lies outside the sheet");
        }
        return true;
    }

    bool SetNumber(std::uint32_t row, std::uint32_t column, std::uint16_t xf, double value) {
        if (!Place(row, column)) {
            return false;
        }
        book_.SetCellText(row + 1, column + 1,
                          IsDateXf(xf) ? DateText(value, g_.system1904) : NumberText(value));
        return true;
    }

    bool SetText(std::uint32_t row, std::uint32_t column, std::string text) {
        if (!Place(row, column)) {
            return false;
        }
        book_.SetCellText(row + 1, column + 1, std::move(text));
        return true;
    }

    // A string cell's text: BIFF8 unicode (possibly going on in CONTINUE records) or
    // BIFF5 code page bytes.
    bool CellString(ByteSpan data, RecordWalker& walk, std::string& text) {
        if (g_.biff == Biff::V5) {
            ByteReader in(data);
            text = Utf8ToGb18030(Biff5String8(in, false));
            return in.Ok() || Refuse(WorkbookError::Damaged, "a text cell: " + in.Reason());
        }
        std::vector<ByteSpan> segments{data};
        for (ByteSpan more : walk.TakeContinues()) {
            segments.push_back(more);
        }
        ContinuedReader in(std::move(segments));
        const std::size_t characters = in.U16();
        if (characters == 0 && in.AtEnd()) {
            text.clear();
            return true;
        }
        text = Utf16ToGb18030Text(in.UnicodeString(characters));
        return in.Ok() || Refuse(WorkbookError::Damaged, "a text cell: " + in.Reason());
    }

    bool ReadCellRecord(const Record& record, RecordWalker& walk) {
        ByteReader in(record.data);
        const std::uint16_t row = in.U16();
        const std::uint16_t column = in.U16();
        // A formula's text result comes in the STRING record after it, past any shared
        // or array formula records; the next cell ends the wait.
        if (IsCellRecord(record.id)) {
            pendingString_.reset();
        }
        switch (record.id) {
        case rec::kDimensions:
            return ReadDimensions(record.data);
        case rec::kNumber: {
            const std::uint16_t xf = in.U16();
            return SetNumber(row, column, xf, in.F64());
        }
        case rec::kRk: {
            const std::uint16_t xf = in.U16();
            return SetNumber(row, column, xf, RkValue(in.U32()));
        }
        case rec::kMulRk: {
            const std::size_t count = (record.data.size() - 6) / 6;
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint16_t xf = in.U16();
                const double value = RkValue(in.U32());
                if (!SetNumber(row, column + static_cast<std::uint32_t>(i), xf, value)) {
                    return false;
                }
            }
            return true;
        }
        case rec::kLabelSst: {
            in.Skip(2);
            const std::uint32_t index = in.U32();
            if (index >= g_.sst.count) {
                return Refuse(WorkbookError::Damaged,
                              "a cell names shared string " + std::to_string(index) + " of " +
                                  std::to_string(g_.sst.count) +
                                  (g_.sst.Ok() ? "" : " (" + g_.sst.reason + ")"));
            }
            if (!Place(row, column)) {
                return false;
            }
            book_.SetCell(row + 1, column + 1, g_.sst.first + index);
            return true;
        }
        case rec::kLabel:
        case rec::kRString: {
            std::string text;
            return CellString(record.data.subspan(6), walk, text) &&
                   SetText(row, column, std::move(text));
        }
        case rec::kBoolErr: {
            in.Skip(2);
            const std::uint8_t value = in.U8();
            const bool isError = in.U8() != 0;
            return SetText(row, column, isError ? ErrorText(value) : (value ? "TRUE" : "FALSE"));
        }
        case rec::kFormula:
            return ReadFormula(record.data, row, column);
        case rec::kString: {
            if (!pendingString_) {
                return true; // a string result with no formula before it says nothing
            }
            const auto [formulaRow, formulaColumn] = *pendingString_;
            pendingString_.reset();
            std::string text;
            return CellString(record.data, walk, text) &&
                   SetText(formulaRow, formulaColumn, std::move(text));
        }
        case rec::kBlank:
            return Place(row, column) && (book_.NoteUsed(row + 1, column + 1), true);
        case rec::kMulBlank: {
            const std::size_t count = (record.data.size() - 6) / 2;
            return Place(row, column + count - 1) &&
                   (book_.NoteUsed(row + 1, static_cast<int>(column + count)), true);
        }
        default:
            return true;
        }
    }

    bool ReadFormula(ByteSpan data, std::uint16_t row, std::uint16_t column) {
        ByteReader in(data.subspan(6));
        const ByteSpan result = in.Bytes(8);
        if (result[6] != 0xFF || result[7] != 0xFF) {
            const std::uint16_t xf = ByteReader(data.subspan(4, 2)).U16();
            return SetNumber(row, column, xf, ByteReader(result).F64());
        }
        switch (result[0]) {
        case 0: // text, in the STRING record that follows
            pendingString_.emplace(row, column);
            return SetText(row, column, "");
        case 1:
            return SetText(row, column, result[2] ? "TRUE" : "FALSE");
        case 2:
            return SetText(row, column, ErrorText(result[2]));
        default: // 3: an empty text
            return SetText(row, column, "");
        }
    }

    bool ReadDimensions(ByteSpan data) {
        ByteReader in(data);
        std::uint32_t lastRow;
        std::uint16_t lastColumn;
        if (g_.biff == Biff::V8 && data.size() >= 14) {
            in.U32();
            lastRow = in.U32();
            in.U16();
            lastColumn = in.U16();
        } else {
            in.U16();
            lastRow = in.U16();
            in.U16();
            lastColumn = in.U16();
        }
        // The extent as the writer recorded it (one past the last row and column). One
        // beyond what the format holds is a broken record, not a sheet that size.
        if (lastRow > 0 && lastColumn > 0 && lastRow <= 65536 && lastColumn <= 256) {
            book_.NoteUsed(static_cast<int>(lastRow), lastColumn);
        }
        return true;
    }

    ByteSpan stream_;
    Globals g_;
    Workbook book_;
    WorkbookError error_ = WorkbookError::None;
    std::string detail_;
    std::optional<std::pair<std::uint16_t, std::uint16_t>> pendingString_;
    std::optional<CodePageDecoder> decoder_;
};

bool StartsWithBof(ByteSpan bytes) {
    if (bytes.size() < 4) {
        return false;
    }
    const std::uint16_t id = ByteReader(bytes.subspan(0, 2)).U16();
    return id == rec::kBof || id == 0x0009 || id == 0x0209 || id == 0x0409;
}

} // namespace

WorkbookResult ReadWorkbookStream(ByteSpan stream) {
    return Reader(stream).Read();
}

WorkbookResult ReadXls(ByteSpan file) {
    if (!LooksLikeCompoundFile(file)) {
        if (StartsWithBof(file)) {
            return ReadWorkbookStream(file);
        }
        return WorkbookResult::Fail(WorkbookError::NotAWorkbook, "not a .xls workbook");
    }
    const CompoundDirectory directory(file);
    if (!directory) {
        return WorkbookResult::Fail(WorkbookError::Damaged,
                                    "the compound file is damaged: " + directory.Detail());
    }
    // A password-protected .xlsx travels as a compound file holding the encrypted zip.
    if (directory.Has("EncryptedPackage")) {
        return WorkbookResult::Fail(WorkbookError::Encrypted,
                                    "the workbook is protected with a password");
    }
    // Only the workbook stream is read: the others say nothing the import needs.
    BytesResult stream = directory.Stream("Workbook");
    if (stream.error == ContainerError::NoSuchStream) {
        stream = directory.Stream("Book");
    }
    if (stream.error == ContainerError::NoSuchStream) {
        return WorkbookResult::Fail(WorkbookError::NotAWorkbook,
                                    "a compound file without a workbook stream");
    }
    if (!stream) {
        return WorkbookResult::Fail(WorkbookError::Damaged,
                                    "the compound file is damaged: " + stream.detail);
    }
    return ReadWorkbookStream(stream.bytes);
}

} // namespace quillon::xls
