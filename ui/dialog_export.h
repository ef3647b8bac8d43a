#pragma once

#include "exchange/export/thread_export_01.h"
#include "exchange/export/thread_export_02.h"
#include "platform/installation.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class WorkerAdaptor;

// The export window: format, records per file, password and target on the settings page;
// the two progress bars on the progress page. Each opening runs at most one export.
class TCDialog_Export : public QDialog {
    Q_OBJECT
public:
    TCDialog_Export(const Installation& installation, QWidget* owner = nullptr);
    ~TCDialog_Export() override;

    void SetAreaName(const std::string& areaName) { areaName_ = areaName; }
    const QString& TargetName() const { return targetName_; }
    // The workbook type the save dialog was last left at on the Excel format (.xls at first).
    quillon::WorkbookFormat WorkbookFormat() const { return workbookFormat_; }
    // True from a successful start of an export.
    bool Running() const;

    void SpeedButton1Click(); // browse
    void SpeedButton2Click(); // cancel
    void SpeedButton3Click(); // export
    void SpeedButton4Click(); // finish
    void SpeedButton5Click(); // storage location
    void RadioButton1Click();
    void RadioButton2Click();

    // The end of the run as the worker reported it, on the GUI thread.
    ExportOutcome Outcome() const;

    // Every way of closing ends here (Escape, the close box, the finish button). While an
    // export runs it first asks whether to stop it.
    void reject() override;

signals:
    // The worker has ended, and the window shows how.
    void exportEnded(ExportOutcome outcome);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* BuildSettingsPage();
    QWidget* BuildProgressPage();
    void OnProgress(int channel, int percent);
    void OnWorkerFinished();
    // Asks whether to stop; on yes, stops the worker, waits for it and says how many files
    // were written. True when the export was stopped and the window may close.
    bool ConfirmAndStop();
    // The end of the run, shown once: "导出完成", the box saying why it failed, or after a
    // stop the box with the number of files written.
    void ShowEnd(const ExportEnd& end);
    void StartPackageExport(int maxPerFile, const std::string& password);
    void StartSpreadsheetExport(int maxPerFile);
    void StartWorker(Worker::Job job, std::function<ExportEnd()> end);
    // The box that says why the export failed.
    void ShowFailure(const ExportEnd& end);
    void ShowSimpleMessage(const QString& text);
    // The records a file may hold for the format chosen, and the hint that says so.
    int MaxPerFile() const;
    void ShowPerFileRange();
    void StopWorker();

    Installation installation_;
    std::string areaName_;
    QString targetName_;
    quillon::WorkbookFormat workbookFormat_ = quillon::WorkbookFormat::Xls;
    TCThread_Export_01 spreadsheetWorker_;
    TCThread_Export_02 packageWorker_;
    std::function<ExportEnd()> workerEnd_;
    std::unique_ptr<WorkerAdaptor> adaptor_;
    ExportOutcome outcome_ = ExportOutcome::NotRun;
    // While the stop question is open or a stop is being waited for, the worker's end is
    // kept back (endArrived_) and shown afterwards, never over the question.
    bool asking_ = false;
    bool stopping_ = false;
    bool endArrived_ = false;
    bool endShown_ = false;

    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QPushButton* SpeedButton1 = nullptr;
    QPushButton* SpeedButton2 = nullptr;
    QPushButton* SpeedButton3 = nullptr;
    QPushButton* SpeedButton4 = nullptr;
    QPushButton* SpeedButton5 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QProgressBar* ProgressBar2 = nullptr;
};
