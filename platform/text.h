#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// Register text lives in the program as GB18030 bytes (GBK text is GB18030 byte for byte).
// These convert at the borders: the database speaks UTF-8, the spreadsheet formats UTF-16.
// GB18030 holds every Unicode character, so only input that is no text is replaced: each
// malformed UTF-8 sequence, encoded surrogate, or byte sequence GB18030 does not define
// becomes one U+FFFD (kGb18030Replacement in the program's text), in one pass over the
// input. A "?" is therefore always a question mark that was written.
std::string Gb18030ToUtf8(const std::string& gb18030);
std::string Utf8ToGb18030(const std::string& utf8);

// UTF-16 code units (as the spreadsheet formats store text) to UTF-8. A lone surrogate
// becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// GB18030 to UTF-16 code units, for the spreadsheet formats.
std::u16string Gb18030ToUtf16(const std::string& gb18030);

// UTF-8 straight to UTF-16 code units, appended to `out`, taking the characters
// Utf8ToGb18030 takes: each broken sequence and each code point GB18030 has no bytes for
// becomes one U+FFFD, so a text read from the database reaches a spreadsheet as it would
// through the program's text. Returns how many were replaced.
std::size_t AppendUtf8AsUtf16(std::string_view utf8, std::u16string& out);

// U+FFFD, the replacement character, as GB18030 bytes.
inline constexpr std::string_view kGb18030Replacement = "\x84\x31\xA4\x37";

// Bytes of the GB18030 character at text[at] (at < text.size()): 1 for ASCII, 2 for a lead
// byte 0x81-0xFE with a trail 0x40-0xFE (not 0x7F), 4 for the four-byte form (lead, digit
// 0x30-0x39, 0x81-0xFE, digit). A byte that begins no whole character counts 1. Every walk
// through the program's text goes by this: a four-byte character's second and fourth bytes
// are ASCII digits, which a walk that does not first take whole characters would misread.
std::size_t Gb18030CharacterLength(std::string_view text, std::size_t at);

// The Unicode character at text[at], or U+FFFD where the bytes there make none.
char32_t Gb18030CodePointAt(std::string_view text, std::size_t at);

// UTF-16 code units of the character at text[at]: 2 beyond U+FFFF, else 1.
std::size_t Gb18030Utf16Length(std::string_view text, std::size_t at);

// Characters of a GB18030 text, as Gb18030CharacterLength takes them.
std::size_t Gb18030Characters(std::string_view text);

// One iconv conversion, opened once (opening is costly). Not thread-safe: each thread
// keeps its own. A character that cannot be converted becomes one `replacement`, given in
// the target's encoding. Each such character makes iconv stop; where the conversion's last
// step is the one refusing it, glibc converts the input before it again, so a text of many
// becomes quadratic. The conversions above therefore hand iconv only text it converts whole.
class TextConverter {
public:
    // How many input bytes make up the character at src that could not be converted.
    using SkipFn = std::size_t (*)(const unsigned char* src, std::size_t left);

    // Nothing when iconv cannot convert between the two encodings.
    static std::unique_ptr<TextConverter> Open(const char* to, const char* from,
                                               std::string replacement = "?");
    ~TextConverter();
    TextConverter(const TextConverter&) = delete;
    TextConverter& operator=(const TextConverter&) = delete;

    std::string Convert(const std::string& in, SkipFn skipInvalid);

private:
    TextConverter(void* cd, std::string replacement)
        : cd_(cd), replacement_(std::move(replacement)) {}
    void* cd_; // iconv_t
    std::string replacement_;
};

// A GB18030 literal written in this UTF-8 source file, e.g. Gb18030("全国").
inline std::string Gb18030(const char* utf8) {
    return Utf8ToGb18030(utf8);
}
