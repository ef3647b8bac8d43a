#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace {

// Length of the malformed or unmappable UTF-8 character at src: its lead byte and the
// continuation bytes that belong to it, so that a broken sequence never swallows the
// characters after it.
std::size_t Utf8SequenceLength(const unsigned char* src, std::size_t left) {
    const unsigned char lead = src[0];
    std::size_t expected = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        expected = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        expected = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        expected = 4;
    }
    std::size_t n = 1;
    while (n < expected && n < left && (src[n] & 0xC0) == 0x80) {
        ++n;
    }
    return n;
}

std::size_t Gb18030SequenceLength(const unsigned char* src, std::size_t left) {
    const bool lead = src[0] >= 0x81 && src[0] <= 0xFE;
    const bool trail = left >= 2 && src[1] >= 0x40 && src[1] <= 0xFE && src[1] != 0x7F;
    return lead && trail ? 2 : 1;
}

// Each thread's converter between two encodings the program always has.
TextConverter& ThreadConverter(std::unique_ptr<TextConverter>& converter, const char* to,
                               const char* from, std::string replacement = "?") {
    if (!converter) {
        converter = TextConverter::Open(to, from, std::move(replacement));
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

std::string Gb18030ToUtf8(const std::string& gb18030) {
    for (unsigned char c : gb18030) {
        if (c >= 0x80) {
            thread_local std::unique_ptr<TextConverter> converter;
            return ThreadConverter(converter, "UTF-8", "GBK")
                .Convert(gb18030, Gb18030SequenceLength);
        }
    }
    return gb18030; // ASCII is the same in both
}

std::string Utf8ToGb18030(const std::string& utf8) {
    for (unsigned char c : utf8) {
        if (c >= 0x80) {
            thread_local std::unique_ptr<TextConverter> converter;
            return ThreadConverter(converter, "GBK", "UTF-8").Convert(utf8, Utf8SequenceLength);
        }
    }
    return utf8;
}

std::u16string Gb18030ToUtf16(const std::string& gb18030) {
    std::u16string out;
    out.reserve(gb18030.size());
    if (std::all_of(gb18030.begin(), gb18030.end(), [](unsigned char c) { return c < 0x80; })) {
        out.assign(gb18030.begin(), gb18030.end());
        return out;
    }
    thread_local std::unique_ptr<TextConverter> converter;
    const std::string bytes = ThreadConverter(converter, "UTF-16LE", "GBK", std::string("?\0", 2))
                                  .Convert(gb18030, Gb18030SequenceLength);
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
