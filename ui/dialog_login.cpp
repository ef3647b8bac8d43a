#include "ui/dialog_login.h"

#include "crypto/my_md5.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/strings.h"
#include "ui/image_button.h"
#include "ui/login_area.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"
#include "ui/store_messages.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>
#include <cstdlib>

namespace {

constexpr int kWidth = 965;
constexpr int kHeight = 640;
constexpr int kFontPixels = 14;
constexpr int kMaxCredentialLength = 128;

// The form sits on the white panel of the background picture.
constexpr int kLabelLeft = 530;
constexpr int kLabelWidth = 64;
constexpr int kFieldLeft = 606;
constexpr int kFieldWidth = 284;
constexpr int kRowHeight = 34;
constexpr int kFirstRowTop = 232;
constexpr int kRowPitch = 55;
constexpr int kButtonTop = 440;
constexpr int kLoginButtonLeft = 530;
constexpr int kExitButtonLeft = 720;

constexpr char kCounterKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr char kCounterName[] = "Quillon_LoginErrTimes";

bool IsEnterKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int row) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(kLabelLeft, kFirstRowTop + row * kRowPitch, kLabelWidth, kRowHeight);
    return label;
}

QLineEdit* MakeCredentialEdit(QWidget* parent, const char* name, int row) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(kMaxCredentialLength);
    edit->setGeometry(kFieldLeft, kFirstRowTop + row * kRowPitch, kFieldWidth, kRowHeight);
    return edit;
}

} // namespace

std::function<void(int)>& TCDialog_Login::ExitProcess() {
    static std::function<void(int)> exitProcess = [](int code) { std::exit(code); };
    return exitProcess;
}

TCDialog_Login::TCDialog_Login(const Installation& installation, const LoginDigests& digests,
                               QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), installation_(installation),
      digests_(digests) {
    setObjectName("CDialog_Login");
    setWindowTitle("Quillon");
    QFont windowFont = font();
    windowFont.setPixelSize(kFontPixels);
    setFont(windowFont);
    setFixedSize(kWidth, kHeight);
    if (const QScreen* desktop = screen()) {
        move(desktop->geometry().center() - rect().center());
    }
    BuildControls();
    LoadAreaChoices();
}

void TCDialog_Login::BuildControls() {
    img_login_bk_ = new QLabel(this);
    img_login_bk_->setObjectName("img_login_bk");
    img_login_bk_->setPixmap(QPixmap(":/images/login_background.png"));
    img_login_bk_->setScaledContents(true);
    img_login_bk_->setGeometry(rect());

    lbl_user_ = MakeLabel(this, "lbl_user", "用户名", 0);
    lbl_pwd_ = MakeLabel(this, "lbl_pwd", "密  码", 1);
    lbl_area_ = MakeLabel(this, "lbl_area", "地  区", 2);

    edt_username_ = MakeCredentialEdit(this, "edt_username", 0);
    edt_password_ = MakeCredentialEdit(this, "edt_password", 1);
    edt_password_->setEchoMode(QLineEdit::Password);

    cbb_area_ = new QComboBox(this);
    cbb_area_->setObjectName("cbb_area");
    cbb_area_->setEditable(false);
    cbb_area_->setGeometry(kFieldLeft, kFirstRowTop + 2 * kRowPitch, kFieldWidth, kRowHeight);

    btn_login_ = new ImageButton("btn_login", "login_btn_login", "登录", this);
    btn_login_->move(kLoginButtonLeft, kButtonTop);
    btn_exit_ = new ImageButton("btn_exit", "login_btn_exit", "退出", this);
    btn_exit_->move(kExitButtonLeft, kButtonTop);
    btn_close_ = new ImageButton("btn_close", "login_btn_exit", "关闭", this);
    btn_close_->hide();
    // Enter belongs to the window as a whole; no button may take it as a default.
    for (ImageButton* button : {btn_login_, btn_exit_, btn_close_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(btn_login_, &QPushButton::clicked, this, &TCDialog_Login::btn_loginClick);
    connect(btn_exit_, &QPushButton::clicked, this, &TCDialog_Login::btn_exitClick);
    connect(btn_close_, &QPushButton::clicked, this, &TCDialog_Login::btn_closeClick);

    const std::pair<QLabel*, QWidget*> labelled[] = {
        {lbl_user_, edt_username_}, {lbl_pwd_, edt_password_}, {lbl_area_, cbb_area_}};
    for (const auto& [label, field] : labelled) {
        label->setBuddy(field);
        field->setAccessibleName(label->text().remove(' '));
    }
    setTabOrder(edt_username_, edt_password_);
    setTabOrder(edt_password_, cbb_area_);

    setStyleSheet("QLabel#lbl_user, QLabel#lbl_pwd, QLabel#lbl_area { color: #1f2d3d; }"
                  "QLineEdit#edt_username, QLineEdit#edt_password { padding: 0 4px; }"
                  "QLineEdit#edt_password { lineedit-password-character: 42; }"
                  "QComboBox#cbb_area { padding-left: 8px; }");

    // The window sees every key first, whichever control has the focus. (An open area list
    // is a popup of its own and keeps Enter for choosing its entry.)
    for (QWidget* control :
         std::initializer_list<QWidget*>{edt_username_, edt_password_, cbb_area_}) {
        control->installEventFilter(this);
    }
}

void TCDialog_Login::LoadAreaChoices() {
    // A database that cannot be read leaves the list empty, and the window says why when it
    // shows; the login then asks for an area.
    AreaRows read = ChildrenOfArea(installation_.database, kRootAreaCode);
    areasStatus_ = read.status();
    areas_ = read.value_or({});
}

void TCDialog_Login::FormShow() {
    const std::string stored = ReadLoginAreaCode(installation_.config);
    CurrentLoginArea().code = stored;

    cbb_area_->clear();
    for (const AreaRow& area : areas_) {
        cbb_area_->addItem(ToQString(area.Area_Name));
    }
    cbb_area_->setCurrentIndex(-1);
    if (!stored.empty()) {
        // Once chosen, the area is fixed for this installation, even when it no longer exists.
        for (std::size_t i = 0; i < areas_.size(); ++i) {
            if (areas_[i].UI_ID == stored) {
                cbb_area_->setCurrentIndex(static_cast<int>(i));
                CurrentLoginArea().name = FromQString(cbb_area_->itemText(static_cast<int>(i)));
                break;
            }
        }
        cbb_area_->setEnabled(false);
    } else {
        cbb_area_->setEnabled(true);
    }
    edt_username_->setFocus();
    if (!areasStatus_) {
        MessageBoxes::Show(this, MessageKind::Error, DatabaseFailureText(areasStatus_),
                           MessageButtons::Ok);
    }
}

void TCDialog_Login::btn_loginClick() {
    if (!CheckCredentials()) {
        return;
    }
    const int chosen = cbb_area_->currentIndex();
    if (chosen < 0 || static_cast<std::size_t>(chosen) >= areas_.size()) {
        Warn("请选则您所在省或全国！");
        return;
    }
    const AreaRow area = areas_[static_cast<std::size_t>(chosen)];
    if (!StoreChosenArea(area)) {
        return;
    }
    CurrentLoginArea() = {area.UI_ID, FromQString(cbb_area_->itemText(chosen))};
    closeFlag_ = false;
    accept();
    emit loginSucceeded();
}

void TCDialog_Login::btn_exitClick() {
    closeFlag_ = true;
    reject();
}

void TCDialog_Login::btn_closeClick() {
    closeFlag_ = true;
    reject();
}

bool TCDialog_Login::CheckCredentials() {
    const std::string user = TrimBlanksAndControls(FromQString(edt_username_->text()));
    const std::string password = TrimBlanksAndControls(FromQString(edt_password_->text()));
    if (user.empty() || password.empty()) {
        Warn("请填写用户名和密码！");
        return false;
    }
    if (Md5HexString(user.c_str()) != digests_.user ||
        Md5HexString(password.c_str()) != digests_.password) {
        Warn("请输入正确的用户名和密码！");
        CountFailedLogin();
        return false;
    }
    return true;
}

void TCDialog_Login::CountFailedLogin() {
    // The count is only kept, never used to refuse a login; a key that cannot be written
    // is no reason to trouble the operator.
    IncrementRegistryCounter(installation_.registry, kCounterKey, kCounterName);
}

bool TCDialog_Login::StoreChosenArea(const AreaRow& area) {
    if (WriteLoginAreaCode(installation_.config, area.UI_ID)) {
        return true;
    }
    MessageBoxes::Show(this, MessageKind::Error, SettingsWriteFailureText(installation_.config),
                       MessageButtons::Ok);
    return false;
}

void TCDialog_Login::done(int result) {
    QDialog::done(result);
    FormClose();
}

void TCDialog_Login::FormClose() {
    if (closeFlag_) {
        ExitProcess()(0);
    }
}

void TCDialog_Login::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TCDialog_Login::keyPressEvent(QKeyEvent* event) {
    if (IsEnterKey(event)) {
        btn_loginClick();
        return;
    }
    // A dialog closes on Escape, and closing this one ends the program: the operator would
    // have to start again through the elevation prompt. An open area list is a popup of its
    // own and closes on Escape before the key gets here.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TCDialog_Login::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && IsEnterKey(static_cast<QKeyEvent*>(event))) {
        btn_loginClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TCDialog_Login::mousePressEvent(QMouseEvent* event) {
    // Presses on the background picture and the labels arrive here too, as they ignore them.
    update();
    if (event->button() == Qt::LeftButton) {
        StartDrag();
    }
}

void TCDialog_Login::StartDrag() {
    if (QWindow* window = windowHandle()) {
        window->startSystemMove();
    }
}

void TCDialog_Login::Warn(const QString& text) {
    MessageBoxes::Show(this, MessageKind::Warning, text, MessageButtons::Yes);
}
