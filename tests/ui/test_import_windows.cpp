#include "exchange/export/thread_export_02.h"
#include "exchange/worker.h"
#include "phonebook_fixture.h"
#include "ui/dialog_import.h"
#include "ui/dialog_import_mode.h"
#include "ui/file_dialog.h"
#include "ui/open_document.h"

#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

class ImportWindowTest : public PhoneBookTest {
protected:
    ~ImportWindowTest() override { FileDialogs::StopScripting(); }

    // Exports the register as it is into packages of perFile records, then empties it.
    std::vector<std::filesystem::path> MakePackages(int records, int perFile) {
        AddRecords(records);
        TCThread_Export_02 exporter;
        exporter.SetDatabase(installation.database);
        exporter.SetTargetName(dir / "packages" / "book");
        exporter.SetMaxPerFile(perFile);
        exporter.SetPassword("secret");
        {
            Worker worker;
            worker.Start([&](WorkerContext& context) { exporter.Execute(context); });
            worker.Join(); // destroying a running worker would stop it
        }
        EXPECT_EQ(exporter.Outcome(), ExportOutcome::Completed);
        StoreResult<Connection> db = Connection::Open(installation.database);
        EXPECT_TRUE(db.value().Execute("delete from t_address_book;"));
        std::vector<std::filesystem::path> files;
        for (int k = 1; k <= (records + perFile - 1) / perFile; ++k) {
            files.push_back(NumberedOutputFile(dir / "packages" / "book", k, ".qsec"));
        }
        return files;
    }

    int Stored() {
        int count = -1;
        StoreResult<Connection> db = Connection::Open(installation.database);
        db.value().Query("select count(*) from t_address_book",
                         [&](const std::vector<std::string>& row) { count = std::stoi(row[0]); });
        return count;
    }

    static QStringList Lines(const TCDialog_Import& window) {
        QStringList lines;
        const auto* list = window.findChild<QListWidget*>("lst_importInfor");
        for (int i = 0; i < list->count(); ++i) {
            lines << list->item(i)->text();
        }
        return lines;
    }

    static void WaitForTheEnd(const TCDialog_Import& window) {
        for (int i = 0; i < 1000 && !window.RunEnded(); ++i) {
            QTest::qWait(10);
        }
        ASSERT_TRUE(window.RunEnded());
    }

    ImportRequest Request(std::vector<std::filesystem::path> files, ImportMode mode,
                          const std::string& password = "secret") {
        return {std::move(files), ImportKind::Package, mode, password};
    }
};

TEST_F(ImportWindowTest, TheModeWindowAsksForAPasswordOnlyForPackages) {
    TCDialog_ImportMode mode(installation);
    EXPECT_EQ(mode.windowTitle(), "导入方式");
    EXPECT_TRUE(mode.findChild<QRadioButton*>("rb_append")->isChecked());
    auto* password = mode.findChild<QLineEdit*>("edt_pwd");
    EXPECT_FALSE(password->isEnabled());
    EXPECT_EQ(password->maxLength(), 18);
    EXPECT_EQ(password->accessibleName(), "密码");
    mode.SetData({"a.qsec"}, ImportKind::Package);
    EXPECT_TRUE(password->isEnabled());
    EXPECT_EQ(mode.findChild<QPushButton*>("btn_OK")->text(), "确   定");

    // No password: the warning, and the mode window stays without starting anything.
    mode.btn_OKClick();
    ExpectOneMessage(MessageKind::Warning, "警告", "请输入密码！", MessageButtons::Yes);
    EXPECT_EQ(mode.result(), QDialog::Rejected);
}

TEST_F(ImportWindowTest, TheModeWindowTakesEnterAndEscapeAndHidesThePassword) {
    TCDialog_ImportMode mode(installation);
    mode.SetData({"a.qsec"}, ImportKind::Package);
    mode.show();
    auto* password = mode.findChild<QLineEdit*>("edt_pwd");
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    auto* eye = password->findChild<QAction*>("show_password");
    ASSERT_NE(eye, nullptr);
    eye->trigger();
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
    eye->trigger();
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);

    // Enter in the box is 确定 (here: the password is asked for), Escape a cancel.
    EXPECT_TRUE(mode.findChild<QPushButton*>("btn_OK")->isDefault());
    password->setFocus();
    QTest::keyClick(password, Qt::Key_Return);
    ExpectOneMessage(MessageKind::Warning, "警告", "请输入密码！", MessageButtons::Yes);
    QTest::keyClick(password, Qt::Key_Escape);
    EXPECT_FALSE(mode.isVisible());
    EXPECT_EQ(mode.result(), QDialog::Rejected);
}

TEST_F(ImportWindowTest, AnImportFromTheMainWindowEndsWithTheListReloaded) {
    const auto files = MakePackages(25, 10);
    Window();
    EXPECT_EQ(CountLabel(), "共0条记录,每页200条");
    FileDialogs::Script({FileDialogs::Answer::Files({QString::fromStdString(files[0].string()),
                                                     QString::fromStdString(files[1].string()),
                                                     QString::fromStdString(files[2].string())},
                                                    1)});
    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto* mode = qobject_cast<TCDialog_ImportMode*>(QApplication::activeModalWidget());
        ASSERT_NE(mode, nullptr);
        mode->findChild<QLineEdit*>("edt_pwd")->setText("secret");
        QTimer::singleShot(0, [&] {
            auto* progress = qobject_cast<TCDialog_Import*>(QApplication::activeModalWidget());
            ASSERT_NE(progress, nullptr);
            EXPECT_EQ(progress->windowTitle(), "导入过程");
            WaitForTheEnd(*progress);
            shown = Lines(*progress);
            EXPECT_TRUE(progress->RunSucceeded());
            EXPECT_TRUE(progress->findChild<QPushButton*>("end")->isVisibleTo(progress));
            EXPECT_FALSE(progress->findChild<QPushButton*>("Button_Cancle")->isVisibleTo(progress));
            progress->EndClick();
        });
        mode->btn_OKClick();
    });
    Click("btn_import");
    EXPECT_EQ(shown, QStringList({"成功导入10行密文数据。", "成功导入10行密文数据。",
                                  "成功导入5行密文数据。"}));
    EXPECT_EQ(Stored(), 25);
    EXPECT_EQ(CountLabel(), "共25条记录,每页200条");
    EXPECT_EQ(List()->rowCount(), 25);
}

TEST_F(ImportWindowTest, AWrongPasswordIsAListLineAndTheFolderButtonOpensTheProgramFolder) {
    const auto files = MakePackages(5, 10);
    TCDialog_Import progress(installation, Request(files, ImportMode::Overwrite, "secret "));
    progress.show();
    WaitForTheEnd(progress);
    EXPECT_EQ(Lines(progress), QStringList{"输入密钥错误！"});
    EXPECT_FALSE(progress.RunSucceeded());
    EXPECT_EQ(Stored(), 0);

    std::filesystem::path opened;
    const auto keep = DocumentOpenerInUse();
    DocumentOpenerInUse() = [&](const std::filesystem::path& folder) {
        opened = folder;
        return OpenDocumentResult{OpenedWith::Viewer, OpenError::None, {}};
    };
    progress.findChild<QPushButton*>("btnOpen")->click();
    DocumentOpenerInUse() = keep;
    EXPECT_EQ(opened, installation.dir);
    EXPECT_FALSE(progress.isVisible());
}

TEST_F(ImportWindowTest, ACancelAnsweredNoChangesNothing) {
    const auto files = MakePackages(30, 10);
    MessageBoxes::Script({MessageAnswer::No});
    TCDialog_Import progress(installation, Request(files, ImportMode::Append));
    progress.show();
    progress.Button_CancleClick();
    WaitForTheEnd(progress);
    EXPECT_TRUE(progress.RunSucceeded());
    EXPECT_EQ(Stored(), 30);
}

TEST_F(ImportWindowTest, TheRunWaitsWhileTheCancelQuestionIsOpen) {
    const auto files = MakePackages(3000, 1000);
    MessageBoxes::Script({MessageAnswer::No});
    TCDialog_Import progress(installation, Request(files, ImportMode::Append));
    bool endedWhileAsked = true;
    int storedWhileAsked = -1;
    MessageBoxes::WhileShown([&](const MessageBoxes::Shown&) {
        // The operator takes a while to answer: nothing goes in meanwhile.
        const int before = Stored();
        QTest::qWait(400);
        storedWhileAsked = Stored() - before;
        endedWhileAsked = progress.RunEnded();
    });
    progress.show();
    progress.Button_CancleClick();
    EXPECT_EQ(storedWhileAsked, 0);
    EXPECT_FALSE(endedWhileAsked);
    WaitForTheEnd(progress); // 否: the run goes on where it waited
    EXPECT_TRUE(progress.RunSucceeded());
    EXPECT_EQ(Stored(), 3000);
}

TEST_F(ImportWindowTest, ACancelAnsweredYesSaysWhatWasTakenBackAndOffersDone) {
    const auto files = MakePackages(3000, 1000);
    MessageBoxes::Script({MessageAnswer::Yes});
    TCDialog_Import progress(installation, Request(files, ImportMode::Overwrite));
    progress.show();
    progress.Button_CancleClick();
    EXPECT_TRUE(progress.isVisible());
    EXPECT_TRUE(progress.RunEnded());
    EXPECT_TRUE(progress.findChild<QPushButton*>("end")->isVisibleTo(&progress));
    EXPECT_FALSE(progress.findChild<QPushButton*>("Button_Cancle")->isVisibleTo(&progress));
    const QString last = Lines(progress).last();
    EXPECT_TRUE(last.startsWith("已取消导入")) << last.toStdString();
    EXPECT_EQ(Stored() % 1000, 0);
    progress.EndClick();
    EXPECT_FALSE(progress.isVisible());
}

TEST_F(ImportWindowTest, ClosingWhileItRunsIsACancelThatLeavesNoHalfFile) {
    const auto files = MakePackages(3000, 1000);
    MessageBoxes::Script({MessageAnswer::Yes});
    {
        TCDialog_Import progress(installation, Request(files, ImportMode::Append));
        progress.show();
        progress.reject(); // the close box, or Escape
        const auto asked = MessageBoxes::History();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].text, "是否取消本次导入？");
        EXPECT_EQ(asked[0].title, "提示消息框");
        EXPECT_EQ(asked[0].buttons, MessageButtons::YesNo);
        // The file it was on has been taken back; the window stays to say so.
        EXPECT_TRUE(progress.RunEnded());
        EXPECT_TRUE(progress.isVisible());
        EXPECT_TRUE(Lines(progress).last().startsWith("已取消导入"));
    }
    EXPECT_EQ(Stored() % 1000, 0);
}

} // namespace

namespace {

// The kind of import follows the chosen files' names, not the filter entry left selected.
TEST_F(ImportWindowTest, TheChosenFilesNamesDecideTheKindAndAMixIsRefused) {
    Window();
    std::vector<bool> passwordAsked;
    const auto choose = [&](QStringList files, int filter) {
        FileDialogs::Script({FileDialogs::Answer::Files(std::move(files), filter)});
        QTimer::singleShot(0, [&] {
            if (auto* mode =
                    qobject_cast<TCDialog_ImportMode*>(QApplication::activeModalWidget())) {
                passwordAsked.push_back(mode->findChild<QLineEdit*>("edt_pwd")->isEnabled());
                mode->reject();
            }
        });
        Click("btn_import");
        FileDialogs::StopScripting();
    };
    choose({"/tmp/a.qsec", "/tmp/b.QSEC"}, 0);
    choose({"/tmp/a.xls", "/tmp/b.xlsx"}, 1);
    EXPECT_EQ(passwordAsked, (std::vector<bool>{true, false}));
    EXPECT_TRUE(Messages().empty());

    choose({"/tmp/a.xls", "/tmp/b.qsec"}, 0);
    EXPECT_EQ(passwordAsked.size(), 2u); // no mode window
    ExpectOneMessage(MessageKind::Warning, "警告",
                     "Excel文件和数据包文件不能一起导入，请分开选择！", MessageButtons::Ok);
}

} // namespace
