#include "ui/dialog_export.h"

#include "platform/strings.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/open_document.h"
#include "ui/password_box.h"
#include "ui/qt_text.h"
#include "ui/store_messages.h"
#include "ui/worker_adaptor.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

constexpr int kClientWidth = 348;
constexpr int kClientHeight = 343;
constexpr int kMaxPerFileDigits = 6;
constexpr int kMaxPerXlsxFileDigits = 7;
constexpr int kPasswordCharacters = 18;
constexpr std::size_t kMinPasswordBytes = 6;

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setMinimumSize(76, 28);
    return button;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& accessibleName) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAccessibleName(accessibleName);
    return edit;
}

QProgressBar* MakeBar(QWidget* parent, const char* name, const QString& accessibleName) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setAccessibleName(accessibleName);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

} // namespace

TCDialog_Export::TCDialog_Export(const Installation& installation, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      installation_(installation) {
    setObjectName("CDialog_Export");
    setWindowTitle("导出通讯录");
    setFixedSize(kClientWidth, kClientHeight);
    auto* pages = new QStackedLayout(this);
    Panel1 = BuildSettingsPage();
    Panel2 = BuildProgressPage();
    pages->addWidget(Panel1);
    pages->addWidget(Panel2);
    pages->setCurrentWidget(Panel1);
    SpeedButton3->setEnabled(false);
    packageWorker_.SetDatabase(installation_.database);
    spreadsheetWorker_.SetDatabase(installation_.database);
}

TCDialog_Export::~TCDialog_Export() {
    StopWorker();
}

QWidget* TCDialog_Export::BuildSettingsPage() {
    auto* page = new QWidget(this);
    page->setObjectName("Panel1");
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(14, 12, 14, 12);
    column->setSpacing(10);

    GroupBox1 = new QGroupBox("单文件包含最大记录条数", page);
    GroupBox1->setObjectName("GroupBox1");
    auto* perFile = new QHBoxLayout(GroupBox1);
    Edit1 = MakeEdit(GroupBox1, "Edit1", "单文件包含最大记录条数");
    Edit1->setText(QString::number(ExportSettings::kDefaultPerFile));
    Edit1->setMaxLength(kMaxPerFileDigits);
    Edit1->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), Edit1));
    Edit1->setFixedWidth(90);
    Label1 = new QLabel("取值范围在 10  -- 60000 之间", GroupBox1);
    Label1->setObjectName("Label1");
    perFile->addWidget(Edit1);
    perFile->addWidget(Label1, 1);
    column->addWidget(GroupBox1);

    GroupBox2 = new QGroupBox("导出的文件格式", page);
    GroupBox2->setObjectName("GroupBox2");
    auto* format = new QVBoxLayout(GroupBox2);
    auto* choices = new QHBoxLayout;
    RadioButton1 = new QRadioButton("Excel 格式", GroupBox2);
    RadioButton1->setObjectName("RadioButton1");
    RadioButton1->setChecked(true);
    RadioButton2 = new QRadioButton("专用加密格式", GroupBox2);
    RadioButton2->setObjectName("RadioButton2");
    choices->addWidget(RadioButton1);
    choices->addWidget(RadioButton2);
    format->addLayout(choices);
    auto* password = new QHBoxLayout;
    Label2 = new QLabel("密码", GroupBox2);
    Label2->setObjectName("Label2");
    Edit2 = MakeEdit(GroupBox2, "Edit2", "密码");
    Edit2->setMaxLength(kPasswordCharacters);
    MakePasswordBox(Edit2);
    Edit2->setEnabled(false);
    Label2->setBuddy(Edit2);
    password->addWidget(Label2);
    password->addWidget(Edit2, 1);
    format->addLayout(password);
    column->addWidget(GroupBox2);

    GroupBox3 = new QGroupBox("存放位置", page);
    GroupBox3->setObjectName("GroupBox3");
    auto* where = new QHBoxLayout(GroupBox3);
    Edit3 = MakeEdit(GroupBox3, "Edit3", "存放位置");
    Edit3->setReadOnly(true);
    SpeedButton1 = MakeButton(GroupBox3, "SpeedButton1", "浏览");
    where->addWidget(Edit3, 1);
    where->addWidget(SpeedButton1);
    column->addWidget(GroupBox3);
    column->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    SpeedButton3 = MakeButton(page, "SpeedButton3", "导出");
    SpeedButton2 = MakeButton(page, "SpeedButton2", "取消");
    buttons->addWidget(SpeedButton3);
    buttons->addWidget(SpeedButton2);
    column->addLayout(buttons);

    connect(SpeedButton1, &QPushButton::clicked, this, &TCDialog_Export::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TCDialog_Export::SpeedButton2Click);
    connect(SpeedButton3, &QPushButton::clicked, this, &TCDialog_Export::SpeedButton3Click);
    connect(RadioButton1, &QRadioButton::clicked, this, &TCDialog_Export::RadioButton1Click);
    connect(RadioButton2, &QRadioButton::clicked, this, &TCDialog_Export::RadioButton2Click);
    return page;
}

QWidget* TCDialog_Export::BuildProgressPage() {
    auto* page = new QWidget(this);
    page->setObjectName("Panel2");
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(24, 30, 24, 20);
    column->setSpacing(12);
    Label3 = new QLabel("文件正在导出，请耐心等待", page);
    Label3->setObjectName("Label3");
    Label3->setAlignment(Qt::AlignCenter);
    column->addWidget(Label3);
    column->addSpacing(16);
    auto* fileLabel = new QLabel("当前文件：", page);
    ProgressBar1 = MakeBar(page, "ProgressBar1", "当前文件");
    fileLabel->setBuddy(ProgressBar1);
    column->addWidget(fileLabel);
    column->addWidget(ProgressBar1);
    auto* totalLabel = new QLabel("全部文件：", page);
    ProgressBar2 = MakeBar(page, "ProgressBar2", "全部文件");
    totalLabel->setBuddy(ProgressBar2);
    column->addWidget(totalLabel);
    column->addWidget(ProgressBar2);
    column->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    SpeedButton5 = MakeButton(page, "SpeedButton5", "存放位置");
    SpeedButton5->setEnabled(false);
    SpeedButton4 = MakeButton(page, "SpeedButton4", "完成");
    buttons->addWidget(SpeedButton5);
    buttons->addWidget(SpeedButton4);
    buttons->addStretch();
    column->addLayout(buttons);
    connect(SpeedButton4, &QPushButton::clicked, this, &TCDialog_Export::SpeedButton4Click);
    connect(SpeedButton5, &QPushButton::clicked, this, &TCDialog_Export::SpeedButton5Click);
    return page;
}

void TCDialog_Export::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QWidget* owner = parentWidget()) {
        move(pos() + owner->frameGeometry().center() - frameGeometry().center());
    }
}

bool TCDialog_Export::Running() const {
    return adaptor_ != nullptr;
}

ExportOutcome TCDialog_Export::Outcome() const {
    return outcome_;
}

void TCDialog_Export::ShowSimpleMessage(const QString& text) {
    MessageBoxes::Show(this, MessageKind::Plain, text, MessageButtons::Ok, "Quillon");
}

void TCDialog_Export::ShowFailure(const ExportEnd& end) {
    const auto showError = [this](const QString& text) {
        MessageBoxes::Show(this, MessageKind::Plain, text, MessageButtons::Ok, "Error");
    };
    switch (end.failure) {
    case ExportFailure::FolderNotCreated:
        ShowSimpleMessage("文件夹创建失败！");
        return;
    case ExportFailure::EmptyRegister:
        MessageBoxes::Show(this, MessageKind::Warning, "通讯录中没有数据，无法导出！",
                           MessageButtons::Ok);
        return;
    case ExportFailure::DatabaseUnreadable:
        MessageBoxes::Show(this, MessageKind::Error, DatabaseFailureText(end.database),
                           MessageButtons::Ok);
        return;
    case ExportFailure::DiskFull:
        showError(QString("磁盘空间不足，导出文件无法写完！请释放磁盘空间后重新导出。"
                          "已写入 %1 个完整的文件。")
                      .arg(end.filesWritten));
        return;
    case ExportFailure::TextTooLong:
        showError("有记录的内容超过 Excel 单元格的长度上限（32767 个字符），无法导出为 Excel "
                  "格式！请改用专用加密格式导出。");
        return;
    case ExportFailure::FileNotCreated:
    case ExportFailure::None:
        break;
    }
    showError("文件创建失败，请确保计算机有够的空间存放导出文件，并且选择一个空目录保存文件！");
}

void TCDialog_Export::SpeedButton1Click() {
    const bool spreadsheet = RadioButton1->isChecked();
    const QString filter = spreadsheet ? kWorkbookSaveTypes : ".qsec (*.qsec)";
    const QString preset = "[" + ToQString(areaName_) + "]" + "note_template";
    int type = -1;
    const QString chosen =
        FileDialogs::GetSaveFileName(this, "导出通讯录", preset, {}, filter, &type);
    // A cancelled dialog keeps the target chosen before (none at first): the bare preset
    // name would name no folder at all.
    if (chosen.isEmpty()) {
        return;
    }
    if (spreadsheet) {
        workbookFormat_ = WorkbookFormatOfType(type);
        ShowPerFileRange();
    }
    targetName_ = chosen;
    Edit3->setText(targetName_);
    SpeedButton3->setEnabled(true);
}

void TCDialog_Export::SpeedButton2Click() {
    close();
}

void TCDialog_Export::RadioButton1Click() {
    ShowPerFileRange();
    if (RadioButton2->isChecked()) {
        return;
    }
    Edit2->clear();
    Edit2->setEnabled(false);
}

void TCDialog_Export::RadioButton2Click() {
    ShowPerFileRange();
    if (RadioButton2->isChecked()) {
        Edit2->setEnabled(true);
    }
}

int TCDialog_Export::MaxPerFile() const {
    const bool xlsx = RadioButton1->isChecked() && workbookFormat_ == quillon::WorkbookFormat::Xlsx;
    return xlsx ? ExportSettings::kMaxPerXlsxFile : ExportSettings::kMaxPerFile;
}

void TCDialog_Export::ShowPerFileRange() {
    const int most = MaxPerFile();
    Label1->setText(QString("取值范围在 10  -- %1 之间").arg(most));
    Edit1->setMaxLength(most == ExportSettings::kMaxPerFile ? kMaxPerFileDigits
                                                            : kMaxPerXlsxFileDigits);
}

void TCDialog_Export::SpeedButton3Click() {
    if (Running() || targetName_.isEmpty()) {
        return;
    }
    Edit3->setFocus();
    const std::string password = TrimBlanksAndControls(FromQString(Edit2->text()));
    if (RadioButton2->isChecked() && password.size() < kMinPasswordBytes) {
        ShowSimpleMessage("您输入的文件密码需要大于 6 位！");
        Edit2->setFocus();
        return;
    }
    if (Edit1->text().isEmpty()) {
        Edit1->setText(QString::number(ExportSettings::kDefaultPerFile));
    }
    bool whole = false;
    const int perFile = Edit1->text().toInt(&whole);
    if (!whole || perFile < ExportSettings::kMinPerFile || perFile > MaxPerFile()) {
        ShowSimpleMessage(
            QString("您输入的单文件保护的最大记录条数有误，正确的输入值范围在10到%1之间")
                .arg(MaxPerFile()));
        Edit1->setFocus();
        return;
    }
    if (RadioButton1->isChecked()) {
        StartSpreadsheetExport(perFile);
    } else {
        StartPackageExport(perFile, password);
    }
    SpeedButton5->setEnabled(true);
    static_cast<QStackedLayout*>(layout())->setCurrentWidget(Panel2);
}

void TCDialog_Export::StartPackageExport(int maxPerFile, const std::string& password) {
    packageWorker_.SetAreaName(areaName_);
    packageWorker_.SetTargetName(std::filesystem::path(targetName_.toStdString()));
    packageWorker_.SetMaxPerFile(maxPerFile);
    packageWorker_.SetPassword(password);
    StartWorker([worker = &packageWorker_](WorkerContext& context) { worker->Execute(context); },
                [worker = &packageWorker_] { return worker->End(); });
}

void TCDialog_Export::StartSpreadsheetExport(int maxPerFile) {
    spreadsheetWorker_.SetAreaName(areaName_);
    spreadsheetWorker_.SetTargetName(std::filesystem::path(targetName_.toStdString()));
    spreadsheetWorker_.SetFormat(workbookFormat_);
    spreadsheetWorker_.SetMaxPerFile(maxPerFile);
    StartWorker(
        [worker = &spreadsheetWorker_](WorkerContext& context) { worker->Execute(context); },
        [worker = &spreadsheetWorker_] { return worker->End(); });
}

void TCDialog_Export::StartWorker(Worker::Job job, std::function<ExportEnd()> end) {
    workerEnd_ = std::move(end);
    adaptor_ = std::make_unique<WorkerAdaptor>(this);
    connect(adaptor_.get(), &WorkerAdaptor::progress, this, &TCDialog_Export::OnProgress);
    connect(adaptor_.get(), &WorkerAdaptor::finished, this, &TCDialog_Export::OnWorkerFinished);
    adaptor_->Start(std::move(job));
}

void TCDialog_Export::OnProgress(int channel, int percent) {
    if (channel == kExportFileProgress) {
        ProgressBar1->setValue(percent);
    } else if (channel == kExportTotalProgress) {
        ProgressBar2->setValue(percent);
    }
}

void TCDialog_Export::OnWorkerFinished() {
    if (endShown_) {
        return;
    }
    if (asking_ || stopping_) {
        endArrived_ = true;
        return;
    }
    // Done is the worker's end, not its last 100 %: only then is the database closed and
    // the last file complete.
    ShowEnd(workerEnd_());
}

void TCDialog_Export::ShowEnd(const ExportEnd& end) {
    endShown_ = true;
    outcome_ = end.outcome;
    if (outcome_ == ExportOutcome::Completed) {
        Label3->setText("导出完成");
        SpeedButton4->setEnabled(false);
    } else if (outcome_ == ExportOutcome::Failed) {
        ShowFailure(end);
    } else if (outcome_ == ExportOutcome::Stopped) {
        Label3->setText("导出已停止");
        MessageBoxes::Show(this, MessageKind::Information,
                           QString("导出已停止，已写入 %1 个文件。").arg(end.filesWritten),
                           MessageButtons::Ok);
    }
    emit exportEnded(outcome_);
}

bool TCDialog_Export::ConfirmAndStop() {
    // The worker waits at its next record until the operator has answered, so that no
    // file is written while nobody knows whether it is still wanted.
    adaptor_->Pause();
    asking_ = true;
    const MessageAnswer answer = MessageBoxes::Show(this, MessageKind::Confirmation,
                                                    "是否停止导出？", MessageButtons::YesNo);
    asking_ = false;
    if (answer != MessageAnswer::Yes || adaptor_->WorkerDone()) {
        adaptor_->Resume();
        // Going on; or the export, already past its last record, ended while the question
        // was open and there is nothing left to stop: its end is shown as it came. An end
        // not yet arrived is shown when it arrives.
        if (endArrived_) {
            ShowEnd(workerEnd_());
        }
        return false;
    }
    stopping_ = true;
    SpeedButton4->setEnabled(false);
    adaptor_->RequestStop(); // ends the pause too
    adaptor_->WaitServingGui();
    stopping_ = false;
    // The worker has ended: its end can be read now, whether or not its report has come.
    const ExportEnd end = workerEnd_();
    ShowEnd(end);
    if (end.outcome != ExportOutcome::Stopped) {
        // It ended by itself before it saw the stop; the window shows that end and stays.
        SpeedButton4->setEnabled(end.outcome != ExportOutcome::Completed);
        return false;
    }
    return true;
}

void TCDialog_Export::SpeedButton4Click() {
    close();
}

void TCDialog_Export::SpeedButton5Click() {
    const std::filesystem::path target(targetName_.toStdString());
    DocumentOpenerInUse()(target.parent_path());
}

void TCDialog_Export::StopWorker() {
    if (adaptor_) {
        // The worker removes what it had half written, and reports nothing more.
        adaptor_->Release();
    }
}

void TCDialog_Export::reject() {
    if (asking_ || stopping_) {
        return; // the question or the stop is already under way
    }
    if (adaptor_ && !endShown_) {
        if (adaptor_->WorkerDone()) {
            ShowEnd(workerEnd_()); // it ended a moment ago: say how, then close as asked
        } else if (!ConfirmAndStop()) {
            return;
        }
    }
    StopWorker();
    QDialog::reject();
}
