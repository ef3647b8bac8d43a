#pragma once

#include "exchange/import/import_run.h"
#include "platform/installation.h"

#include <QDialog>
#include <memory>

class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class WorkerAdaptor;
class WindowImportReport;

// The progress window of an import: runs the import on a worker from the moment it is
// made, lists what happens, and offers cancel while it runs and done afterwards.
class TCDialog_Import : public QDialog {
    Q_OBJECT
public:
    TCDialog_Import(const Installation& installation, ImportRequest request,
                    QWidget* owner = nullptr);
    ~TCDialog_Import() override;

    void Button_CancleClick();
    void EndClick();
    void btnOpenClick();

    bool RunEnded() const { return ended_; }
    // How the run ended; meaningful once RunEnded().
    bool RunSucceeded() const { return succeeded_; }

    // Called on the GUI thread for what the worker reports.
    void AddLine(const QString& line);
    void SetProgressMaximum(int maximum);
    void SetProgressPosition(int position);

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnTimer();
    void OnRunFinished(bool jobCompleted);
    void ShowEnd();
    // Asks while the run waits at its next row; on yes stops it, takes back what the
    // current file had inserted, lists what became of that file and shows the end. False
    // when the operator said no: the run goes on where it waited.
    bool ConfirmAndCancel();

    Installation installation_;
    std::unique_ptr<WindowImportReport> report_;
    std::unique_ptr<ImportRun> run_;
    std::unique_ptr<WorkerAdaptor> adaptor_;
    bool ended_ = false;
    bool succeeded_ = false;
    bool cancelling_ = false;

    QListWidget* lst_importInfor_ = nullptr;
    QProgressBar* pb1_ = nullptr;
    QPushButton* Button_Cancle_ = nullptr;
    QPushButton* end_ = nullptr;
    QPushButton* btnOpen_ = nullptr;
    QTimer* timer_ = nullptr;
};
