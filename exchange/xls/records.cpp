#include "exchange/xls/records.h"

#include "platform/text.h"

#include <algorithm>
#include <cstdio>

namespace quillon::xls {

namespace {

std::string Describe(std::uint16_t id, std::size_t offset) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "record 0x%04X at offset %zu", id, offset);
    return buffer;
}

} // namespace

std::size_t MinimumRecordSize(std::uint16_t id) {
    // The fixed fields each handler reads before any variable part, in the shorter of the
    // BIFF5 and BIFF8 layouts; the handlers check the variable parts as they read them.
    switch (id) {
    case rec::kBof:
        return 4; // version, kind
    case rec::kDateMode:
    case rec::kCodePage:
        return 2;
    case rec::kFormat:
        return 3; // format index, count
    case rec::kXf:
        return 4; // font, format index
    case rec::kBoundSheet:
        return 7; // offset, visibility, kind, name length
    case rec::kSst:
        return 8; // total and unique counts
    case rec::kDimensions:
        return 10;
    case rec::kBlank:
        return 6; // row, column, format
    case rec::kLabel:
    case rec::kRString:
    case rec::kBoolErr:
        return 8;
    case rec::kLabelSst:
    case rec::kRk:
        return 10;
    case rec::kNumber:
        return 14;
    case rec::kFormula:
        return 20; // row, column, format, result, flags, cache
    case rec::kString:
        return 2;
    case rec::kMulBlank:
        return 8; // row, first column, one format, last column
    case rec::kMulRk:
        return 12; // row, first column, one (format, value), last column
    default:
        return 0;
    }
}

bool RecordWalker::Next(Record& out) {
    if (Failed() || stream_.size() - pos_ < 4) {
        return false; // the end, or a few bytes of padding after it
    }
    ByteReader header(stream_.subspan(pos_, 4));
    const std::uint16_t id = header.U16();
    const std::uint16_t length = header.U16();
    if (stream_.size() - pos_ - 4 < length) {
        truncated_ = true;
        reason_ = Describe(id, pos_) + " runs past the end of the stream";
        return false;
    }
    if (length < MinimumRecordSize(id)) {
        reason_ = Describe(id, pos_) + " has " + std::to_string(length) +
                  " bytes, fewer than the " + std::to_string(MinimumRecordSize(id)) + " it needs";
        return false;
    }
    out.id = id;
    out.offset = pos_;
    out.data = stream_.subspan(pos_ + 4, length);
    pos_ += 4 + std::size_t{length};
    return true;
}

std::vector<ByteSpan> RecordWalker::TakeContinues() {
    std::vector<ByteSpan> continues;
    while (!Failed() && stream_.size() - pos_ >= 4) {
        ByteReader header(stream_.subspan(pos_, 4));
        const std::uint16_t id = header.U16();
        const std::uint16_t length = header.U16();
        if (id != rec::kContinue || stream_.size() - pos_ - 4 < length) {
            break; // a CONTINUE cut off by the end is left for Next() to report
        }
        continues.push_back(stream_.subspan(pos_ + 4, length));
        pos_ += 4 + std::size_t{length};
    }
    return continues;
}

void ContinuedReader::Fail(const std::string& why) {
    if (reason_.empty()) {
        reason_ = why;
    }
}

bool ContinuedReader::NextSegment() {
    if (segment_ + 1 >= segments_.size()) {
        Fail("the data ends in the middle of a string or its counts");
        return false;
    }
    ++segment_;
    pos_ = 0;
    return true;
}

bool ContinuedReader::AtEnd() {
    while (segment_ < segments_.size() && pos_ == segments_[segment_].size()) {
        if (segment_ + 1 == segments_.size()) {
            return true;
        }
        ++segment_;
        pos_ = 0;
    }
    return segment_ >= segments_.size();
}

std::uint8_t ContinuedReader::U8() {
    if (!Ok()) {
        return 0;
    }
    if (AtEnd()) {
        Fail("the data ends in the middle of a string or its counts");
        return 0;
    }
    return segments_[segment_][pos_++];
}

std::uint16_t ContinuedReader::U16() {
    const std::uint16_t low = U8();
    return static_cast<std::uint16_t>(low | (U8() << 8));
}

std::uint32_t ContinuedReader::U32() {
    const std::uint32_t low = U16();
    return low | (static_cast<std::uint32_t>(U16()) << 16);
}

bool ContinuedReader::Skip(std::size_t count) {
    while (count > 0 && Ok()) {
        if (AtEnd()) {
            Fail("the data ends in the middle of a string's formatting runs");
            return false;
        }
        const std::size_t step = std::min(count, segments_[segment_].size() - pos_);
        pos_ += step;
        count -= step;
    }
    return Ok();
}

std::u16string ContinuedReader::UnicodeString(std::size_t characters) {
    const std::uint8_t flags = U8();
    const std::uint16_t runs = (flags & 0x08) ? U16() : 0;
    const std::uint32_t extension = (flags & 0x04) ? U32() : 0;
    bool wide = flags & 0x01;
    std::u16string text;
    text.reserve(std::min<std::size_t>(characters, kMaxRecordData));
    while (Ok() && text.size() < characters) {
        if (segment_ >= segments_.size() || pos_ == segments_[segment_].size()) {
            if (!NextSegment()) {
                break;
            }
            wide = U8() & 0x01; // each continuation says again how wide its characters are
            continue;
        }
        const ByteSpan here = segments_[segment_].subspan(pos_);
        const std::size_t want = characters - text.size();
        if (wide) {
            const std::size_t n = std::min(want, here.size() / 2);
            if (n == 0) {
                Fail("a UTF-16 character is split between records");
                break;
            }
            for (std::size_t i = 0; i < n; ++i) {
                text.push_back(static_cast<char16_t>(here[2 * i] | (here[2 * i + 1] << 8)));
            }
            pos_ += 2 * n;
        } else {
            const std::size_t n = std::min(want, here.size());
            text.append(here.begin(), here.begin() + static_cast<std::ptrdiff_t>(n));
            pos_ += n;
        }
    }
    Skip(std::size_t{runs} * 4 + extension);
    return text;
}

namespace {

std::u16string ReadCharacters(ByteReader& in, std::size_t characters) {
    if (characters == 0 && in.AtEnd()) {
        return {}; // some writers leave out the flags of an empty string
    }
    const std::uint8_t flags = in.U8();
    const std::uint16_t runs = (flags & 0x08) ? in.U16() : 0;
    const std::uint32_t extension = (flags & 0x04) ? in.U32() : 0;
    const bool wide = flags & 0x01;
    const ByteSpan bytes = in.Bytes(characters * (wide ? 2 : 1));
    std::u16string text;
    if (!in.Ok()) {
        return text;
    }
    text.reserve(characters);
    for (std::size_t i = 0; i < characters; ++i) {
        text.push_back(wide ? static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8))
                            : static_cast<char16_t>(bytes[i]));
    }
    // Formatting runs and phonetic data say nothing about the value; a writer that left
    // them out of a short record has lost nothing we read.
    in.Skip(std::min<std::size_t>(in.Remaining(), std::size_t{runs} * 4 + extension));
    return text;
}

} // namespace

std::u16string ReadUnicodeString16(ByteReader& in) {
    const std::size_t characters = in.U16();
    return ReadCharacters(in, characters);
}

std::u16string ReadUnicodeString8(ByteReader& in) {
    const std::size_t characters = in.U8();
    return ReadCharacters(in, characters);
}

std::string Utf16ToGb18030Text(const std::u16string& text) {
    if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
        return std::string(text.begin(), text.end());
    }
    return Utf8ToGb18030(Utf16ToUtf8(text));
}

} // namespace quillon::xls
