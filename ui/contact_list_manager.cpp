#include "ui/contact_list_manager.h"

#include "crypto/uiid.h"
#include "platform/text.h"
#include "store/search_index.h"
#include "ui/login_area.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"
#include "ui/store_messages.h"

#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace {

constexpr int kIdRole = Qt::UserRole;
const QColor kEvenRowColour(255, 255, 0);
const char* const kEditText = "修 改";
// How often at most the cells are measured again while the list's width changes.
constexpr int kRefitMilliseconds = 50;

const char* const kHeaders[ContactListManager::kColumnCount] = {
    "",           "姓名",           "性别",           "出生年月",   "学历",     "类别",
    "省(区、市)", "市(地、州、盟)", "县(市、区、旗)", "单位及职务", "手机号码", "操作"};

int PagesFor(int count) {
    return count < 1 ? 1 : count / kContactsPerPage + (count % kContactsPerPage ? 1 : 0);
}

} // namespace

ContactListManager::ContactListManager(const Installation& installation, QWidget* window)
    : QObject(window), window_(window), store_(installation.database),
      pager_(installation.database) {}

void ContactListManager::OnGui(const std::function<void()>& work) {
    if (QThread::currentThread() == thread()) {
        work();
    } else if (guiCaller_) {
        // A worker's waiting call that its window can release: a window that goes while
        // the worker runs never waits on a worker that waits on it.
        guiCaller_(work);
    }
}

void ContactListManager::SetGuiCaller(GuiCaller caller) {
    guiCaller_ = std::move(caller);
}

bool ContactListManager::Bind(QTableWidget* list, QLineEdit* pageEdit, QCheckBox* checkAll,
                              QLabel* pageLabel, QProgressBar* progress, QLabel* countLabel) {
    if (!list || !pageEdit || !checkAll || !pageLabel || !progress || !countLabel) {
        return false;
    }
    list_ = list;
    pageEdit_ = pageEdit;
    checkAll_ = checkAll;
    pageLabel_ = pageLabel;
    progress_ = progress;
    countLabel_ = countLabel;

    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    list_->verticalHeader()->hide();
    list_->setColumnCount(kColumnCount);
    QStringList headers;
    for (const char* title : kHeaders) {
        headers << title;
    }
    list_->setHorizontalHeaderLabels(headers);
    QHeaderView* header = list_->horizontalHeader();
    header->setMinimumSectionSize(30);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(kCheckColumn, QHeaderView::Fixed);
    header->resizeSection(kCheckColumn, 30);
    header->setStretchLastSection(true);
    list_->setMouseTracking(true);
    viewport_ = list_->viewport();
    viewport_->installEventFilter(this);
    refit_ = new QTimer(this);
    refit_->setSingleShot(true);
    refit_->setInterval(kRefitMilliseconds);
    connect(refit_, &QTimer::timeout, this, [this] {
        if (list_) {
            FitColumnsToContents();
        }
    });
    list_->installEventFilter(this);
    // The list goes before this object when the window is torn down; from then on its
    // events are none of our business.
    connect(list_, &QObject::destroyed, this, [this] {
        list_ = nullptr;
        viewport_ = nullptr;
    });

    connect(list_, &QTableWidget::cellClicked, this, &ContactListManager::OnCellClicked);
    connect(list_, &QTableWidget::itemChanged, this, &ContactListManager::OnItemChanged);
    connect(checkAll_, &QCheckBox::clicked, this, &ContactListManager::OnCheckAllClicked);
    return Recount();
}

bool ContactListManager::Recount() {
    const StoreResult<int> counted = pager_.Count(CurrentLoginArea().name);
    // A count that could not be read is not an empty register: the labels stay.
    if (!counted) {
        ReportReadFailure(counted.status());
        return false;
    }
    OnGui([&] {
        ShowCount(counted.value());
        UpdatePageLabel();
    });
    return true;
}

void ContactListManager::ShowCount(int count) {
    totalPages_ = PagesFor(count);
    if (count < 1) {
        currentPage_ = 1;
    }
    countLabel_->setText(QString("共%1条记录,每页200条").arg(count));
}

void ContactListManager::UpdatePageLabel() {
    pageLabel_->setText(QString("%1/%2").arg(currentPage_).arg(totalPages_));
}

bool ContactListManager::LoadPage(int page) {
    std::vector<ContactRecord> records;
    const StoreResult<int> total = pager_.Page(page, CurrentLoginArea().name, records);
    if (!total) {
        ReportReadFailure(total.status());
        return false;
    }
    OnGui([&] {
        // The page's own count: a change since the last turn shows in the labels too.
        ShowCount(total.value());
        currentPage_ = page;
        FillList(records);
        UpdatePageLabel();
    });
    return true;
}

void ContactListManager::ReportReadFailure(const StoreStatus& status) {
    // Emitted from the deletion worker too; the window shows it on the GUI thread.
    emit readFailed(DatabaseFailureText(status));
}

// The page operations stop when the recount could not read the table: the page could not be
// read either, and one message says so.
bool ContactListManager::Search(const QString& query) {
    pager_.SetQuery(FromQString(query.trimmed()));
    currentPage_ = 1;
    UncheckAllRows();
    return Recount() && LoadPage(1);
}

bool ContactListManager::ShownBySearch(const ContactRecord& record) const {
    if (!Searching()) {
        return true;
    }
    const std::string fields[] = {Gb18030ToUtf8(record[kUser_Name]),
                                  Gb18030ToUtf8(record[kMobile_NO]),
                                  Gb18030ToUtf8(record[kOrganization_Detial])};
    const std::string_view views[] = {fields[0], fields[1], fields[2]};
    return MatchesSearch(Gb18030ToUtf8(pager_.Query()), views);
}

bool ContactListManager::FirstPage() {
    return Recount() && LoadPage(1);
}

bool ContactListManager::LastPage() {
    if (currentPage_ == totalPages_) {
        return true;
    }
    return Recount() && LoadPage(totalPages_);
}

bool ContactListManager::NextPage() {
    if (!Recount() || currentPage_ >= totalPages_) {
        return false;
    }
    return LoadPage(currentPage_ + 1);
}

bool ContactListManager::PreviousPage() {
    if (!Recount() || currentPage_ <= 1) {
        return false;
    }
    return LoadPage(currentPage_ - 1);
}

bool ContactListManager::GoToPage(bool reload) {
    if (!Recount()) {
        return false;
    }
    if (reload) {
        // Deleting the last rows of the last page takes that page away: show the new last.
        return LoadPage(std::min(currentPage_, totalPages_));
    }
    const QString text = pageEdit_->text();
    if (text.isEmpty() || text.size() > 9) {
        return false;
    }
    for (QChar c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    const int page = text.toInt();
    if (page <= 0 || page > totalPages_) {
        MessageBoxes::Show(window_, MessageKind::Warning,
                           QString("第%1页不存在，共%2页。").arg(page).arg(totalPages_),
                           MessageButtons::Ok);
        // A number typed next replaces this one.
        pageEdit_->setFocus();
        pageEdit_->selectAll();
        return false;
    }
    if (page == currentPage_) {
        return true;
    }
    return LoadPage(page);
}

void ContactListManager::ClearRows() {
    syncingChecks_ = true;
    list_->clearContents();
    list_->setRowCount(0);
    syncingChecks_ = false;
}

void ContactListManager::SetRow(int row, const ContactRecord& record) {
    const bool even = row % 2 == 0;
    auto cell = [&](int column, const QString& text) {
        QTableWidgetItem* item = list_->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            list_->setItem(row, column, item);
        }
        item->setText(text);
        if (even) {
            item->setBackground(kEvenRowColour);
        } else {
            item->setData(Qt::BackgroundRole, QVariant());
        }
        return item;
    };
    QTableWidgetItem* check = cell(kCheckColumn, QString());
    check->setData(kIdRole, QByteArray::fromStdString(record[kUI_ID]));
    for (int field = kUser_Name; field <= kMobile_NO; ++field) {
        cell(field, ToQString(record[field]));
    }
    cell(kEditColumn, kEditText);
}

void ContactListManager::AddUncheckedBox(int row) {
    QTableWidgetItem* check = list_->item(row, kCheckColumn);
    check->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    check->setCheckState(Qt::Unchecked);
}

void ContactListManager::FillList(const std::vector<ContactRecord>& records) {
    syncingChecks_ = true;
    list_->setUpdatesEnabled(false);
    list_->clearContents();
    list_->setRowCount(static_cast<int>(records.size()));
    for (int row = 0; row < static_cast<int>(records.size()); ++row) {
        SetRow(row, records[row]);
        AddUncheckedBox(row);
    }
    FitColumnsToContents();
    list_->scrollToTop();
    list_->setUpdatesEnabled(true);
    checked_.clear();
    checkAll_->setChecked(false);
    syncingChecks_ = false;
}

void ContactListManager::FitColumnsToContents() {
    // Measuring the texts directly is several times faster than asking the view, which
    // builds a style option and a size hint for every cell.
    const QFontMetrics cells(list_->font());
    const QFontMetrics titles(list_->horizontalHeader()->font());
    // No column takes more than its share, so that one long text cannot push the number
    // and the edit cell off the screen: a longer text ends in "…" and shows whole as the
    // cell's tooltip.
    constexpr int kWidestColumn = 130;
    // Each cell's text measured once: the widths need it, and so does the tooltip.
    const int rows = list_->rowCount();
    std::vector<int> needed(static_cast<std::size_t>(rows) * kColumnCount, 0);
    const auto neededAt = [&](int row, int column) -> int& {
        return needed[static_cast<std::size_t>(row) * kColumnCount + column];
    };
    for (int column = kUser_Name; column < kColumnCount; ++column) {
        const int titleWidth = titles.horizontalAdvance(kHeaders[column]) + 16;
        const int widest = std::max(titleWidth, kWidestColumn);
        contentWidths_[column] = titleWidth;
        for (int row = 0; row < rows; ++row) {
            if (const QTableWidgetItem* item = list_->item(row, column)) {
                neededAt(row, column) = cells.horizontalAdvance(item->text()) + 10;
                contentWidths_[column] =
                    std::max(contentWidths_[column], std::min(neededAt(row, column), widest));
            }
        }
    }
    ShareOutWidth();
    for (int column = kUser_Name; column < kColumnCount; ++column) {
        const int width = list_->columnWidth(column);
        for (int row = 0; row < rows; ++row) {
            if (QTableWidgetItem* item = list_->item(row, column)) {
                item->setToolTip(neededAt(row, column) > width ? item->text() : QString());
            }
        }
    }
}

void ContactListManager::ShareOutWidth() {
    if (contentWidths_[kUser_Name] == 0) {
        return; // nothing measured yet: the columns keep the widths they have
    }
    int width[kColumnCount] = {};
    std::copy(std::begin(contentWidths_), std::end(contentWidths_), width);
    // Where the row is still wider than the list, the widest of the text columns give way,
    // down to their titles' own width, until the number and the edit cell fit.
    const QFontMetrics titles(list_->horizontalHeader()->font());
    int narrowest[kColumnCount] = {};
    for (int column = kUser_Name; column < kColumnCount; ++column) {
        narrowest[column] = titles.horizontalAdvance(kHeaders[column]) + 4;
    }
    constexpr int kYielding[] = {kUser_Name, kOrganization_Detial, kCounty_Seat, kCity, kProvince};
    // The vertical scroll bar may appear only once the rows are in: its room is kept.
    const int scrollBar = list_->verticalScrollBar()->isVisible()
                              ? 0
                              : list_->verticalScrollBar()->sizeHint().width();
    QHeaderView* header = list_->horizontalHeader();
    int excess = header->sectionSize(kCheckColumn) + scrollBar - list_->viewport()->width();
    for (int column = kUser_Name; column < kColumnCount; ++column) {
        excess += width[column];
    }
    while (excess > 0) {
        int* widest = nullptr;
        for (const int column : kYielding) {
            if (width[column] > narrowest[column] && (!widest || width[column] > *widest)) {
                widest = &width[column];
            }
        }
        if (!widest) {
            break;
        }
        --*widest;
        --excess;
    }
    for (int column = kUser_Name; column < kColumnCount; ++column) {
        header->resizeSection(column, width[column]);
    }
}

void ContactListManager::InsertTopRow(const ContactRecord& record) {
    syncingChecks_ = true;
    list_->insertRow(0);
    SetRow(0, record);
    AddUncheckedBox(0);
    // Every row below moved by one: their colours follow their new positions.
    RecolourRows(1);
    syncingChecks_ = false;
}

void ContactListManager::RecolourRows(int first) {
    for (int row = first; row < list_->rowCount(); ++row) {
        for (int column = 0; column < kColumnCount; ++column) {
            if (QTableWidgetItem* item = list_->item(row, column)) {
                item->setData(Qt::BackgroundRole,
                              row % 2 == 0 ? QVariant(kEvenRowColour) : QVariant());
            }
        }
    }
}

std::string ContactListManager::RowId(int row) const {
    const QTableWidgetItem* item = list_->item(row, kCheckColumn);
    return item ? item->data(kIdRole).toByteArray().toStdString() : std::string();
}

ContactRecord ContactListManager::RowRecord(int row) const {
    ContactRecord record;
    for (int field = kUser_Name; field <= kMobile_NO; ++field) {
        if (const QTableWidgetItem* item = list_->item(row, field)) {
            record[field] = FromQString(item->text());
        }
    }
    return record;
}

void ContactListManager::OnCellClicked(int row, int column) {
    if (column == kEditColumn) {
        emit editRequested(row);
        return;
    }
    if (column == kCheckColumn) {
        return; // the check box itself toggles; beside it nothing happens
    }
    ToggleRow(row);
}

void ContactListManager::ToggleRow(int row) {
    if (QTableWidgetItem* check = row < 0 ? nullptr : list_->item(row, kCheckColumn)) {
        check->setCheckState(check->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
}

void ContactListManager::OnItemChanged(QTableWidgetItem* item) {
    if (syncingChecks_ || item->column() != kCheckColumn) {
        return;
    }
    const std::string id = item->data(kIdRole).toByteArray().toStdString();
    const auto found = std::find(checked_.begin(), checked_.end(), id);
    if (item->checkState() == Qt::Checked) {
        if (found == checked_.end()) {
            checked_.push_back(id);
        }
    } else {
        if (found != checked_.end()) {
            checked_.erase(found);
        }
        checkAll_->setChecked(false);
    }
    if (static_cast<int>(checked_.size()) == list_->rowCount() && !checked_.empty()) {
        checkAll_->setChecked(true);
    }
}

void ContactListManager::OnCheckAllClicked(bool checked) {
    syncingChecks_ = true;
    checked_.clear();
    for (int row = 0; row < list_->rowCount(); ++row) {
        if (QTableWidgetItem* check = list_->item(row, kCheckColumn)) {
            check->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
            if (checked) {
                checked_.push_back(RowId(row));
            }
        }
    }
    syncingChecks_ = false;
}

bool ContactListManager::eventFilter(QObject* watched, QEvent* event) {
    // Compare pointers before touching the list: while the list is being destroyed its
    // viewport still sends events, and the list is no longer a list.
    if (!list_) {
        return QObject::eventFilter(watched, event);
    }
    if (watched == viewport_ && event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        const QModelIndex index = list_->indexAt(move->position().toPoint());
        viewport_->setCursor(index.isValid() && index.column() == kEditColumn
                                 ? Qt::PointingHandCursor
                                 : Qt::ArrowCursor);
    } else if (watched == viewport_ && event->type() == QEvent::Resize) {
        // Only a new width changes the fit; the height changes as a scroll bar comes and goes.
        const auto* resize = static_cast<QResizeEvent*>(event);
        if (resize->size().width() != resize->oldSize().width()) {
            // At once from the widths last measured, before the list is painted at its new
            // width, so that no scroll bar comes and goes; the texts are measured again,
            // for their tooltips, a moment later, and no more often while a drag goes on.
            ShareOutWidth();
            if (!refit_->isActive()) {
                refit_->start();
            }
        }
    } else if (watched == list_ && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        ToggleRow(list_->currentRow());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool ContactListManager::InsertAskingAboutSameName(
    const std::function<ContactInsert(bool sameNameAgreed)>& insert) {
    ContactInsert outcome = insert(false);
    if (outcome == ContactInsert::SameName &&
        MessageBoxes::Show(window_, MessageKind::Information, "存在姓名相同的记录，是否继续添加？",
                           MessageButtons::OkCancel) == MessageAnswer::Ok) {
        outcome = insert(true);
    }
    if (outcome == ContactInsert::SameNameAndMobile) {
        MessageBoxes::Show(window_, MessageKind::Information,
                           "存在姓名和手机号相同的记录，请重新输入！", MessageButtons::Ok);
    }
    return outcome == ContactInsert::Done;
}

bool ContactListManager::AddContact(ContactRecord record) {
    record[kUI_ID] = MakeUIID(record[kUser_Name], record[kMobile_NO]);
    if (!store_.OpenContactDatabase()) {
        return false;
    }
    const bool inserted = InsertAskingAboutSameName(
        [&](bool sameNameAgreed) { return store_.InsertContactRow(record, sameNameAgreed); });
    store_.CloseContactDatabase();
    if (!inserted) {
        return false;
    }
    if (!ShownBySearch(record)) {
        return true; // stored, but not one of the records found
    }
    OnGui([&] {
        if (list_->rowCount() > kContactsPerPage - 1) {
            const std::string dropped = RowId(kContactsPerPage - 1);
            std::erase(checked_, dropped);
            list_->removeRow(kContactsPerPage - 1);
        }
        InsertTopRow(record);
        FitColumnsToContents(); // a new row may be wider than the page it joins
    });
    return true;
}

bool ContactListManager::EditContact(ContactRecord record) {
    if (!store_.OpenContactDatabase()) {
        return false;
    }
    const int row = list_->currentRow();
    const std::string oldId = row < 0 ? std::string() : RowId(row);
    if (oldId.empty()) {
        store_.CloseContactDatabase();
        return false;
    }
    record[kUI_ID] = MakeUIID(record[kUser_Name], record[kMobile_NO]);
    const bool replaced = InsertAskingAboutSameName([&](bool sameNameAgreed) {
        return store_.ReplaceContactRow(oldId, record, sameNameAgreed);
    });
    store_.CloseContactDatabase();
    if (!replaced) {
        return false;
    }
    if (!ShownBySearch(record)) {
        // Changed so that the search no longer finds it: it leaves the records found.
        std::erase(checked_, oldId);
        RemoveRows({oldId});
        return true;
    }
    syncingChecks_ = true;
    SetRow(row, record);
    syncingChecks_ = false;
    FitColumnsToContents();
    std::replace(checked_.begin(), checked_.end(), oldId, record[kUI_ID]);
    return true;
}

bool ContactListManager::DeleteCheckedContacts() {
    std::vector<std::string> ids;
    OnGui([&] {
        list_->setEnabled(false);
        ids = checked_;
    });
    // Rows leave the list only once the store has let them go, so that a deletion that
    // fails, in part or whole, leaves on screen what is still in the table.
    std::vector<std::string> deleted;
    if (store_.OpenContactDatabase()) {
        OnGui([&] {
            progress_->setRange(0, static_cast<int>(ids.size()));
            progress_->setValue(0);
        });
        for (const std::string& id : ids) {
            if (store_.DeleteContactRow(id)) {
                deleted.push_back(id);
                OnGui([&] { progress_->setValue(static_cast<int>(deleted.size())); });
            }
        }
        store_.CloseContactDatabase();
    }
    OnGui([&] {
        RemoveRows(deleted);
        UncheckAllRows();
        progress_->setValue(0);
        list_->setEnabled(true);
    });
    return !ids.empty() && deleted.size() == ids.size();
}

void ContactListManager::RemoveRows(const std::vector<std::string>& ids) {
    syncingChecks_ = true;
    for (int row = list_->rowCount() - 1; row >= 0; --row) {
        if (std::find(ids.begin(), ids.end(), RowId(row)) != ids.end()) {
            list_->removeRow(row);
        }
    }
    RecolourRows(0);
    syncingChecks_ = false;
}

void ContactListManager::UncheckAllRows() {
    syncingChecks_ = true;
    for (int row = 0; row < list_->rowCount(); ++row) {
        if (QTableWidgetItem* check = list_->item(row, kCheckColumn)) {
            check->setCheckState(Qt::Unchecked);
        }
    }
    checked_.clear();
    checkAll_->setChecked(false);
    syncingChecks_ = false;
}

bool ContactListManager::DeleteAllContacts() {
    if (!store_.OpenContactDatabase()) {
        return false;
    }
    const bool dropped = store_.DropContactTable();
    if (dropped) {
        ClearRows();
        totalPages_ = currentPage_ = 1;
    }
    store_.CreateContactTable();
    store_.CloseContactDatabase();
    checked_.clear();
    checkAll_->setChecked(false);
    return dropped;
}

bool ContactListManager::AddTestContacts() {
    ContactRecord record;
    record[kUser_Name] = "ABC";
    record[kUser_Sex] = Gb18030("男");
    record[kUser_Birthday] = "2015.5.5";
    record[kUser_Education] = Gb18030("大学");
    record[kRecode_Type] = Gb18030("乡镇");
    record[kProvince] = Gb18030("天津");
    record[kCity] = Gb18030("直辖市");
    record[kCounty_Seat] = Gb18030("虹桥区");
    record[kOrganization_Detial] = "xx";
    record[kMobile_NO] = "13588888888";
    for (int i = 0; i < 401; ++i) {
        AddContact(record);
    }
    return true;
}
