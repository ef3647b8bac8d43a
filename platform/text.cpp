#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <iconv.h>
#include <stdexcept>

namespace {

constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";

// Four-byte GB18030 characters are numbered from 0x81308130 on, ten by ten by 126 by ten.
constexpr std::uint32_t kFourByteBmpCount = 39420;      // 0x81308130..0x8431A439: U+0080..U+FFFF
constexpr unsigned char kFirstSupplementaryLead = 0x90; // 0x90308130 is U+10000
constexpr char32_t kLastCodePoint = 0x10FFFF;

bool IsGb18030Lead(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

bool IsGb18030Digit(unsigned char byte) {
    return byte >= 0x30 && byte <= 0x39;
}

std::uint32_t FourByteIndex(const unsigned char* bytes) {
    return ((bytes[0] - 0x81u) * 10 + (bytes[1] - 0x30u)) * 1260 + (bytes[2] - 0x81u) * 10 +
           (bytes[3] - 0x30u);
}

// Whether the four-byte character names a Unicode character: the form runs on beyond both
// the Basic Multilingual Plane and U+10FFFF.
bool IsDefinedFourByte(const unsigned char* bytes) {
    if (bytes[0] < kFirstSupplementaryLead) {
        return FourByteIndex(bytes) < kFourByteBmpCount;
    }
    const std::uint32_t supplementary =
        FourByteIndex(bytes) - (kFirstSupplementaryLead - 0x81) * 12600u;
    return supplementary <= kLastCodePoint - 0x10000;
}

// The UTF-8 character at text[at]: its length and whether it is one. A broken sequence is
// as long as its lead byte and the continuation bytes that fit it, so that it never takes
// the characters after it; overlong forms, surrogates and code points beyond U+10FFFF are
// broken at their second byte.
struct Utf8Character {
    std::size_t length;
    char32_t codePoint; // meaningful when valid
    bool valid;
};

Utf8Character DecodeUtf8(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return {1, lead, true};
    }
    std::size_t length = 0;
    unsigned char low = 0x80; // the range of the second byte
    unsigned char high = 0xBF;
    char32_t codePoint = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {1, 0, false};
    }
    for (std::size_t n = 1; n < length; ++n) {
        if (at + n >= text.size()) {
            return {n, 0, false};
        }
        const auto byte = static_cast<unsigned char>(text[at + n]);
        const bool fits = n == 1 ? byte >= low && byte <= high : (byte & 0xC0) == 0x80;
        if (!fits) {
            return {n, 0, false};
        }
        codePoint = codePoint << 6 | (byte & 0x3F);
    }
    return {length, codePoint, true};
}

// glibc's GB18030 has no bytes for a few code points of the Private Use Area: their
// GB18030 codes went to standard characters in later editions. Asked to convert one, iconv
// stops in its last step, so they are found once and replaced like broken input.
class UnencodablePrivateUse {
public:
    static bool Contains(char32_t c) {
        if (c < kFirst || c > kLast) {
            return false;
        }
        static const UnencodablePrivateUse table;
        return table.bits_[c - kFirst];
    }

private:
    static constexpr char32_t kFirst = 0xE000;
    static constexpr char32_t kLast = 0xF8FF;

    UnencodablePrivateUse() {
        const iconv_t cd = iconv_open("GB18030", "UTF-32LE");
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            return;
        }
        for (char32_t c = kFirst; c <= kLast; ++c) {
            char in[4] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8 & 0xFF), 0, 0};
            char out[8];
            char* src = in;
            char* dst = out;
            std::size_t srcLeft = sizeof in;
            std::size_t dstLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            bits_[c - kFirst] =
                iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1);
        }
        iconv_close(cd);
    }

    std::array<bool, kLast - kFirst + 1> bits_{};
};

// The text with every sequence `broken` reports (by its length, 0 where the text is whole)
// replaced by `replacement`; the text itself when nothing is broken, without a copy.
template <typename Broken>
const std::string& Mended(const std::string& text, std::string_view replacement, Broken broken,
                          std::string& storage) {
    std::size_t copied = 0; // text before this is in storage
    bool mended = false;
    for (std::size_t at = 0; at < text.size();) {
        const auto [length, isBroken] = broken(text, at);
        if (isBroken) {
            if (!mended) {
                storage.clear();
                storage.reserve(text.size() + text.size() / 8 + 16);
                mended = true;
            }
            storage.append(text, copied, at - copied);
            storage.append(replacement);
            copied = at + length;
        }
        at += length;
    }
    if (!mended) {
        return text;
    }
    storage.append(text, copied, std::string::npos);
    return storage;
}

struct Step {
    std::size_t length;
    bool broken;
};

Step BrokenUtf8(const std::string& text, std::size_t at) {
    const Utf8Character c = DecodeUtf8(text, at);
    return {c.length, !c.valid || UnencodablePrivateUse::Contains(c.codePoint)};
}

Step BrokenGb18030(const std::string& text, std::size_t at) {
    const std::size_t length = Gb18030CharacterLength(text, at);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data() + at);
    const bool broken = length == 1 ? bytes[0] >= 0x80 : length == 4 && !IsDefinedFourByte(bytes);
    return {length, broken};
}

// For what iconv still refuses (it knows no character for a few four-byte codes): one
// character, as the walk takes it. Such a refusal comes in iconv's first step, which
// resumes where it stopped.
std::size_t SkipGb18030(const unsigned char* src, std::size_t left) {
    return Gb18030CharacterLength(std::string_view(reinterpret_cast<const char*>(src), left), 0);
}

std::size_t SkipUtf8(const unsigned char* src, std::size_t left) {
    return DecodeUtf8(std::string_view(reinterpret_cast<const char*>(src), left), 0).length;
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Each thread's converter between two encodings the program always has.
TextConverter& ThreadConverter(std::unique_ptr<TextConverter>& converter, const char* to,
                               const char* from, std::string_view replacement) {
    if (!converter) {
        converter = TextConverter::Open(to, from, std::string(replacement));
        if (!converter) {
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " +
                                     to);
        }
    }
    return *converter;
}

} // namespace

std::unique_ptr<TextConverter> TextConverter::Open(const char* to, const char* from,
                                                   std::string replacement) {
    const iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return nullptr;
    }
    return std::unique_ptr<TextConverter>(new TextConverter(cd, std::move(replacement)));
}

TextConverter::~TextConverter() {
    iconv_close(static_cast<iconv_t>(cd_));
}

std::string TextConverter::Convert(const std::string& in, SkipFn skipInvalid) {
    const auto cd = static_cast<iconv_t>(cd_);
    std::string out;
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    const auto grow = [&](std::size_t atLeast) {
        const std::size_t used = static_cast<std::size_t>(dst - out.data());
        out.resize(out.size() * 2 + atLeast);
        dst = out.data() + used;
        dstLeft = out.size() - used;
    };
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            grow(0);
            continue;
        }
        // EILSEQ or EINVAL (truncated at the end): replace one character.
        if (dstLeft < replacement_.size()) {
            grow(replacement_.size());
        }
        dst = std::copy(replacement_.begin(), replacement_.end(), dst);
        dstLeft -= replacement_.size();
        const std::size_t skip =
            std::min(srcLeft, skipInvalid(reinterpret_cast<const unsigned char*>(src), srcLeft));
        src += skip;
        srcLeft -= skip;
    }
    out.resize(static_cast<std::size_t>(dst - out.data()));
    return out;
}

std::size_t Gb18030CharacterLength(std::string_view text, std::size_t at) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data() + at);
    const std::size_t left = text.size() - at;
    if (left < 2 || !IsGb18030Lead(bytes[0])) {
        return 1;
    }
    if (bytes[1] >= 0x40 && bytes[1] <= 0xFE && bytes[1] != 0x7F) {
        return 2;
    }
    const bool fourBytes = left >= 4 && IsGb18030Digit(bytes[1]) && IsGb18030Lead(bytes[2]) &&
                           IsGb18030Digit(bytes[3]);
    return fourBytes ? 4 : 1;
}

char32_t Gb18030CodePointAt(std::string_view text, std::size_t at) {
    const std::size_t length = Gb18030CharacterLength(text, at);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data() + at);
    if (length == 1) {
        return bytes[0] < 0x80 ? bytes[0] : 0xFFFD;
    }
    if (length == 4 && !IsDefinedFourByte(bytes)) {
        return 0xFFFD;
    }
    if (length == 4 && bytes[0] >= kFirstSupplementaryLead) {
        return 0x10000 + FourByteIndex(bytes) - (kFirstSupplementaryLead - 0x81) * 12600u;
    }
    // The two-byte codes and the four-byte ones of the Basic Multilingual Plane follow
    // tables: iconv knows them.
    const std::string utf8 = Gb18030ToUtf8(std::string(text.substr(at, length)));
    const Utf8Character c = DecodeUtf8(utf8, 0);
    return c.valid ? c.codePoint : 0xFFFD;
}

std::size_t Gb18030Utf16Length(std::string_view text, std::size_t at) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data() + at);
    const bool supplementary = Gb18030CharacterLength(text, at) == 4 &&
                               bytes[0] >= kFirstSupplementaryLead && IsDefinedFourByte(bytes);
    return supplementary ? 2 : 1;
}

std::size_t Gb18030Characters(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < text.size(); at += Gb18030CharacterLength(text, at)) {
        ++characters;
    }
    return characters;
}

std::string Gb18030ToUtf8(const std::string& gb18030) {
    if (IsAscii(gb18030)) {
        return gb18030; // ASCII is the same in both
    }
    thread_local std::unique_ptr<TextConverter> converter;
    std::string storage;
    const std::string& whole = Mended(gb18030, kGb18030Replacement, BrokenGb18030, storage);
    return ThreadConverter(converter, "UTF-8", "GB18030", kUtf8Replacement)
        .Convert(whole, SkipGb18030);
}

std::string Utf8ToGb18030(const std::string& utf8) {
    if (IsAscii(utf8)) {
        return utf8;
    }
    thread_local std::unique_ptr<TextConverter> converter;
    std::string storage;
    const std::string& whole = Mended(utf8, kUtf8Replacement, BrokenUtf8, storage);
    return ThreadConverter(converter, "GB18030", "UTF-8", kGb18030Replacement)
        .Convert(whole, SkipUtf8);
}

std::u16string Gb18030ToUtf16(const std::string& gb18030) {
    std::u16string out;
    if (IsAscii(gb18030)) {
        out.assign(gb18030.begin(), gb18030.end());
        return out;
    }
    thread_local std::unique_ptr<TextConverter> converter;
    std::string storage;
    const std::string& whole = Mended(gb18030, kGb18030Replacement, BrokenGb18030, storage);
    const std::string bytes =
        ThreadConverter(converter, "UTF-16LE", "GB18030", std::string_view("\xFD\xFF", 2))
            .Convert(whole, SkipGb18030);
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    auto put = [&out](char32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    };
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char32_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            put(0x10000 + ((unit - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            put(0xFFFD);
        } else {
            put(unit);
        }
    }
    return out;
}

std::size_t AppendUtf8AsUtf16(std::string_view utf8, std::u16string& out) {
    std::size_t replaced = 0;
    for (std::size_t at = 0; at < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++at;
            continue;
        }
        const Utf8Character c = DecodeUtf8(utf8, at);
        at += c.length;
        if (!c.valid || UnencodablePrivateUse::Contains(c.codePoint)) {
            out += u'\uFFFD';
            ++replaced;
        } else if (c.codePoint < 0x10000) {
            out += static_cast<char16_t>(c.codePoint);
        } else {
            out += static_cast<char16_t>(0xD800 + ((c.codePoint - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c.codePoint - 0x10000) & 0x3FF));
        }
    }
    return replaced;
}
