// The record layer of a BIFF workbook stream: a walk over (id, length, data) records
// that refuses a record shorter than its kind needs before anyone reads it, and a reader
// for data that continues into CONTINUE records (the shared strings, long texts).
#pragma once

#include "exchange/bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::xls {

// Record ids this code reads or writes.
namespace rec {
inline constexpr std::uint16_t kFormula = 0x0006;
inline constexpr std::uint16_t kEof = 0x000A;
inline constexpr std::uint16_t kDateMode = 0x0022;
inline constexpr std::uint16_t kFilePass = 0x002F;
inline constexpr std::uint16_t kContinue = 0x003C;
inline constexpr std::uint16_t kCodePage = 0x0042;
inline constexpr std::uint16_t kBoundSheet = 0x0085;
inline constexpr std::uint16_t kMulRk = 0x00BD;
inline constexpr std::uint16_t kMulBlank = 0x00BE;
inline constexpr std::uint16_t kRString = 0x00D6;
inline constexpr std::uint16_t kXf = 0x00E0;
inline constexpr std::uint16_t kMergedCells = 0x00E5;
inline constexpr std::uint16_t kSst = 0x00FC;
inline constexpr std::uint16_t kLabelSst = 0x00FD;
inline constexpr std::uint16_t kExtSst = 0x00FF;
inline constexpr std::uint16_t kDimensions = 0x0200;
inline constexpr std::uint16_t kBlank = 0x0201;
inline constexpr std::uint16_t kNumber = 0x0203;
inline constexpr std::uint16_t kLabel = 0x0204;
inline constexpr std::uint16_t kBoolErr = 0x0205;
inline constexpr std::uint16_t kString = 0x0207;
inline constexpr std::uint16_t kRow = 0x0208;
inline constexpr std::uint16_t kIndex = 0x020B;
inline constexpr std::uint16_t kRk = 0x027E;
inline constexpr std::uint16_t kFormat = 0x041E;
inline constexpr std::uint16_t kBof = 0x0809;
inline constexpr std::uint16_t kDbCell = 0x00D7;
inline constexpr std::uint16_t kDefColWidth = 0x0055;
inline constexpr std::uint16_t kColInfo = 0x007D;
inline constexpr std::uint16_t kArray = 0x0221;
inline constexpr std::uint16_t kTable = 0x0236;
inline constexpr std::uint16_t kShrFmla = 0x04BC;
} // namespace rec

// The largest record body BIFF8 allows; longer data goes on in CONTINUE records.
inline constexpr std::size_t kMaxRecordData = 8224;

// The fewest bytes a record of this id must carry for its handler's fixed fields; 0 for
// ids without fixed fields or not handled here.
std::size_t MinimumRecordSize(std::uint16_t id);

struct Record {
    std::uint16_t id = 0;
    ByteSpan data;
    std::size_t offset = 0; // of the record header in the stream
};

class RecordWalker {
public:
    explicit RecordWalker(ByteSpan stream, std::size_t start = 0) : stream_(stream), pos_(start) {}

    // The next record. False at the end of the stream, or on a record that runs past the
    // end or is shorter than its id needs: then Failed() and Reason() say which.
    bool Next(Record& out);
    // The CONTINUE records that follow the last record returned, taken out of the walk.
    std::vector<ByteSpan> TakeContinues();

    bool Failed() const { return !reason_.empty(); }
    bool Truncated() const { return truncated_; }
    const std::string& Reason() const { return reason_; }
    std::size_t Position() const { return pos_; }

private:
    ByteSpan stream_;
    std::size_t pos_;
    std::string reason_;
    bool truncated_ = false;
};

// Reads across a record and its CONTINUE records as one run of bytes, except in the
// characters of a string: there BIFF8 starts each continuation with a fresh flags byte
// saying whether the characters go on compressed (one byte each) or as UTF-16.
class ContinuedReader {
public:
    explicit ContinuedReader(std::vector<ByteSpan> segments) : segments_(std::move(segments)) {}

    bool Ok() const { return reason_.empty(); }
    const std::string& Reason() const { return reason_; }
    bool AtEnd();

    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    bool Skip(std::size_t count);
    // A BIFF8 unicode string whose character count was already read: flags byte, the
    // optional run and extension counts, the characters, then the runs and extension
    // skipped. The text comes back as UTF-16 code units.
    std::u16string UnicodeString(std::size_t characters);

private:
    bool NextSegment();
    void Fail(const std::string& why);

    std::vector<ByteSpan> segments_;
    std::size_t segment_ = 0;
    std::size_t pos_ = 0;
    std::string reason_;
};

// BIFF8 strings inside one record: XLUnicodeString (16-bit count) and
// ShortXLUnicodeString (8-bit count). UTF-16 code units.
std::u16string ReadUnicodeString16(ByteReader& in);
std::u16string ReadUnicodeString8(ByteReader& in);

// Text of a BIFF8 string for the program (GB18030) and for looking at format codes (UTF-8).
std::string Utf16ToGb18030Text(const std::u16string& text);

} // namespace quillon::xls
