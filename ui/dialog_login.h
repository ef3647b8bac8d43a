#pragma once

#include "platform/installation.h"
#include "store/areas.h"
#include "ui/login_digests.h"

#include <QDialog>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class ImageButton;

// The first window the operator sees: checks the fixed credentials, lets the operator
// choose the installation's area once, and remembers it. Closing it any other way than by
// logging in ends the process.
class TCDialog_Login : public QDialog {
    Q_OBJECT
public:
    TCDialog_Login(const Installation& installation, const LoginDigests& digests,
                   QWidget* owner = nullptr);

    // How the process ends when the window closes without a login; tests replace it.
    static std::function<void(int)>& ExitProcess();

    void FormShow();
    void btn_loginClick();
    void btn_exitClick();
    void btn_closeClick();

signals:
    // The login succeeded and the window has closed; the owner shows itself
    // (kMsgLoginSucceeded).
    void loginSucceeded();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void done(int result) override;

private:
    void BuildControls();
    void LoadAreaChoices();
    bool CheckCredentials();
    void CountFailedLogin();
    bool StoreChosenArea(const AreaRow& area);
    void FormClose();
    void StartDrag();
    void Warn(const QString& text);

    Installation installation_;
    LoginDigests digests_;
    std::vector<AreaRow> areas_;
    StoreStatus areasStatus_;
    bool closeFlag_ = true;

    QLabel* img_login_bk_ = nullptr;
    QLabel* lbl_user_ = nullptr;
    QLabel* lbl_pwd_ = nullptr;
    QLabel* lbl_area_ = nullptr;
    QLineEdit* edt_username_ = nullptr;
    QLineEdit* edt_password_ = nullptr;
    QComboBox* cbb_area_ = nullptr;
    ImageButton* btn_login_ = nullptr;
    ImageButton* btn_exit_ = nullptr;
    ImageButton* btn_close_ = nullptr;
};
