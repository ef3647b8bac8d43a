// qsecdump on good and bad packages: what it prints, how it exits, and that it writes
// nothing beside the package.
#include "package_samples.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

struct DumpRun {
    int status;
    std::string out;
    std::string err;
};

DumpRun Dump(const TempDir& dir, const std::string& args, const std::string& input = "") {
    const fs::path errFile = dir / "stderr", inFile = dir / "stdin";
    WriteFileBytes(inFile, input);
    const std::string command = "cd '" + dir.path().string() + "' && '" QSECDUMP "' " + args +
                                " <'" + inFile.string() + "' 2>'" + errFile.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, n);
    }
    const int status = pclose(pipe);
    DumpRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, ReadFileBytes(errFile)};
    fs::remove(errFile);
    fs::remove(inFile);
    return run;
}

std::string Lines(int from, int to) {
    std::string text;
    for (int i = from; i < to; ++i) {
        text += SampleLine(i) + "\r\n";
    }
    return text;
}

// What qsecdump prints for SampleLine(i).
std::string DumpedLine(int i) {
    return "ID" + std::to_string(i) +
           "\t张三\tM\t1980-01-01\t本科\t客户\t河北省\t石家庄市\t长安区\t某公司 "
           "销售部\t1390000000" +
           std::to_string(i % 10) + "\n";
}

TEST(Qsecdump, TableOfPackages) {
    const std::string big = Enciphered(SampleArchive(Lines(0, 400)));
    ASSERT_GE(big.size(), 2 * kIdeaRecordSize);
    std::string bomb;
    WriteSingleEntryArchive("bomb.txt", std::string(8 << 20, '1'), kSampleTime, bomb);
    std::string badCrc = SampleArchive(Lines(1, 2));
    badCrc[14] ^= 1;
    const std::size_t central = badCrc.find(std::string("PK\x01\x02", 4));
    badCrc[central + 16] ^= 1;
    // Sizes that promise more than the deflate stream holds.
    std::string promisesMore = SampleArchive(Lines(1, 2));
    for (const std::size_t at : {std::size_t{22}, central + 24}) {
        promisesMore[at] = static_cast<char>(promisesMore[at] + 100);
    }
    const std::string hostileValue = std::string("'); drop table t_address_book; --\0\"x\"\t", 38);
    const std::string hostile = "0," + hostileValue + ",2,3,4,5,6,7,8,9,10\r\n";
    struct Case {
        const char* name;
        std::string package;
        int status;
        std::string out;     // exactly
        std::string message; // part of the error text when status is not 0
    };
    const Case cases[] = {
        {"Good", Enciphered(SampleArchive(Lines(1, 3))), 0,
         "note_template_1.txt\n" + DumpedLine(1) + DumpedLine(2), ""},
        {"EmptyText", Enciphered(SampleArchive("")), 0, "note_template_1.txt\n", ""},
        {"TwoEntriesTheLastCounts",
         Enciphered(ArchiveOf({{"a.txt", Lines(5, 6)}, {"b.txt", Lines(7, 8)}})), 0,
         "b.txt\n" + DumpedLine(7), ""},
        {"LegacyTwelveFields", Enciphered(SampleArchive("0,1,2,3,4,5,6,7,8,a,b,139\r\n")), 0,
         "note_template_1.txt\n0\t1\t2\t3\t4\t5\t6\t7\t8\ta,b\t139\n", ""},
        {"HostileValues", Enciphered(SampleArchive(hostile)), 0,
         "note_template_1.txt\n0\t'); drop table t_address_book; --\\0\"x\"\\t\t2\t3\t4\t5\t6\t7\t8"
         "\t9\t10\n",
         ""},
        {"Empty", "", 4, "", "damaged package: incomplete (the file is empty)"},
        {"TruncatedInsideARecord", big.substr(0, 1500), 4, "", "damaged package"},
        {"TruncatedAtARecord", big.substr(0, 1024), 4, "", "damaged package"},
        {"ShorterThanARecord", big.substr(0, 100), 4, "", "shorter than one cipher record"},
        {"RandomBytes", std::string(5000, '\xA7'), 4, "", "bad cipher record"},
        {"WrongPassword", IdeaEncryptBytes(SampleArchive(Lines(1, 2)), IdeaKeyFromPassword("x")), 3,
         "", "wrong password"},
        {"NoEntry", Enciphered(ArchiveOf({})), 4, "", "no entry"},
        {"InflationBomb", Enciphered(bomb), 4, "", "inflates too far"},
        // The records before the damage are printed before it is known.
        {"ShortLine", Enciphered(SampleArchive(Lines(1, 2) + "1,2,3\r\n")), 4,
         "note_template_1.txt\n" + DumpedLine(1), "fewer than eleven fields (line 2 has 3 fields"},
        {"EmptyLine", Enciphered(SampleArchive(Lines(1, 2) + "\r\n" + Lines(2, 3))), 4,
         "note_template_1.txt\n" + DumpedLine(1), "line 2 has 0 fields"},
        {"WrongCrc", Enciphered(badCrc), 4, "note_template_1.txt\n" + DumpedLine(1),
         "checksum mismatch"},
        {"EndsBeforeItsRecordedSize", Enciphered(promisesMore), 4,
         "note_template_1.txt\n" + DumpedLine(1), "incomplete"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(dir / "p.qsec", c.package);
        const DumpRun run = Dump(dir, std::string("p.qsec ") + kSamplePassword);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.out, c.out);
        if (c.status == 0) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        }
        // Nothing written beside the package or in the working folder.
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(dir.path())) {
            files.push_back(e.path().filename());
        }
        EXPECT_EQ(files, std::vector<fs::path>{"p.qsec"});
    }
}

TEST(Qsecdump, ArgumentsAndPasswordSources) {
    TempDir dir;
    WriteFileBytes(dir / "p.qsec", Enciphered(SampleArchive(Lines(1, 2))));
    // The password as one line of standard input, taken as typed (its blank included).
    EXPECT_EQ(Dump(dir, "p.qsec", std::string(kSamplePassword) + "\n").status, 0);
    EXPECT_EQ(Dump(dir, "p.qsec", std::string(kSamplePassword) + " \n").status, 3);
    EXPECT_EQ(Dump(dir, "").status, 1);
    EXPECT_EQ(Dump(dir, "a b c").status, 1);
    const DumpRun missing = Dump(dir, "missing.qsec x");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("missing.qsec"), std::string::npos);
    EXPECT_EQ(Dump(dir, ". x").status, 2);

    // A UTF-8 command line means the GB18030 password the program keeps.
    const std::string gb18030Password = Gb18030("口令密码");
    WriteFileBytes(dir / "g.qsec", IdeaEncryptBytes(SampleArchive(Lines(1, 2)),
                                                    IdeaKeyFromPassword(gb18030Password)));
    EXPECT_EQ(Dump(dir, "g.qsec 口令密码").status, 0);
}

} // namespace
