#include "planted_files.h"
#include "platform/ini_file.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// U+FFFD, what every piece of broken input becomes.
const std::string kR(kGb18030Replacement);

TEST(Text, GbkTextKeepsItsBytesAndRoundTrips) {
    const struct {
        const char* utf8;
        std::string bytes; // as GBK has them
    } cases[] = {
        {"全国", "\xC8\xAB\xB9\xFA"},
        {"张三", "\xD5\xC5\xC8\xFD"},
        {"约翰·史密斯", "\xD4\xBC\xBA\xB2\xA1\xA4\xCA\xB7\xC3\xDC\xCB\xB9"},
        {"丂", "\x81\x40"}, // an extension row of GBK, trail byte in the ASCII range
        {"，", "\xA3\xAC"},
        {"abc 123?", "abc 123?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(Utf8ToGb18030(c.utf8), c.bytes);
        EXPECT_EQ(Gb18030ToUtf8(c.bytes), c.utf8);
    }
    const std::string text = Utf8ToGb18030("新疆维吾尔自治区 abc 123");
    EXPECT_EQ(text.size(), 8u * 2 + 8); // two bytes per Chinese character
    EXPECT_EQ(Gb18030ToUtf16(text), u"新疆维吾尔自治区 abc 123");
}

TEST(Text, CharactersGbkLacksAreKept) {
    const struct {
        const char* what;
        const char* utf8;
        std::u16string utf16;
        std::string bytes;
    } cases[] = {
        {"Extension A in GBK's user rows", "王䶮", u"王䶮", "\xCD\xF5\xFE\x9F"},
        {"Extension B", "李𠀾华", u"李𠀾华", "\xC0\xEE\x95\x32\x88\x38\xBB\xAA"},
        {"Extension A in four bytes", "\u3400", u"\u3400", "\x81\x39\xEE\x39"},
        {"an accented letter", "Zoë", u"Zoë", "Zo\x81\x30\x8A\x35"},
        {"an emoji", "a😀b", u"a😀b",
         "a\x94\x39\xFC\x36"
         "b"},
        {"the replacement character itself", "\uFFFD", u"\uFFFD", kR},
        {"a private use character GBK has", "\uE000", u"\uE000", "\xAA\xA1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = Utf8ToGb18030(c.utf8);
        EXPECT_EQ(text, c.bytes);
        EXPECT_EQ(Gb18030ToUtf8(text), c.utf8);
        EXPECT_EQ(Gb18030ToUtf16(text), c.utf16);
        EXPECT_EQ(Utf8ToGb18030(Utf16ToUtf8(c.utf16)), text);
    }
}

TEST(Text, BrokenInputBecomesReplacementCharactersAndAQuestionMarkStaysOne) {
    const struct {
        const char* what;
        std::string utf8;
        std::string text;
    } toText[] = {
        {"a byte that begins nothing", "张\xFF三", Gb18030("张") + kR + Gb18030("三")},
        {"a sequence cut short takes no more than itself",
         "a\xE5"
         "bc",
         "a" + kR + "bc"},
        {"cut short at the end", "a\xF0\x9F\x98", "a" + kR},
        {"a stray continuation byte",
         "\x80"
         "a",
         kR + "a"},
        {"an encoded surrogate", "a\xED\xA0\x80", "a" + kR + kR + kR},
        {"an overlong slash", "\xC0\xAF", kR + kR},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", kR + kR + kR + kR},
        {"a question mark", "王?", Gb18030("王") + "?"},
        // A private use character glibc's GB18030 has no bytes for.
        {"an unencodable private use character",
         "a\uE78D"
         "b",
         "a" + kR + "b"},
    };
    for (const auto& c : toText) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Utf8ToGb18030(c.utf8), c.text);
    }
    EXPECT_EQ(Utf16ToUtf8(u"a\xD800"
                          "b\xDC00"),
              "a\uFFFD"
              "b\uFFFD");

    const struct {
        const char* what;
        std::string text;
        std::string utf8;
        std::u16string utf16;
    } fromText[] = {
        {"a byte that begins nothing",
         "a\xFF"
         "b",
         "a\uFFFD"
         "b",
         u"a\uFFFD"
         "b"},
        {"0x80", "\x80", "\uFFFD", u"\uFFFD"},
        {"a lone lead byte at the end", Gb18030("张") + "\xD5", "张\uFFFD", u"张\uFFFD"},
        {"a bad trail byte", "\x81\x7F", "\uFFFD\x7F", u"\uFFFD\x7F"},
        {"a four-byte form cut short", "\x81\x30\x81", "\uFFFD0\uFFFD", u"\uFFFD0\uFFFD"},
        {"past the Basic Multilingual Plane's codes", "\x84\x31\xA5\x30", "\uFFFD", u"\uFFFD"},
        {"past U+10FFFF", "\xE3\x32\x9A\x36", "\uFFFD", u"\uFFFD"},
        {"a code glibc maps to nothing", "\x82\x35\x90\x37", "\uFFFD", u"\uFFFD"},
    };
    for (const auto& c : fromText) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Gb18030ToUtf8(c.text), c.utf8);
        EXPECT_EQ(Gb18030ToUtf16(c.text), c.utf16);
    }
}

// The export reads texts as UTF-8 and writes them as UTF-16 without the program's text in
// between; a workbook must come out the same as through it, character for character.
TEST(Text, Utf8StraightToUtf16TakesWhatTheProgramsTextTakes) {
    std::u16string every;
    for (char32_t c = 1; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        if (c < 0x10000) {
            every += static_cast<char16_t>(c);
        } else {
            every += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            every += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    const std::string broken[] = {
        "\xFF",
        "a\xE5"
        "bc",
        "a\xF0\x9F\x98",
        "\x80"
        "a",
        "\xED\xA0\x80",
        "\xC0\xAF",
        "\xF4\x90\x80\x80",
        std::string("a\0b", 3),
    };
    std::vector<std::string> texts(std::begin(broken), std::end(broken));
    texts.push_back(Utf16ToUtf8(every));
    for (const std::string& utf8 : texts) {
        std::u16string straight = u"kept";
        const std::size_t replaced = AppendUtf8AsUtf16(utf8, straight);
        const std::u16string through = Gb18030ToUtf16(Utf8ToGb18030(utf8));
        ASSERT_TRUE(straight == u"kept" + through) << Utf16ToUtf8(straight.substr(0, 40));
        EXPECT_EQ(replaced, static_cast<std::size_t>(std::count(through.begin(), through.end(),
                                                                u'\uFFFD')) -
                                (utf8 == texts.back() ? 1 : 0)); // U+FFFD itself is no replacement
    }
}

// Each of these used to make iconv stop once per character; a slow pass shows as a test
// that takes minutes.
TEST(Text, LongRunsOfCharactersOnceUnmappableOrBrokenConvertWhole) {
    constexpr std::size_t kCount = 200000;
    std::string emoji;
    std::string broken;
    std::string privateUse;
    for (std::size_t i = 0; i < kCount; ++i) {
        emoji += "😀";
        broken += "\xFF";
        privateUse += "\uE78D";
    }
    const std::string text = Utf8ToGb18030(emoji);
    EXPECT_EQ(text.size(), 4 * kCount);
    EXPECT_EQ(Gb18030ToUtf8(text), emoji);
    EXPECT_EQ(Utf8ToGb18030(broken).size(), kR.size() * kCount);
    EXPECT_EQ(Utf8ToGb18030(privateUse).size(), kR.size() * kCount);
    EXPECT_EQ(Gb18030ToUtf16(broken).size(), kCount);
}

TEST(Text, CharactersAreTakenWholeAndNamedByTheirCodePoints) {
    const struct {
        const char* what;
        std::string text;
        std::size_t length;
        char32_t codePoint;
    } cases[] = {
        {"ASCII", "A", 1, U'A'},
        {"a digit", "9", 1, U'9'},
        {"two bytes", Gb18030("张"), 2, U'张'},
        {"two bytes, trail in the ASCII range", "\x81\x40", 2, U'丂'},
        {"Extension A in two bytes", Gb18030("䶮"), 2, U'䶮'},
        {"Extension A in four bytes", "\x81\x39\xEE\x39", 4, U'\u3400'},
        {"Extension B", "\x95\x32\x88\x38", 4, U'𠀾'},
        {"a Latin letter in four bytes", "\x81\x30\x8A\x35", 4, U'ë'},
        {"the last code", "\xE3\x32\x9A\x35", 4, U'\U0010FFFF'},
        {"a lone lead byte", "\xB0", 1, U'\uFFFD'},
        {"a lead byte before a blank", "\xB0 ", 1, U'\uFFFD'},
        {"lead and digit only", "\x81\x30", 1, U'\uFFFD'},
        {"lead, digit, digit", "\x81\x30\x30\x30", 1, U'\uFFFD'},
        {"0x80", "\x80", 1, U'\uFFFD'},
        {"0xFF", "\xFF\x40", 1, U'\uFFFD'},
        {"a four-byte form past the codes", "\xFE\x39\xFE\x39", 4, U'\uFFFD'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Gb18030CharacterLength(c.text, 0), c.length);
        EXPECT_EQ(Gb18030CodePointAt(c.text, 0), c.codePoint);
    }
    EXPECT_EQ(Gb18030Utf16Length(Gb18030("𠀾"), 0), 2u);
    EXPECT_EQ(Gb18030Utf16Length(Gb18030("ë"), 0), 1u);
    EXPECT_EQ(Gb18030CharacterLength(Gb18030("a𠀾"), 1), 4u);
}

TEST(Text, Gb18030CharactersCountsEachCharacterOnce) {
    struct Case {
        const char* what;
        std::string text;
        std::size_t characters;
    } const cases[] = {
        {"empty", "", 0},
        {"ascii", "abc 12", 6},
        {"chinese", Gb18030("张三丰"), 3},
        {"mixed", Gb18030("A张-三9"), 5},
        {"trail bytes in the ASCII range", Gb18030("丂丄乗"), 3}, // 81 40, 81 41, 81 5C
        {"lone lead byte at the end", std::string("a\xB0", 2), 2},
        {"four-byte characters, digits inside", Gb18030("李𠀾华Zoë😀"), 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Gb18030Characters(c.text), c.characters);
    }
}

TEST(IniFile, WritesCreateFileSectionAndKeyAndKeepOtherLines) {
    TempDir dir;
    const auto ini = dir / "config.ini";
    EXPECT_EQ(ReadIniValue(ini, "LOGIN", "AREA", "none"), "none");
    ASSERT_TRUE(WriteIniValue(ini, "LOGIN", "AREA", ""));
    EXPECT_EQ(ReadFileBytes(ini), "[LOGIN]\nAREA=\n");

    WriteFileBytes(ini, "; note\r\n[Other]\r\nAREA=1\r\n[login]\r\nArea = 110000\r\nX=y\r\n");
    EXPECT_EQ(ReadIniValue(ini, "LOGIN", "AREA"), "110000");
    ASSERT_TRUE(WriteIniValue(ini, "LOGIN", "AREA", "000000"));
    EXPECT_EQ(ReadFileBytes(ini),
              "; note\r\n[Other]\r\nAREA=1\r\n[login]\r\nAREA=000000\r\nX=y\r\n");

    ASSERT_TRUE(WriteIniValue(ini, "Other", "NEW", "v"));
    EXPECT_EQ(ReadIniValue(ini, "other", "new"), "v");
    EXPECT_EQ(ReadIniValue(ini, "LOGIN", "AREA"), "000000");
}

TEST(Settings, EnsureSettingsFileCreatesAnEmptyAreaAndLeavesAnExistingFileAlone) {
    TempDir dir;
    const auto ini = dir / "config.ini";
    EXPECT_TRUE(EnsureSettingsFile(ini));
    EXPECT_EQ(ReadLoginAreaCode(ini), "");
    EXPECT_EQ(ReadFileBytes(ini), "[LOGIN]\nAREA=\n");

    const std::string existing = "[LOGIN]\r\nAREA=650000\r\n\r\n; kept\r\n";
    WriteFileBytes(ini, existing);
    EXPECT_TRUE(EnsureSettingsFile(ini));
    EXPECT_EQ(ReadFileBytes(ini), existing);
    EXPECT_EQ(ReadLoginAreaCode(ini), "650000");
}

TEST(Settings, EnsureSettingsFileThrowsWhenTheFileCannotBeCreated) {
    TempDir dir;
    EXPECT_THROW(EnsureSettingsFile(dir / "missing" / "config.ini"), std::runtime_error);
}

} // namespace

namespace {

TEST(IniFile, EveryLineKeepsItsOwnEndingAndNewLinesTakeTheFilesUsualOne) {
    TempDir dir;
    const auto ini = dir / "config.ini";
    // Mostly CRLF, one LF line, no ending on the last line.
    WriteFileBytes(ini, "[LOGIN]\r\nAREA=1\n[Other]\r\nX=y\r\nZ=w");
    ASSERT_TRUE(WriteIniValue(ini, "LOGIN", "AREA", "650000"));
    EXPECT_EQ(ReadFileBytes(ini), "[LOGIN]\r\nAREA=650000\n[Other]\r\nX=y\r\nZ=w");

    ASSERT_TRUE(WriteIniValue(ini, "LOGIN", "NEW", "1"));
    ASSERT_TRUE(WriteIniValue(ini, "Other", "Q", "2"));
    ASSERT_TRUE(WriteIniValue(ini, "Added", "K", "v"));
    EXPECT_EQ(ReadFileBytes(ini),
              "[LOGIN]\r\nAREA=650000\nNEW=1\r\n[Other]\r\nX=y\r\nZ=w\r\nQ=2\r\n"
              "[Added]\r\nK=v\r\n");
}

} // namespace

namespace {

class UnreadableConfig : public testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableConfig, IsNeitherTakenAsEmptyNorRewritten) {
    TempDir dir;
    const auto ini = dir / "config.ini";
    PlantUnreadable(ini, GetParam().what);
    const std::string before = WhatIsAt(ini);

    const IniValue read = ReadLoginAreaSetting(ini);
    EXPECT_FALSE(read.readable());
    EXPECT_EQ(read.status.error, GetParam().error);
    EXPECT_EQ(read.value, "");
    EXPECT_EQ(ReadIniValue(ini, "LOGIN", "AREA", "fallback"), "fallback");

    const FileResult written = WriteLoginAreaCode(ini, "650000");
    EXPECT_FALSE(written);
    EXPECT_EQ(written.error, GetParam().error);
    EXPECT_EQ(WhatIsAt(ini), before);

    // Start-up must not create a settings file over it either.
    EXPECT_THROW(EnsureSettingsFile(ini), std::runtime_error);
    EXPECT_EQ(WhatIsAt(ini), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

INSTANTIATE_TEST_SUITE_P(Planted, UnreadableConfig, testing::ValuesIn(kUnreadable), UnreadableName);

TEST(Settings, AMissingFileReadsAsNoAreaWithoutBeingAFailure) {
    TempDir dir;
    const IniValue read = ReadLoginAreaSetting(dir / "config.ini");
    EXPECT_TRUE(read.readable());
    EXPECT_EQ(read.value, "");
    ASSERT_TRUE(WriteLoginAreaCode(dir / "config.ini", "110000"));
    EXPECT_EQ(ReadLoginAreaSetting(dir / "config.ini").value, "110000");
    EXPECT_TRUE(ReadLoginAreaSetting(dir / "config.ini").status);
}

} // namespace
