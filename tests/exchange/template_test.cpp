#include "exchange/template.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes TemplateBytes() {
    const auto bytes = quillon::SpreadsheetTemplateBytes();
    return Bytes(bytes.begin(), bytes.end());
}

class SpreadsheetTemplateTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               (std::string("quillon-template-") + test->name() + "-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

TEST_F(SpreadsheetTemplateTest, CarriesTheCommittedWorkbook) {
    const Bytes committed = ReadFile(QUILLON_TEMPLATE_XLS);
    ASSERT_FALSE(committed.empty());
    EXPECT_EQ(TemplateBytes(), committed);
}

TEST_F(SpreadsheetTemplateTest, SavedFileIsTheTemplateEveryTime) {
    const fs::path first = dir_ / "手机号码采集统计表模板.xls";
    const fs::path second = dir_ / "again.xls";
    ASSERT_TRUE(quillon::SaveSpreadsheetTemplate(first));
    ASSERT_TRUE(quillon::SaveSpreadsheetTemplate(second));
    EXPECT_EQ(ReadFile(first), TemplateBytes());
    EXPECT_EQ(ReadFile(second), ReadFile(first));
}

TEST_F(SpreadsheetTemplateTest, SavingOverALongerFileTruncatesIt) {
    const fs::path path = dir_ / "old.xls";
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(TemplateBytes().size() * 3, 'x');
    }
    ASSERT_TRUE(quillon::SaveSpreadsheetTemplate(path));
    EXPECT_EQ(fs::file_size(path), TemplateBytes().size());
    EXPECT_EQ(ReadFile(path), TemplateBytes());
}

TEST_F(SpreadsheetTemplateTest, SavingIntoAMissingFolderFailsAndCreatesNothing) {
    const fs::path missing = dir_ / "missing";
    EXPECT_FALSE(quillon::SaveSpreadsheetTemplate(missing / "t.xls"));
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(SpreadsheetTemplateTest, WritesAtTheStreamPositionAndLeavesTheStreamOpen) {
    const fs::path path = dir_ / "stream.xls";
    std::FILE* out = std::fopen(path.c_str(), "wb+");
    ASSERT_NE(out, nullptr);
    std::fputs("head", out);
    EXPECT_TRUE(quillon::WriteSpreadsheetTemplate(out));
    EXPECT_EQ(std::ftell(out), static_cast<long>(4 + TemplateBytes().size()));
    std::fputs("tail", out);
    ASSERT_EQ(std::fclose(out), 0);

    Bytes expected{'h', 'e', 'a', 'd'};
    const Bytes bytes = TemplateBytes();
    expected.insert(expected.end(), bytes.begin(), bytes.end());
    expected.insert(expected.end(), {'t', 'a', 'i', 'l'});
    EXPECT_EQ(ReadFile(path), expected);
}

// /dev/full accepts the open and refuses every write, like a full disk.
TEST_F(SpreadsheetTemplateTest, AWriteThatCannotCompleteIsAFailure) {
    ASSERT_TRUE(fs::exists("/dev/full"));
    EXPECT_FALSE(quillon::SaveSpreadsheetTemplate("/dev/full"));

    std::FILE* unbuffered = std::fopen("/dev/full", "wb");
    ASSERT_NE(unbuffered, nullptr);
    std::setvbuf(unbuffered, nullptr, _IONBF, 0);
    EXPECT_FALSE(quillon::WriteSpreadsheetTemplate(unbuffered));
    std::fclose(unbuffered);

    EXPECT_FALSE(quillon::WriteSpreadsheetTemplate(nullptr));
}

} // namespace
