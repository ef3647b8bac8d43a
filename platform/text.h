#pragma once

#include <string>
#include <string_view>

// Register text lives in the program as GBK bytes. These convert at the borders (the
// database speaks UTF-8). A character the target cannot hold becomes one "?".
std::string GbkToUtf8(const std::string& gbk);
std::string Utf8ToGbk(const std::string& utf8);

// UTF-16 code units (as the spreadsheet formats store text) to UTF-8. A lone surrogate
// becomes U+FFFD, which GBK then turns into "?".
std::string Utf16ToUtf8(std::u16string_view utf16);

// GBK to UTF-16 code units, for the spreadsheet formats.
std::u16string GbkToUtf16(const std::string& gbk);

// A GBK literal written in this UTF-8 source file, e.g. Gbk("全国").
inline std::string Gbk(const char* utf8) {
    return Utf8ToGbk(utf8);
}
