#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// Register text lives in the program as GB18030 bytes. These convert at the borders (the
// database speaks UTF-8). A character the target cannot hold becomes one "?".
std::string Gb18030ToUtf8(const std::string& gb18030);
std::string Utf8ToGb18030(const std::string& utf8);

// UTF-16 code units (as the spreadsheet formats store text) to UTF-8. A lone surrogate
// becomes U+FFFD, which GBK then turns into "?".
std::string Utf16ToUtf8(std::u16string_view utf16);

// GB18030 to UTF-16 code units, for the spreadsheet formats.
std::u16string Gb18030ToUtf16(const std::string& gb18030);

// One iconv conversion, opened once (opening is costly). Not thread-safe: each thread
// keeps its own. A character that cannot be converted becomes one `replacement`, given in
// the target's encoding.
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
