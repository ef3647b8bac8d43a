#include "ui/file_dialog.h"

#include "ui/message_box.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QRegularExpression>
#include <QTreeView>

#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace {

struct State {
    std::optional<std::deque<FileDialogs::Answer>> script;
    std::vector<FileDialogs::Asked> history;
    QString lastFolder;
};

State& TheState() {
    static State state;
    return state;
}

std::optional<QString> HomeOfUid(uid_t uid) {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    if (!found || !found->pw_dir || !*found->pw_dir) {
        return std::nullopt;
    }
    return QString::fromLocal8Bit(found->pw_dir);
}

// Qt's file model formats dates with the machine's locale and names folders through a
// provider the Chinese catalogue does not cover, and sizes in English; the program's dialogs speak
// Chinese.
class ChineseColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole) {
            auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
            const QModelIndex source = mapToSource(index);
            if (files && source.isValid()) {
                if (index.column() == 3) {
                    return QLocale().toString(files->lastModified(source), "yyyy/M/d HH:mm");
                }
                if (index.column() == 1 && !files->isDir(source)) {
                    return QLocale().formattedDataSize(files->size(source));
                }
                if (index.column() == 2 && files->isDir(source)) {
                    return QStringLiteral("文件夹");
                }
            }
        }
        return QIdentityProxyModel::data(index, role);
    }
};

void Remember(const QString& file) {
    if (!file.isEmpty()) {
        TheState().lastFolder = QFileInfo(file).absolutePath();
    }
}

} // namespace

QString FileDialogs::HomeOfInvoker() {
    if (const char* pkexec = std::getenv("PKEXEC_UID"); pkexec && *pkexec) {
        char* end = nullptr;
        errno = 0;
        const unsigned long uid = std::strtoul(pkexec, &end, 10);
        if (errno == 0 && end && *end == '\0' && *pkexec != '-') {
            if (auto home = HomeOfUid(static_cast<uid_t>(uid))) {
                return *home;
            }
        }
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return QString::fromLocal8Bit(home);
    }
    if (auto home = HomeOfUid(getuid())) {
        return *home;
    }
    return QDir::rootPath();
}

QString FileDialogs::StartFolder() {
    const QString& last = TheState().lastFolder;
    if (!last.isEmpty() && QFileInfo(last).isDir()) {
        return last;
    }
    return HomeOfInvoker();
}

void FileDialogs::ForgetLastFolder() {
    TheState().lastFolder.clear();
}

std::unique_ptr<QFileDialog> FileDialogs::Build(QWidget* parent, const QString& title,
                                                const QString& filters) {
    auto dialog = std::make_unique<QFileDialog>(parent, title, StartFolder(), filters);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setLocale(QLocale());
    dialog->setProxyModel(new ChineseColumns(dialog.get()));
    dialog->resize(760, 460);
    if (auto* view = dialog->findChild<QTreeView*>("treeView")) {
        view->header()->setMinimumSectionSize(60);
        view->header()->resizeSection(0, 260);
        view->header()->resizeSection(2, 130);
        view->header()->resizeSection(3, 150);
    }
    return dialog;
}

QStringList FileDialogs::GetOpenFileNames(QWidget* parent, const QString& title,
                                          const QString& filters, int* chosenFilterIndex) {
    const QStringList filterList = filters.split(";;", Qt::SkipEmptyParts);
    State& state = TheState();
    QStringList files;
    int filter = -1;
    if (state.script) {
        state.history.push_back({Asked::Kind::Open, title, StartFolder(), filterList, {}, {}});
        if (!state.script->empty()) {
            Answer answer = std::move(state.script->front());
            state.script->pop_front();
            files = answer.files;
            filter = files.isEmpty() ? -1 : answer.filterIndex;
        }
    } else {
        auto dialog = Build(parent, title, filters);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFiles);
        if (chosenFilterIndex && *chosenFilterIndex > 0 && *chosenFilterIndex < filterList.size()) {
            dialog->selectNameFilter(filterList[*chosenFilterIndex]);
        }
        if (dialog->exec() == QDialog::Accepted) {
            files = dialog->selectedFiles();
            filter = static_cast<int>(filterList.indexOf(dialog->selectedNameFilter()));
        }
    }
    if (!files.isEmpty()) {
        Remember(files.front());
    }
    if (chosenFilterIndex) {
        *chosenFilterIndex = files.isEmpty() ? -1 : filter;
    }
    return files;
}

QString FileDialogs::GetSaveFileName(QWidget* parent, const QString& title,
                                     const QString& defaultName, const QString& defaultSuffix,
                                     const QString& filters, int* chosenFilterIndex) {
    const QStringList filterList = filters.split(";;", Qt::SkipEmptyParts);
    State& state = TheState();
    QString file;
    int filter = -1;
    if (state.script) {
        state.history.push_back(
            {Asked::Kind::Save, title, StartFolder(), filterList, defaultName, defaultSuffix});
        if (!state.script->empty()) {
            Answer answer = std::move(state.script->front());
            state.script->pop_front();
            if (!answer.files.isEmpty()) {
                file = answer.files.front();
                filter = answer.filterIndex;
            }
        }
    } else {
        auto dialog = Build(parent, title, filters);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setDefaultSuffix(defaultSuffix);
        if (!defaultSuffix.isEmpty()) {
            // A name typed without an extension gets the one of the type shown.
            QObject::connect(dialog.get(), &QFileDialog::filterSelected, dialog.get(),
                             [dialog = dialog.get()](const QString& chosen) {
                                 const qsizetype star = chosen.indexOf("*.");
                                 const qsizetype end =
                                     chosen.indexOf(QRegularExpression("[ )]"), star + 2);
                                 if (star >= 0 && end > star) {
                                     dialog->setDefaultSuffix(chosen.mid(star + 2, end - star - 2));
                                 }
                             });
        }
        dialog->selectFile(defaultName);
        if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
            file = dialog->selectedFiles().front();
            filter = static_cast<int>(filterList.indexOf(dialog->selectedNameFilter()));
        }
    }
    Remember(file);
    if (chosenFilterIndex) {
        *chosenFilterIndex = file.isEmpty() ? -1 : filter;
    }
    return file;
}

quillon::WorkbookFormat WorkbookFormatOfType(int filterIndex) {
    return filterIndex == 1 ? quillon::WorkbookFormat::Xlsx : quillon::WorkbookFormat::Xls;
}

void ExportSpreadsheetTemplate(QWidget* parent) {
    int type = -1;
    const QString file = FileDialogs::GetSaveFileName(
        parent, "导出通讯录", "手机号码采集统计表模板", "xls", kWorkbookSaveTypes, &type);
    if (file.isEmpty()) {
        return;
    }
    const std::string path = file.toStdString();
    const quillon::WorkbookFormat format =
        quillon::WorkbookFormatOfName(path, WorkbookFormatOfType(type));
    if (quillon::SaveSpreadsheetTemplate(std::filesystem::path(path), format)) {
        MessageBoxes::Show(parent, MessageKind::Information, "导出模版成功!", MessageButtons::Yes);
    } else {
        MessageBoxes::Show(parent, MessageKind::Information,
                           "文件正在使用中，请先关闭您要保存的文件!", MessageButtons::Yes);
    }
}

void FileDialogs::Script(std::deque<Answer> answers) {
    TheState().script = std::move(answers);
}
void FileDialogs::StopScripting() {
    TheState().script.reset();
}
const std::vector<FileDialogs::Asked>& FileDialogs::History() {
    return TheState().history;
}
void FileDialogs::ClearHistory() {
    TheState().history.clear();
}
