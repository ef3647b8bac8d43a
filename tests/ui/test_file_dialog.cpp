#include "exchange/template.h"
#include "support/temp_dir.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Sets (or clears) an environment variable for one test and puts it back afterwards.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~EnvVar() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

class FileDialogTest : public ::testing::Test {
protected:
    FileDialogTest() {
        FileDialogs::ForgetLastFolder();
        FileDialogs::ClearHistory();
        FileDialogs::Script({});
    }
    ~FileDialogTest() override {
        FileDialogs::StopScripting();
        FileDialogs::ForgetLastFolder();
    }
    TempDir dir;
};

TEST_F(FileDialogTest, ScriptedAnswersAreReturnedAndEveryQuestionIsRecorded) {
    FileDialogs::Script({FileDialogs::Answer::Files({"/tmp/a.xls", "/tmp/b.xlsx"}, 1),
                         FileDialogs::Answer::Files({"/tmp/out.xls"})});
    int filter = -5;
    const QStringList chosen = FileDialogs::GetOpenFileNames(
        nullptr, "导入", "Excel 文件 (*.xls);;Excel 2007 (*.xlsx)", &filter);
    EXPECT_EQ(chosen, (QStringList{"/tmp/a.xls", "/tmp/b.xlsx"}));
    EXPECT_EQ(filter, 1);
    EXPECT_EQ(FileDialogs::GetSaveFileName(nullptr, "导出模板", "模板.xls", "xls", "Excel (*.xls)"),
              "/tmp/out.xls");

    const auto& asked = FileDialogs::History();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].kind, FileDialogs::Asked::Kind::Open);
    EXPECT_EQ(asked[0].title, "导入");
    EXPECT_EQ(asked[0].filters, (QStringList{"Excel 文件 (*.xls)", "Excel 2007 (*.xlsx)"}));
    EXPECT_EQ(asked[1].kind, FileDialogs::Asked::Kind::Save);
    EXPECT_EQ(asked[1].defaultName, "模板.xls");
    EXPECT_EQ(asked[1].defaultSuffix, "xls");
}

TEST_F(FileDialogTest, CancelAndAnExhaustedScriptReturnNothing) {
    FileDialogs::Script({FileDialogs::Answer::Cancel()});
    int filter = 3;
    EXPECT_TRUE(FileDialogs::GetOpenFileNames(nullptr, "t", "*", &filter).isEmpty());
    EXPECT_EQ(filter, -1);
    EXPECT_TRUE(FileDialogs::GetSaveFileName(nullptr, "t", "x", "xls", "*").isEmpty());
    EXPECT_EQ(FileDialogs::History().size(), 2u);
    // A cancel does not move the next dialog's folder.
    EXPECT_EQ(FileDialogs::StartFolder(), FileDialogs::HomeOfInvoker());
}

TEST_F(FileDialogTest, UnderPkexecTheDialogOpensInTheInvokingUsersHome) {
    EnvVar pkexec("PKEXEC_UID", "0");
    EnvVar home("HOME", dir.path().c_str());
    EXPECT_EQ(FileDialogs::HomeOfInvoker(), "/root");
    FileDialogs::GetOpenFileNames(nullptr, "t", "*");
    EXPECT_EQ(FileDialogs::History().back().folder, "/root");
}

TEST_F(FileDialogTest, WithoutPkexecOrWithAnUnusableUidTheHomeVariableCounts) {
    const QString expected = QString::fromStdString(dir.path().string());
    EnvVar home("HOME", dir.path().c_str());
    {
        EnvVar pkexec("PKEXEC_UID", nullptr);
        EXPECT_EQ(FileDialogs::HomeOfInvoker(), expected);
    }
    for (const char* bad : {"", "abc", "-1", "0x0", "12junk"}) {
        EnvVar pkexec("PKEXEC_UID", bad);
        EXPECT_EQ(FileDialogs::HomeOfInvoker(), expected) << "PKEXEC_UID=" << bad;
    }
}

TEST_F(FileDialogTest, WithoutHomeThePasswdEntryCounts) {
    EnvVar pkexec("PKEXEC_UID", nullptr);
    EnvVar home("HOME", nullptr);
    EXPECT_FALSE(FileDialogs::HomeOfInvoker().isEmpty());
    EXPECT_TRUE(QFileInfo(FileDialogs::HomeOfInvoker()).isAbsolute());
}

TEST_F(FileDialogTest, TheNextDialogOpensInTheFolderUsedLast) {
    const QString folder = QString::fromStdString(dir.path().string());
    QDir(folder).mkpath("sub");
    FileDialogs::Script(
        {FileDialogs::Answer::Files({folder + "/sub/list.xls"}), FileDialogs::Answer::Cancel()});
    FileDialogs::GetOpenFileNames(nullptr, "t", "*");
    EXPECT_EQ(FileDialogs::StartFolder(), folder + "/sub");
    FileDialogs::GetSaveFileName(nullptr, "t", "x", "xls", "*");
    EXPECT_EQ(FileDialogs::History().back().folder, folder + "/sub");
    // A folder that has gone since falls back to the home folder.
    QDir(folder + "/sub").removeRecursively();
    EXPECT_EQ(FileDialogs::StartFolder(), FileDialogs::HomeOfInvoker());
}

// The dialog is Qt's own, in Chinese, and its date column shows whole Chinese dates.
TEST_F(FileDialogTest, TheDialogSpeaksChineseAndShowsWholeDates) {
    const QString folder = QString::fromStdString(dir.path().string());
    QDir(folder).mkpath("子目录");
    QFile(folder + "/a.xls").open(QIODevice::WriteOnly);
    FileDialogs::Script({FileDialogs::Answer::Files({folder + "/a.xls"})});
    FileDialogs::GetOpenFileNames(nullptr, "t", "*");

    auto dialog = FileDialogs::Build(nullptr, "导入", "Excel 文件 (*.xls)");
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    dialog->setViewMode(QFileDialog::Detail);
    dialog->show();
    auto* view = dialog->findChild<QTreeView*>("treeView");
    ASSERT_NE(view, nullptr);
    QAbstractItemModel* model = view->model();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(view->rootIndex()) == 2; }, 5000));
    QTest::qWait(100);
    QString folderType, date, size;
    for (int row = 0; row < 2; ++row) {
        const QModelIndex name = model->index(row, 0, view->rootIndex());
        if (name.data().toString() == "子目录") {
            folderType = model->index(row, 2, view->rootIndex()).data().toString();
            date = model->index(row, 3, view->rootIndex()).data().toString();
        } else {
            size = model->index(row, 1, view->rootIndex()).data().toString();
        }
    }
    EXPECT_EQ(folderType, "文件夹");
    EXPECT_FALSE(size.contains("bytes")) << size.toStdString();
    EXPECT_TRUE(date.contains(QString::number(QDate::currentDate().year()))) << date.toStdString();
    EXPECT_GE(view->header()->sectionSize(3), view->fontMetrics().horizontalAdvance(date) + 10);
    // Qt's own texts come from its Chinese catalogue.
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "名称");
    if (const char* shot = std::getenv("QUILLON_FILE_DIALOG_PNG")) {
        dialog->grab().save(shot);
    }
}

TEST_F(FileDialogTest, TheTemplateIsSavedInTheTypeChosenUnlessItsNameSaysOtherwise) {
    MessageBoxes::Script({});
    MessageBoxes::ClearHistory();
    const auto asXlsx = dir / "form.xlsx";
    const auto xlsNamed = dir / "named.xls";
    const auto bare = dir / "bare";
    FileDialogs::Script(
        {FileDialogs::Answer::Files({QString::fromStdString(asXlsx.string())}, 1),
         FileDialogs::Answer::Files({QString::fromStdString(xlsNamed.string())}, 1),
         FileDialogs::Answer::Files({QString::fromStdString(bare.string())}, 1),
         FileDialogs::Answer::Files(
             {QString::fromStdString((dir / "missing" / "form.xlsx").string())}, 1)});
    for (int i = 0; i < 4; ++i) {
        ExportSpreadsheetTemplate(nullptr);
    }
    ASSERT_EQ(FileDialogs::History().size(), 4u);
    EXPECT_EQ(FileDialogs::History()[0].filters, (QStringList{".xls (*.xls)", ".xlsx (*.xlsx)"}));
    EXPECT_EQ(FileDialogs::History()[0].defaultSuffix, "xls");
    const auto head = [](const std::filesystem::path& file) {
        QFile in(QString::fromStdString(file.string()));
        return in.open(QIODevice::ReadOnly) ? in.read(4) : QByteArray();
    };
    EXPECT_EQ(head(asXlsx), QByteArray("PK\x03\x04"));
    EXPECT_EQ(head(bare), QByteArray("PK\x03\x04"));
    const auto xls = quillon::SpreadsheetTemplateBytes();
    EXPECT_EQ(QFileInfo(QString::fromStdString(xlsNamed.string())).size(),
              static_cast<qint64>(xls.size()));
    const auto shown = MessageBoxes::History();
    ASSERT_EQ(shown.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(shown[i].text, "导出模版成功!");
    }
    EXPECT_EQ(shown[3].text, "文件正在使用中，请先关闭您要保存的文件!");
    MessageBoxes::ClearHistory();
}
