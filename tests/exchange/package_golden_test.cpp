// The committed packages in tests/data/golden were written for a fixed set of records.
// Reading them guards the format the installations exchange; writing them again guards
// the writer against any change of its bytes.
#include "exchange/package/package.h"
#include "golden_packages.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kGolden = QUILLON_GOLDEN_DIR;

std::vector<ContactRecord> CsvRecords() {
    const std::vector<ContactRecord> records = GoldenRecords(kGolden / kGoldenCsv);
    EXPECT_EQ(records.size(), 25u);
    return records;
}

std::vector<ContactRecord> Slice(const std::vector<ContactRecord>& all, int k) {
    const std::size_t first = static_cast<std::size_t>(k - 1) * kGoldenPerPackage;
    const std::size_t last = std::min(all.size(), first + kGoldenPerPackage);
    return {all.begin() + first, all.begin() + last};
}

std::uint32_t Le(const std::string& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = v << 8 | static_cast<std::uint8_t>(b[at + i]);
    }
    return v;
}

TEST(GoldenPackages, HoldTheRecordsTenTenAndFive) {
    const std::vector<ContactRecord> all = CsvRecords();
    ASSERT_EQ(all.size(), 25u);
    const IdeaKey key = IdeaKeyFromPassword(kGoldenPassword);
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        const fs::path file =
            kGolden / (std::string(kGoldenTarget) + "_" + std::to_string(k) + ".qsec");
        PackageContents contents;
        ASSERT_TRUE(ReadPackageFile(file, key, contents));
        EXPECT_EQ(contents.entryName, "note_template_" + std::to_string(k) + ".txt");
        EXPECT_EQ(contents.records, Slice(all, k));
    }
    EXPECT_FALSE(fs::exists(kGolden / (std::string(kGoldenTarget) + "_4.qsec")));
}

TEST(GoldenPackages, LayersMatchWhatTheWriterDefines) {
    const std::vector<ContactRecord> all = CsvRecords();
    const IdeaKey key = IdeaKeyFromPassword(kGoldenPassword);
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        const std::string package = ReadFileBytes(
            kGolden / (std::string(kGoldenTarget) + "_" + std::to_string(k) + ".qsec"));
        std::string archive;
        ASSERT_TRUE(IdeaDecryptBytes(package, key, archive));
        // The cipher layer does not depend on zlib: enciphering again gives the file.
        EXPECT_EQ(IdeaEncryptBytes(archive, key), package);

        const std::string name = "note_template_" + std::to_string(k) + ".txt";
        const std::string text = PackageText(Slice(all, k));
        EXPECT_EQ(Le(archive, 6, 2), 0u); // no flags: no password, no data descriptor
        EXPECT_EQ(Le(archive, 8, 2), 8u); // deflate
        EXPECT_EQ(Le(archive, 10, 2), (9u << 11) | (30u << 5));      // 09:30:00
        EXPECT_EQ(Le(archive, 12, 2), (46u << 9) | (1u << 5) | 15u); // 2026-01-15
        EXPECT_EQ(Le(archive, 14, 4), crc32(0, reinterpret_cast<const Bytef*>(text.data()),
                                            static_cast<uInt>(text.size())));
        EXPECT_EQ(Le(archive, 22, 4), text.size());
        EXPECT_EQ(archive.substr(30, name.size()), name);

        std::string inflated;
        ZipReader zip(archive);
        ASSERT_TRUE(zip.GoToLast());
        ASSERT_TRUE(zip.Inflate(1 << 20, [&](std::string_view s) {
            inflated.append(s);
            return true;
        }));
        EXPECT_EQ(inflated, text);
        EXPECT_EQ(inflated.substr(inflated.size() - 2), "\r\n");
    }
}

TEST(GoldenPackages, TheWriterMakesTheSameBytes) {
    std::ifstream versionFile(kGolden / kGoldenZlibFile);
    std::string version;
    versionFile >> version;
    if (version != zlibVersion()) {
        GTEST_SKIP() << "deflate output is fixed only for zlib " << version << ", this is "
                     << zlibVersion() << "; the decoded content is still checked above";
    }
    const std::vector<ContactRecord> all = CsvRecords();
    TempDir dir;
    for (int k = 1; k <= 3; ++k) {
        SCOPED_TRACE(k);
        // The export's password with blanks around it makes the same key.
        ASSERT_TRUE(WritePackage(dir / "out", k, Slice(all, k),
                                 ExportKey(std::string(" ") + kGoldenPassword + "\t"),
                                 kGoldenTime));
        const std::string suffix = "_" + std::to_string(k) + ".qsec";
        EXPECT_EQ(ReadFileBytes(dir / ("out" + suffix)),
                  ReadFileBytes(kGolden / (std::string(kGoldenTarget) + suffix)));
    }
}

} // namespace
