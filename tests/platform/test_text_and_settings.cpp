#include "platform/ini_file.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, ChineseRoundTripsThroughGbk) {
    const std::string utf8 = "新疆维吾尔自治区 abc 123";
    const std::string gbk = Utf8ToGbk(utf8);
    EXPECT_EQ(gbk.size(), 8u * 2 + 8); // two bytes per Chinese character
    EXPECT_EQ(GbkToUtf8(gbk), utf8);
    EXPECT_EQ(Gbk("全国"), std::string("\xC8\xAB\xB9\xFA"));
}

TEST(Text, EachCharacterGbkCannotHoldBecomesOneQuestionMark) {
    EXPECT_EQ(Utf8ToGbk("a😀b😀"), "a?b?");
    EXPECT_EQ(Utf8ToGbk("张\xFF三"), Gbk("张") + "?" + Gbk("三"));
    EXPECT_EQ(Utf8ToGbk("a\xE5"
                        "bc"),
              "a?bc"); // a broken sequence takes no more than itself
    EXPECT_EQ(GbkToUtf8(std::string("a\xFF") + "b"), "a?b");
    EXPECT_EQ(GbkToUtf8(Gbk("张") + "\xD5"), "张?"); // cut in the middle of a character
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
