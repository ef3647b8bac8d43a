#include "ui/dialog_import_mode.h"

#include "ui/dialog_import.h"
#include "ui/message_box.h"
#include "ui/password_box.h"
#include "ui/qt_text.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
constexpr int kPasswordCharacters = 18;
} // namespace

TCDialog_ImportMode::TCDialog_ImportMode(const Installation& installation, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      installation_(installation) {
    setObjectName("CDialog_ImportMode");
    setWindowTitle("导入方式");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 14, 16, 14);
    grp_op_ = new QGroupBox("请选择导入模式", this);
    grp_op_->setObjectName("grp_op");
    auto* grid = new QGridLayout(grp_op_);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(12);
    rb_append_ = new QRadioButton("追加导入", grp_op_);
    rb_append_->setObjectName("rb_append");
    rb_append_->setChecked(true);
    rb_recover_ = new QRadioButton("覆盖导入", grp_op_);
    rb_recover_->setObjectName("rb_recover");
    lbl1_ = new QLabel("密码：", grp_op_);
    lbl1_->setObjectName("lbl1");
    lbl1_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edt_pwd_ = new QLineEdit(grp_op_);
    edt_pwd_->setObjectName("edt_pwd");
    edt_pwd_->setAccessibleName("密码");
    edt_pwd_->setMaxLength(kPasswordCharacters);
    MakePasswordBox(edt_pwd_);
    edt_pwd_->setEnabled(false);
    edt_pwd_->setMinimumWidth(200);
    lbl1_->setBuddy(edt_pwd_);
    grid->addWidget(rb_append_, 0, 0);
    grid->addWidget(rb_recover_, 0, 1);
    grid->addWidget(lbl1_, 1, 0);
    grid->addWidget(edt_pwd_, 1, 1);
    column->addWidget(grp_op_);
    btn_OK_ = new QPushButton("确   定", this);
    btn_OK_->setObjectName("btn_OK");
    // Enter imports; Escape closes the window as its close box does.
    btn_OK_->setDefault(true);
    btn_OK_->setMinimumSize(96, 30);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_OK_);
    buttons->addStretch();
    column->addLayout(buttons);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(btn_OK_, &QPushButton::clicked, this, &TCDialog_ImportMode::btn_OKClick);
}

void TCDialog_ImportMode::SetData(const QStringList& files, ImportKind kind) {
    files_ = files;
    kind_ = kind;
    edt_pwd_->setEnabled(kind == ImportKind::Package);
}

ImportMode TCDialog_ImportMode::ChosenMode() const {
    if (rb_append_->isChecked()) {
        return ImportMode::Append;
    }
    return rb_recover_->isChecked() ? ImportMode::Overwrite : ImportMode::Unchosen;
}

void TCDialog_ImportMode::btn_OKClick() {
    ImportRequest request;
    request.kind = kind_;
    request.mode = ChosenMode();
    if (kind_ == ImportKind::Package) {
        request.password = FromQString(edt_pwd_->text());
        if (request.password.empty()) {
            MessageBoxes::Show(this, MessageKind::Warning, "请输入密码！", MessageButtons::Yes);
            return;
        }
    }
    for (const QString& file : files_) {
        request.files.emplace_back(file.toStdString());
    }
    {
        TCDialog_Import progress(installation_, std::move(request), this);
        progress.exec();
    }
    emit importFinished(static_cast<int>(ChosenMode()));
    accept();
}
