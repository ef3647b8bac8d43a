#include "exchange/xls/sst.h"

#include "exchange/xls/records.h"

#include <algorithm>

namespace quillon::xls {

namespace {

// Walks the table's strings in order, handing each to take; stops early with a reason in
// `reason` when the records end inside a string or the table holds too many to take.
template <typename Take>
void WalkSharedStrings(ByteSpan sst, const std::vector<ByteSpan>& continues, std::uint32_t& total,
                       std::uint32_t& declaredUnique, std::string& reason, bool& tooMany,
                       Take take) {
    std::vector<ByteSpan> segments{sst};
    segments.insert(segments.end(), continues.begin(), continues.end());
    ContinuedReader in(std::move(segments));
    total = in.U32();
    declaredUnique = in.U32();
    std::size_t count = 0;
    for (; count < declaredUnique && in.Ok() && !in.AtEnd(); ++count) {
        if (count == Workbook::kMaxSharedStrings) {
            tooMany = true;
            reason = "more than " + std::to_string(Workbook::kMaxSharedStrings) + " shared strings";
            return;
        }
        const std::uint16_t characters = in.U16();
        std::u16string text = in.UnicodeString(characters);
        if (!in.Ok()) {
            break;
        }
        take(std::move(text));
    }
    if (!in.Ok()) {
        reason = "shared string " + std::to_string(count) + ": " + in.Reason();
    }
}

} // namespace

SharedStringUnits ReadSharedStringUnits(ByteSpan sst, const std::vector<ByteSpan>& continues) {
    SharedStringUnits table;
    bool tooMany = false;
    WalkSharedStrings(sst, continues, table.total, table.declaredUnique, table.reason, tooMany,
                      [&](std::u16string&& text) { table.texts.push_back(std::move(text)); });
    return table;
}

SharedStrings ReadSharedStrings(ByteSpan sst, const std::vector<ByteSpan>& continues,
                                Workbook& into) {
    SharedStrings table;
    table.first = static_cast<std::uint32_t>(into.TextCount());
    std::uint32_t total = 0;
    std::uint32_t declaredUnique = 0;
    WalkSharedStrings(sst, continues, total, declaredUnique, table.reason, table.tooMany,
                      [&](std::u16string&& text) {
                          into.AddText(Utf16ToGb18030Text(text));
                          ++table.count;
                      });
    return table;
}

namespace {

// Lays out records of at most kMaxRecordData bytes, opening a CONTINUE record when one
// is full and filling in each record's length when it is closed.
class RecordRun {
public:
    RecordRun(ByteWriter& out, std::uint16_t id) : out_(out) { Open(id); }
    ~RecordRun() { Close(); }

    std::size_t Room() const { return kMaxRecordData - (out_.Size() - dataStart_); }
    // Where the current record's header starts, and the offset from there to the end.
    std::size_t RecordStart() const { return dataStart_ - 4; }
    void StartContinue() {
        Close();
        Open(rec::kContinue);
    }
    ByteWriter& Out() { return out_; }

private:
    void Open(std::uint16_t id) {
        out_.U16(id);
        out_.U16(0);
        dataStart_ = out_.Size();
    }
    void Close() {
        out_.PatchU16(dataStart_ - 2, static_cast<std::uint16_t>(out_.Size() - dataStart_));
    }

    ByteWriter& out_;
    std::size_t dataStart_ = 0;
};

bool FitsInOneByte(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x100; });
}

struct BucketStart {
    std::uint32_t position;
    std::uint16_t inRecord;
};

// The BIFF8 rule: a string's count and flags never straddle records; its characters may,
// and the continuation then repeats the flags byte.
void WriteString(RecordRun& run, std::u16string_view text) {
    const bool compressed = FitsInOneByte(text);
    const std::size_t unit = compressed ? 1 : 2;
    const std::uint8_t flags = compressed ? 0 : 1;
    ByteWriter& out = run.Out();
    out.U16(static_cast<std::uint16_t>(text.size()));
    out.U8(flags);
    std::size_t done = 0;
    while (done < text.size()) {
        std::size_t fit = run.Room() / unit;
        if (fit == 0) {
            run.StartContinue();
            out.U8(flags);
            fit = run.Room() / unit;
        }
        const std::size_t end = std::min(text.size(), done + fit);
        if (compressed) {
            out.Narrow(text.substr(done, end - done));
        } else {
            out.Wide(text.substr(done, end - done));
        }
        done = end;
    }
}

} // namespace

void WriteSharedStrings(ByteWriter& stream, std::uint32_t total, std::size_t count,
                        const std::function<std::u16string_view(std::size_t)>& text) {
    // Excel's choice: at most 128 buckets of at least 8 strings.
    const std::size_t perBucket = std::max<std::size_t>(8, count / 128 + 1);
    std::vector<BucketStart> buckets;
    {
        RecordRun run(stream, rec::kSst);
        stream.U32(total);
        stream.U32(static_cast<std::uint32_t>(count));
        for (std::size_t i = 0; i < count; ++i) {
            // A string starts where its count and flags and a first character fit.
            if (run.Room() < 5) {
                run.StartContinue();
            }
            if (i % perBucket == 0) {
                buckets.push_back({static_cast<std::uint32_t>(stream.Size()),
                                   static_cast<std::uint16_t>(stream.Size() - run.RecordStart())});
            }
            WriteString(run, text(i));
        }
    }
    stream.U16(rec::kExtSst);
    stream.U16(static_cast<std::uint16_t>(2 + 8 * buckets.size()));
    stream.U16(static_cast<std::uint16_t>(perBucket));
    for (const BucketStart& bucket : buckets) {
        stream.U32(bucket.position);
        stream.U16(bucket.inRecord);
        stream.U16(0);
    }
}

} // namespace quillon::xls
