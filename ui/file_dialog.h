#pragma once

#include "exchange/template.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <vector>

class QFileDialog;
class QWidget;

// Every open and save dialog the program shows goes through here. The dialogs are Qt's own
// (not the desktop's), in Chinese, and open in the home folder of the person who started
// the program, then in the folder used last. Tests answer them in advance and read what
// was asked, like MessageBoxes.
class FileDialogs {
public:
    struct Answer {
        QStringList files; // empty: the dialog was cancelled
        int filterIndex = 0;
        static Answer Cancel() { return {}; }
        static Answer Files(QStringList chosen, int filter = 0) {
            return {std::move(chosen), filter};
        }
    };
    struct Asked {
        enum class Kind { Open, Save };
        Kind kind;
        QString title;
        QString folder; // where the dialog opened
        QStringList filters;
        QString defaultName;
        QString defaultSuffix;
    };

    // filters are separated by ";;" ("表格 (*.xls *.xlsx);;所有文件 (*)"). Returns the chosen
    // files, or none when cancelled; chosenFilterIndex (when given) names the filter the
    // dialog opens with and receives the index of the filter in use, or -1 when cancelled.
    static QStringList GetOpenFileNames(QWidget* parent, const QString& title,
                                        const QString& filters, int* chosenFilterIndex = nullptr);
    // Returns the file to write, or an empty string when cancelled. defaultSuffix (without
    // the dot) is added to a name typed without one; when it is given, it follows the filter
    // chosen in the dialog ("*.xlsx" makes it "xlsx"). chosenFilterIndex as above.
    static QString GetSaveFileName(QWidget* parent, const QString& title,
                                   const QString& defaultName, const QString& defaultSuffix,
                                   const QString& filters, int* chosenFilterIndex = nullptr);

    // The folder the next dialog opens in: the last one used, else HomeOfInvoker().
    static QString StartFolder();
    static void ForgetLastFolder();
    // Under pkexec the home of the user PKEXEC_UID names; else $HOME; else the passwd entry.
    static QString HomeOfInvoker();

    // The dialog as it would be shown, not yet run (for screenshots and checks).
    static std::unique_ptr<QFileDialog> Build(QWidget* parent, const QString& title,
                                              const QString& filters);

    // Test mode: while scripted, no dialog appears; each call takes the next answer (a
    // cancel once the script has run out) and is recorded.
    static void Script(std::deque<Answer> answers);
    static void StopScripting();
    static const std::vector<Asked>& History();
    static void ClearHistory();
};

// The types a workbook is saved as, in the order of the save dialogs' list.
inline const QString kWorkbookSaveTypes = QStringLiteral(".xls (*.xls);;.xlsx (*.xlsx)");
// The format of an entry of that list (a cancelled dialog's -1 gives .xls).
quillon::WorkbookFormat WorkbookFormatOfType(int filterIndex);

// 导出模板: asks where to save the blank template and as which type, writes it, and says how
// it went ("导出模版成功!", or that the file is in use). A name that ends in .xls or .xlsx
// is saved in that format whatever type the list shows; any other name in the type chosen.
void ExportSpreadsheetTemplate(QWidget* parent);
