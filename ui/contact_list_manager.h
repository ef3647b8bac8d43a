#pragma once

#include "platform/installation.h"
#include "store/contact_store.h"

#include <QObject>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTableWidget;
class QTableWidgetItem;
class QTimer;

// The object behind the main window's list: shows the login area's contacts a page at a
// time, keeps the page counters and the checked rows, and applies inserts, edits and
// deletions to the list and the table. Deletion of checked rows may run on a worker
// thread: the database work stays there and every widget change is made on the GUI thread.
class ContactListManager : public QObject {
    Q_OBJECT
public:
    enum Column { kCheckColumn = 0, kEditColumn = 11, kColumnCount = 12 };

    // Its questions and notices are shown over window.
    ContactListManager(const Installation& installation, QWidget* window);

    bool Bind(QTableWidget* list, QLineEdit* pageEdit, QCheckBox* checkAll, QLabel* pageLabel,
              QProgressBar* progress, QLabel* countLabel);

    bool Recount();
    bool FirstPage();
    bool LastPage();
    bool NextPage();
    bool PreviousPage();
    bool GoToPage(bool reload);

    // How a worker running one of the operations above reaches the widgets: runs the work on
    // the GUI thread and waits for it (false when the window no longer takes calls). Set by
    // the window for as long as its worker runs.
    using GuiCaller = std::function<bool(const std::function<void()>&)>;
    void SetGuiCaller(GuiCaller caller);

    // Shows only the records matching the query, from its first page; a query of blanks
    // shows the whole register again. The page turns, the count and every command then
    // work on the records found until the next search.
    bool Search(const QString& query);
    bool Searching() const { return !pager_.Query().empty(); }

    bool AddContact(ContactRecord record);
    bool EditContact(ContactRecord record);
    bool DeleteCheckedContacts();
    bool DeleteAllContacts();
    bool AddTestContacts();

    int CurrentPage() const { return currentPage_; }
    int TotalPages() const { return totalPages_; }
    // How many times the register was counted in full since the list was made.
    int CountsTaken() const { return pager_.CountsTaken(); }
    void SetCurrentPage(int page) { currentPage_ = page; }
    const std::vector<std::string>& CheckedRows() const { return checked_; }
    // The record shown in a row; field 0 (the identifier) is left empty, as the editor
    // receives it.
    ContactRecord RowRecord(int row) const;
    // Why the latest store operation failed (ok after success, a refusal or a cancel).
    const StoreStatus& LastStoreStatus() const { return store_.LastStatus(); }

signals:
    // The table could not be read; text says why, in the operator's words.
    void readFailed(const QString& text);

    // The edit cell of a row was clicked.
    void editRequested(int row);

private:
    // Runs insert(false); when only the name is taken, asks the operator and, on Ok, runs
    // insert(true). Says so when name and number are both taken. True once inserted.
    bool InsertAskingAboutSameName(const std::function<ContactInsert(bool sameNameAgreed)>& insert);

    bool LoadPage(int page);
    // Whether a record just added or changed belongs on a page of the current search.
    bool ShownBySearch(const ContactRecord& record) const;
    // Takes a count read from the table: the page counters and the count label follow it.
    void ShowCount(int count);
    void ReportReadFailure(const StoreStatus& status);
    void FillList(const std::vector<ContactRecord>& records);
    // Measures the cells' texts, then shares out the list's width: each column as wide as
    // its widest text up to a limit, narrower where the row would not fit.
    void FitColumnsToContents();
    // Shares out the width from the texts as last measured.
    void ShareOutWidth();
    void SetRow(int row, const ContactRecord& record);
    void AddUncheckedBox(int row);
    void InsertTopRow(const ContactRecord& record);
    void ClearRows();
    void UpdatePageLabel();
    void RecolourRows(int first);
    void RemoveRows(const std::vector<std::string>& ids);
    void UncheckAllRows();
    void ToggleRow(int row);
    void OnCellClicked(int row, int column);
    void OnItemChanged(QTableWidgetItem* item);
    void OnCheckAllClicked(bool checked);
    std::string RowId(int row) const;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Runs widget work on the GUI thread, waiting for it when called from a worker (through
    // the window's GUI caller).
    void OnGui(const std::function<void()>& work);

    QWidget* window_;
    ContactStore store_;
    // Reads the pages and keeps the count between page turns until the register changes.
    ContactPager pager_;
    std::vector<std::string> checked_;
    QTableWidget* list_ = nullptr;
    QWidget* viewport_ = nullptr;
    // The columns' widths their texts ask for, as last measured.
    int contentWidths_[kColumnCount] = {};
    // Measures the cells again soon after the list's width changed, once for a burst of
    // changes (a drag of the window's edge), so that a drag does not measure every cell at
    // each step.
    QTimer* refit_ = nullptr;
    QCheckBox* checkAll_ = nullptr;
    QLineEdit* pageEdit_ = nullptr;
    QLabel* pageLabel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* countLabel_ = nullptr;
    int totalPages_ = 1;
    int currentPage_ = 1;
    bool syncingChecks_ = false;
    GuiCaller guiCaller_;
};
