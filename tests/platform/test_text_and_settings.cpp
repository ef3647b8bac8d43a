#include "planted_files.h"
#include "platform/ini_file.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, ChineseRoundTripsThroughGb18030) {
    const std::string utf8 = "新疆维吾尔自治区 abc 123";
    const std::string gb18030 = Utf8ToGb18030(utf8);
    EXPECT_EQ(gb18030.size(), 8u * 2 + 8); // two bytes per Chinese character
    EXPECT_EQ(Gb18030ToUtf8(gb18030), utf8);
    EXPECT_EQ(Gb18030("全国"), std::string("\xC8\xAB\xB9\xFA"));
    EXPECT_EQ(Gb18030ToUtf16(gb18030), u"新疆维吾尔自治区 abc 123");
}

TEST(Text, EachCharacterGbkCannotHoldBecomesOneQuestionMark) {
    EXPECT_EQ(Utf8ToGb18030("a😀b😀"), "a?b?");
    EXPECT_EQ(Utf8ToGb18030("张\xFF三"), Gb18030("张") + "?" + Gb18030("三"));
    EXPECT_EQ(Utf8ToGb18030("a\xE5"
                            "bc"),
              "a?bc"); // a broken sequence takes no more than itself
    EXPECT_EQ(Gb18030ToUtf8(std::string("a\xFF") + "b"), "a?b");
    EXPECT_EQ(Gb18030ToUtf8(Gb18030("张") + "\xD5"), "张?"); // cut in the middle of a character
    EXPECT_EQ(Gb18030ToUtf16(std::string("a\xFF") + Gb18030("张") + "\xD5"), u"a?张?");
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
