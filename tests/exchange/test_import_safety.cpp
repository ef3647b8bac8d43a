// An import never empties, hides or drops what the register holds: not at a cancel at any
// point, not when a file stores nothing, not when the failed-rows workbooks or the database
// fail under it.
#include "exchange/package/package.h"
#include "package_run_fixture.h"
#include "platform/files.h"
#include "workbook_rows.h"

#include <memory>
#include <stdexcept>

namespace {

constexpr int kOldRecords = 3;
constexpr int kNewRecords = 5;

std::string Describe(ImportKind kind, ImportMode mode) {
    return std::string(kind == ImportKind::Package ? "package" : "workbook") +
           (mode == ImportMode::Overwrite ? ", overwrite" : ", append");
}

class ImportSafetyTest : public PackageRunTest {
protected:
    // The register before every import: three records of its own.
    void OldRegister() {
        FreshRegister();
        StoreRange(100000, kOldRecords);
    }

    std::vector<std::string> OldNames() {
        std::vector<std::string> names;
        for (int i = 100000; i < 100000 + kOldRecords; ++i) {
            names.push_back("张" + std::to_string(i));
        }
        return names;
    }

    // A file of `count` new records of the kind, the same people either way.
    std::filesystem::path NewFile(ImportKind kind, int count = kNewRecords) {
        if (kind == ImportKind::Package) {
            std::vector<ContactRecord> records;
            for (int i = 0; i < count; ++i) {
                records.push_back(Record(i));
            }
            std::filesystem::create_directories(dir / "in");
            EXPECT_TRUE(WritePackage(dir / "in" / "new", 1, records, ExportKey("secret"),
                                     ZipTime{2026, 12, 8, 10, 0, 0}));
            return Package(dir / "in" / "new", 1);
        }
        std::vector<Row> rows;
        for (int i = 0; i < count; ++i) {
            rows.push_back(Good(i, "张" + std::to_string(i)));
        }
        return MakeWorkbook(dir / "in" / ("new" + std::to_string(count) + ".xls"), rows);
    }

    std::vector<std::string> NewNames(int count = kNewRecords) {
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) {
            names.push_back("张" + std::to_string(i));
        }
        return names;
    }

    bool Run(ImportKind kind, ImportMode mode, const std::filesystem::path& file,
             RecordingReport& report, const std::string& loginArea = Gb18030("全国")) {
        ImportRequest request{{file}, kind, mode, kind == ImportKind::Package ? "secret" : ""};
        run.emplace(ImportPlaces{Database(), dir / "failed", loginArea}, request, report,
                    [] { return std::string("2026-12-08 11:00:00"); });
        return run->ImportFiles();
    }

    // How often a whole run of the file asks whether to stop.
    int StopChecks(ImportKind kind, ImportMode mode, const std::filesystem::path& file) {
        OldRegister();
        auto calls = std::make_shared<int>(0);
        RecordingReport report;
        report.stopWhen = [calls](const RecordingReport&) {
            ++*calls;
            return false;
        };
        EXPECT_TRUE(Run(kind, mode, file, report));
        return *calls;
    }

    // Cancels at the n-th check, as the window does: the run ends, then the file that was
    // going in is taken back. Returns the list's last line.
    std::string CancelAt(ImportKind kind, ImportMode mode, const std::filesystem::path& file,
                         int n) {
        OldRegister();
        auto calls = std::make_shared<int>(0);
        RecordingReport report;
        report.stopWhen = [calls, n](const RecordingReport&) { return ++*calls >= n; };
        EXPECT_FALSE(Run(kind, mode, file, report));
        EXPECT_NE(run->DeleteImportedRecords(), ImportDatabase::DeleteOutcome::Failed);
        return report.lines.empty() ? std::string() : report.lines.back();
    }
};

TEST_F(ImportSafetyTest, ACancelAtAnyPointLeavesTheOldRegisterOrKeepsAReplacementSaidSo) {
    const std::string keptLine = "已取消导入。本文件已覆盖原有通讯录，无法撤回，保留本文件导入的" +
                                 std::to_string(kNewRecords) + "条记录。";
    for (ImportKind kind : {ImportKind::Package, ImportKind::Spreadsheet}) {
        const std::filesystem::path file = NewFile(kind);
        for (ImportMode mode : {ImportMode::Append, ImportMode::Overwrite}) {
            const int checks = StopChecks(kind, mode, file);
            ASSERT_GE(checks, 3) << Describe(kind, mode);
            for (int n = 1; n <= checks; ++n) {
                SCOPED_TRACE(Describe(kind, mode) + ", stop at check " + std::to_string(n));
                const std::string last = CancelAt(kind, mode, file, n);
                EXPECT_EQ(last.rfind("已取消导入", 0), 0u) << last;
                if (last == keptLine) {
                    // Only once the replacement is committed, at the file's last check.
                    EXPECT_EQ(mode, ImportMode::Overwrite);
                    EXPECT_EQ(n, checks);
                    EXPECT_EQ(Names(), NewNames());
                } else {
                    EXPECT_EQ(Names(), OldNames());
                }
            }
        }
    }
}

TEST_F(ImportSafetyTest, ACancelBeforeABatchIsCommittedTakesBackEveryRowOfTheFile) {
    constexpr int batch = static_cast<int>(kSpreadsheetRowsPerCommit);
    const std::filesystem::path file = NewFile(ImportKind::Spreadsheet, batch + batch / 2);
    const int checks = StopChecks(ImportKind::Spreadsheet, ImportMode::Append, file);
    // The check before the first batch is committed, the rows on either side of it, and
    // the last two.
    for (int n : {batch + 1, batch + 2, batch + 3, checks - 1, checks}) {
        SCOPED_TRACE("stop at check " + std::to_string(n));
        const std::string last = CancelAt(ImportKind::Spreadsheet, ImportMode::Append, file, n);
        EXPECT_EQ(Names(), OldNames());
        EXPECT_NE(last.find("条记录已撤回"), std::string::npos) << last;
    }
}

TEST_F(ImportSafetyTest, AnOverwriteThatStoresNothingKeepsTheRegister) {
    const std::string kept = "没有可导入的记录，原有通讯录未被覆盖。";
    {
        SCOPED_TRACE("a workbook of another province's rows only");
        OldRegister();
        RecordingReport report;
        EXPECT_TRUE(Run(ImportKind::Spreadsheet, ImportMode::Overwrite,
                        NewFile(ImportKind::Spreadsheet), report, Gb18030("江苏省")));
        EXPECT_EQ(report.lines.back(), kept);
        EXPECT_EQ(Names(), OldNames());
        EXPECT_EQ(RowsOf(run->RejectedWorkbook()).size(), std::size_t{kNewRecords});
    }
    {
        SCOPED_TRACE("an empty package");
        OldRegister();
        std::filesystem::create_directories(dir / "empty");
        ASSERT_TRUE(WritePackage(dir / "empty" / "book", 1, {}, ExportKey("secret"),
                                 ZipTime{2026, 12, 8, 10, 0, 0}));
        RecordingReport report;
        EXPECT_TRUE(Run(ImportKind::Package, ImportMode::Overwrite,
                        Package(dir / "empty" / "book", 1), report));
        EXPECT_EQ(report.lines.back(), kept);
        EXPECT_EQ(Names(), OldNames());
    }
    {
        SCOPED_TRACE("a package of another province's records only");
        OldRegister();
        RecordingReport report;
        EXPECT_TRUE(Run(ImportKind::Package, ImportMode::Overwrite, NewFile(ImportKind::Package),
                        report, Gb18030("河北省")));
        EXPECT_EQ(report.lines.front(), "跳过5条不属于河北省的记录。");
        EXPECT_EQ(report.lines.back(), kept);
        EXPECT_EQ(Names(), OldNames());
    }
    {
        SCOPED_TRACE("a damaged package");
        OldRegister();
        ASSERT_TRUE(ReplaceFileAtomically(dir / "in" / "bad.qsec", std::string(4096, '\x5A')));
        RecordingReport report;
        EXPECT_FALSE(
            Run(ImportKind::Package, ImportMode::Overwrite, dir / "in" / "bad.qsec", report));
        EXPECT_EQ(Names(), OldNames());
    }
}

TEST_F(ImportSafetyTest, PackageRecordsTheListCannotShowOrThatWouldBreakItAreLeftOut) {
    OldRegister();
    std::vector<ContactRecord> records = {Record(0), Record(1), Record(2), Record(3)};
    records[1][kProvince] = Gb18030("河北省");
    records[2][kUI_ID] = "";
    records[3][kMobile_NO] = "not-a-number";
    std::filesystem::create_directories(dir / "mixed");
    ASSERT_TRUE(WritePackage(dir / "mixed" / "book", 1, records, ExportKey("secret"),
                             ZipTime{2026, 12, 8, 10, 0, 0}));
    RecordingReport report;
    EXPECT_TRUE(Run(ImportKind::Package, ImportMode::Append, Package(dir / "mixed" / "book", 1),
                    report, Gb18030("江苏省")));
    EXPECT_EQ(report.lines, (std::vector<std::string>{
                                "跳过1条不属于江苏省的记录。",
                                "第3行记录的标识不是32位十六进制数，未导入。",
                                "第4行记录的手机号码不是电话号码，未导入。",
                                "共2条记录有误，未导入。",
                                "成功导入1行密文数据。\n",
                            }));
    std::vector<std::string> expected = OldNames();
    expected.insert(expected.begin(), "张0");
    EXPECT_EQ(Names(), expected);
}

TEST_F(ImportSafetyTest, RowsThatCannotBeWrittenBackEndTheFileAndNamePath) {
    struct Case {
        const char* name;
        std::vector<Row> rows;
        const char* line;
    };
    Row bad = Good(50);
    bad[1] = "?";
    const std::vector<Case> cases = {
        {"a rejected row", {Good(0), bad}, "打开非法数据文件失败!"},
        {"a duplicate row", {Good(0), Good(0)}, "打开重复记录文件失败!"},
    };
    for (const Case& c : cases) {
        for (ImportMode mode : {ImportMode::Append, ImportMode::Overwrite}) {
            SCOPED_TRACE(std::string(c.name) + (mode == ImportMode::Append ? ", append" : ""));
            OldRegister();
            // A file where the folder for the failed rows should be.
            std::filesystem::remove_all(dir / "failed");
            ASSERT_TRUE(ReplaceFileAtomically(dir / "failed", "not a folder"));
            const auto file = MakeWorkbook(dir / "in" / "rows.xls", c.rows);
            RecordingReport report;
            EXPECT_FALSE(Run(ImportKind::Spreadsheet, mode, file, report));
            const std::string& last = report.lines.back();
            EXPECT_EQ(last.substr(last.size() - std::string(c.line).size()), c.line);
            EXPECT_NE(last.find((dir / "failed").string()), std::string::npos) << last;
            std::vector<std::string> expected = OldNames();
            if (mode == ImportMode::Append) {
                expected.insert(expected.begin(), "张三"); // stored before the failure
            }
            EXPECT_EQ(Names(), expected);
            std::filesystem::remove(dir / "failed");
        }
    }
}

TEST_F(ImportSafetyTest, RowsWrittenBackBeforeAFileEndsOnAnExceptionAreKept) {
    // The list window failing at the third row stands for anything that throws mid-file.
    struct ThrowingReport : RecordingReport {
        void ProgressPosition(int value) override {
            if (value == 3) {
                throw std::runtime_error("the window went away");
            }
        }
    };
    OldRegister();
    Row bad = Good(50);
    bad[1] = "?";
    const auto file = MakeWorkbook(dir / "in" / "throws.xls", {bad, bad, Good(0)});
    ThrowingReport report;
    EXPECT_FALSE(Run(ImportKind::Spreadsheet, ImportMode::Append, file, report));
    EXPECT_EQ(report.lines.back(), "导入程序出现异常错误");
    EXPECT_EQ(RowsOf(run->RejectedWorkbook()).size(), 2u);
    EXPECT_EQ(Names(), OldNames());
}

// The rejected-rows workbook is saved in growing batches while the rows go in: a file that
// ends between two of them still leaves every row written back so far on disk.
TEST_F(ImportSafetyTest, EveryRowWrittenBackBeforeAStopOrAnExceptionIsOnDisk) {
    constexpr int kEnd = 2400; // past the saves at rows 1, 1001 and 2002, before the next
    struct EndingReport : RecordingReport {
        bool throws = false;
        void ProgressPosition(int value) override {
            RecordingReport::ProgressPosition(value);
            if (throws && value == kEnd + 1) {
                throw std::runtime_error("the window went away");
            }
        }
    };
    Row bad = Good(50);
    bad[1] = "?";
    const auto file = MakeWorkbook(dir / "in" / "bad.xls", std::vector<Row>(3000, bad));
    for (bool throws : {false, true}) {
        SCOPED_TRACE(throws ? "an exception" : "a stop");
        OldRegister();
        EndingReport report;
        report.throws = throws;
        if (!throws) {
            report.stopWhen = [](const RecordingReport& r) { return r.position >= kEnd; };
        }
        EXPECT_FALSE(Run(ImportKind::Spreadsheet, ImportMode::Append, file, report));
        EXPECT_EQ(RowsOf(run->RejectedWorkbook()).size(), std::size_t{kEnd});
    }
}

TEST_F(ImportSafetyTest, AStoreThatCannotBeUsedEndsTheFileAsAFailureWithTheReason) {
    {
        SCOPED_TRACE("no area table");
        OldRegister();
        StoreResult<Connection> db = Connection::Open(Database());
        ASSERT_TRUE(db.value().Execute("drop table t_area;"));
        RecordingReport report;
        EXPECT_FALSE(Run(ImportKind::Spreadsheet, ImportMode::Overwrite,
                         NewFile(ImportKind::Spreadsheet), report));
        ASSERT_EQ(report.lines.size(), 1u);
        EXPECT_EQ(report.lines[0].rfind("无法读取省市县组织结构表，文件未导入：", 0), 0u)
            << report.lines[0];
        EXPECT_EQ(Names(), OldNames());
    }
    for (ImportKind kind : {ImportKind::Spreadsheet, ImportKind::Package}) {
        SCOPED_TRACE(Describe(kind, ImportMode::Append) + ", a database another program holds");
        OldRegister();
        const std::filesystem::path file = NewFile(kind);
        StoreResult<Connection> holder = Connection::Open(Database());
        ASSERT_TRUE(holder.value().Execute("begin immediate;"));
        RecordingReport report;
        EXPECT_FALSE(Run(kind, ImportMode::Append, file, report));
        ASSERT_FALSE(report.lines.empty());
        EXPECT_EQ(report.lines.back(), "导入数据库失败！database is locked");
        ASSERT_TRUE(holder.value().Execute("rollback;"));
        EXPECT_EQ(Names(), OldNames());
        if (kind == ImportKind::Spreadsheet) {
            // The row that met the lock goes back to the operator with the reason.
            const std::vector<Row> rows = RowsOf(run->RejectedWorkbook());
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0][10], "导入数据库失败！");
        }
    }
}

} // namespace
