#include "crypto/my_md5.h"
#include "platform/ini_file.h"
#include "platform/installation.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "store/schema.h"
#include "support/temp_dir.h"
#include "ui/dialog_login.h"
#include "ui/login_area.h"
#include "ui/message_box.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kFillInBoth = "请填写用户名和密码！";
const QString kWrongCredentials = "请输入正确的用户名和密码！";
const QString kChooseArea = "请选则您所在省或全国！";

const char kUser[] = "operator";
const char kPassword[] = "密码 2026"; // a blank inside is part of the password

class LoginWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Seeding the areas takes a while; every test starts from a copy of one database.
        seeded_ = new TempDir;
        ASSERT_TRUE(CreateSchema(*seeded_ / "mydb"));
    }
    static void TearDownTestSuite() {
        delete seeded_;
        seeded_ = nullptr;
    }

    void SetUp() override {
        installation_ = Installation::InFolder(dir_.path());
        std::filesystem::copy_file(*seeded_ / "mydb", installation_.database);
        EnsureSettingsFile(installation_.config);
        digests_ = {Md5HexString(Gb18030(kUser).c_str()), Md5HexString(Gb18030(kPassword).c_str())};
        savedExit_ = TCDialog_Login::ExitProcess();
        TCDialog_Login::ExitProcess() = [this](int code) { exits_.push_back(code); };
        MessageBoxes::Script({});
        MessageBoxes::ClearHistory();
        CurrentLoginArea() = {};
    }
    void TearDown() override { TCDialog_Login::ExitProcess() = savedExit_; }

    std::unique_ptr<TCDialog_Login> ShowWindow() {
        auto window = std::make_unique<TCDialog_Login>(installation_, digests_);
        spy_ = std::make_unique<QSignalSpy>(window.get(), &TCDialog_Login::loginSucceeded);
        window->show();
        return window;
    }

    static QLineEdit* Field(TCDialog_Login& window, const char* name) {
        return window.findChild<QLineEdit*>(name);
    }
    static QComboBox* Areas(TCDialog_Login& window) {
        return window.findChild<QComboBox*>("cbb_area");
    }
    static void Type(TCDialog_Login& window, const QString& user, const QString& password) {
        Field(window, "edt_username")->setText(user);
        Field(window, "edt_password")->setText(password);
    }

    std::optional<std::uint32_t> FailedLogins() const {
        const auto file = installation_.registry /
                          "HKEY_LOCAL_MACHINE/SOFTWARE/Microsoft/Windows/CurrentVersion.reg";
        if (!std::filesystem::exists(file)) {
            return std::nullopt;
        }
        return RegistryKey::OpenForWrite(
                   installation_.registry,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion")
            ->ReadDword("Quillon_LoginErrTimes");
    }

    // Every message of this window is a warning with the single button "是[&Y]".
    static void ExpectWarnings(const std::vector<QString>& texts) {
        const auto& shown = MessageBoxes::History();
        ASSERT_EQ(shown.size(), texts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(shown[i].text, texts[i]);
            EXPECT_EQ(shown[i].kind, MessageKind::Warning);
            EXPECT_EQ(shown[i].title, "警告");
            EXPECT_EQ(shown[i].buttons, MessageButtons::Yes);
        }
    }

    void ExpectStillOpen(TCDialog_Login& window) {
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(spy_->count(), 0);
        EXPECT_TRUE(exits_.empty());
    }

    static TempDir* seeded_;
    TempDir dir_;
    Installation installation_;
    LoginDigests digests_;
    std::function<void(int)> savedExit_;
    std::vector<int> exits_;
    std::unique_ptr<QSignalSpy> spy_;
};

TempDir* LoginWindow::seeded_ = nullptr;

TEST_F(LoginWindow, BlankCredentialsAreRefusedWithoutCounting) {
    auto window = ShowWindow();
    Areas(*window)->setCurrentIndex(0);
    const std::vector<std::pair<QString, QString>> blanks = {
        {"", ""}, {kUser, ""}, {"", kPassword}, {"  \t ", kPassword}, {kUser, " \x01\x1f "}};
    for (const auto& [user, password] : blanks) {
        Type(*window, user, password);
        window->btn_loginClick();
    }
    ExpectWarnings(std::vector<QString>(blanks.size(), kFillInBoth));
    EXPECT_EQ(FailedLogins(), std::nullopt);
    ExpectStillOpen(*window);
    EXPECT_EQ(ReadLoginAreaCode(installation_.config), "");
}

TEST_F(LoginWindow, EachWrongNameOrPasswordIsCountedAndTheFieldsKeepTheirText) {
    auto window = ShowWindow();
    Areas(*window)->setCurrentIndex(0);
    Type(*window, kUser, "密码2026");
    window->btn_loginClick();
    EXPECT_EQ(FailedLogins(), 1u);
    Type(*window, "Operator", kPassword);
    window->btn_loginClick();
    EXPECT_EQ(FailedLogins(), 2u);
    ExpectWarnings({kWrongCredentials, kWrongCredentials});
    EXPECT_EQ(Field(*window, "edt_username")->text(), "Operator");
    EXPECT_EQ(Field(*window, "edt_password")->text(), kPassword);
    ExpectStillOpen(*window);
    EXPECT_EQ(ReadLoginAreaCode(installation_.config), "");
}

TEST_F(LoginWindow, ACounterThatCannotBeKeptIsSkippedSilently) {
    WriteFileBytes(installation_.registry, "a file where the registry folder should be");
    auto window = ShowWindow();
    Type(*window, "x", "y");
    window->btn_loginClick();
    ExpectWarnings({kWrongCredentials});
    ExpectStillOpen(*window);
}

TEST_F(LoginWindow, FirstLoginOffersEveryAreaAndStoresTheWholeCountry) {
    auto window = ShowWindow();
    QComboBox* areas = Areas(*window);
    ASSERT_EQ(areas->count(), 35);
    EXPECT_EQ(areas->itemText(0), "全国");
    EXPECT_EQ(areas->itemText(34), "澳门特别行政区");
    EXPECT_TRUE(areas->isEnabled());
    EXPECT_EQ(areas->currentIndex(), -1);
    EXPECT_EQ(window->focusWidget(), Field(*window, "edt_username"));

    // Blanks and control characters around the right credentials do not matter.
    Type(*window, QString(" \t") + kUser + "  ", QString("\x01 ") + kPassword + "\r\n");
    window->btn_loginClick();
    ExpectWarnings({kChooseArea});
    ExpectStillOpen(*window);
    EXPECT_EQ(ReadLoginAreaCode(installation_.config), "");

    areas->setCurrentIndex(0);
    window->btn_loginClick();
    EXPECT_EQ(MessageBoxes::History().size(), 1u);
    EXPECT_EQ(ReadLoginAreaCode(installation_.config), "000000");
    EXPECT_EQ(CurrentLoginArea().code, "000000");
    EXPECT_EQ(CurrentLoginArea().name, Gb18030("全国"));
    EXPECT_EQ(spy_->count(), 1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_TRUE(exits_.empty());
    EXPECT_EQ(FailedLogins(), std::nullopt);
}

TEST_F(LoginWindow, AStoredAreaIsShownFixedAndWrittenAgainAtEachLogin) {
    WriteFileBytes(installation_.config, "; kept\n[LOGIN]\nAREA=650000\n");
    auto window = ShowWindow();
    QComboBox* areas = Areas(*window);
    EXPECT_FALSE(areas->isEnabled());
    EXPECT_EQ(areas->currentText(), "新疆维吾尔自治区");
    EXPECT_EQ(CurrentLoginArea().code, "650000");
    EXPECT_EQ(CurrentLoginArea().name, Gb18030("新疆维吾尔自治区"));

    CurrentLoginArea() = {};
    Type(*window, kUser, kPassword);
    window->btn_loginClick();
    EXPECT_TRUE(MessageBoxes::History().empty());
    EXPECT_EQ(spy_->count(), 1);
    EXPECT_EQ(CurrentLoginArea().code, "650000");
    EXPECT_EQ(CurrentLoginArea().name, Gb18030("新疆维吾尔自治区"));
    EXPECT_EQ(ReadFileBytes(installation_.config), "; kept\n[LOGIN]\nAREA=650000\n");
}

TEST_F(LoginWindow, AStoredAreaThatNoLongerExistsBlocksTheLogin) {
    WriteLoginAreaCode(installation_.config, "999999");
    CurrentLoginArea() = {"110000", Gb18030("北京市")};
    auto window = ShowWindow();
    QComboBox* areas = Areas(*window);
    EXPECT_FALSE(areas->isEnabled());
    EXPECT_EQ(areas->currentIndex(), -1);
    EXPECT_EQ(areas->count(), 35);
    EXPECT_EQ(CurrentLoginArea().code, "999999"); // taken over at once, name left alone

    Type(*window, kUser, kPassword);
    window->btn_loginClick();
    ExpectWarnings({kChooseArea});
    ExpectStillOpen(*window);
    EXPECT_EQ(ReadLoginAreaCode(installation_.config), "999999");
}

TEST_F(LoginWindow, AnUnreadableDatabaseLeavesNothingToChoose) {
    WriteFileBytes(installation_.database, std::string(4096, 'x'));
    auto window = ShowWindow();
    EXPECT_EQ(Areas(*window)->count(), 0);
    // The operator learns why there is nothing to choose.
    ASSERT_EQ(MessageBoxes::History().size(), 1u);
    EXPECT_EQ(MessageBoxes::History()[0].kind, MessageKind::Error);
    EXPECT_TRUE(MessageBoxes::History()[0].text.startsWith("无法读取数据库："))
        << MessageBoxes::History()[0].text.toStdString();
    MessageBoxes::ClearHistory();
    Type(*window, kUser, kPassword);
    window->btn_loginClick();
    ExpectWarnings({kChooseArea});
    ExpectStillOpen(*window);
}

TEST_F(LoginWindow, ASettingsFileThatCannotBeWrittenIsReportedAndTheLoginStops) {
    std::filesystem::remove(installation_.config);
    std::filesystem::create_directory(installation_.config);
    auto window = ShowWindow();
    Areas(*window)->setCurrentIndex(1);
    Type(*window, kUser, kPassword);
    window->btn_loginClick();
    const auto& shown = MessageBoxes::History();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, MessageKind::Error);
    EXPECT_EQ(shown[0].title, "错误");
    EXPECT_EQ(shown[0].buttons, MessageButtons::Ok);
    EXPECT_TRUE(shown[0].text.contains(QString::fromStdString(installation_.config.string())));
    ExpectStillOpen(*window);
    EXPECT_EQ(CurrentLoginArea().name, "");
}

class LoginWindowEnter : public LoginWindow, public ::testing::WithParamInterface<const char*> {};

TEST_P(LoginWindowEnter, LogsInOnce) {
    auto window = ShowWindow();
    Type(*window, kUser, kPassword);
    Areas(*window)->setCurrentIndex(3);
    QTest::keyClick(window->findChild<QWidget*>(GetParam()), Qt::Key_Return);
    EXPECT_TRUE(MessageBoxes::History().empty());
    EXPECT_EQ(spy_->count(), 1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ReadLoginAreaCode(installation_.config), "130000");
    EXPECT_TRUE(exits_.empty());
}

INSTANTIATE_TEST_SUITE_P(InEveryControl, LoginWindowEnter,
                         ::testing::Values("edt_username", "edt_password", "cbb_area"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(LoginWindow, EnterOnAFailedLoginShowsOneMessage) {
    auto window = ShowWindow();
    QTest::keyClick(Field(*window, "edt_password"), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(window.get(), Qt::Key_Return);
    ExpectWarnings({kFillInBoth, kFillInBoth});
    ExpectStillOpen(*window);
}

struct ClosingWay {
    const char* name;
    std::function<void(TCDialog_Login&)> close;
};

class LoginWindowClosing : public LoginWindow, public ::testing::WithParamInterface<ClosingWay> {};

TEST_P(LoginWindowClosing, EndsTheProcessWithoutStoringAnArea) {
    auto window = ShowWindow();
    Type(*window, kUser, kPassword);
    GetParam().close(*window);
    EXPECT_EQ(exits_, std::vector<int>{0});
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(spy_->count(), 0);
    EXPECT_EQ(ReadLoginAreaCode(installation_.config), "");
}

INSTANTIATE_TEST_SUITE_P(
    EveryWayButTheLogin, LoginWindowClosing,
    ::testing::Values(ClosingWay{"ExitButton",
                                 [](TCDialog_Login& w) {
                                     QTest::mouseClick(w.findChild<QWidget*>("btn_exit"),
                                                       Qt::LeftButton);
                                 }},
                      ClosingWay{"HiddenCloseButton",
                                 [](TCDialog_Login& w) { w.btn_closeClick(); }},
                      ClosingWay{"WindowManager", [](TCDialog_Login& w) { w.close(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoginWindow, EscapeClosesAnOpenAreaListAndOtherwiseNothing) {
    auto window = ShowWindow();
    Type(*window, kUser, kPassword);
    for (const char* field : {"edt_username", "edt_password"}) {
        QTest::keyClick(Field(*window, field), Qt::Key_Escape);
    }
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QComboBox* areas = Areas(*window);
    areas->showPopup();
    QTest::keyClick(areas->view(), Qt::Key_Escape);
    QTest::keyClick(areas, Qt::Key_Escape);
    EXPECT_FALSE(areas->view()->isVisible());
    ExpectStillOpen(*window);
    EXPECT_TRUE(MessageBoxes::History().empty());
}

TEST_F(LoginWindow, ThePasswordIsShownAsStars) {
    auto window = ShowWindow();
    QLineEdit* password = Field(*window, "edt_password");
    password->setText("密码1");
    EXPECT_EQ(password->displayText(), "***");
    EXPECT_EQ(Field(*window, "edt_username")->maxLength(), 128);
    EXPECT_EQ(password->maxLength(), 128);
}

TEST_F(LoginWindow, EachFieldIsNamedByItsLabel) {
    auto window = ShowWindow();
    const std::pair<const char*, const char*> fields[] = {
        {"edt_username", "用户名"}, {"edt_password", "密码"}, {"cbb_area", "地区"}};
    for (const auto& [name, accessible] : fields) {
        QWidget* field = window->findChild<QWidget*>(name);
        ASSERT_NE(field, nullptr) << name;
        EXPECT_EQ(field->accessibleName(), accessible) << name;
    }
}

// Run with --gtest_also_run_disabled_tests to look at the window.
TEST_F(LoginWindow, DISABLED_GrabToPng) {
    auto window = ShowWindow();
    Type(*window, kUser, kPassword);
    Areas(*window)->setCurrentIndex(0);
    ASSERT_TRUE(window->grab().save("/tmp/login.png"));
}

} // namespace
