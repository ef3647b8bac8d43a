#include "exchange/package/package.h"
#include "package_samples.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

ContactRecord Record(int i) {
    ContactRecord r;
    for (std::size_t f = 0; f < r.size(); ++f) {
        r[f] = "f" + std::to_string(f) + "-" + std::to_string(i);
    }
    r[kUser_Name] = Gb18030("李四");
    return r;
}

std::uint32_t Le(const std::string& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = v << 8 | static_cast<std::uint8_t>(b[at + i]);
    }
    return v;
}

TEST(PackageLines, ValuesAreMendedSoTheFieldsStayInPlace) {
    struct Case {
        const char* name;
        std::string value;
        std::string written;
    };
    const Case cases[] = {
        {"Comma", "a,b",
         "a\xA3\xAC"
         "b"},
        {"CrLfIsOneBlank", "a\r\nb", "a b"},
        {"LoneCrAndLf", "a\rb\nc", "a b c"},
        {"TwoBreaks", "a\n\nb", "a  b"},
        {"GbkKeepsItsBytes", Gb18030("北京，海淀"), Gb18030("北京，海淀")},
        // Four-byte characters hold digits and bytes from 0x81, never a comma or a break.
        {"FourByteCharactersKeepTheirBytes", Gb18030("李𠀾,Zoë😀"), Gb18030("李𠀾，Zoë😀")},
        {"QuotesAndSqlKeepTheirBytes", "'); drop table t_address_book; --",
         "'); drop table t_address_book; --"},
        {"NulKept", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"BlanksKept", "  two words ", "  two words "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MendedPackageValue(c.value), c.written);
    }
}

TEST(PackageLines, ElevenFieldsInOrderEndedByCrLf) {
    ContactRecord r;
    r[kUI_ID] = "ID";
    r[kUser_Name] = "N";
    r[kMobile_NO] = "13900000000";
    r[kOrganization_Detial] = "x,y";
    std::string text;
    AppendPackageLine(r, text);
    EXPECT_EQ(text, "ID,N,,,,,,,,x\xA3\xACy,13900000000\r\n");
    EXPECT_EQ(PackageText({r, r}), text + text);
}

std::vector<ContactRecord> ParseWhole(const std::string& text, std::string& problem) {
    std::vector<ContactRecord> records;
    PackageTextParser parser([&](ContactRecord&& r) { records.push_back(std::move(r)); });
    if (!parser.Feed(text) || !parser.Finish()) {
        problem = parser.Problem();
    }
    return records;
}

TEST(PackageLines, SplittingIntoRecords) {
    const std::string a = SampleLine(1), b = SampleLine(2);
    struct Case {
        const char* name;
        std::string text;
        std::size_t records; // read before the end or the first bad line
        bool ok;
    };
    const Case cases[] = {
        {"Empty", "", 0, true},
        {"CrLf", a + "\r\n" + b + "\r\n", 2, true},
        {"Lf", a + "\n" + b + "\n", 2, true},
        {"Cr", a + "\r" + b + "\r", 2, true},
        {"Mixed", a + "\r" + b + "\n" + a + "\r\n", 3, true},
        {"LastLineWithoutBreak", a + "\r\n" + b, 2, true},
        {"EmptyLineInBetween", a + "\r\n\r\n" + b + "\r\n", 1, false},
        {"LoneBreak", "\r\n", 0, false},
        {"TenFields", a + "\r\n" + "1,2,3,4,5,6,7,8,9,10\r\n", 1, false},
        {"TooLong", std::string(PackageTextParser::kMaxLine + 1, 'x'), 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string problem;
        const std::vector<ContactRecord> records = ParseWhole(c.text, problem);
        EXPECT_EQ(records.size(), c.records);
        EXPECT_EQ(problem.empty(), c.ok) << problem;
        // Inflation hands the text over in pieces of any size; a CR LF cut in two is one break.
        std::vector<ContactRecord> bytewise;
        PackageTextParser parser([&](ContactRecord&& r) { bytewise.push_back(std::move(r)); });
        bool fine = true;
        for (std::size_t i = 0; i < c.text.size() && fine && c.text.size() < 100000; ++i) {
            fine = parser.Feed(c.text.substr(i, 1));
        }
        if (c.text.size() < 100000) {
            fine = fine && parser.Finish();
            EXPECT_EQ(bytewise, records);
            EXPECT_EQ(fine, c.ok);
        }
    }
}

TEST(PackageLines, LegacyLinesJoinTheUnitsOfTheOrganisation) {
    struct Case {
        const char* name;
        std::string line;
        std::string organization;
        std::string mobile;
    };
    const Case cases[] = {
        {"Eleven", "0,1,2,3,4,5,6,7,8,org,13900000000", "org", "13900000000"},
        {"Twelve", "0,1,2,3,4,5,6,7,8,unit a,unit b,13900000000", "unit a,unit b", "13900000000"},
        {"Fourteen", "0,1,2,3,4,5,6,7,8,a,,b,c,139", "a,,b,c", "139"},
        {"TrailingComma", "0,1,2,3,4,5,6,7,8,org,", "org", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ContactRecord r;
        ASSERT_TRUE(RecordFromPackageLine(c.line, r));
        EXPECT_EQ(r[kCounty_Seat], "8");
        EXPECT_EQ(r[kOrganization_Detial], c.organization);
        EXPECT_EQ(r[kMobile_NO], c.mobile);
    }
}

TEST(PackageArchive, OneDeflatedEntryWithoutDescriptorOrZip64) {
    const std::string text = PackageText({Record(1), Record(2)});
    std::string zip;
    ASSERT_TRUE(WriteSingleEntryArchive("note_template_7.txt", text, kSampleTime, zip));
    const std::string name = "note_template_7.txt";
    ASSERT_GT(zip.size(), 30u + name.size());
    EXPECT_EQ(zip.substr(0, 4), std::string("PK\x03\x04", 4));
    EXPECT_EQ(Le(zip, 4, 2), 20u);         // version needed: deflate, not Zip64's 45
    EXPECT_EQ(Le(zip, 6, 2) & 0x0009, 0u); // neither encrypted nor with a data descriptor
    EXPECT_EQ(Le(zip, 8, 2), 8u);          // deflate
    EXPECT_EQ(Le(zip, 10, 2), 12u << 11);  // 12:00:00
    EXPECT_EQ(Le(zip, 12, 2), (46u << 9) | (3u << 5) | 1u); // 2026-03-01
    EXPECT_EQ(Le(zip, 22, 4), text.size());                 // sizes filled in the local header
    EXPECT_EQ(Le(zip, 26, 2), name.size());
    EXPECT_EQ(Le(zip, 28, 2), 0u); // no extra field
    EXPECT_EQ(zip.substr(30, name.size()), name);
    // The central directory follows the compressed data at once: no descriptor between.
    const std::size_t central = 30 + name.size() + Le(zip, 18, 4);
    EXPECT_EQ(zip.substr(central, 4), std::string("PK\x01\x02", 4));
    const std::size_t end = zip.size() - 22;
    EXPECT_EQ(zip.substr(end, 4), std::string("PK\x05\x06", 4));
    EXPECT_EQ(Le(zip, end + 10, 2), 1u); // one entry

    // Same inputs, same bytes; another time, other bytes.
    std::string again, later;
    WriteSingleEntryArchive(name, text, kSampleTime, again);
    WriteSingleEntryArchive(name, text, ZipTime{2026, 3, 1, 12, 0, 2}, later);
    EXPECT_EQ(again, zip);
    EXPECT_NE(later, zip);
}

TEST(PackageArchive, AnIndependentReaderAcceptsIt) {
    if (!fs::exists("/usr/bin/python3")) {
        GTEST_SKIP() << "no /usr/bin/python3";
    }
    TempDir dir;
    std::string zip;
    ASSERT_TRUE(
        WriteSingleEntryArchive("note_template_1.txt", PackageText({Record(1)}), kSampleTime, zip));
    WriteFileBytes(dir / "p.zip", zip);
    const std::string command =
        "/usr/bin/python3 -c \"import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); "
        "assert z.testzip() is None; assert z.namelist()==['note_template_1.txt']; "
        "assert z.infolist()[0].compress_type==8\" " +
        (dir / "p.zip").string();
    EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST(ZipReader, TakesTheLastEntryAndRefusesBrokenOnes) {
    const std::string text = PackageText({Record(1)});
    std::string bomb;
    WriteSingleEntryArchive("z.txt", std::string(4 << 20, '0'), kSampleTime, bomb);
    // A CRC that both headers agree on but the content does not match, and one where the
    // headers disagree.
    std::string badCrc = SampleArchive(text);
    badCrc[14] ^= 1;
    std::string headersDisagree = badCrc;
    badCrc[badCrc.find(std::string("PK\x01\x02", 4)) + 16] ^= 1;
    std::string badData = SampleArchive(std::string(5000, 'a') + text);
    badData[30 + std::string("note_template_1.txt").size() + 3] ^= 0x55;
    // Sizes that promise more than the deflate stream holds: minizip skips the CRC check
    // when the stream ends early, so a cut entry would read as whole.
    std::string promisesMore = SampleArchive(text);
    const std::size_t central = promisesMore.find(std::string("PK\x01\x02", 4));
    for (const std::size_t at : {std::size_t{22}, central + 24}) {
        promisesMore[at] = static_cast<char>(promisesMore[at] + 100);
    }
    struct Case {
        const char* name;
        std::string archive;
        ZipError error;
        std::string entry;
    };
    const Case cases[] = {
        {"One", SampleArchive(text), ZipError::None, "note_template_1.txt"},
        {"TwoEntriesLastCounts", ArchiveOf({{"first.txt", "x"}, {"../../etc/last", text}}),
         ZipError::None, "../../etc/last"},
        {"NoEntry", ArchiveOf({}), ZipError::NoEntry, ""},
        {"Encrypted", ArchiveOf({{"e.txt", text}}, "pw"), ZipError::Encrypted, "e.txt"},
        {"InflatesTooFar", bomb, ZipError::TooLarge, "z.txt"},
        {"WrongCrc", badCrc, ZipError::BadChecksum, "note_template_1.txt"},
        {"HeadersDisagree", headersDisagree, ZipError::Damaged, "note_template_1.txt"},
        {"EndsBeforeItsRecordedSize", promisesMore, ZipError::Incomplete, "note_template_1.txt"},
        {"DamagedDeflateStream", badData, ZipError::Damaged, "note_template_1.txt"},
        {"Truncated", SampleArchive(text).substr(0, 40), ZipError::NotAnArchive, ""},
        {"Empty", "", ZipError::NotAnArchive, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string content;
        ZipReader zip(c.archive);
        ZipResult r = zip.GoToLast();
        if (r) {
            r = zip.Inflate(1 << 20, [&](std::string_view s) {
                content.append(s);
                return true;
            });
        }
        EXPECT_EQ(r.error, c.error) << r.detail;
        EXPECT_EQ(zip.Current().name, c.entry);
        if (c.error == ZipError::None) {
            EXPECT_EQ(content, text);
        }
    }
}

// Workbook parts are named without regard to case, sometimes with a leading '/'.
TEST(ZipReader, FindsAnEntryByNameAndStopsWhenTheConsumerDoes) {
    const std::string archive =
        ArchiveOf({{"xl/workbook.xml", "<workbook/>"}, {"xl/sharedStrings.xml", "abc"}});
    ZipReader zip(archive);
    ASSERT_TRUE(zip.IsOpen());
    std::string bytes;
    EXPECT_TRUE(zip.Read("/XL/Workbook.xml", 100, bytes));
    EXPECT_EQ(bytes, "<workbook/>");
    EXPECT_EQ(zip.Read("xl/styles.xml", 100, bytes).error, ZipError::NoSuchEntry);
    EXPECT_EQ(zip.Read("xl/workbook.xml", 5, bytes).error, ZipError::TooLarge);
    EXPECT_TRUE(bytes.empty());
    int chunks = 0;
    EXPECT_TRUE(zip.Stream("xl/sharedstrings.xml", 100, [&](std::string_view) {
        ++chunks;
        return false;
    }));
    EXPECT_EQ(chunks, 1);
}

TEST(PackageFiles, WrittenPackageReadsBackAndLeavesNothingElse) {
    TempDir dir;
    const fs::path target = dir / "export";
    // Leftovers under the package's names, e.g. an older version's interrupted export.
    WriteFileBytes(dir / "export_2.txt", "clear text");
    WriteFileBytes(dir / "export_2.gz", "archive");
    WriteFileBytes(dir / "export_2.qsec", "old");
    std::vector<ContactRecord> records = {Record(1), Record(2), Record(3)};
    records[1][kOrganization_Detial] = "a,b\r\nc";
    std::vector<PackageWriter::Stage> stages;
    PackageWriter writer(target, 2, ExportKey(" secret\t"), kSampleTime);
    for (const ContactRecord& r : records) {
        writer.Add(r);
    }
    ASSERT_TRUE(writer.Finish([&](PackageWriter::Stage s) { stages.push_back(s); }));
    EXPECT_EQ(stages,
              (std::vector{PackageWriter::Stage::Archived, PackageWriter::Stage::Enciphered}));
    std::vector<fs::path> left;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        left.push_back(e.path().filename());
    }
    EXPECT_EQ(left, std::vector<fs::path>{"export_2.qsec"});

    PackageContents contents;
    ASSERT_TRUE(ReadPackageFile(dir / "export_2.qsec", IdeaKeyFromPassword("secret"), contents));
    EXPECT_EQ(contents.entryName, "note_template_2.txt");
    records[1][kOrganization_Detial] = "a\xA3\xAC"
                                       "b c";
    EXPECT_EQ(contents.records, records);

    // The export's blanks are gone; the import takes what is typed, blanks included.
    EXPECT_EQ(
        ReadPackageFile(dir / "export_2.qsec", IdeaKeyFromPassword(" secret\t"), contents).error,
        PackageError::WrongPassword);
    EXPECT_TRUE(contents.records.empty());
}

TEST(PackageFiles, PasswordBlanksGiveTheSameBytes) {
    std::string a, b;
    const std::string text = PackageText({Record(1)});
    ASSERT_TRUE(BuildPackage(text, "note_template_1.txt", ExportKey("abcdef"), kSampleTime, a));
    ASSERT_TRUE(
        BuildPackage(text, "note_template_1.txt", ExportKey(" \tabcdef  "), kSampleTime, b));
    EXPECT_EQ(a, b);
}

TEST(PackageFiles, AFailedWriteLeavesNoPackage) {
    TempDir dir;
    const fs::path target = dir / "missing-folder" / "export";
    EXPECT_EQ(WritePackage(target, 1, {Record(1)}, ExportKey("abcdef"), kSampleTime).error,
              PackageError::CannotWrite);
    EXPECT_FALSE(fs::exists(dir / "missing-folder"));
    // A folder where the package should be: it is neither replaced nor reported as written.
    fs::create_directories(dir / "x_1.qsec" / "inside");
    EXPECT_EQ(WritePackage(dir / "x", 1, {Record(1)}, ExportKey("abcdef"), kSampleTime).error,
              PackageError::CannotWrite);
    EXPECT_TRUE(fs::is_directory(dir / "x_1.qsec" / "inside"));
}

TEST(PackageFiles, ReadingReasons) {
    TempDir dir;
    const std::string good = Enciphered(SampleArchive(SampleLine(1) + "\r\n"));
    const std::string cutArchive = SampleArchive(std::string(3000, 'q') + "\r\n");
    std::string badCount = good;
    badCount[0] = 0;
    badCount[1] = 0;
    std::string badCrc = SampleArchive(SampleLine(1) + "\r\n");
    badCrc[14] ^= 1;
    badCrc[badCrc.find(std::string("PK\x01\x02", 4)) + 16] ^= 1;
    // Ten thousand alike lines deflate far better than a hundred to one: the floor of the
    // bound still lets such a small package read.
    std::string alike;
    for (int i = 0; i < 10000; ++i) {
        alike += SampleLine(1) + "\r\n";
    }
    // A stored filler as large as the file needs under a bound counted from the whole file,
    // and behind it a million empty records that deflate a thousand to one.
    std::string emptyLines;
    for (int i = 0; i < 1000000; ++i) {
        emptyLines += ",,,,,,,,,,\n";
    }
    std::string filler(420 << 10, '\0');
    for (std::size_t i = 0; i < filler.size(); ++i) {
        filler[i] = static_cast<char>((i * 2654435761u) >> 13);
    }
    const std::string behindFiller =
        Enciphered(ArchiveOf({{"filler.bin", filler}, {"note_template_1.txt", emptyLines}}, nullptr,
                             /*storeFirst=*/true));
    ASSERT_LT(behindFiller.size(), emptyLines.size() / 20);
    std::string longLine((1 << 20) + 10, 'a');
    for (std::size_t i = 0; i < longLine.size(); ++i) {
        longLine[i] = static_cast<char>('a' + (i * 2654435761u >> 17) % 26);
    }
    struct Case {
        const char* name;
        std::string bytes;
        PackageError error;
        PackageDamage damage;
    };
    const Case cases[] = {
        {"Good", good, PackageError::None, PackageDamage::None},
        {"AlikeLines", Enciphered(SampleArchive(alike)), PackageError::None, PackageDamage::None},
        {"Empty", "", PackageError::Damaged, PackageDamage::Incomplete},
        {"ShorterThanARecord", good.substr(0, 1000), PackageError::Damaged,
         PackageDamage::Incomplete},
        {"BadCountField", badCount, PackageError::Damaged, PackageDamage::Structure},
        {"NotAPackage", std::string(4096, '\x17'), PackageError::Damaged, PackageDamage::Structure},
        {"WrongKey", IdeaEncryptBytes(SampleArchive("x"), IdeaKeyFromPassword("other")),
         PackageError::WrongPassword, PackageDamage::None},
        {"ArchiveCutShort", Enciphered(cutArchive.substr(0, cutArchive.size() / 2)),
         PackageError::Damaged, PackageDamage::Incomplete},
        {"WrongCrc", Enciphered(badCrc), PackageError::Damaged, PackageDamage::Checksum},
        {"LineWithOneField", Enciphered(SampleArchive(std::string(3000, 'q'))),
         PackageError::Damaged, PackageDamage::BadLine},
        {"LineLongerThanAnyRecord", Enciphered(SampleArchive(longLine)), PackageError::Damaged,
         PackageDamage::LongLine},
        {"EmptyLinesBehindAStoredFiller", behindFiller, PackageError::Damaged,
         PackageDamage::TooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(dir / "p.qsec", c.bytes);
        PackageContents contents;
        const PackageResult r =
            ReadPackageFile(dir / "p.qsec", IdeaKeyFromPassword(kSamplePassword), contents);
        EXPECT_EQ(r.error, c.error) << r.detail;
        EXPECT_EQ(r.damage, c.damage) << r.detail;
    }
    PackageContents contents;
    EXPECT_EQ(
        ReadPackageFile(dir / "none.qsec", IdeaKeyFromPassword(kSamplePassword), contents).error,
        PackageError::CannotRead);
    EXPECT_EQ(ReadPackageFile(dir.path(), IdeaKeyFromPassword(kSamplePassword), contents).error,
              PackageError::CannotRead);
}

} // namespace
