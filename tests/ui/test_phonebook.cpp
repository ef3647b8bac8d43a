#include "crypto/my_md5.h"
#include "exchange/template.h"
#include "phonebook_fixture.h"
#include "store/damage.h"
#include "ui/store_messages.h"

#include "ui/file_dialog.h"
#include <QAbstractButton>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

namespace {

TEST_F(PhoneBookTest, AnEmptyRegisterShowsOnePageAndNoRecords) {
    Window();
    // One family throughout: the list and the count label take the window's.
    EXPECT_EQ(List()->font().family(), Window().font().family());
    EXPECT_EQ(Find<QLabel>("lbl_items")->font().family(), Window().font().family());
    EXPECT_TRUE(Window().isVisible());
    EXPECT_EQ(PageLabel(), "1/1");
    EXPECT_EQ(CountLabel(), "共0条记录,每页200条");
    EXPECT_EQ(List()->rowCount(), 0);
    EXPECT_EQ(List()->columnCount(), 12);
    EXPECT_EQ(List()->horizontalHeaderItem(11)->text(), "操作");
}

TEST_F(PhoneBookTest, TwoHundredRecordsMakeOnePageAndOneMoreMakesTwo) {
    AddRecords(200);
    Window();
    EXPECT_EQ(PageLabel(), "1/1");
    EXPECT_EQ(List()->rowCount(), 200);
    EXPECT_EQ(Name(0), "N199"); // newest first
    EXPECT_EQ(List()->item(0, 11)->text(), "修 改");

    AddRecords(1);
    Click("btn_first");
    EXPECT_EQ(PageLabel(), "1/2");
    EXPECT_EQ(CountLabel(), "共201条记录,每页200条");
    Click("btn_next");
    EXPECT_EQ(PageLabel(), "2/2");
    ASSERT_EQ(List()->rowCount(), 1);
    EXPECT_EQ(Name(0), "N0");
    Click("btn_next");
    EXPECT_EQ(PageLabel(), "2/2");
    Click("btn_front");
    EXPECT_EQ(PageLabel(), "1/2");
    Click("btn_front");
    EXPECT_EQ(PageLabel(), "1/2");
}

TEST_F(PhoneBookTest, PageTurnsCountTheRegisterOnlyOnceItChanged) {
    AddRecords(450);
    Window();
    const int counts = Window().Manager()->CountsTaken();
    Click("btn_next");
    Click("btn_last");
    Click("btn_front");
    Click("btn_first");
    GoTo("3");
    EXPECT_EQ(PageLabel(), "3/3");
    EXPECT_EQ(Window().Manager()->CountsTaken(), counts);

    AddRecords(200); // on a connection of its own, as an import adds them
    Click("btn_front");
    EXPECT_EQ(Window().Manager()->CountsTaken(), counts + 1);
    EXPECT_EQ(CountLabel(), "共650条记录,每页200条");
    EXPECT_EQ(PageLabel(), "2/4");
    EXPECT_EQ(Name(0), "N449");
}

TEST_F(PhoneBookTest, GoToPageIgnoresPagesThatDoNotExist) {
    AddRecords(450);
    Window();
    GoTo("3");
    EXPECT_EQ(PageLabel(), "3/3");
    ASSERT_EQ(List()->rowCount(), 50);
    EXPECT_EQ(Name(0), "N49");
    EXPECT_EQ(Name(49), "N0");
    // The page edit takes digits only, at most five.
    auto* edit = Find<QLineEdit>("edt_specailPage");
    edit->clear();
    QTest::keyClicks(edit, "1x2345678");
    EXPECT_EQ(edit->text(), "12345");
}

struct RejectedPage {
    const char* name;
    const char* text;
};

class PageBoxTest : public PhoneBookTest, public ::testing::WithParamInterface<RejectedPage> {};

TEST_P(PageBoxTest, ARejectedPageChangesNothing) {
    AddRecords(450);
    Window();
    GoTo("3");
    GoTo(GetParam().text);
    EXPECT_EQ(PageLabel(), "3/3");
    EXPECT_EQ(List()->rowCount(), 50);
    // A number with no page says so and is selected, so the next one typed replaces it.
    const QString number = GetParam().text;
    if (number == "0" || number == "4") {
        ExpectOneMessage(MessageKind::Warning, "警告", QString("第%1页不存在，共3页。").arg(number),
                         MessageButtons::Ok);
        EXPECT_EQ(Find<QLineEdit>("edt_specailPage")->selectedText(), number);
    } else {
        EXPECT_TRUE(Messages().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Rejected, PageBoxTest,
                         ::testing::Values(RejectedPage{"Zero", "0"},
                                           RejectedPage{"PastTheLast", "4"},
                                           RejectedPage{"Empty", ""}, RejectedPage{"Letter", "a"},
                                           RejectedPage{"DigitAndLetter", "2a"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PhoneBookTest, LastPageOnTheLastPageDoesNotRecount) {
    AddRecords(450);
    Window();
    Click("btn_last");
    EXPECT_EQ(PageLabel(), "3/3");
    AddRecords(200);
    Click("btn_last");
    EXPECT_EQ(CountLabel(), "共450条记录,每页200条");
    Click("btn_front");
    EXPECT_EQ(CountLabel(), "共650条记录,每页200条");
    EXPECT_EQ(PageLabel(), "2/4");
    Click("btn_last");
    EXPECT_EQ(PageLabel(), "4/4");
}

TEST_F(PhoneBookTest, CheckAllFollowsTheRowsAndDrivesThem) {
    AddRecords(3);
    Window();
    auto* checkAll = Find<QCheckBox>("check_all");
    ContactListManager* manager = Window().Manager();
    ClickCell(0, 2);
    ClickCell(2, 5);
    EXPECT_FALSE(checkAll->isChecked());
    ClickCell(1, 9);
    EXPECT_TRUE(checkAll->isChecked()); // the last unchecked row was checked
    EXPECT_EQ(manager->CheckedRows().size(), 3u);
    ClickCell(2, 1);
    EXPECT_FALSE(checkAll->isChecked());
    EXPECT_EQ(List()->item(0, 0)->checkState(), Qt::Checked);
    EXPECT_EQ(List()->item(1, 0)->checkState(), Qt::Checked);
    EXPECT_EQ(List()->item(2, 0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(manager->CheckedRows().size(), 2u);

    QTest::mouseClick(checkAll, Qt::LeftButton);
    EXPECT_TRUE(checkAll->isChecked());
    EXPECT_EQ(manager->CheckedRows().size(), 3u);
    QTest::mouseClick(checkAll, Qt::LeftButton);
    EXPECT_FALSE(checkAll->isChecked());
    EXPECT_TRUE(manager->CheckedRows().empty());
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(List()->item(row, 0)->checkState(), Qt::Unchecked);
    }
    // Reloading the page forgets every mark.
    ClickCell(0, 3);
    Click("btn_first");
    EXPECT_TRUE(manager->CheckedRows().empty());
}

TEST_F(PhoneBookTest, EvenRowsAreYellow) {
    AddRecords(3);
    Window();
    EXPECT_EQ(List()->item(0, 4)->background().color(), QColor(255, 255, 0));
    EXPECT_EQ(List()->item(1, 4)->background().style(), Qt::NoBrush);
    EXPECT_EQ(List()->item(2, 0)->background().color(), QColor(255, 255, 0));
}

TEST_F(PhoneBookTest, AddingOnAFullPageDropsTheTwoHundredthRow) {
    AddRecords(201);
    Window();
    ContactRecord record;
    record[kUser_Name] = Gb18030("新人");
    record[kMobile_NO] = "13900000000";
    record[kProvince] = Gb18030("天津市");
    ASSERT_TRUE(Window().Manager()->AddContact(record));
    ASSERT_EQ(List()->rowCount(), 200);
    EXPECT_EQ(Name(0), "新人");
    EXPECT_EQ(Name(1), "N200");
    EXPECT_EQ(Name(199), "N2");
    EXPECT_EQ(List()->item(0, 0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(List()->item(1, 4)->background().style(), Qt::NoBrush);
}

TEST_F(PhoneBookTest, DeletingNothingCheckedOnlyWarns) {
    AddRecords(3);
    Window();
    Click("btn_delete");
    EXPECT_EQ(Window().DeletionWorker(), nullptr);
    ExpectOneMessage(MessageKind::Warning, "警告", "请选择要删除的数据！", MessageButtons::Yes);
}

TEST_F(PhoneBookTest, DeletingCheckedRowsOnPageTwoReloadsPageTwo) {
    AddRecords(450);
    Window();
    Click("btn_next");
    ClickCell(0, 1);
    ClickCell(5, 1);
    ClickCell(199, 1);
    const QString survivor = Name(1);
    // Cancelling the question deletes nothing.
    MessageBoxes::Script({MessageAnswer::Cancel});
    Click("btn_delete");
    EXPECT_EQ(Window().DeletionWorker(), nullptr);
    MessageBoxes::ClearHistory();

    // While it runs the hourglass shows over the whole window.
    std::vector<int> cursors;
    auto* watcher = new QObject(&Window());
    struct CursorWatch : QObject {
        std::vector<int>& seen;
        CursorWatch(std::vector<int>& s, QObject* parent) : QObject(parent), seen(s) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::EnabledChange) {
                const QCursor* cursor = QGuiApplication::overrideCursor();
                seen.push_back(cursor ? cursor->shape() : -1);
            }
            return false;
        }
    };
    Find<QWidget>("pnl_tool")->installEventFilter(new CursorWatch(cursors, watcher));
    MessageBoxes::Script({MessageAnswer::Ok});
    DeleteChecked();
    EXPECT_EQ(cursors, (std::vector<int>{Qt::WaitCursor, Qt::WaitCursor}));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    const auto shown = Messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "确定要删除选择的数据吗？\n将删除3条记录。");
    EXPECT_EQ(shown[0].defaultAnswer, MessageAnswer::Cancel); // Enter keeps the records
    EXPECT_EQ(shown[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(shown[1].text, "删除成功！");
    EXPECT_EQ(shown[1].title, "信息");
    EXPECT_EQ(PageLabel(), "2/3");
    EXPECT_EQ(CountLabel(), "共447条记录,每页200条");
    EXPECT_EQ(Name(0), survivor);
    EXPECT_TRUE(Find<QWidget>("Panel2")->isEnabled());
    EXPECT_TRUE(List()->isEnabled());
    EXPECT_EQ(Find<QProgressBar>("pb_my")->value(), 0);
}

TEST_F(PhoneBookTest, DeletingAllRowsOfTheLastPageShowsTheNewLastPage) {
    AddRecords(450);
    Window();
    Click("btn_last");
    QTest::mouseClick(Find<QCheckBox>("check_all"), Qt::LeftButton);
    MessageBoxes::Script({MessageAnswer::Ok});
    DeleteChecked();
    EXPECT_EQ(PageLabel(), "2/2");
    ASSERT_EQ(List()->rowCount(), 200);
    EXPECT_EQ(Name(0), "N249");
    EXPECT_EQ(CountLabel(), "共400条记录,每页200条");
    EXPECT_EQ(Messages().back().text, "删除成功！");
}

TEST_F(PhoneBookTest, AFailedDeletionIsReportedAndTheRowsComeBack) {
    AddRecords(5);
    Window();
    ClickCell(1, 1);
    // The database can no longer be opened.
    const auto moved = dir / "mydb.away";
    std::filesystem::rename(installation.database, moved);
    std::filesystem::create_directory(installation.database);
    MessageBoxes::Script({MessageAnswer::Ok});
    DeleteChecked();
    EXPECT_EQ(Messages().back().text, "删除失败!");
    EXPECT_EQ(Messages().back().title, "错误");
    EXPECT_TRUE(List()->isEnabled());
    // What is on screen is still what the table holds, and nothing is left checked unseen.
    ASSERT_EQ(List()->rowCount(), 5);
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(List()->item(row, 0)->checkState(), Qt::Unchecked) << row;
    }
    EXPECT_TRUE(Window().Manager()->CheckedRows().empty());
    EXPECT_FALSE(Find<QCheckBox>("check_all")->isChecked());
    MessageBoxes::ClearHistory();
    Click("btn_delete");
    ExpectOneMessage(MessageKind::Warning, "警告", "请选择要删除的数据！", MessageButtons::Yes);

    std::filesystem::remove(installation.database);
    std::filesystem::rename(moved, installation.database);
    Click("btn_first");
    EXPECT_EQ(List()->rowCount(), 5);
}

TEST_F(PhoneBookTest, DeleteAllEmptiesTheRegisterOfEveryProvince) {
    AddRecords(5);
    AddRecords(5, Gb18030("天津市"));
    CurrentLoginArea() = {"110000", Gb18030("北京市")};
    Window();
    EXPECT_EQ(CountLabel(), "共5条记录,每页200条");
    MessageBoxes::Script({MessageAnswer::Cancel});
    Click("btn_deleteAll");
    EXPECT_EQ(List()->rowCount(), 5);
    MessageBoxes::ClearHistory();

    MessageBoxes::Script({MessageAnswer::Ok});
    Click("btn_deleteAll");
    const auto shown = Messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "该操作会删除您通讯录中的所有数据，且无法恢复，您确认删除吗？");
    EXPECT_EQ(shown[1].text, "全部删除成功！");
    EXPECT_EQ(shown[1].buttons, MessageButtons::Yes);
    EXPECT_EQ(List()->rowCount(), 0);
    EXPECT_EQ(PageLabel(), "1/1");
    EXPECT_EQ(
        ContactStore(installation.database).CountContactsForExport(Gb18030("全国")).value_or(-1),
        0);
}

TEST_F(PhoneBookTest, ExportNeedsRecordsOfTheLoginArea) {
    AddRecords(3, Gb18030("北京市"));
    CurrentLoginArea() = {"130000", Gb18030("河北省")};
    Window();
    Click("btn_export");
    ExpectOneMessage(MessageKind::Warning, "警告", "通讯录中没有数据，无法导出！",
                     MessageButtons::Ok);
}

TEST_F(PhoneBookTest, TheTemplateIsSavedWithTheXlsExtensionAndExactBytes) {
    const auto target = dir / "form";
    std::filesystem::path expected = target;
    expected += ".xls";
    WriteFileBytes(expected, std::string(100000, 'x')); // longer: must be truncated
    // The dialog is asked for the ".xls" it adds to a name typed without one.
    FileDialogs::Script({FileDialogs::Answer::Files({QString::fromStdString(expected.string())})});
    Click("btn_exportTemplate");
    FileDialogs::StopScripting();
    ASSERT_EQ(FileDialogs::History().size(), 1u);
    EXPECT_EQ(FileDialogs::History()[0].title, "导出通讯录");
    EXPECT_EQ(FileDialogs::History()[0].defaultName, "手机号码采集统计表模板");
    EXPECT_EQ(FileDialogs::History()[0].defaultSuffix, "xls");
    EXPECT_EQ(FileDialogs::History()[0].filters, (QStringList{".xls (*.xls)", ".xlsx (*.xlsx)"}));
    FileDialogs::ClearHistory();
    ExpectOneMessage(MessageKind::Information, "信息", "导出模版成功!", MessageButtons::Yes);
    const auto bytes = quillon::SpreadsheetTemplateBytes();
    EXPECT_EQ(ReadFileBytes(expected), std::string(bytes.begin(), bytes.end()));
}

TEST_F(PhoneBookTest, TheImportDialogOffersWorkbooksAndPackages) {
    Window();
    FileDialogs::Script({FileDialogs::Answer::Cancel()});
    Click("btn_import");
    FileDialogs::StopScripting();
    ASSERT_EQ(FileDialogs::History().size(), 1u);
    EXPECT_EQ(FileDialogs::History()[0].kind, FileDialogs::Asked::Kind::Open);
    EXPECT_EQ(FileDialogs::History()[0].title, "导入通讯录");
    EXPECT_EQ(FileDialogs::History()[0].filters,
              (QStringList{".xls (*.xls *.xlsx)", ".qsec (*.qsec)"}));
    FileDialogs::ClearHistory();
    EXPECT_TRUE(Messages().empty());
}

TEST_F(PhoneBookTest, TestDataAddsOneRowAndRefusesTheRest) {
    Window();
    Window().btn_TestDataClick();
    const auto shown = Messages();
    ASSERT_EQ(shown.size(), 400u);
    EXPECT_EQ(shown.back().text, "存在姓名和手机号相同的记录，请重新输入！");
    EXPECT_EQ(List()->rowCount(), 1);
    EXPECT_EQ(Name(0), "ABC");
    Click("btn_first");
    EXPECT_EQ(List()->item(0, 3)->text(), ""); // "2015.5.5" is no date: stored empty
}

TEST_F(PhoneBookTest, ImportFinishedReloadsPageOneWithFreshLabels) {
    AddRecords(250);
    Window();
    Click("btn_next");
    AddRecords(300);
    Window().OnImportFinished(0);
    EXPECT_EQ(PageLabel(), "1/3");
    EXPECT_EQ(CountLabel(), "共550条记录,每页200条");
    EXPECT_EQ(Name(0), "N549");
}

TEST_F(PhoneBookTest, WindowCommandsHelpExitAndSize) {
    std::filesystem::path opened;
    const auto keep = TCDialog_PhoneBook::OpenDocument();
    TCDialog_PhoneBook::OpenDocument() = [&](const std::filesystem::path& file) {
        opened = file;
        return OpenDocumentResult{OpenedWith::Viewer, OpenError::None, {}};
    };
    Click("btn_help");
    EXPECT_EQ(opened, installation.help);
    EXPECT_TRUE(Messages().empty());
    // Nothing could open it: the operator is told, instead of nothing happening.
    TCDialog_PhoneBook::OpenDocument() = [&](const std::filesystem::path&) {
        return OpenDocumentResult{OpenedWith::Nothing, OpenError::NoProgram, "xchm"};
    };
    Click("btn_help");
    TCDialog_PhoneBook::OpenDocument() = keep;
    ExpectOneMessage(MessageKind::Error, "错误",
                     "无法打开帮助文件：" + QString::fromStdString(installation.help.string()),
                     MessageButtons::Yes);

    Window().resize(100, 100);
    EXPECT_GE(Window().width(), 600);
    EXPECT_GE(Window().height(), 400);

    MessageBoxes::Script({MessageAnswer::Cancel});
    Click("btn_exit");
    EXPECT_TRUE(Window().isVisible());
    ExpectOneMessage(MessageKind::Warning, "警告", "确认退出系统吗？", MessageButtons::OkCancel);
    MessageBoxes::Script({MessageAnswer::Ok});
    Click("btn_exit");
    EXPECT_FALSE(Window().isVisible());
}

TEST_F(PhoneBookTest, ADamagedDatabaseIsReportedNotShownAsAnEmptyRegister) {
    AddRecords(450);
    Window();
    GoTo("2");
    DamagePagesAfterTheFirst(installation.database);
    MessageBoxes::ClearHistory();
    Click("btn_next");
    // One box naming the reason; the labels and the page shown stay as they were.
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].kind, MessageKind::Error);
    EXPECT_EQ(Messages()[0].title, "错误");
    EXPECT_TRUE(Messages()[0].text.startsWith("无法读取数据库："))
        << Messages()[0].text.toStdString();
    EXPECT_EQ(PageLabel(), "2/3");
    EXPECT_EQ(CountLabel(), "共450条记录,每页200条");
    EXPECT_EQ(List()->rowCount(), 200);

    // The export does not claim the register is empty either.
    MessageBoxes::ClearHistory();
    Click("btn_export");
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_TRUE(Messages()[0].text.startsWith("无法读取数据库："));
}

TEST_F(PhoneBookTest, AStartUpThatCannotPrepareTheTablesSaysSoWithoutAnIcon) {
    EXPECT_TRUE(PrepareDatabaseTables(installation.database));
    EXPECT_TRUE(Messages().empty());
    std::filesystem::remove(installation.database);
    std::filesystem::create_directory(installation.database); // cannot be opened at all
    EXPECT_FALSE(PrepareDatabaseTables(installation.database));
    ExpectOneMessage(MessageKind::Plain, "提示", "数据库表打开(创建)失败！",
                     MessageButtons::AbortRetryIgnore);
}

TEST_F(PhoneBookTest, AnEventHandlerThatThrowsIsReportedAndTheProgramGoesOn) {
    struct Throwing : QObject {
        bool event(QEvent*) override { throw std::runtime_error("boom"); }
    } throwing;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&throwing, &event));
    ExpectOneMessage(MessageKind::Error, "Quillon", "boom", MessageButtons::Ok);
}

TEST_F(PhoneBookTest, TheKeyboardWorksTheListAndThePageBox) {
    AddRecords(450);
    Window();
    // Space toggles the selected row's mark, as a click on the row does.
    List()->setCurrentCell(2, 4);
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Space);
    EXPECT_EQ(List()->item(2, 0)->checkState(), Qt::Checked);
    EXPECT_EQ(Window().Manager()->CheckedRows().size(), 1u);
    QTest::keyClick(List(), Qt::Key_Space);
    EXPECT_EQ(List()->item(2, 0)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(Window().Manager()->CheckedRows().empty());

    // Enter in the page box goes to the page typed, and a new page starts at its first row.
    List()->scrollToBottom();
    auto* edit = Find<QLineEdit>("edt_specailPage");
    edit->setText("2");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(PageLabel(), "2/3");
    EXPECT_EQ(List()->verticalScrollBar()->value(), 0);
}

class WindowWidthTest : public PhoneBookTest, public ::testing::WithParamInterface<int> {};

// At every width from the smallest up, each panel's controls keep their own room: none
// lies over another or past its panel's edge, each is as wide as it asks to be, and the
// banner's emblem stays clear of the tool buttons.
TEST_P(WindowWidthTest, NoControlOverlapsAnother) {
    Window().show();
    Window().resize(GetParam(), 656);
    QCoreApplication::processEvents();
    ASSERT_EQ(Window().width(), GetParam());
    for (const char* name : {"img1", "Panel1", "Panel2"}) {
        const QWidget* panel = Find<QWidget>(name);
        std::vector<const QWidget*> controls;
        for (const QObject* child : panel->children()) {
            const auto* widget = qobject_cast<const QWidget*>(child);
            if (widget && widget->isVisible()) {
                controls.push_back(widget);
            }
        }
        ASSERT_GE(controls.size(), 2u) << name;
        for (const QWidget* control : controls) {
            const std::string which = std::string(name) + "/" + control->objectName().toStdString();
            EXPECT_TRUE(panel->rect().contains(control->geometry())) << which;
            if (qobject_cast<const QAbstractButton*>(control)) {
                EXPECT_GE(control->width(), control->sizeHint().width()) << which;
            }
            for (const QWidget* other : controls) {
                EXPECT_TRUE(control == other || !control->geometry().intersects(other->geometry()))
                    << which << " and " << other->objectName().toStdString();
            }
        }
    }
    EXPECT_GE(Find<QWidget>("btn_Area")->x(), 60 + 12); // the emblem's right end and a gap
}

INSTANTIATE_TEST_SUITE_P(Widths, WindowWidthTest, ::testing::Values(600, 720, 880, 1024, 1150),
                         [](const auto& info) { return std::to_string(info.param) + "px"; });

TEST_F(PhoneBookTest, TheWindowOpensInsideTheScreen) {
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = Window().frameGeometry();
    EXPECT_TRUE(available.contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    // As wide as designed, or as the screen when that is narrower.
    EXPECT_TRUE(Window().width() == 1150 || frame.width() == available.width()) << frame.width();
}

} // namespace

namespace {

TEST_F(PhoneBookTest, ALoginFromTheCreationHandlerShowsTheWindowWithPageOne) {
    AddRecords(3);
    CurrentLoginArea() = {};
    TCDialog_PhoneBook main(installation, {Md5HexString("u"), Md5HexString("p")});
    QTimer::singleShot(0, [&] {
        auto* login = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(login, nullptr);
        login->findChild<QLineEdit*>("edt_username")->setText("u");
        login->findChild<QLineEdit*>("edt_password")->setText("p");
        login->findChild<QComboBox*>("cbb_area")->setCurrentIndex(0); // 全国
        QTest::keyClick(login->findChild<QLineEdit*>("edt_password"), Qt::Key_Return);
    });
    main.FormCreate();
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(main.findChild<QTableWidget*>("quillon_list")->rowCount(), 3);
    EXPECT_EQ(main.findChild<QLabel*>("label_page")->text(), "1/1");
    EXPECT_EQ(ReadLoginAreaCode(installation.config), "000000");
    EXPECT_TRUE(MessageBoxes::History().empty());
}

} // namespace

TEST_F(PhoneBookTest, TheAreaButtonOpensTheAreaWindowOverTheMainWindow) {
    Window();
    QString caption;
    QWidget* owner = nullptr;
    QTimer::singleShot(0, [&] {
        QWidget* open = QApplication::activeModalWidget();
        ASSERT_NE(open, nullptr);
        caption = open->windowTitle();
        owner = open->parentWidget();
        open->close();
    });
    Click("btn_Area");
    EXPECT_EQ(caption, "省市县组织结构维护表");
    EXPECT_EQ(owner, &Window());
}

namespace {

TEST_F(PhoneBookTest, EnterKeepsWhatCannotBeUndoneAndTheCloseBoxAsksAsExitDoes) {
    AddRecords(3);
    Window();
    // The unscripted answer is the box's default, as Enter would give it.
    Click("btn_deleteAll");
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].defaultAnswer, MessageAnswer::Cancel);
    ClickCell(0, 1);
    Click("btn_delete");
    EXPECT_EQ(Messages().back().defaultAnswer, MessageAnswer::Cancel);
    Click("btn_first");
    EXPECT_EQ(CountLabel(), "共3条记录,每页200条");
    MessageBoxes::ClearHistory();

    MessageBoxes::Script({MessageAnswer::Cancel});
    EXPECT_FALSE(Window().close());
    EXPECT_TRUE(Window().isVisible());
    ExpectOneMessage(MessageKind::Warning, "警告", "确认退出系统吗？", MessageButtons::OkCancel);
    MessageBoxes::Script({MessageAnswer::Ok});
    EXPECT_TRUE(Window().close());
}

} // namespace

namespace {

class LongTextTest : public PhoneBookTest {
protected:
    void AddRecord(const std::string& name, const std::string& mobile, const std::string& unit) {
        ContactStore store(installation.database, [this] { return clock(); });
        ASSERT_TRUE(store.OpenContactDatabase());
        ContactRecord r;
        r[kUser_Name] = Gb18030(name.c_str());
        r[kMobile_NO] = mobile;
        r[kProvince] = Gb18030("北京市");
        r[kOrganization_Detial] = Gb18030(unit.c_str());
        r[kUI_ID] = MakeUIID(r[kUser_Name], r[kMobile_NO]);
        ASSERT_EQ(store.InsertContactRow(r), ContactInsert::Done);
    }

    // Two records and one of a long name and a long unit, the first row once shown.
    void AddLongRecord() {
        AddRecords(2);
        AddRecord(std::string(40, 'W').insert(0, "超长姓名"), "13900001111", std::string(120, 'U'));
    }

    void ExpectNumberAndEditCellInView() {
        const QTableWidget* list = List();
        const QHeaderView* header = list->horizontalHeader();
        const int editEnd = header->sectionViewportPosition(ContactListManager::kEditColumn) +
                            header->sectionSize(ContactListManager::kEditColumn);
        EXPECT_LE(header->sectionViewportPosition(kMobile_NO) + header->sectionSize(kMobile_NO),
                  list->viewport()->width());
        EXPECT_LE(editEnd - header->sectionSize(ContactListManager::kEditColumn) / 2,
                  list->viewport()->width());
    }
};

TEST_F(LongTextTest, ALongTextEndsInAnEllipsisAndTheNumberAndEditCellStayInView) {
    AddLongRecord();
    Window().show();
    Window().resize(1024, 700);
    Click("btn_first");
    QCoreApplication::processEvents();
    QTableWidget* list = List();
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(list->item(0, kUser_Name)->toolTip(), list->item(0, kUser_Name)->text());
    EXPECT_TRUE(list->item(1, kUser_Name)->toolTip().isEmpty()); // a short one shows whole
    EXPECT_LE(list->columnWidth(kOrganization_Detial), 130);
    ExpectNumberAndEditCellInView();
}

// The columns are fitted again when the window is made narrower or wider after a page was
// shown; a long name given room at the greater width gives it back, and its tooltip follows.
TEST_F(LongTextTest, TheColumnsFollowTheWindowsWidth) {
    AddLongRecord();
    AddRecord("李四", "13900002222", "某县组织部书记");
    Window().show();
    Window().resize(1400, 700);
    Click("btn_first");
    QCoreApplication::processEvents();
    const int roomy = List()->columnWidth(kUser_Name);
    Window().resize(880, 700);
    QCoreApplication::processEvents();
    EXPECT_LT(List()->columnWidth(kUser_Name), roomy);
    ExpectNumberAndEditCellInView();
    // A unit that fits at the greater width only shows whole as its tooltip at the narrower.
    const QTableWidgetItem* unit = nullptr;
    for (int row = 0; row < List()->rowCount(); ++row) {
        if (List()->item(row, kMobile_NO)->text() == "13900002222") {
            unit = List()->item(row, kOrganization_Detial);
        }
    }
    ASSERT_NE(unit, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !unit->toolTip().isEmpty(); }, 2000));
    Window().resize(1400, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(List()->columnWidth(kUser_Name), roomy);
    EXPECT_TRUE(QTest::qWaitFor([&] { return unit->toolTip().isEmpty(); }, 2000));
}

} // namespace
