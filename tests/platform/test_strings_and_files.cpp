#include "planted_files.h"
#include "platform/files.h"
#include "platform/strings.h"
#include "support/temp_dir.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// ---- lines ----------------------------------------------------------------------------

struct SplitCase {
    std::string name;
    std::string text;
    std::vector<TextLine> lines;
};

class SplitLinesTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitLinesTest, KeepsEachLinesOwnEndingAndJoinsBackToTheSameBytes) {
    const SplitCase& c = GetParam();
    const auto lines = SplitLines(c.text);
    ASSERT_EQ(lines.size(), c.lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].text, c.lines[i].text) << "line " << i;
        EXPECT_EQ(lines[i].eol, c.lines[i].eol) << "line " << i;
    }
    EXPECT_EQ(JoinLines(lines), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitLinesTest,
    testing::Values(SplitCase{"Empty", "", {}}, SplitCase{"NoEndingAtAll", "a=1", {{"a=1", ""}}},
                    SplitCase{
                        "Mixed", "a\r\nb\nc\r\n", {{"a", "\r\n"}, {"b", "\n"}, {"c", "\r\n"}}},
                    SplitCase{"LastLineWithoutEnding", "a\nb", {{"a", "\n"}, {"b", ""}}},
                    SplitCase{"BlankLines", "\n\r\n\n", {{"", "\n"}, {"", "\r\n"}, {"", "\n"}}},
                    SplitCase{"LoneCarriageReturnIsText", "a\rb\n", {{"a\rb", "\n"}}},
                    SplitCase{"CarriageReturnBeforeCrLf", "a\r\r\n", {{"a\r", "\r\n"}}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return info.param.name; });

TEST(Lines, NewLinesTakeTheEndingMostLinesUse) {
    EXPECT_EQ(PrevalentLineEnding(SplitLines("a\r\nb\r\nc\n")), "\r\n");
    EXPECT_EQ(PrevalentLineEnding(SplitLines("a\r\nb\nc\n")), "\n");
    EXPECT_EQ(PrevalentLineEnding(SplitLines("a\r\nb\n")), "\n"); // a tie
    EXPECT_EQ(PrevalentLineEnding(SplitLines("")), "\n");

    // A last line without an ending gets one before the new line, so they do not run together.
    auto lines = SplitLines("x\r\ny\r\nz");
    AppendLine(lines, "new");
    EXPECT_EQ(JoinLines(lines), "x\r\ny\r\nz\r\nnew\r\n");
}

TEST(Strings, TrimAndCaseInsensitiveComparison) {
    EXPECT_EQ(Trim(" \t a b \r"), "a b");
    EXPECT_EQ(Trim(" \t\r"), "");
    EXPECT_EQ(TrimBlanksAndControls("\x01 \x1f"
                                    "ab\x7f\x20\x0b"),
              "ab\x7f");
    // GB18030 bytes are above 0x20 and must not be taken for blanks.
    EXPECT_EQ(TrimBlanksAndControls(" \xD5\xC5 "), "\xD5\xC5");
    EXPECT_TRUE(EqualsIgnoreCase("LOGIN", "login"));
    EXPECT_FALSE(EqualsIgnoreCase("LOGIN", "logi"));
    // Only ASCII letters fold; GB18030 bytes must match exactly.
    EXPECT_FALSE(EqualsIgnoreCase("\xC1", "\xE1"));
}

// ---- reading ---------------------------------------------------------------------------

class ReadSmallFileRefuses : public testing::TestWithParam<UnreadableCase> {};

TEST_P(ReadSmallFileRefuses, WithoutBlockingOrReadingWithoutLimit) {
    TempDir dir;
    const auto file = dir / "config.ini";
    PlantUnreadable(file, GetParam().what);
    const FileContents contents = ReadSmallFile(file);
    EXPECT_EQ(contents.status.error, GetParam().error);
    EXPECT_TRUE(contents.bytes.empty());
}

INSTANTIATE_TEST_SUITE_P(Planted, ReadSmallFileRefuses, testing::ValuesIn(kUnreadable),
                         [](const auto& info) { return info.param.name; });

TEST(ReadSmallFile, ReadsFilesUpToTheLimitAndThroughLinks) {
    TempDir dir;
    EXPECT_EQ(ReadSmallFile(dir / "missing").status.error, FileError::NotFound);

    const std::string exact(kSmallFileLimit, 'x');
    WriteFileBytes(dir / "exact", exact);
    const FileContents full = ReadSmallFile(dir / "exact");
    EXPECT_TRUE(full.status);
    EXPECT_EQ(full.bytes.size(), exact.size());

    WriteFileBytes(dir / "target", "a\r\nb");
    std::filesystem::create_symlink(dir / "target", dir / "link");
    EXPECT_EQ(ReadSmallFile(dir / "link").bytes, "a\r\nb");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_EQ(ReadSmallFile(dir / "dangling").status.error, FileError::NotFound);
}

// ---- replacing -------------------------------------------------------------------------

std::size_t EntriesIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

TEST(ReplaceFileAtomically, AFailingWriteLeavesTheOldFileAndNoTemporaryFile) {
    TempDir dir;
    const auto file = dir / "config.ini";
    WriteFileBytes(file, "[LOGIN]\nAREA=110000\n[Other]\nX=1\n");
    // Like a full disk: part of the data goes out, then the device refuses the rest.
    std::size_t calls = 0;
    const FileWriter diskFills = [&calls](int fd, const char* data, std::size_t size) -> long {
        if (calls++ == 0) {
            return PosixWrite(fd, data, std::min<std::size_t>(size, 3));
        }
        errno = ENOSPC;
        return -1;
    };
    const FileResult result = ReplaceFileAtomically(file, "[LOGIN]\nAREA=650000\n", diskFills);
    EXPECT_EQ(result.error, FileError::WriteFailed);
    EXPECT_EQ(result.detail, std::strerror(ENOSPC));
    EXPECT_EQ(ReadFileBytes(file), "[LOGIN]\nAREA=110000\n[Other]\nX=1\n");
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(ReplaceFileAtomically, ReplacesContentsKeepsModeAndNeverFollowsALinkAtATemporaryName) {
    TempDir dir;
    const auto file = dir / "key.reg";
    WriteFileBytes(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    // The name an earlier version used for its temporary file, planted as a link to a file
    // root must not overwrite.
    WriteFileBytes(dir / "victim", "precious");
    std::filesystem::create_symlink(dir / "victim",
                                    dir / ("key.reg.tmp" + std::to_string(::getpid())));

    ASSERT_TRUE(ReplaceFileAtomically(file, "new"));
    EXPECT_EQ(ReadFileBytes(file), "new");
    EXPECT_EQ(ReadFileBytes(dir / "victim"), "precious");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(EntriesIn(dir.path()), 3u); // the file, the victim, the planted link
}

TEST(ReplaceFileAtomically, ALinkAtThePathIsReplacedNotWrittenThrough) {
    TempDir dir;
    WriteFileBytes(dir / "elsewhere", "kept");
    std::filesystem::create_symlink(dir / "elsewhere", dir / "config.ini");
    ASSERT_TRUE(ReplaceFileAtomically(dir / "config.ini", "new"));
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "config.ini"));
    EXPECT_EQ(ReadFileBytes(dir / "config.ini"), "new");
    EXPECT_EQ(ReadFileBytes(dir / "elsewhere"), "kept");
}

TEST(ReplaceFileAtomically, AMissingFolderIsReportedAsAWriteFailure) {
    TempDir dir;
    const FileResult result = ReplaceFileAtomically(dir / "missing" / "config.ini", "x");
    EXPECT_EQ(result.error, FileError::WriteFailed);
    EXPECT_FALSE(result.detail.empty());
}

} // namespace
