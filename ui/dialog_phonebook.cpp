#include "ui/dialog_phonebook.h"

#include "store/contact_store.h"
#include "ui/contact_list_manager.h"
#include "ui/dialog_area.h"
#include "ui/dialog_buissness_card.h"
#include "ui/dialog_export.h"
#include "ui/dialog_import_mode.h"
#include "ui/dialog_login.h"
#include "ui/file_dialog.h"
#include "ui/image_button.h"
#include "ui/login_area.h"
#include "ui/my_thread.h"
#include "ui/open_document.h"
#include "ui/store_messages.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QShortcut>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <optional>

namespace {

const QSize kDesignedSize(1150, 656);
const QSize kMinimumSize(600, 400);

// The banner draws as much of its title as the buttons leave room for: the whole title,
// the Chinese name alone, the emblem alone, or none. Past the title the picture is plain,
// and that plain part stretches to any width.
class Banner : public QWidget {
public:
    explicit Banner(QWidget* parent) : QWidget(parent), picture_(":/images/banner.png") {
        setObjectName("img1");
        setAccessibleName("手机号码采集管理系统");
    }

    // The leftmost widget drawn over the banner; the title stops short of it.
    void SetFirstButton(const QWidget* button) { firstButton_ = button; }

protected:
    void paintEvent(QPaintEvent*) override {
        // Right ends of the emblem, the Chinese name and "| Quillon" in the picture.
        constexpr int kTitleCuts[] = {400, 305, 60};
        constexpr int kGap = 12;
        const int room = firstButton_ ? firstButton_->x() - kGap : width();
        int shown = 0;
        for (int cut : kTitleCuts) {
            if (cut <= room) {
                shown = cut;
                break;
            }
        }
        QPainter painter(this);
        const int plainStart = kTitleCuts[0];
        painter.drawPixmap(QRect(shown, 0, width() - shown, height()), picture_,
                           QRect(plainStart, 0, picture_.width() - plainStart, picture_.height()));
        painter.drawPixmap(QRect(0, 0, shown, height()), picture_,
                           QRect(0, 0, shown, picture_.height()));
    }

private:
    QPixmap picture_;
    const QWidget* firstButton_ = nullptr;
};

// A label that gives way on a narrow window: it shortens its text with "…" rather than
// let the buttons beside it draw over it. text() keeps the whole text.
class ElidingLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override { return {fontMetrics().averageCharWidth() * 6, 0}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width()));
    }
};

QWidget* Panel(const char* name, int height, QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    panel->setFixedHeight(height);
    return panel;
}

// An image button in a panel's row, wired to its command.
template <typename Handler>
ImageButton* AddButton(QBoxLayout* row, QWidget* panel, TCDialog_PhoneBook* window,
                       const char* name, const char* image, const char* text, Handler handler) {
    auto* button = new ImageButton(name, image, text, panel);
    QObject::connect(button, &QPushButton::clicked, window, handler);
    row->addWidget(button);
    return button;
}

// Escape in a box: the box's own key, not a shortcut of the window (which would need the
// window to be the active one).
class EscapeFilter : public QObject {
public:
    EscapeFilter(std::function<void()> onEscape, QObject* parent)
        : QObject(parent), onEscape_(std::move(onEscape)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            onEscape_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onEscape_;
};

} // namespace

DocumentOpener& TCDialog_PhoneBook::OpenDocument() {
    return DocumentOpenerInUse();
}

TCDialog_PhoneBook::TCDialog_PhoneBook(const Installation& installation,
                                       const LoginDigests& digests, QWidget* parent)
    : QMainWindow(parent), installation_(installation), digests_(digests) {
    setObjectName("CDialog_PhoneBook");
    setWindowTitle("Quillon");
    setWindowIcon(QIcon(":/images/quillon.png"));
    setMinimumSize(kMinimumSize);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(BuildToolPanel());
    BuildList();
    layout->addWidget(quillon_list_, 1);
    layout->addWidget(BuildPagingPanel());
    layout->addWidget(BuildCommandPanel());
    setCentralWidget(central);

    PlaceOnScreen();
}

void TCDialog_PhoneBook::PlaceOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        resize(kDesignedSize);
        return;
    }
    // A window larger than the screen would open with its first column and the exit button
    // out of reach.
    const QRect available = screen->availableGeometry();
    // The frame is known only once the window exists on screen; until then it counts as none.
    const QSize frameExtra = frameGeometry().size() - size();
    resize(kDesignedSize.boundedTo(available.size() - frameExtra).expandedTo(kMinimumSize));
    QRect frame(QPoint(), frameGeometry().size());
    frame.moveCenter(available.center());
    move(std::max(frame.left(), available.left()), std::max(frame.top(), available.top()));
}

TCDialog_PhoneBook::~TCDialog_PhoneBook() {
    // The deletion job makes waiting calls into this window: serve them in a nested loop
    // while it ends, instead of blocking on a worker that is blocked on us. Its end report
    // is not wanted any more.
    if (worker_) {
        disconnect(worker_, nullptr, this, nullptr);
        worker_->RequestStop();
        worker_->WaitServingGui();
        delete worker_;
        worker_ = nullptr;
    }
}

QWidget* TCDialog_PhoneBook::BuildToolPanel() {
    pnl_tool_ = Panel("pnl_tool", 57, this);
    auto* banner = new Banner(pnl_tool_);
    auto* bannerLayout = new QHBoxLayout(pnl_tool_);
    bannerLayout->setContentsMargins(0, 0, 0, 0);
    bannerLayout->addWidget(banner);
    auto* buttons = new QHBoxLayout(banner);
    buttons->setContentsMargins(0, 0, 12, 0);
    buttons->setSpacing(6);
    buttons->addStretch();
    auto add = [&](const char* name, const char* image, const char* text, auto handler) {
        return AddButton(buttons, banner, this, name, image, text, handler);
    };
    // Hidden: fills the register with test rows when made visible by a developer.
    add("btn_TestData", "main_btn_new", "测试数据", &TCDialog_PhoneBook::btn_TestDataClick)->hide();
    banner->SetFirstButton(
        add("btn_Area", "main_btn_Area", "地区管理", &TCDialog_PhoneBook::btn_AreaClick));
    add("btn_exportTemplate", "main_btn_exportTemplate", "导出模板",
        &TCDialog_PhoneBook::btn_exportTemplateClick);
    add("btn_deleteAll", "main_btn_deleteAll", "全部删除", &TCDialog_PhoneBook::btn_deleteAllClick);
    add("btn_help", "main_btn_help", "帮助", &TCDialog_PhoneBook::btn_helpClick);
    add("btn_exit", "main_btn_exit", "退出", &TCDialog_PhoneBook::btn_exitClick);
    return pnl_tool_;
}

void TCDialog_PhoneBook::BuildList() {
    quillon_list_ = new QTableWidget(this);
    quillon_list_->setObjectName("quillon_list");
    // The window's own face, as every other control has it, only larger.
    QFont listFont = font();
    listFont.setPixelSize(16);
    quillon_list_->setFont(listFont);
    quillon_list_->setAlternatingRowColors(false);
    check_all_ = new QCheckBox(quillon_list_->horizontalHeader());
    check_all_->setObjectName("check_all");
    check_all_->setFixedSize(17, 17);
    check_all_->setToolTip("全选");
    check_all_->setAccessibleName("全选");
    check_all_->move(7, 4);
}

QWidget* TCDialog_PhoneBook::BuildPagingPanel() {
    panel1_ = Panel("Panel1", 64, this);
    auto* column = new QVBoxLayout(panel1_);
    column->setContentsMargins(10, 6, 10, 4);
    column->setSpacing(4);
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    lbl_items_ = new ElidingLabel(panel1_);
    lbl_items_->setObjectName("lbl_items");
    QFont countFont = font();
    countFont.setPixelSize(13);
    lbl_items_->setFont(countFont);
    row->addWidget(lbl_items_, 1);
    auto add = [&](const char* name, const char* image, const char* text, auto handler) {
        return AddButton(row, panel1_, this, name, image, text, handler);
    };
    AddSearchControls(row);
    add("btn_first", "main_btn_first", "首页", [this] { manager_->FirstPage(); });
    add("btn_front", "main_btn_front", "上一页", [this] { manager_->PreviousPage(); });
    add("btn_next", "main_btn_next", "下一页", [this] { manager_->NextPage(); });
    add("btn_last", "main_btn_last", "尾页", [this] { manager_->LastPage(); });
    edt_specailPage_ = new QLineEdit(panel1_);
    edt_specailPage_->setObjectName("edt_specailPage");
    edt_specailPage_->setMaxLength(5);
    edt_specailPage_->setFixedWidth(56);
    edt_specailPage_->setAlignment(Qt::AlignCenter);
    edt_specailPage_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edt_specailPage_));
    edt_specailPage_->setToolTip("页码");
    edt_specailPage_->setAccessibleName("页码");
    connect(edt_specailPage_, &QLineEdit::returnPressed, this, [this] {
        if (manager_) {
            manager_->GoToPage(false);
        }
    });
    row->addWidget(edt_specailPage_);
    label_page_ = new QLabel("/1", panel1_);
    label_page_->setObjectName("label_page");
    label_page_->setMinimumWidth(44);
    row->addWidget(label_page_);
    add("btn_GoSpecialPage", "main_btn_GoSpecialPage", "跳转",
        [this] { manager_->GoToPage(false); });
    column->addLayout(row);
    pb_my_ = new QProgressBar(panel1_);
    pb_my_->setObjectName("pb_my");
    pb_my_->setRange(0, 100);
    pb_my_->setValue(0);
    pb_my_->setTextVisible(false);
    pb_my_->setFixedHeight(12);
    column->addWidget(pb_my_);
    return panel1_;
}

void TCDialog_PhoneBook::AddSearchControls(QHBoxLayout* row) {
    edt_search_ = new QLineEdit(panel1_);
    edt_search_->setObjectName("edt_search");
    edt_search_->setAccessibleName("查找");
    edt_search_->setPlaceholderText("姓名、手机号码或单位");
    edt_search_->setToolTip("查找 (Ctrl+F)");
    edt_search_->setClearButtonEnabled(true);
    // Narrow windows give the box what the count label can spare.
    edt_search_->setMinimumWidth(56);
    edt_search_->setMaximumWidth(200);
    edt_search_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(edt_search_, &QLineEdit::returnPressed, this, &TCDialog_PhoneBook::RunSearch);
    edt_search_->installEventFilter(new EscapeFilter([this] { ShowWholeRegister(); }, edt_search_));
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        edt_search_->setFocus(Qt::ShortcutFocusReason);
        edt_search_->selectAll();
    });
    row->addWidget(edt_search_, 1); // with the count label, up to its widest
    auto* search = new QToolButton(panel1_);
    search->setText("查找");
    search->setObjectName("btn_search");
    connect(search, &QToolButton::clicked, this, &TCDialog_PhoneBook::RunSearch);
    row->addWidget(search);
    btn_search_ = search;
    auto* all = new QToolButton(panel1_);
    all->setText("全部");
    all->setObjectName("btn_all");
    connect(all, &QToolButton::clicked, this, &TCDialog_PhoneBook::ShowWholeRegister);
    row->addWidget(all);
    btn_all_ = all;
}

void TCDialog_PhoneBook::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // Below this the paging row has no room for the two buttons; Enter and Escape in the
    // box do what they do.
    constexpr int kWidthForSearchButtons = 700;
    const bool room = width() >= kWidthForSearchButtons;
    if (btn_search_ && btn_search_->isVisibleTo(this) != room) {
        btn_search_->setVisible(room);
        btn_all_->setVisible(room);
    }
}

void TCDialog_PhoneBook::RunSearch() {
    if (manager_) {
        const QCursor wait(Qt::WaitCursor);
        QGuiApplication::setOverrideCursor(wait);
        manager_->Search(edt_search_->text());
        QGuiApplication::restoreOverrideCursor();
    }
}

void TCDialog_PhoneBook::ShowWholeRegister() {
    edt_search_->clear();
    if (manager_ && manager_->Searching()) {
        manager_->Search(QString());
    }
}

QWidget* TCDialog_PhoneBook::BuildCommandPanel() {
    panel2_ = Panel("Panel2", 84, this);
    auto* row = new QHBoxLayout(panel2_);
    row->setContentsMargins(20, 0, 20, 0);
    row->setSpacing(24);
    auto add = [&](const char* name, const char* image, const char* text, auto handler) {
        return AddButton(row, panel2_, this, name, image, text, handler);
    };
    row->addStretch();
    add("btn_new", "main_btn_new", "新建", &TCDialog_PhoneBook::btn_newClick);
    add("btn_delete", "main_btn_delete", "删除", &TCDialog_PhoneBook::btn_deleteClick);
    add("btn_import", "main_btn_import", "导入", &TCDialog_PhoneBook::btn_importClick);
    add("btn_export", "main_btn_export", "导出", &TCDialog_PhoneBook::btn_exportClick);
    row->addStretch();
    return panel2_;
}

void TCDialog_PhoneBook::FormCreate() {
    TCDialog_Login login(installation_, digests_, this);
    connect(&login, &TCDialog_Login::loginSucceeded, this, &TCDialog_PhoneBook::OnLoginSucceeded,
            Qt::DirectConnection);
    login.exec();
}

void TCDialog_PhoneBook::OnLoginSucceeded() {
    if (!manager_) {
        manager_ = new ContactListManager(installation_, this);
        manager_->Bind(quillon_list_, edt_specailPage_, check_all_, label_page_, pb_my_,
                       lbl_items_);
        connect(manager_, &ContactListManager::editRequested, this,
                &TCDialog_PhoneBook::OnEditRequested);
        connect(manager_, &ContactListManager::readFailed, this,
                &TCDialog_PhoneBook::ShowReadFailure);
    }
    show();
}

void TCDialog_PhoneBook::OnImportFinished(int) {
    if (manager_) {
        manager_->SetCurrentPage(-1);
        manager_->FirstPage();
    }
}

void TCDialog_PhoneBook::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!placedWithFrame_) {
        placedWithFrame_ = true;
        PlaceOnScreen();
    }
    if (manager_ && !event->spontaneous()) {
        manager_->FirstPage();
    }
}

void TCDialog_PhoneBook::closeEvent(QCloseEvent* event) {
    // 退出 and the close box ask the same question; a window never shown (a login given up)
    // just goes.
    if (manager_ && isVisible() &&
        MessageBoxes::Show(this, MessageKind::Warning, "确认退出系统吗？",
                           MessageButtons::OkCancel) != MessageAnswer::Ok) {
        event->ignore();
        return;
    }
    // The deletion worker reports to this window: let it end (its calls are served
    // meanwhile) and report before the window goes.
    if (worker_) {
        // Its end report, delivered while we wait, deletes it.
        CMyThread* worker = worker_;
        const QPointer<CMyThread> alive = worker;
        worker->RequestStop();
        worker->WaitServingGui();
        if (alive) {
            QCoreApplication::sendPostedEvents(worker);
        }
    }
    QMainWindow::closeEvent(event);
}

void TCDialog_PhoneBook::OnEditRequested(int row) {
    if (!manager_) {
        return;
    }
    {
        // The manager finds the row being edited through the list's current row, so the
        // selection is cleared only once the editor has closed.
        TCDialog_BuissnessCard editor(installation_, *manager_, nullptr, this);
        editor.LoadRecord(manager_->RowRecord(row));
        editor.exec();
    }
    quillon_list_->setCurrentItem(nullptr);
    quillon_list_->clearSelection();
}

void TCDialog_PhoneBook::SetPanelsEnabled(bool enabled) {
    // The hourglass covers the list and every control, which set cursors of their own; it
    // is up for as long as the panels are off.
    if (!enabled) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    pnl_tool_->setEnabled(enabled);
    panel1_->setEnabled(enabled);
    panel2_->setEnabled(enabled);
    if (enabled) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void TCDialog_PhoneBook::btn_newClick() {
    if (!manager_) {
        return;
    }
    {
        TCDialog_BuissnessCard editor(installation_, *manager_, this);
        editor.exec();
    }
    manager_->Recount();
}

void TCDialog_PhoneBook::btn_deleteClick() {
    if (!manager_ || worker_) {
        return;
    }
    if (manager_->CheckedRows().empty()) {
        MessageBoxes::Show(this, MessageKind::Warning, "请选择要删除的数据！", MessageButtons::Yes);
        return;
    }
    const QString question =
        QString("确定要删除选择的数据吗？\n将删除%1条记录。").arg(manager_->CheckedRows().size());
    if (MessageBoxes::ShowWithDefault(this, MessageKind::Warning, question,
                                      MessageButtons::OkCancel,
                                      MessageAnswer::Cancel) != MessageAnswer::Ok) {
        return;
    }
    worker_ = new CMyThread(this);
    connect(worker_, &WorkerAdaptor::finished, this, &TCDialog_PhoneBook::OnDeletionFinished);
    manager_->SetGuiCaller(
        [worker = worker_](const std::function<void()>& work) { return worker->CallOnGui(work); });
    worker_->SetJob([worker = worker_](TCDialog_PhoneBook* window, WorkerContext&) {
        worker->CallOnGui([window] { window->SetPanelsEnabled(false); });
        window->onMyThread();
        worker->CallOnGui([window] { window->SetPanelsEnabled(true); });
    });
    worker_->Start();
}

void TCDialog_PhoneBook::onMyThread() {
    deletionSucceeded_ = manager_->DeleteCheckedContacts();
    manager_->GoToPage(true);
}

void TCDialog_PhoneBook::OnDeletionFinished(bool jobCompleted) {
    if (!worker_) {
        return;
    }
    worker_->deleteLater();
    worker_ = nullptr;
    manager_->SetGuiCaller({});
    if (!jobCompleted) {
        deletionSucceeded_ = false;
    }
    if (deletionSucceeded_) {
        MessageBoxes::Show(this, MessageKind::Information, "删除成功！", MessageButtons::Ok);
    } else {
        MessageBoxes::Show(this, MessageKind::Error, "删除失败!", MessageButtons::Ok);
    }
}

void TCDialog_PhoneBook::btn_deleteAllClick() {
    if (!manager_ || MessageBoxes::ShowWithDefault(
                         this, MessageKind::Warning,
                         "该操作会删除您通讯录中的所有数据，且无法恢复，您确认删除吗？",
                         MessageButtons::OkCancel, MessageAnswer::Cancel) != MessageAnswer::Ok) {
        return;
    }
    const bool deleted = manager_->DeleteAllContacts();
    manager_->Recount();
    if (deleted) {
        MessageBoxes::Show(this, MessageKind::Information, "全部删除成功！", MessageButtons::Yes);
    } else {
        MessageBoxes::Show(this, MessageKind::Error, "删除失败!", MessageButtons::Ok);
    }
}

namespace {

std::optional<ImportKind> ImportKindOfFiles(const QStringList& files, int filter) {
    const auto all = [&](std::initializer_list<const char*> suffixes) {
        return std::all_of(files.begin(), files.end(), [&](const QString& file) {
            return std::any_of(suffixes.begin(), suffixes.end(), [&](const char* suffix) {
                return file.endsWith(suffix, Qt::CaseInsensitive);
            });
        });
    };
    if (all({".qsec"})) {
        return ImportKind::Package;
    }
    if (all({".xls", ".xlsx"})) {
        return ImportKind::Spreadsheet;
    }
    if (all({".qsec", ".xls", ".xlsx"})) {
        return std::nullopt; // packages and workbooks together
    }
    // Names of neither kind: the filter entry left selected says which they are meant to be.
    return filter == 1 ? ImportKind::Package : ImportKind::Spreadsheet;
}

} // namespace

void TCDialog_PhoneBook::btn_importClick() {
    if (!manager_) {
        return;
    }
    // The chosen files' names decide the kind, whatever filter entry was left; the dialog
    // opens with the entry used last.
    int filter = lastImportFilter_;
    const QStringList files = FileDialogs::GetOpenFileNames(
        this, "导入通讯录", ".xls (*.xls *.xlsx);;.qsec (*.qsec)", &filter);
    if (files.isEmpty()) {
        return;
    }
    lastImportFilter_ = filter;
    const std::optional<ImportKind> kind = ImportKindOfFiles(files, filter);
    if (!kind) {
        MessageBoxes::Show(this, MessageKind::Warning,
                           "Excel文件和数据包文件不能一起导入，请分开选择！", MessageButtons::Ok);
        return;
    }
    TCDialog_ImportMode mode(installation_, this);
    connect(&mode, &TCDialog_ImportMode::importFinished, this,
            &TCDialog_PhoneBook::OnImportFinished);
    mode.SetData(files, *kind);
    mode.exec();
}

void TCDialog_PhoneBook::ShowReadFailure(const QString& text) {
    MessageBoxes::Show(this, MessageKind::Error, text, MessageButtons::Ok);
}

void TCDialog_PhoneBook::btn_exportClick() {
    if (!manager_) {
        return;
    }
    ContactStore store(installation_.database);
    const StoreResult<int> count = store.CountContactsForExport(CurrentLoginArea().name);
    if (!count) {
        ShowReadFailure(DatabaseFailureText(count.status()));
    } else if (count.value() > 0) {
        {
            TCDialog_Export exportWindow(installation_, this);
            exportWindow.SetAreaName(CurrentLoginArea().name);
            exportWindow.exec();
        }
        manager_->Recount();
    } else {
        MessageBoxes::Show(this, MessageKind::Warning, "通讯录中没有数据，无法导出！",
                           MessageButtons::Ok);
    }
}

void TCDialog_PhoneBook::btn_exportTemplateClick() {
    ExportSpreadsheetTemplate(this);
}

void TCDialog_PhoneBook::btn_AreaClick() {
    TCDialog_Area areas(installation_, this);
    areas.exec();
}

void TCDialog_PhoneBook::btn_helpClick() {
    // Where the desktop has no handler and our viewer cannot start either, nothing would
    // happen at all: say so.
    if (!OpenDocument()(installation_.help)) {
        MessageBoxes::Show(this, MessageKind::Error,
                           "无法打开帮助文件：" +
                               QString::fromStdString(installation_.help.string()),
                           MessageButtons::Yes);
    }
}

void TCDialog_PhoneBook::btn_exitClick() {
    close(); // the close box's question is asked there
}

void TCDialog_PhoneBook::btn_TestDataClick() {
    if (manager_) {
        manager_->AddTestContacts();
        manager_->Recount();
    }
}
