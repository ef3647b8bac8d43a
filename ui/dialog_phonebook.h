#pragma once

#include "platform/installation.h"
#include "ui/login_digests.h"
#include "ui/message_box.h"
#include "ui/open_document.h"

#include <QMainWindow>
#include <atomic>
#include <functional>
#include <memory>

class CMyThread;
class ContactListManager;
class QCheckBox;
class QLabel;
class QHBoxLayout;
class QLineEdit;
class QProgressBar;
class QTableWidget;
class QWidget;

// The main window: the paged contact list and every command of the program.
class TCDialog_PhoneBook : public QMainWindow {
    Q_OBJECT
public:
    TCDialog_PhoneBook(const Installation& installation, const LoginDigests& digests,
                       QWidget* parent = nullptr);
    ~TCDialog_PhoneBook() override;

    // Shows the login window; a successful login makes this window appear.
    void FormCreate();
    // Window messages.
    void OnLoginSucceeded();         // 1026
    void OnImportFinished(int mode); // 1027
    ContactListManager* Manager() const { return manager_; }
    CMyThread* DeletionWorker() const { return worker_; }

    // How help files and folders are opened; tests replace it.
    static DocumentOpener& OpenDocument();

    // Command handlers, named after their buttons.
    void btn_newClick();
    void btn_deleteClick();
    void btn_deleteAllClick();
    void btn_importClick();
    void btn_exportClick();
    void btn_exportTemplateClick();
    void btn_AreaClick();
    void btn_helpClick();
    void btn_exitClick();
    void btn_TestDataClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Centred in the screen's available area, no larger than it.
    void PlaceOnScreen();
    QWidget* BuildToolPanel();
    QWidget* BuildPagingPanel();
    QWidget* BuildCommandPanel();
    void BuildList();
    // The search box and its two buttons, at the start of the paging row.
    void AddSearchControls(QHBoxLayout* row);
    void RunSearch();
    void ShowWholeRegister();
    void SetPanelsEnabled(bool enabled);
    // The deletion job; runs on the worker.
    void onMyThread();
    void OnDeletionFinished(bool jobCompleted);
    void OnEditRequested(int row);
    // The database could not be read: an error box instead of a list that looks empty.
    void ShowReadFailure(const QString& text);

    Installation installation_;
    LoginDigests digests_;
    ContactListManager* manager_ = nullptr;
    CMyThread* worker_ = nullptr;
    std::atomic<bool> deletionSucceeded_ = false;
    bool placedWithFrame_ = false;
    int lastImportFilter_ = 0; // the open dialog's filter entry used last

    QWidget* pnl_tool_ = nullptr;
    QWidget* panel1_ = nullptr;
    QWidget* panel2_ = nullptr;
    QTableWidget* quillon_list_ = nullptr;
    QCheckBox* check_all_ = nullptr;
    QLineEdit* edt_specailPage_ = nullptr;
    QLineEdit* edt_search_ = nullptr;
    QWidget* btn_search_ = nullptr;
    QWidget* btn_all_ = nullptr;
    QLabel* label_page_ = nullptr;
    QLabel* lbl_items_ = nullptr;
    QProgressBar* pb_my_ = nullptr;
};
