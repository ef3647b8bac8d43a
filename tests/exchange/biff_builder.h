// Builds small BIFF8 (or BIFF5) workbook streams record by record, so that a test can
// give the reader exactly the layout it is about.
#pragma once

#include "exchange/bytes.h"
#include "exchange/xls/container.h"
#include "exchange/xls/records.h"

#include <algorithm>
#include <string>
#include <vector>

namespace biff {

using Bytes = std::vector<std::uint8_t>;
using quillon::ByteWriter;
namespace rec = quillon::xls::rec;

template <typename Fill> Bytes Body(Fill fill) {
    ByteWriter w;
    fill(w);
    return w.Take();
}

// A BIFF8 string with a 16-bit (LABEL, FORMAT) or 8-bit (BOUNDSHEET) count.
inline void String(ByteWriter& w, const std::u16string& text, bool shortCount = false) {
    const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
    if (shortCount) {
        w.U8(static_cast<std::uint8_t>(text.size()));
    } else {
        w.U16(static_cast<std::uint16_t>(text.size()));
    }
    w.U8(wide ? 1 : 0);
    for (char16_t c : text) {
        if (wide) {
            w.U16(c);
        } else {
            w.U8(static_cast<std::uint8_t>(c));
        }
    }
}

inline Bytes Cell(std::uint16_t row, std::uint16_t column, std::uint16_t xf,
                  const Bytes& rest = {}) {
    return Body([&](ByteWriter& w) {
        w.U16(row);
        w.U16(column);
        w.U16(xf);
        w.Bytes(rest);
    });
}

inline Bytes Number(std::uint16_t row, std::uint16_t column, double value, std::uint16_t xf = 0) {
    return Cell(row, column, xf, Body([&](ByteWriter& w) { w.F64(value); }));
}

inline Bytes Label(std::uint16_t row, std::uint16_t column, const std::u16string& text) {
    return Cell(row, column, 0, Body([&](ByteWriter& w) { String(w, text); }));
}

// A FORMULA record whose cached result is the 8 bytes given.
inline Bytes Formula(std::uint16_t row, std::uint16_t column, const Bytes& result,
                     std::uint16_t xf = 0) {
    return Cell(row, column, xf, Body([&](ByteWriter& w) {
                    w.Bytes(result);
                    w.U16(0);                   // flags
                    w.U32(0);                   // cache
                    w.U16(3);                   // a formula of three bytes:
                    w.Bytes(Bytes{0x1E, 1, 0}); // the integer 1
                }));
}

inline Bytes SpecialResult(std::uint8_t kind, std::uint8_t value = 0) {
    return Bytes{kind, 0, value, 0, 0, 0, 0xFF, 0xFF};
}

inline Bytes DoubleResult(double value) {
    return Body([&](ByteWriter& w) { w.F64(value); });
}

class Book {
public:
    explicit Book(bool biff5 = false) : biff5_(biff5) {}

    void Global(std::uint16_t id, Bytes body) { globals_.push_back({id, std::move(body)}); }
    void Sheet(std::uint16_t id, Bytes body) { sheet_.push_back({id, std::move(body)}); }
    // Appends a record exactly as given, CONTINUEs and all, to the globals.
    void RawGlobal(Bytes raw) { rawGlobals_.insert(rawGlobals_.end(), raw.begin(), raw.end()); }

    // Whether BOUNDSHEET points at the sheet; a stale offset is what some writers leave.
    bool correctOffset = true;
    bool withBoundSheet = true;

    Bytes Stream() const {
        ByteWriter w;
        Record(w, rec::kBof, Bof(0x0005));
        for (const auto& [id, body] : globals_) {
            Record(w, id, body);
        }
        w.Bytes(rawGlobals_);
        std::size_t offsetAt = 0;
        if (withBoundSheet) {
            offsetAt = w.Size() + 4;
            Record(w, rec::kBoundSheet, Body([&](ByteWriter& b) {
                       b.U32(0);
                       b.U8(0);
                       b.U8(0);
                       if (biff5_) {
                           b.U8(6);
                           b.Bytes(Bytes{'S', 'h', 'e', 'e', 't', '1'});
                       } else {
                           String(b, u"Sheet1", true);
                       }
                   }));
        }
        Record(w, rec::kEof, {});
        const std::size_t sheetAt = w.Size();
        if (withBoundSheet) {
            w.PatchU32(offsetAt, correctOffset ? static_cast<std::uint32_t>(sheetAt) : 12345);
        }
        Record(w, rec::kBof, Bof(0x0010));
        for (const auto& [id, body] : sheet_) {
            Record(w, id, body);
        }
        Record(w, rec::kEof, {});
        return w.Take();
    }

    // The stream inside a compound file, as a .xls file is.
    Bytes File() const {
        quillon::xls::CompoundEntry root;
        root.storage = true;
        quillon::xls::CompoundEntry stream;
        stream.name = biff5_ ? "Book" : "Workbook";
        stream.bytes = Stream();
        stream.bytes.resize(std::max<std::size_t>(stream.bytes.size(), 4096), 0);
        root.children.push_back(std::move(stream));
        return quillon::xls::WriteCompoundFile(root).bytes;
    }

    static void Record(ByteWriter& w, std::uint16_t id, const Bytes& body) {
        w.U16(id);
        w.U16(static_cast<std::uint16_t>(body.size()));
        w.Bytes(body);
    }

private:
    Bytes Bof(std::uint16_t kind) const {
        return Body([&](ByteWriter& w) {
            w.U16(biff5_ ? 0x0500 : 0x0600);
            w.U16(kind);
            w.U16(0x0DBB);
            w.U16(0x07CC);
            if (!biff5_) {
                w.U32(0);
                w.U32(0x0006);
            }
        });
    }

    bool biff5_;
    std::vector<std::pair<std::uint16_t, Bytes>> globals_;
    std::vector<std::pair<std::uint16_t, Bytes>> sheet_;
    Bytes rawGlobals_;
};

// XF records giving XF 0 the general format and XF 1 the format index given.
inline void AddXfs(Book& book, std::uint16_t secondFormat) {
    for (std::uint16_t format : {std::uint16_t{0}, secondFormat}) {
        book.Global(rec::kXf, Body([&](ByteWriter& w) {
                        w.U16(0);
                        w.U16(format);
                        w.Zeros(16);
                    }));
    }
}

} // namespace biff
