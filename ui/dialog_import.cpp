#include "ui/dialog_import.h"

#include "ui/import_messages.h"
#include "ui/login_area.h"
#include "ui/message_box.h"
#include "ui/open_document.h"
#include "ui/qt_text.h"
#include "ui/worker_adaptor.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>

namespace {
constexpr int kListFontPixels = 19;
constexpr int kTimerMilliseconds = 1000;
// The bar moves in at most this many steps, so a large file does not flood the window.
constexpr int kProgressSteps = 200;
} // namespace

// Brings the run's reports to the window: lines and the bar as queued calls that never
// wait, boxes as the worker's waiting messages.
class WindowImportReport : public ImportReport {
public:
    explicit WindowImportReport(TCDialog_Import* window) : window_(window) {}

    void Attach(WorkerContext* context) { context_.store(context); }

    void Line(const ImportNotice& notice) override {
        Post([line = ImportNoticeText(notice)](TCDialog_Import* w) { w->AddLine(line); });
    }
    void ProgressMaximum(int maximum) override {
        maximum_ = maximum;
        shownStep_ = -1;
        Post([maximum](TCDialog_Import* w) { w->SetProgressMaximum(maximum); });
    }
    void ProgressPosition(int position) override {
        const int step =
            maximum_ > 0
                ? static_cast<int>(static_cast<long long>(position) * kProgressSteps / maximum_)
                : 0;
        if (step == shownStep_ && position != maximum_) {
            return;
        }
        shownStep_ = step;
        Post([position](TCDialog_Import* w) { w->SetProgressPosition(position); });
    }
    void Box(const ImportNotice& notice) override {
        if (WorkerContext* context = context_.load()) {
            context->Message(MessageKind::Plain, FromQString(ImportNoticeText(notice)),
                             MessageButtons::Ok, "Quillon");
        }
    }
    bool StopRequested() const override {
        const WorkerContext* context = context_.load();
        return context && context->StopRequested();
    }

private:
    template <class Work> void Post(Work work) {
        QPointer<TCDialog_Import> window = window_;
        QMetaObject::invokeMethod(
            window_,
            [window, work] {
                if (window) {
                    work(window.data());
                }
            },
            Qt::QueuedConnection);
    }

    TCDialog_Import* window_;
    std::atomic<WorkerContext*> context_{nullptr};
    int maximum_ = 0;
    int shownStep_ = -1;
};

TCDialog_Import::TCDialog_Import(const Installation& installation, ImportRequest request,
                                 QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      installation_(installation) {
    setObjectName("CDialog_Import");
    setWindowTitle("导入过程");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    lst_importInfor_ = new QListWidget(this);
    lst_importInfor_->setObjectName("lst_importInfor");
    lst_importInfor_->setAccessibleName("导入过程");
    QFont listFont = lst_importInfor_->font();
    listFont.setPixelSize(kListFontPixels);
    lst_importInfor_->setFont(listFont);
    lst_importInfor_->setWordWrap(true);
    column->addWidget(lst_importInfor_, 1);
    pb1_ = new QProgressBar(this);
    pb1_->setObjectName("pb1");
    pb1_->setAccessibleName("导入进度");
    pb1_->setMinimum(0);
    pb1_->setValue(0);
    column->addWidget(pb1_);
    auto* buttons = new QHBoxLayout;
    btnOpen_ = new QPushButton("打开未导入数据文件夹", this);
    btnOpen_->setObjectName("btnOpen");
    Button_Cancle_ = new QPushButton("取消", this);
    Button_Cancle_->setObjectName("Button_Cancle");
    end_ = new QPushButton("完成", this);
    end_->setObjectName("end");
    for (QPushButton* button : {btnOpen_, Button_Cancle_, end_}) {
        button->setAutoDefault(false);
        button->setMinimumHeight(30);
    }
    buttons->addWidget(btnOpen_);
    buttons->addStretch();
    buttons->addWidget(Button_Cancle_);
    buttons->addWidget(end_);
    column->addLayout(buttons);
    end_->hide();
    btnOpen_->hide();
    setFixedSize(560, 420);
    connect(Button_Cancle_, &QPushButton::clicked, this, &TCDialog_Import::Button_CancleClick);
    connect(end_, &QPushButton::clicked, this, &TCDialog_Import::EndClick);
    connect(btnOpen_, &QPushButton::clicked, this, &TCDialog_Import::btnOpenClick);

    report_ = std::make_unique<WindowImportReport>(this);
    run_ = std::make_unique<ImportRun>(
        ImportPlaces{installation_.database, installation_.failedDir, CurrentLoginArea().name},
        std::move(request), *report_);
    adaptor_ = std::make_unique<WorkerAdaptor>(this);
    connect(adaptor_.get(), &WorkerAdaptor::finished, this, &TCDialog_Import::OnRunFinished);
    adaptor_->Start([this](WorkerContext& context) {
        report_->Attach(&context);
        succeeded_ = run_->ImportFiles();
    });
    timer_ = new QTimer(this);
    timer_->setInterval(kTimerMilliseconds);
    connect(timer_, &QTimer::timeout, this, &TCDialog_Import::OnTimer);
    timer_->start();
}

TCDialog_Import::~TCDialog_Import() {
    // The worker reports to this window: it must be over before the window goes.
    adaptor_->Release();
}

void TCDialog_Import::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    QWidget* mainWindow = parentWidget() ? parentWidget()->parentWidget() : nullptr;
    if (QWidget* centreOn = mainWindow ? mainWindow : parentWidget()) {
        move(pos() + centreOn->frameGeometry().center() - frameGeometry().center());
    }
}

void TCDialog_Import::AddLine(const QString& line) {
    // Some lines end in a line feed of their own; the list shows each on one row.
    QString shown = line;
    while (shown.endsWith('\n')) {
        shown.chop(1);
    }
    lst_importInfor_->addItem(shown);
    lst_importInfor_->scrollToBottom();
}

void TCDialog_Import::SetProgressMaximum(int maximum) {
    pb1_->setMaximum(maximum);
}

void TCDialog_Import::SetProgressPosition(int position) {
    pb1_->setValue(position);
}

void TCDialog_Import::OnTimer() {
    if (!cancelling_ && adaptor_->WorkerDone()) {
        ShowEnd();
    }
}

void TCDialog_Import::OnRunFinished(bool) {
    if (!cancelling_) {
        ShowEnd();
    }
}

void TCDialog_Import::ShowEnd() {
    ended_ = true;
    timer_->stop();
    Button_Cancle_->hide();
    end_->show();
    btnOpen_->show();
}

bool TCDialog_Import::ConfirmAndCancel() {
    adaptor_->Pause();
    if (MessageBoxes::Show(this, MessageKind::Confirmation, "是否取消本次导入？",
                           MessageButtons::YesNo, "提示消息框") != MessageAnswer::Yes) {
        adaptor_->Resume();
        return false;
    }
    cancelling_ = true;
    Button_Cancle_->setEnabled(false);
    timer_->stop();
    adaptor_->RequestStop();
    adaptor_->WaitServingGui();
    run_->DeleteImportedRecords();
    cancelling_ = false;
    QCoreApplication::sendPostedEvents(this); // the lines saying what was taken back
    ShowEnd();
    return true;
}

void TCDialog_Import::Button_CancleClick() {
    if (cancelling_ || ended_) {
        return;
    }
    ConfirmAndCancel();
}

void TCDialog_Import::EndClick() {
    close();
}

void TCDialog_Import::btnOpenClick() {
    DocumentOpenerInUse()(installation_.dir);
    close();
}

void TCDialog_Import::reject() {
    // Every way of closing ends here: the close box, Escape, the buttons.
    if (cancelling_) {
        return;
    }
    if (!ended_ && !adaptor_->WorkerDone()) {
        // Closing while the run goes on is a cancel, with its question; the window then
        // stays to show what was taken back.
        ConfirmAndCancel();
        return;
    }
    adaptor_->Release();
    QDialog::reject();
}
