#include "exchange/package/package.h"
#include "golden_packages.h"
#include "package_run_fixture.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sys/mount.h>
#include <thread>
#include <zlib.h>

#include "support/temp_dir.h"

namespace {

using Files = std::vector<std::filesystem::path>;

TEST_F(PackageRunTest, TwentyFiveRecordsByTenMakeThreePackagesAndNothingElse) {
    StoreRange(0, 25);
    ExportLog log;
    const auto target = dir / "out" / "book";
    ASSERT_EQ(Export(target, 10, "secret", &log), ExportOutcome::Completed);
    EXPECT_EQ(FilesIn(dir / "out"),
              (std::vector<std::string>{"book_1.qsec", "book_2.qsec", "book_3.qsec"}));
    // File bar 0..60 while writing, 80 archived, 100 enciphered; the total after each full
    // package with the file bar back to 0; 100 and 100 at the end.
    std::vector<std::pair<int, int>> expected;
    int k = 1125, t = 1126;
    for (int package = 0; package < 2; ++package) {
        for (int p = 6; p <= 60; p += 6) {
            expected.emplace_back(k, p);
        }
        expected.insert(expected.end(), {{k, 80}, {k, 100}, {t, package ? 66 : 33}, {k, 0}});
    }
    for (int p = 12; p <= 60; p += 12) {
        expected.emplace_back(k, p);
    }
    expected.insert(expected.end(), {{k, 80}, {k, 100}, {k, 100}, {t, 100}});
    EXPECT_EQ(log.progress, expected);
    EXPECT_EQ(log.failure, ExportFailure::None);
    EXPECT_EQ(log.end.filesWritten, 3);

    RecordingReport report;
    ASSERT_TRUE(Import({Package(target, 1), Package(target, 2), Package(target, 3)},
                       ImportMode::Overwrite, "secret", report));
    EXPECT_EQ(report.lines,
              (std::vector<std::string>{"成功导入10行密文数据。\n", "成功导入10行密文数据。\n",
                                        "成功导入5行密文数据。\n"}));
    EXPECT_EQ(Count(), 25); // overwrite replaced the register once, at the first package
}

TEST_F(PackageRunTest, TwentyRecordsByTenMakeExactlyTwoPackages) {
    StoreRange(0, 20);
    const auto target = dir / "out" / "book";
    ASSERT_EQ(Export(target, 10, "secret"), ExportOutcome::Completed);
    EXPECT_EQ(FilesIn(dir / "out"), (std::vector<std::string>{"book_1.qsec", "book_2.qsec"}));
}

TEST_F(PackageRunTest, AppendTwiceStopsAtTheFirstDuplicateAndKeepsTheFirstImport) {
    StoreRange(0, 12);
    const auto target = dir / "out" / "book";
    ASSERT_EQ(Export(target, 60000, "secret"), ExportOutcome::Completed);
    FreshRegister();

    RecordingReport first;
    ASSERT_TRUE(Import({Package(target, 1)}, ImportMode::Append, "secret", first));
    EXPECT_EQ(Count(), 12);
    RecordingReport second;
    EXPECT_FALSE(Import({Package(target, 1)}, ImportMode::Append, "secret", second));
    EXPECT_EQ(second.boxes, std::vector<std::string>{"重复的姓名张0和手机号13500000000,导入终止!"});
    EXPECT_EQ(second.lines, std::vector<std::string>{"导入数据库失败！"});
    EXPECT_EQ(Count(), 12);
}

TEST_F(PackageRunTest, OverwriteReplacesTheRegisterAndAFailedOneLeavesItAsItWas) {
    StoreRange(0, 5);
    const auto target = dir / "out" / "book";
    ASSERT_EQ(Export(target, 10, "secret"), ExportOutcome::Completed);
    StoreRange(100, 3);
    RecordingReport report;
    ASSERT_TRUE(Import({Package(target, 1)}, ImportMode::Overwrite, "secret", report));
    EXPECT_EQ(Count(), 5);

    // A wrong password, and a cancel before the insert: the register stays.
    StoreRange(200, 2);
    RecordingReport wrong;
    EXPECT_FALSE(Import({Package(target, 1)}, ImportMode::Overwrite, "secret ", wrong));
    EXPECT_EQ(wrong.lines, std::vector<std::string>{"输入密钥错误！"});
    RecordingReport cancelled;
    cancelled.stopWhen = [](const RecordingReport&) { return true; };
    EXPECT_FALSE(Import({Package(target, 1)}, ImportMode::Overwrite, "secret", cancelled));
    EXPECT_TRUE(cancelled.lines.empty());
    EXPECT_EQ(Count(), 7);
}

TEST_F(PackageRunTest, APasswordWithBlanksAroundItIsTheSameAtExport) {
    StoreRange(0, 3);
    ASSERT_EQ(Export(dir / "a" / "book", 10, "secret"), ExportOutcome::Completed);
    ASSERT_EQ(Export(dir / "b" / "book", 10, " \tsecret  "), ExportOutcome::Completed);
    EXPECT_EQ(ReadFileBytes(Package(dir / "a" / "book", 1)),
              ReadFileBytes(Package(dir / "b" / "book", 1)));
}

TEST_F(PackageRunTest, EmptyBirthdaysTravelAsNull) {
    Store({Record(1, ""), Record(2, "1990-12-31")});
    const auto target = dir / "out" / "book";
    ASSERT_EQ(Export(target, 10, "secret"), ExportOutcome::Completed);
    RecordingReport report;
    ASSERT_TRUE(Import({Package(target, 1)}, ImportMode::Overwrite, "secret", report));
    StoreResult<Connection> db = Connection::Open(Database());
    std::vector<std::string> birthdays;
    db.value().Query("select ifnull(User_Birthday, 'NULL') from t_address_book order by Mobile_NO",
                     [&](const std::vector<std::string>& row) { birthdays.push_back(row[0]); });
    EXPECT_EQ(birthdays, (std::vector<std::string>{"NULL", "1990-12-31"}));
}

TEST_F(PackageRunTest, TheSecondOfThreeFailingLeavesTheThirdUntouched) {
    StoreRange(0, 30);
    const auto target = dir / "out" / "book";
    ASSERT_EQ(Export(target, 10, "secret"), ExportOutcome::Completed);
    FreshRegister();
    WriteFileBytes(dir / "broken.qsec", std::string(3000, 'x'));
    RecordingReport report;
    EXPECT_FALSE(Import({Package(target, 1), dir / "broken.qsec", Package(target, 3)},
                        ImportMode::Append, "secret", report));
    EXPECT_EQ(report.lines,
              (std::vector<std::string>{"成功导入10行密文数据。\n", "文件已损坏：结构错误"}));
    EXPECT_EQ(Count(), 10);
}

// A package that opens under its password but is broken inside is damaged, not a wrong
// password; the records before the damage are not stored either, and the register stays.
TEST_F(PackageRunTest, ADamagedPackageSaysHowAndNothingOfItIsStored) {
    StoreRange(0, 3);
    std::vector<ContactRecord> records;
    for (int i = 10; i < 15; ++i) {
        records.push_back(Record(i));
    }
    const std::string text = PackageText(records);
    const auto archiveOf = [](const std::string& content) {
        std::string archive;
        EXPECT_TRUE(WriteSingleEntryArchive("note_template_1.txt", content,
                                            ZipTime{2026, 12, 8, 10, 0, 0}, archive));
        return archive;
    };
    std::string badCrc = archiveOf(text);
    badCrc[14] ^= 1;
    badCrc[badCrc.find(std::string("PK\x01\x02", 4)) + 16] ^= 1;
    const std::string whole = archiveOf(text);
    struct Case {
        const char* name;
        std::string archive;
        const char* line;
    } const cases[] = {
        {"WrongCrc", badCrc, "文件已损坏：校验和不符"},
        {"CutShort", whole.substr(0, whole.size() - 30), "文件已损坏：内容不完整"},
        {"ShortLine", archiveOf(text + "1,2,3\r\n"), "文件已损坏：数据行字段不足"},
        {"InflatesTooFar", archiveOf(std::string(8 << 20, '1')), "文件已损坏：解压后过大"},
    };
    for (const Case& c : cases) {
        for (const ImportMode mode : {ImportMode::Append, ImportMode::Overwrite}) {
            SCOPED_TRACE(std::string(c.name) + (mode == ImportMode::Append ? " append" : ""));
            WriteFileBytes(dir / "damaged.qsec", IdeaEncryptBytes(c.archive, ExportKey("secret")));
            RecordingReport report;
            EXPECT_FALSE(Import({dir / "damaged.qsec"}, mode, "secret", report));
            EXPECT_EQ(report.lines, std::vector<std::string>{c.line});
            EXPECT_EQ(Count(), 3);
        }
    }
}

// The list names the first twenty refused records and counts them all.
TEST_F(PackageRunTest, ManyRefusedRecordsListTheFirstTwentyAndCountTheRest) {
    std::vector<ContactRecord> records;
    for (int i = 0; i < 27; ++i) {
        records.push_back(Record(i));
        if (i >= 2) {
            records.back()[kMobile_NO] = "none";
        }
    }
    std::filesystem::create_directories(dir / "refused");
    ASSERT_TRUE(WritePackage(dir / "refused" / "book", 1, records, ExportKey("secret"),
                             ZipTime{2026, 12, 8, 10, 0, 0}));
    RecordingReport report;
    EXPECT_TRUE(
        Import({Package(dir / "refused" / "book", 1)}, ImportMode::Append, "secret", report));
    std::vector<std::string> expected;
    for (int line = 3; line < 23; ++line) {
        expected.push_back("第" + std::to_string(line) + "行记录的手机号码不是电话号码，未导入。");
    }
    expected.push_back("共25条记录有误，未导入。");
    expected.push_back("成功导入2行密文数据。\n");
    EXPECT_EQ(report.lines, expected);
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(run->ImportedIds(),
              (std::vector<std::string>{records[0][kUI_ID], records[1][kUI_ID]}));
}

TEST_F(PackageRunTest, ACancelDuringTheSecondOfThreeTakesBackOnlyTheSecond) {
    StoreRange(0, 30);
    const auto target = dir / "out" / "book";
    ASSERT_EQ(Export(target, 10, "secret"), ExportOutcome::Completed);
    FreshRegister();
    RecordingReport report;
    // The operator confirms the cancel while the second package goes in.
    report.stopWhen = [](const RecordingReport& r) { return r.lines.size() >= 2; };
    EXPECT_FALSE(Import({Package(target, 1), Package(target, 2), Package(target, 3)},
                        ImportMode::Append, "secret", report));
    EXPECT_EQ(Count(), 20);
    EXPECT_EQ(run->DeleteImportedRecords(), ImportDatabase::DeleteOutcome::Done);
    EXPECT_EQ(Count(), 10);
    EXPECT_EQ(Names().front(), "张0");
}

TEST_F(PackageRunTest, AStoppedExportLeavesNoClearTextAndNoPartialPackage) {
    StoreRange(0, 25);
    const auto target = dir / "out" / "book";
    ExportLog log;
    // Stop while the second package's lines are being written.
    int fullPackages = 0;
    const auto stopAt = [&](int channel, int percent) {
        fullPackages += channel == 1125 && percent == 100;
        return fullPackages == 1 && channel == 1125 && percent == 30;
    };
    EXPECT_EQ(Export(target, 10, "secret", &log, stopAt), ExportOutcome::Stopped);
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>{"book_1.qsec"});
    EXPECT_EQ(log.failure, ExportFailure::None);
    EXPECT_EQ(log.end.filesWritten, 1);
}

TEST_F(PackageRunTest, AnExportThatCannotWriteSaysSoAndLeavesNothing) {
    StoreRange(0, 5);
    ExportLog folderLog;
    WriteFileBytes(dir / "file", "x");
    EXPECT_EQ(Export(dir / "file" / "book", 10, "secret", &folderLog), ExportOutcome::Failed);
    EXPECT_EQ(folderLog.failure, ExportFailure::FolderNotCreated);

    // The package's name is taken by a folder that cannot be replaced.
    std::filesystem::create_directories(dir / "out" / "book_1.qsec" / "x");
    ExportLog packageLog;
    EXPECT_EQ(Export(dir / "out" / "book", 10, "secret", &packageLog), ExportOutcome::Failed);
    EXPECT_EQ(packageLog.failure, ExportFailure::FileNotCreated);
    EXPECT_EQ(FilesIn(dir / "out"), std::vector<std::string>{"book_1.qsec"}); // the folder
    EXPECT_NE(packageLog.progress.back(), (std::pair<int, int>{1126, 100}));

    // An empty register exports nothing, and that is no success.
    FreshRegister();
    ExportLog emptyLog;
    EXPECT_EQ(Export(dir / "empty" / "book", 10, "secret", &emptyLog), ExportOutcome::Failed);
    EXPECT_EQ(emptyLog.failure, ExportFailure::EmptyRegister);
    EXPECT_TRUE(FilesIn(dir / "empty").empty());
}

// What keeps the export from reading the register, and the reason the run gives.
struct UnreadableRegister {
    const char* name;
    std::function<void()> spoil;
    StoreError error;
    const char* detail; // SQLite's words, when they are fixed
};

TEST_F(PackageRunTest, AnExportSaysWhyTheRegisterCouldNotBeRead) {
    const UnreadableRegister cases[] = {
        {"a file that is no database",
         [this] { WriteFileBytes(Database(), std::string(8192, 'Z')); }, StoreError::NotReadable,
         nullptr},
        {"no contact table",
         [this] {
             ASSERT_TRUE(Connection::Open(Database())
                             .value()
                             .Execute("drop table "
                                      "t_address_book;"));
         },
         StoreError::StatementFailed, "no such table: t_address_book"},
    };
    for (const UnreadableRegister& c : cases) {
        SCOPED_TRACE(c.name);
        FreshRegister();
        StoreRange(0, 5);
        c.spoil();
        ExportLog log;
        const auto target = dir / "out" / c.name / "book";
        std::filesystem::create_directories(target.parent_path());
        EXPECT_EQ(Export(target, 10, "secret", &log), ExportOutcome::Failed);
        EXPECT_EQ(log.failure, ExportFailure::DatabaseUnreadable);
        EXPECT_EQ(log.end.database.error, c.error);
        EXPECT_FALSE(log.end.database.detail.empty());
        if (c.detail) {
            EXPECT_EQ(log.end.database.detail, c.detail);
        }
        EXPECT_TRUE(FilesIn(target.parent_path()).empty());
    }
}

// Another program writing the register holds its lock: a short hold only delays the
// export, a long one fails it with the reason.
TEST_F(PackageRunTest, AnExportWaitsForAnotherProgramsLockAndThenSaysItIsBusy) {
    StoreRange(0, 25);
    for (const bool released : {true, false}) {
        SCOPED_TRACE(released ? "released after a moment" : "held throughout");
        StoreResult<Connection> other = Connection::Open(Database());
        ASSERT_TRUE(other.value().Execute("begin exclusive;"));
        std::thread release([&] {
            if (released) {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                EXPECT_TRUE(other.value().Execute("commit;"));
            }
        });
        ExportLog log;
        const auto target = dir / (released ? "late" : "never") / "book";
        const ExportOutcome outcome = Export(target, 10, "secret", &log);
        release.join();
        if (released) {
            EXPECT_EQ(outcome, ExportOutcome::Completed);
            EXPECT_EQ(FilesIn(target.parent_path()).size(), 3u);
        } else {
            EXPECT_EQ(outcome, ExportOutcome::Failed);
            EXPECT_EQ(log.failure, ExportFailure::DatabaseUnreadable);
            EXPECT_EQ(log.end.database.error, StoreError::Busy);
            EXPECT_EQ(log.end.database.detail, "database is locked");
            EXPECT_TRUE(other.value().Execute("rollback;"));
        }
    }
}

TEST(ExportWriteFailure, TheSystemsWordsForAFullDiskNameIt) {
    EXPECT_EQ(WriteFailure(std::strerror(ENOSPC)).failure, ExportFailure::DiskFull);
    EXPECT_EQ(WriteFailure(std::string("write: ") + std::strerror(EDQUOT)).failure,
              ExportFailure::DiskFull);
    EXPECT_EQ(WriteFailure(std::strerror(EACCES)).failure, ExportFailure::FileNotCreated);
    EXPECT_EQ(WriteFailure(std::strerror(ENOSPC)).detail, std::strerror(ENOSPC));
}

// A small disk of its own (a tmpfs) with one page left free; needs the right to mount.
class FullDiskExport : public PackageRunTest {
protected:
    void SetUp() override {
        disk = dir / "disk";
        std::filesystem::create_directories(disk);
        if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
            GTEST_SKIP() << "cannot mount a small disk: " << std::strerror(errno);
        }
        mounted = true;
        // Fifteen of its sixteen pages.
        WriteFileBytes(disk / "filler", std::string(15 * 4096, 'f'));
        ASSERT_EQ(std::filesystem::file_size(disk / "filler"), 15u * 4096);
        std::filesystem::create_directories(disk / "out");
    }
    void TearDown() override {
        if (mounted) {
            ::umount2(disk.c_str(), MNT_DETACH);
        }
    }
    std::filesystem::path disk;
    bool mounted = false;
};

TEST_F(FullDiskExport, AFullDiskIsNamedAndTheWholeFilesWrittenBeforeItStay) {
    StoreRange(0, 25);
    struct Case {
        const char* name;
        std::function<ExportOutcome(ExportLog&)> run;
        std::vector<std::string> left; // a package fits the free page, a workbook does not
    } const cases[] = {
        {"packages",
         [&](ExportLog& log) { return Export(disk / "out" / "book", 10, "secret", &log); },
         {"book_1.qsec"}},
        {"workbooks",
         [&](ExportLog& log) { return ExportWorkbooks(disk / "out" / "sheet", 10, &log); },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExportLog log;
        EXPECT_EQ(c.run(log), ExportOutcome::Failed);
        EXPECT_EQ(log.failure, ExportFailure::DiskFull);
        EXPECT_NE(log.end.detail.find(std::strerror(ENOSPC)), std::string::npos) << log.end.detail;
        EXPECT_EQ(log.end.filesWritten, static_cast<int>(c.left.size()));
        EXPECT_EQ(FilesIn(disk / "out"), c.left);
        for (const std::string& name : c.left) {
            std::filesystem::remove(disk / "out" / name);
        }
    }
}

} // namespace

namespace {

const std::filesystem::path kGolden = QUILLON_GOLDEN_DIR;

TEST_F(PackageRunTest, TheExportWritesTheGoldenPackagesAndTheImportReadsThemBack) {
    const std::vector<ContactRecord> golden = GoldenRecords(kGolden / kGoldenCsv);
    ASSERT_EQ(golden.size(), 25u);
    Store(golden);
    const auto target = dir / "out" / kGoldenTarget;
    TCThread_Export_02 exporter;
    exporter.SetDatabase(Database());
    exporter.SetTargetName(target);
    exporter.SetMaxPerFile(kGoldenPerPackage);
    exporter.SetPassword(kGoldenPassword);
    exporter.SetExportTime(kGoldenTime);
    Worker worker;
    worker.Start([&](WorkerContext& context) { exporter.Execute(context); });
    worker.Join();
    ASSERT_EQ(exporter.Outcome(), ExportOutcome::Completed);
    std::string zlib;
    std::ifstream(kGolden / kGoldenZlibFile) >> zlib;
    for (int k = 1; k <= 3 && zlib == zlibVersion(); ++k) {
        EXPECT_EQ(ReadFileBytes(Package(target, k)),
                  ReadFileBytes(Package(kGolden / kGoldenTarget, k)))
            << k;
    }

    FreshRegister();
    RecordingReport report;
    ASSERT_TRUE(Import({Package(kGolden / kGoldenTarget, 1), Package(kGolden / kGoldenTarget, 2),
                        Package(kGolden / kGoldenTarget, 3)},
                       ImportMode::Append, kGoldenPassword, report));
    std::vector<ContactRecord> imported;
    StoreResult<Connection> db = Connection::Open(Database());
    db.value().Query("select UI_ID, User_Name, User_Sex, ifnull(User_Birthday, ''), "
                     "User_Education, Recode_Type, Province, City, County_Seat, "
                     "Organization_Detial, Mobile_NO from t_address_book",
                     [&](const std::vector<std::string>& row) {
                         ContactRecord r;
                         std::copy(row.begin(), row.end(), r.begin());
                         imported.push_back(r);
                     });
    EXPECT_EQ(imported, golden);
}

} // namespace

namespace {

TEST_F(PackageRunTest, AnOverwriteThatFailsHalfwayLeavesTheRegisterAsItWas) {
    StoreRange(0, 4);
    // A package that holds one record twice: its second insert fails on the key.
    std::vector<ContactRecord> twice = {Record(10), Record(11), Record(10)};
    std::filesystem::create_directories(dir / "dup");
    std::filesystem::create_directories(dir / "date");
    ASSERT_TRUE(WritePackage(dir / "dup" / "book", 1, twice, ExportKey("secret"),
                             ZipTime{2026, 12, 8, 10, 0, 0}));
    RecordingReport report;
    EXPECT_FALSE(
        Import({Package(dir / "dup" / "book", 1)}, ImportMode::Overwrite, "secret", report));
    EXPECT_EQ(report.boxes,
              std::vector<std::string>{"重复的姓名张10和手机号13500000010,导入终止!"});
    EXPECT_EQ(report.lines, std::vector<std::string>{"导入数据库失败！"});
    EXPECT_EQ(Count(), 4);

    // A birthday that is no date fails the package the same way.
    std::vector<ContactRecord> badDate = {Record(20), Record(21, "2001-02-30")};
    ASSERT_TRUE(WritePackage(dir / "date" / "book", 1, badDate, ExportKey("secret"),
                             ZipTime{2026, 12, 8, 10, 0, 0}));
    RecordingReport dateReport;
    EXPECT_FALSE(
        Import({Package(dir / "date" / "book", 1)}, ImportMode::Overwrite, "secret", dateReport));
    EXPECT_EQ(dateReport.lines, std::vector<std::string>{"导入程序出现异常错误"});
    EXPECT_EQ(Count(), 4);
}

TEST_F(PackageRunTest, ATableThatCannotBeMadeEndsTheFileAsAFailure) {
    StoreRange(0, 2);
    const auto target = dir / "out" / "book";
    ASSERT_EQ(Export(target, 10, "secret"), ExportOutcome::Completed);
    {
        StoreResult<Connection> db = Connection::Open(Database());
        // Something that is no table holds the name: the table can be neither found nor made.
        ASSERT_TRUE(db.value().Execute("drop table t_address_book; create view t_address_book "
                                       "as select 1 as UI_ID;"));
    }
    RecordingReport report;
    EXPECT_FALSE(Import({Package(target, 1)}, ImportMode::Append, "secret", report));
    EXPECT_EQ(report.boxes, std::vector<std::string>{"新建表失败！"});
    EXPECT_TRUE(report.lines.empty());
}

} // namespace
