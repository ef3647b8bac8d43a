#include "phonebook_fixture.h"
#include "ui/dialog_export.h"
#include "ui/file_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

namespace {

class ExportWindowTest : public PhoneBookTest {
protected:
    ExportWindowTest() {
        FileDialogs::Script({});
        FileDialogs::ClearHistory();
        AddRecords(25);
    }
    ~ExportWindowTest() override { FileDialogs::StopScripting(); }

    TCDialog_Export& Export() {
        if (!exportWindow) {
            exportWindow = std::make_unique<TCDialog_Export>(installation);
            exportWindow->SetAreaName(Gb18030("北京市"));
        }
        return *exportWindow;
    }
    template <typename T> T* Control(const char* name) {
        T* widget = Export().findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* Edit(const char* name) { return Control<QLineEdit>(name); }
    QPushButton* Button(const char* name) { return Control<QPushButton>(name); }

    void ChoosePackages(const QString& password) {
        QRadioButton* packages = Control<QRadioButton>("RadioButton2");
        QTest::mouseClick(packages, Qt::LeftButton);
        Edit("Edit2")->setText(password);
    }
    // Answers the save dialog with target (inside the test folder).
    void ChooseTarget(const std::string& name = "out/book") {
        target = dir / name;
        FileDialogs::Script(
            {FileDialogs::Answer::Files({QString::fromStdString(target.string())})});
        Export().SpeedButton1Click();
    }
    bool OnProgressPage() { return Control<QWidget>("Panel1")->isHidden(); }

    // The whole packages in the target's folder; nothing else may be there.
    int PackagesWritten() {
        int packages = 0;
        for (const auto& entry : std::filesystem::directory_iterator(target.parent_path())) {
            EXPECT_EQ(entry.path().extension(), ".qsec") << entry.path();
            EXPECT_EQ(entry.file_size() % 1024, 0u) << entry.path();
            ++packages;
        }
        return packages;
    }

    // Shows the window and starts a package export of ten records a file.
    void StartPackages(const std::string& name = "out/book") {
        Export().show();
        ChooseTarget(name);
        ChoosePackages("password");
        Edit("Edit1")->setText("10");
        Export().SpeedButton3Click();
        ASSERT_TRUE(Export().Running());
    }

    void WaitForTheEnd() {
        QSignalSpy ended(&Export(), &TCDialog_Export::exportEnded);
        if (Export().Outcome() == ExportOutcome::NotRun) {
            ASSERT_TRUE(ended.wait(10000));
        }
    }

    std::unique_ptr<TCDialog_Export> exportWindow;
    std::filesystem::path target;
};

TEST_F(ExportWindowTest, StartsOnTheSettingsPageWithExportDisabled) {
    Export().show();
    EXPECT_EQ(Export().windowTitle(), "导出通讯录");
    EXPECT_EQ(Export().size(), QSize(348, 343));
    EXPECT_EQ(Edit("Edit1")->text(), "5000");
    EXPECT_EQ(Edit("Edit1")->maxLength(), 6);
    EXPECT_TRUE(Control<QRadioButton>("RadioButton1")->isChecked());
    EXPECT_FALSE(Edit("Edit2")->isEnabled());
    EXPECT_EQ(Edit("Edit2")->maxLength(), 18);
    // Shown as dots until its eye is pressed in.
    EXPECT_EQ(Edit("Edit2")->echoMode(), QLineEdit::Password);
    EXPECT_NE(Edit("Edit2")->findChild<QObject*>("show_password"), nullptr);
    EXPECT_TRUE(Edit("Edit3")->isReadOnly());
    EXPECT_FALSE(Button("SpeedButton3")->isEnabled());
    EXPECT_FALSE(OnProgressPage());
    QTest::keyClicks(Edit("Edit1"), "x1");
    EXPECT_EQ(Edit("Edit1")->text(), "50001");
}

TEST_F(ExportWindowTest, TheSaveDialogOffersTheChosenFormatUnderThePresetName) {
    ChooseTarget();
    ChoosePackages("secret");
    ChooseTarget();
    const auto asked = FileDialogs::History();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].kind, FileDialogs::Asked::Kind::Save);
    EXPECT_EQ(asked[0].filters, (QStringList{".xls (*.xls)", ".xlsx (*.xlsx)"}));
    EXPECT_EQ(asked[1].filters, QStringList{".qsec (*.qsec)"});
    for (const auto& a : asked) {
        EXPECT_EQ(a.defaultName, "[北京市]note_template");
        EXPECT_EQ(a.defaultSuffix, "");
    }
    EXPECT_EQ(Edit("Edit3")->text().toStdString(), target.string());
    EXPECT_TRUE(Button("SpeedButton3")->isEnabled());
}

TEST_F(ExportWindowTest, TheXlsxTypeWritesXlsxFilesOfUpToAMillionRecords) {
    Export().show();
    EXPECT_EQ(Control<QLabel>("Label1")->text(), "取值范围在 10  -- 60000 之间");
    target = dir / "out" / "book";
    FileDialogs::Script({FileDialogs::Answer::Files({QString::fromStdString(target.string())}, 1)});
    Export().SpeedButton1Click();
    EXPECT_EQ(Control<QLabel>("Label1")->text(), "取值范围在 10  -- 1048573 之间");
    EXPECT_EQ(Edit("Edit1")->maxLength(), 7);
    Edit("Edit1")->setText("1048574");
    Export().SpeedButton3Click();
    ExpectOneMessage(MessageKind::Plain, "Quillon",
                     "您输入的单文件保护的最大记录条数有误，正确的输入值范围在10到1048573之间",
                     MessageButtons::Ok);
    // The package format keeps its own range; back on Excel the .xlsx one returns.
    ChoosePackages("password");
    EXPECT_EQ(Control<QLabel>("Label1")->text(), "取值范围在 10  -- 60000 之间");
    QTest::mouseClick(Control<QRadioButton>("RadioButton1"), Qt::LeftButton);
    EXPECT_EQ(Control<QLabel>("Label1")->text(), "取值范围在 10  -- 1048573 之间");
    Edit("Edit1")->setText("60001");
    Export().SpeedButton3Click();
    WaitForTheEnd();
    EXPECT_EQ(Export().Outcome(), ExportOutcome::Completed);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path())) {
        files.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(files, std::vector<std::string>{"book_1.xlsx"});
}

TEST_F(ExportWindowTest, ACancelledSaveDialogKeepsThePreviousTarget) {
    FileDialogs::Script({FileDialogs::Answer::Cancel()});
    Export().SpeedButton1Click();
    EXPECT_TRUE(Export().TargetName().isEmpty());
    EXPECT_FALSE(Button("SpeedButton3")->isEnabled());
    ChooseTarget();
    FileDialogs::Script({FileDialogs::Answer::Cancel()});
    Export().SpeedButton1Click();
    EXPECT_EQ(Export().TargetName().toStdString(), target.string());
    EXPECT_TRUE(Button("SpeedButton3")->isEnabled());
}

TEST_F(ExportWindowTest, PasswordsShorterThanSixBytesAreRefused) {
    const QString tooShort = "您输入的文件密码需要大于 6 位！";
    struct Case {
        const char* what;
        QString password;
        bool accepted;
    } const cases[] = {
        {"five bytes", "12345", false},
        {"blanks only", "        ", false},
        {"five bytes between blanks", "  12345  ", false},
        {"two Chinese characters and a letter", "密码a", false},
        {"three Chinese characters", "密码好", true},
        {"six bytes", "123456", true},
    };
    ChooseTarget();
    for (const Case& c : cases) {
        ChoosePackages(c.password);
        MessageBoxes::ClearHistory();
        if (c.accepted) {
            break; // the export starts: checked below with a fresh window
        }
        Export().SpeedButton3Click();
        ExpectOneMessage(MessageKind::Plain, "Quillon", tooShort, MessageButtons::Ok);
        EXPECT_FALSE(OnProgressPage()) << c.what;
    }
    for (const Case& c : cases) {
        if (!c.accepted) {
            continue;
        }
        exportWindow.reset();
        ChooseTarget(std::string("ok/") + (c.password.size() == 3 ? "cn" : "digits"));
        ChoosePackages(c.password);
        Export().SpeedButton3Click();
        EXPECT_TRUE(MessageBoxes::History().empty()) << c.what;
        WaitForTheEnd();
        EXPECT_EQ(Export().Outcome(), ExportOutcome::Completed) << c.what;
    }
}

TEST_F(ExportWindowTest, RecordsPerFileMustLieBetweenTenAndSixtyThousand) {
    const QString outOfRange =
        "您输入的单文件保护的最大记录条数有误，正确的输入值范围在10到60000之间";
    for (const char* refused : {"9", "60001", "0", "999999"}) {
        exportWindow.reset();
        ChooseTarget();
        ChoosePackages("password");
        Edit("Edit1")->setText(refused);
        MessageBoxes::ClearHistory();
        Export().SpeedButton3Click();
        ExpectOneMessage(MessageKind::Plain, "Quillon", outOfRange, MessageButtons::Ok);
        EXPECT_FALSE(OnProgressPage()) << refused;
    }
    struct Accepted {
        const char* typed;
        int files;
    } const accepted[] = {{"10", 3}, {"60000", 1}, {"", 1}};
    int run = 0;
    for (const Accepted& a : accepted) {
        exportWindow.reset();
        ChooseTarget("accepted" + std::to_string(run++) + "/book");
        ChoosePackages("password");
        Edit("Edit1")->setText(a.typed);
        Export().SpeedButton3Click();
        WaitForTheEnd();
        EXPECT_EQ(Export().Outcome(), ExportOutcome::Completed) << a.typed;
        int packages = 0;
        for (const auto& entry : std::filesystem::directory_iterator(target.parent_path())) {
            packages += entry.path().extension() == ".qsec";
        }
        EXPECT_EQ(packages, a.files) << a.typed;
    }
    EXPECT_EQ(Edit("Edit1")->text(), "5000");
}

TEST_F(ExportWindowTest, DoneComesWithTheWorkersEndAndDisablesFinish) {
    ChooseTarget();
    ChoosePackages("password");
    Edit("Edit1")->setText("10");
    Export().SpeedButton3Click();
    EXPECT_TRUE(OnProgressPage());
    EXPECT_TRUE(Button("SpeedButton5")->isEnabled());
    WaitForTheEnd();
    EXPECT_EQ(Control<QLabel>("Label3")->text(), "导出完成");
    EXPECT_FALSE(Button("SpeedButton4")->isEnabled());
    EXPECT_EQ(Control<QProgressBar>("ProgressBar1")->value(), 100);
    EXPECT_EQ(Control<QProgressBar>("ProgressBar2")->value(), 100);

    std::filesystem::path opened;
    const auto keep = DocumentOpenerInUse();
    DocumentOpenerInUse() = [&](const std::filesystem::path& folder) {
        opened = folder;
        return OpenDocumentResult{OpenedWith::Viewer, OpenError::None, {}};
    };
    Button("SpeedButton5")->click();
    DocumentOpenerInUse() = keep;
    EXPECT_EQ(opened, target.parent_path());
}

TEST_F(ExportWindowTest, AFailedExportNeverSaysDone) {
    // The target's folder is a file: the folder cannot be made.
    WriteFileBytes(dir / "blocked", "x");
    ChooseTarget("blocked/book");
    ChoosePackages("password");
    Export().SpeedButton3Click();
    WaitForTheEnd();
    EXPECT_EQ(Export().Outcome(), ExportOutcome::Failed);
    EXPECT_EQ(Control<QLabel>("Label3")->text(), "文件正在导出，请耐心等待");
    EXPECT_TRUE(Button("SpeedButton4")->isEnabled());
    ExpectOneMessage(MessageKind::Plain, "Quillon", "文件夹创建失败！", MessageButtons::Ok);

    struct Unreadable {
        const char* name;
        std::function<void()> spoil;
        MessageKind kind;
        QString text;
    } const unreadable[] = {
        {"an empty register",
         [this] {
             ContactStore store(installation.database, [this] { return clock(); });
             ASSERT_TRUE(store.OpenContactDatabase());
             ASSERT_TRUE(store.CurrentConnection()->Execute("delete from t_address_book;"));
         },
         MessageKind::Warning, "通讯录中没有数据，无法导出！"},
        {"a database that is no database",
         [this] { WriteFileBytes(installation.database, std::string(8192, 'Z')); },
         MessageKind::Error,
         "无法读取数据库：数据库文件已损坏，或不是本程序的数据库。\n(file is encrypted or is not a "
         "database)"},
    };
    for (const Unreadable& u : unreadable) {
        SCOPED_TRACE(u.name);
        u.spoil();
        exportWindow.reset();
        ChooseTarget(std::string("unreadable/") + u.name);
        ChoosePackages("password");
        MessageBoxes::ClearHistory();
        Export().SpeedButton3Click();
        WaitForTheEnd();
        EXPECT_EQ(Export().Outcome(), ExportOutcome::Failed);
        ExpectOneMessage(u.kind, MessageBoxes::TitleOf(u.kind), u.text, MessageButtons::Ok);
    }
    std::filesystem::remove(installation.database);
    ASSERT_TRUE(CreateSchema(installation.database));
    AddRecords(25);

    // A workbook's name is taken by a folder that cannot be replaced.
    std::filesystem::create_directories(dir / "taken" / "book_1.xls" / "x");
    exportWindow.reset();
    ChooseTarget("taken/book");
    Control<QRadioButton>("RadioButton1")->click();
    MessageBoxes::ClearHistory();
    Export().SpeedButton3Click();
    WaitForTheEnd();
    EXPECT_EQ(Export().Outcome(), ExportOutcome::Failed);
    ExpectOneMessage(
        MessageKind::Plain, "Error",
        "文件创建失败，请确保计算机有够的空间存放导出文件，并且选择一个空目录保存文件！",
        MessageButtons::Ok);
}

TEST_F(ExportWindowTest, TheSpreadsheetFormatWritesWorkbooksWithoutAPassword) {
    ChooseTarget();
    Edit("Edit1")->setText("10");
    Export().SpeedButton3Click();
    EXPECT_TRUE(OnProgressPage());
    WaitForTheEnd();
    EXPECT_EQ(Export().Outcome(), ExportOutcome::Completed);
    EXPECT_EQ(Control<QLabel>("Label3")->text(), "导出完成");
    for (int k = 1; k <= 3; ++k) {
        EXPECT_TRUE(std::filesystem::is_regular_file(NumberedOutputFile(target, k, ".xls"))) << k;
    }
    EXPECT_FALSE(std::filesystem::exists(NumberedOutputFile(target, 4, ".xls")));
    EXPECT_TRUE(MessageBoxes::History().empty());
}

TEST_F(ExportWindowTest, TheMainWindowOpensItWhenThereAreRecords) {
    Window();
    QTimer::singleShot(0, [] {
        auto* open = qobject_cast<TCDialog_Export*>(QApplication::activeModalWidget());
        ASSERT_NE(open, nullptr);
        EXPECT_EQ(open->parentWidget(), QApplication::activeModalWidget()->parentWidget());
        open->SpeedButton1Click(); // the script has no answer: a cancel
        open->SpeedButton2Click();
    });
    Click("btn_export");
    ASSERT_EQ(FileDialogs::History().size(), 1u);
    EXPECT_EQ(FileDialogs::History()[0].defaultName, "[全国]note_template");
}

} // namespace

namespace {

TEST_F(ExportWindowTest, ClosingWhileItRunsStopsTheWorkerAndLeavesOnlyWholePackages) {
    AddRecords(4000);
    ChooseTarget();
    ChoosePackages("password");
    Edit("Edit1")->setText("10");
    Export().SpeedButton3Click();
    ASSERT_TRUE(Export().Running());
    Export().close(); // joins the worker; it reports to nobody afterwards
    exportWindow.reset();
    QTest::qWait(20);
    PackagesWritten();
    EXPECT_TRUE(MessageBoxes::History().empty());
}

const QString kStopQuestion = "是否停止导出？";

// Every way the operator can close the window while the export runs.
struct CloseWay {
    const char* name;
    std::function<void(TCDialog_Export&)> close;
};
const CloseWay kCloseWays[] = {
    {"Escape", [](TCDialog_Export& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
    {"the close box", [](TCDialog_Export& w) { w.close(); }},
    {"the finish button",
     [](TCDialog_Export& w) { w.findChild<QPushButton*>("SpeedButton4")->click(); }},
};

TEST_F(ExportWindowTest, ClosingARunningExportAsksAndAYesSaysHowManyFilesWereWritten) {
    AddRecords(4000);
    int run = 0;
    for (const CloseWay& way : kCloseWays) {
        SCOPED_TRACE(way.name);
        exportWindow.reset();
        StartPackages("yes" + std::to_string(run++) + "/book");
        MessageBoxes::Script({MessageAnswer::Yes});
        MessageBoxes::ClearHistory();
        way.close(Export());
        EXPECT_FALSE(Export().isVisible());
        EXPECT_EQ(Export().Outcome(), ExportOutcome::Stopped);
        const int written = PackagesWritten();
        EXPECT_LT(written, 403);
        const auto shown = MessageBoxes::History();
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[0].kind, MessageKind::Confirmation);
        EXPECT_EQ(shown[0].title, "确认");
        EXPECT_EQ(shown[0].text, kStopQuestion);
        EXPECT_EQ(shown[0].buttons, MessageButtons::YesNo);
        EXPECT_EQ(shown[1].kind, MessageKind::Information);
        EXPECT_EQ(shown[1].text, QString("导出已停止，已写入 %1 个文件。").arg(written));
        EXPECT_EQ(shown[1].buttons, MessageButtons::Ok);
    }
}

TEST_F(ExportWindowTest, WhileTheQuestionIsOpenTheExportWaitsAndANoLetsItGoOn) {
    AddRecords(4000);
    for (const CloseWay& way : kCloseWays) {
        SCOPED_TRACE(way.name);
        exportWindow.reset();
        StartPackages(std::string("no ") + way.name + "/book");
        QTest::qWait(50);
        MessageBoxes::Script({MessageAnswer::No});
        MessageBoxes::ClearHistory();
        int whenAsked = -1;
        int afterAWhile = -1;
        MessageBoxes::WhileShown([&](const MessageBoxes::Shown& shown) {
            if (shown.text == kStopQuestion) {
                QTest::qWait(100); // the record under way when the question came goes out
                whenAsked = PackagesWritten();
                QTest::qWait(300);
                afterAWhile = PackagesWritten();
            }
        });
        way.close(Export());
        EXPECT_TRUE(Export().isVisible());
        EXPECT_GE(whenAsked, 0);
        EXPECT_EQ(afterAWhile, whenAsked);
        WaitForTheEnd();
        EXPECT_EQ(Export().Outcome(), ExportOutcome::Completed);
        EXPECT_EQ(PackagesWritten(), 403);
        ASSERT_EQ(MessageBoxes::History().size(), 1u);
        EXPECT_EQ(MessageBoxes::History()[0].text, kStopQuestion);
    }
}

// Another connection keeps the register locked: the worker waits in its first read, past
// any stop check, and fails when the wait runs out, while the question is open.
TEST_F(ExportWindowTest, AnEndThatComesWhileTheQuestionIsOpenIsShownAfterTheAnswer) {
    for (const MessageAnswer answer : {MessageAnswer::Yes, MessageAnswer::No}) {
        SCOPED_TRACE(answer == MessageAnswer::Yes ? "yes" : "no");
        StoreResult<Connection> other = Connection::Open(installation.database);
        ASSERT_TRUE(other.value().Execute("begin exclusive;"));
        exportWindow.reset();
        StartPackages(answer == MessageAnswer::Yes ? "yes/book" : "no/book");
        MessageBoxes::Script({answer});
        MessageBoxes::ClearHistory();
        std::size_t shownDuringTheQuestion = 0;
        MessageBoxes::WhileShown([&](const MessageBoxes::Shown& shown) {
            if (shown.text == kStopQuestion) {
                QTest::qWait(kBusyTimeoutMs + 700);
                shownDuringTheQuestion = MessageBoxes::History().size();
            }
        });
        Export().close();
        EXPECT_EQ(shownDuringTheQuestion, 1u);
        WaitForTheEnd();
        EXPECT_TRUE(other.value().Execute("rollback;"));
        EXPECT_EQ(Export().Outcome(), ExportOutcome::Failed);
        EXPECT_TRUE(Export().isVisible());
        const auto shown = MessageBoxes::History();
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[0].text, kStopQuestion);
        EXPECT_EQ(shown[1].kind, MessageKind::Error);
        EXPECT_EQ(shown[1].text, "无法读取数据库：数据库文件正被另一个程序使用，请稍后再试。\n"
                                 "(database is locked)");
        // The end is shown; closing now asks nothing.
        MessageBoxes::ClearHistory();
        Export().close();
        EXPECT_FALSE(Export().isVisible());
        EXPECT_TRUE(MessageBoxes::History().empty());
    }
}

} // namespace
