#include "phonebook_fixture.h"
#include "ui/dialog_export.h"
#include "ui/file_dialog.h"

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
            exportWindow->SetAreaName(Gbk("北京市"));
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
    EXPECT_EQ(Edit("Edit2")->echoMode(), QLineEdit::Normal);
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
    EXPECT_EQ(asked[0].filters, QStringList{".xls (*.xls)"});
    EXPECT_EQ(asked[1].filters, QStringList{".qsec (*.qsec)"});
    for (const auto& a : asked) {
        EXPECT_EQ(a.defaultName, "[北京市]note_template");
        EXPECT_EQ(a.defaultSuffix, "");
    }
    EXPECT_EQ(Edit("Edit3")->text().toStdString(), target.string());
    EXPECT_TRUE(Button("SpeedButton3")->isEnabled());
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
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path())) {
        EXPECT_EQ(entry.path().extension(), ".qsec") << entry.path();
        EXPECT_EQ(entry.file_size() % 1024, 0u) << entry.path();
    }
    EXPECT_TRUE(MessageBoxes::History().empty());
}

} // namespace
