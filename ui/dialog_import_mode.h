#pragma once

#include "exchange/import/import_run.h"
#include "platform/installation.h"

#include <QDialog>
#include <QStringList>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Asks how the chosen files come in (appended, or replacing the register) and, for
// packages, their password; then runs the import in the progress window.
class TCDialog_ImportMode : public QDialog {
    Q_OBJECT
public:
    explicit TCDialog_ImportMode(const Installation& installation, QWidget* owner = nullptr);

    void SetData(const QStringList& files, ImportKind kind);
    void btn_OKClick();
    ImportMode ChosenMode() const;

signals:
    // The progress window has closed; the main window reloads its list (message 1027).
    void importFinished(int mode);

private:
    Installation installation_;
    QStringList files_;
    ImportKind kind_ = ImportKind::Spreadsheet;

    QGroupBox* grp_op_ = nullptr;
    QRadioButton* rb_append_ = nullptr;
    QRadioButton* rb_recover_ = nullptr;
    QLabel* lbl1_ = nullptr;
    QLineEdit* edt_pwd_ = nullptr;
    QPushButton* btn_OK_ = nullptr;
};
