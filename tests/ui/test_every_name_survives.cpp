// Names beyond GBK's two-byte rows carried along every road a record takes: the editor, the
// store, the list, a workbook and a package out and back in. Each file is read by a reader
// of its own (xlrd, qsecdump), not by the program's readers.
#include "exchange/export/export_run.h"
#include "exchange/export/thread_export_01.h"
#include "exchange/export/thread_export_02.h"
#include "exchange/worker.h"
#include "phonebook_fixture.h"
#include "ui/dialog_buissness_card.h"
#include "ui/dialog_import.h"
#include "ui/qt_text.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

namespace {

struct CarriedName {
    const char* what;
    const char* name; // UTF-8
    const char* mobile;
    // Upper-case MD5 of the name's GB18030 bytes and the number, worked out with iconv and
    // md5sum, so that the program's own conversion is not what checks it.
    const char* uiid;
    // The name with each character plain GBK lacks as "?", as a lossy conversion stores it.
    const char* lossy;
    // The editor's name rule allows Chinese, ASCII letters, digits and "-" only.
    bool editorTakes;
};

const CarriedName kNames[] = {
    {"CJK extension A", "王䶮", "13500000001", "228B3EB213F823843DAADB14581DDF22", "王?", true},
    {"CJK extension B, a surrogate pair in UTF-16", "李𠀾华", "13500000002",
     "0AF2BF8177EEB7A48390C98872F724C4", "李?华", true},
    {"accented Latin", "Zoë-Brontë", "13500000003", "6D029AACC4700F7E9832AB608AEBD6BB",
     "Zo?-Bront?", false},
};

constexpr char kPassword[] = "secret";

// Prints the data rows of the first sheet, one row a line, cells tab-separated.
constexpr char kXlrdRows[] = R"(import sys
try:
    import xlrd
except ImportError:
    sys.exit(77)
sys.stdout.reconfigure(encoding="utf-8")
sheet = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)
for r in range(3, sheet.nrows):
    print("\t".join(str(sheet.cell_value(r, c)) for c in range(10)))
)";

struct ToolRun {
    int status = -1;
    std::string out; // UTF-8
    std::string err;
};

ToolRun RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(30000)) {
        run.err = process.errorString().toStdString();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
        lines.push_back(text.substr(from, end - from));
    }
    return lines;
}

class EveryNameTest : public PhoneBookTest {
protected:
    // The record's fields in UTF-8, as written here, the identifier worked out beside it.
    static std::vector<std::string> Utf8Fields(const CarriedName& n) {
        return {n.uiid,   n.name, "男", "1980-01-02",  "大学",  "机关",
                "北京市", "",     "",   "某单位 科长", n.mobile};
    }

    static ContactRecord Expected(const CarriedName& n) {
        const std::vector<std::string> utf8 = Utf8Fields(n);
        ContactRecord r;
        std::transform(utf8.begin(), utf8.end(), r.begin(),
                       [](const std::string& text) { return Utf8ToGb18030(text); });
        r[kUI_ID] = MakeUIID(r[kUser_Name], r[kMobile_NO]);
        return r;
    }

    // The fields from `first` on, joined by tabs, as the readers print a record: the UTF-8
    // written here, never a text the program converted.
    static std::string Printed(const CarriedName& n, int first) {
        const std::vector<std::string> utf8 = Utf8Fields(n);
        std::string line;
        for (int f = first; f < kContactFieldCount; ++f) {
            line += (f > first ? "\t" : "") + utf8[f];
        }
        return line;
    }

    // Puts every name in the register as an import or the editor leaves it.
    void StoreAll() {
        ContactStore store(installation.database, [this] { return clock(); });
        ASSERT_TRUE(store.OpenContactDatabase());
        for (const CarriedName& n : kNames) {
            ASSERT_EQ(store.InsertContactRow(Expected(n)), ContactInsert::Done) << n.what;
        }
    }

    void EmptyRegister() {
        StoreResult<Connection> db = Connection::Open(installation.database);
        ASSERT_TRUE(db);
        ASSERT_TRUE(db.value().Execute("delete from t_address_book;"));
    }

    int Stored() {
        int count = -1;
        StoreResult<Connection> db = Connection::Open(installation.database);
        EXPECT_TRUE(db);
        if (db) {
            db.value().Query(
                "select count(*) from t_address_book",
                [&](const std::vector<std::string>& row) { count = std::stoi(row[0]); });
        }
        return count;
    }

    // The stored record with that number, and its name exactly as the file holds it.
    std::pair<ContactRecord, std::string> StoredWithRawName(const std::string& mobile) {
        ContactRecord record;
        std::string rawName;
        const StoreResult<Connection> db = Connection::Open(installation.database);
        EXPECT_TRUE(db);
        if (db) {
            db.value().Query(
                "select UI_ID, User_Name, User_Sex, User_Birthday, User_Education, "
                "Recode_Type, Province, City, County_Seat, Organization_Detial, "
                "Mobile_NO, hex(User_Name) from t_address_book where Mobile_NO = " +
                    SqlLiteral(mobile),
                [&](const std::vector<std::string>& row) {
                    std::copy(row.begin(), row.begin() + kContactFieldCount, record.begin());
                    rawName =
                        QByteArray::fromHex(QByteArray::fromStdString(row.back())).toStdString();
                });
        }
        return {record, rawName};
    }

    void ExpectStored(const CarriedName& n) {
        const auto [record, rawName] = StoredWithRawName(n.mobile);
        EXPECT_EQ(rawName, n.name); // UTF-8 in the database
        EXPECT_EQ(record, Expected(n));
        EXPECT_EQ(record[kUI_ID], n.uiid);
        EXPECT_NE(record[kUI_ID], MakeUIID(Gb18030(n.lossy), n.mobile));
    }

    // The name in the list row that shows the number; the window is opened afresh.
    void ExpectListed(const CarriedName& n) {
        window.reset();
        for (int row = 0; row < List()->rowCount(); ++row) {
            if (List()->item(row, kMobile_NO)->text() == n.mobile) {
                EXPECT_EQ(Name(row), QString::fromUtf8(n.name));
                EXPECT_EQ(Window().Manager()->RowRecord(row)[kUser_Name], Gb18030(n.name));
                return;
            }
        }
        ADD_FAILURE() << "not listed: " << n.mobile;
    }

    template <typename Exporter>
    void Export(Exporter& exporter, const std::filesystem::path& target) {
        exporter.SetDatabase(installation.database);
        exporter.SetTargetName(target);
        exporter.SetMaxPerFile(10);
        {
            Worker worker;
            worker.Start([&](WorkerContext& context) { exporter.Execute(context); });
            worker.Join();
        }
        ASSERT_EQ(exporter.Outcome(), ExportOutcome::Completed);
    }

    std::filesystem::path ExportWorkbook() {
        TCThread_Export_01 exporter;
        const auto target = dir / "out" / "book";
        Export(exporter, target);
        return NumberedOutputFile(target, 1, ".xls");
    }

    std::filesystem::path ExportPackage() {
        TCThread_Export_02 exporter;
        exporter.SetPassword(kPassword);
        const auto target = dir / "out" / "pack";
        Export(exporter, target);
        return NumberedOutputFile(target, 1, ".qsec");
    }

    // Imports the file into an emptied register through the progress window.
    void ImportIntoEmptyRegister(const std::filesystem::path& file, ImportKind kind) {
        EmptyRegister();
        TCDialog_Import progress(installation, {{file}, kind, ImportMode::Append, kPassword});
        progress.show();
        for (int i = 0; i < 1000 && !progress.RunEnded(); ++i) {
            QTest::qWait(10);
        }
        ASSERT_TRUE(progress.RunEnded());
        EXPECT_TRUE(progress.RunSucceeded());
        EXPECT_EQ(Stored(), static_cast<int>(std::size(kNames)));
    }
};

TEST_F(EveryNameTest, TheEditorStoresTheChineseNamesAndRefusesTheLatinOne) {
    const QString badName = "姓名中只允许输入中文或者英文字母及数字，请重新输入!";
    for (const CarriedName& n : kNames) {
        SCOPED_TRACE(n.what);
        TCDialog_BuissnessCard editor(installation, *Window().Manager(), &Window());
        const auto field = [&](const char* name) { return editor.findChild<QLineEdit*>(name); };
        field("edt_name")->setText(QString::fromUtf8(n.name));
        field("edt_department")->setText("某单位 科长");
        field("edt_phone")->setText(n.mobile);
        editor.findChild<QDateEdit*>("dtp_DataBirthday")->setDate(QDate(1980, 1, 2));
        for (const auto& [box, text] :
             {std::pair{"cbb_sex", "男"}, {"cbb_education", "大学"}, {"cbb_type", "机关"}}) {
            ASSERT_TRUE(
                TCDialog_BuissnessCard::SelectComboText(editor.findChild<QComboBox*>(box), text));
        }
        ASSERT_EQ(editor.findChild<QComboBox*>("cbb_province")->currentText(), "北京市");
        MessageBoxes::ClearHistory();
        if (n.editorTakes) {
            EXPECT_TRUE(editor.SaveRecord());
            EXPECT_TRUE(MessageBoxes::History().empty());
            ExpectStored(n);
        } else {
            EXPECT_FALSE(editor.SaveRecord());
            ExpectOneMessage(MessageKind::Warning, "警告", badName, MessageButtons::Yes);
            EXPECT_EQ(StoredWithRawName(n.mobile).second, "");
        }
    }
}

TEST_F(EveryNameTest, TheStoreAndTheListHoldEachNameAndItsIdentifier) {
    StoreAll();
    for (const CarriedName& n : kNames) {
        SCOPED_TRACE(n.what);
        ExpectStored(n);
        ExpectListed(n);
    }
}

TEST_F(EveryNameTest, XlrdReadsEachNameInTheExportedWorkbook) {
    StoreAll();
    const std::filesystem::path workbook = ExportWorkbook();
    const QString python = SYSTEM_PYTHON3;
    if (!QFileInfo(python).isExecutable()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const ToolRun run =
        RunTool(python, {"-c", kXlrdRows, QString::fromStdString(workbook.string())});
    if (run.status == 77) {
        GTEST_SKIP() << "python3-xlrd is not installed";
    }
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> rows = SplitLines(run.out);
    EXPECT_EQ(rows.size(), std::size(kNames));
    for (const CarriedName& n : kNames) {
        SCOPED_TRACE(n.what);
        const std::string expected = Printed(n, kUser_Name);
        EXPECT_NE(std::find(rows.begin(), rows.end(), expected), rows.end())
            << expected << "\nxlrd read:\n"
            << run.out;
    }
}

TEST_F(EveryNameTest, AWorkbookExportedAndImportedBringsEachNameBack) {
    StoreAll();
    ImportIntoEmptyRegister(ExportWorkbook(), ImportKind::Spreadsheet);
    for (const CarriedName& n : kNames) {
        SCOPED_TRACE(n.what);
        ExpectStored(n);
        ExpectListed(n);
    }
}

TEST_F(EveryNameTest, QsecdumpReadsEachNameInTheExportedPackage) {
    StoreAll();
    const std::filesystem::path package = ExportPackage();
    const ToolRun run = RunTool(QSECDUMP, {QString::fromStdString(package.string()), kPassword});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> lines = SplitLines(run.out);
    ASSERT_FALSE(lines.empty());
    lines.erase(lines.begin()); // the entry's name
    EXPECT_EQ(lines.size(), std::size(kNames));
    for (const CarriedName& n : kNames) {
        SCOPED_TRACE(n.what);
        const std::string expected = Printed(n, kUI_ID);
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end())
            << expected << "\nqsecdump read:\n"
            << run.out;
    }
}

TEST_F(EveryNameTest, APackageExportedAndImportedBringsEachNameBack) {
    StoreAll();
    ImportIntoEmptyRegister(ExportPackage(), ImportKind::Package);
    for (const CarriedName& n : kNames) {
        SCOPED_TRACE(n.what);
        ExpectStored(n);
        ExpectListed(n);
    }
}

} // namespace
