#include "ui/store_messages.h"

#include "store/schema.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"

namespace {

QString ReasonOf(StoreError error) {
    switch (error) {
    case StoreError::CannotOpen:
        return "数据库文件无法打开。";
    case StoreError::KeyRejected:
        return "数据库文件无法用本程序的密钥打开。";
    case StoreError::NotReadable:
        return "数据库文件已损坏，或不是本程序的数据库。";
    case StoreError::Busy:
        return "数据库文件正被另一个程序使用，请稍后再试。";
    case StoreError::NotConnected:
    case StoreError::StatementFailed:
    case StoreError::None:
        break;
    }
    return "读取数据时出错，数据库文件可能已损坏。";
}

} // namespace

QString DatabaseFailureText(const StoreStatus& status) {
    QString text = "无法读取数据库：" + ReasonOf(status.error);
    if (!status.detail.empty()) {
        // SQLite's own words, for whoever looks after the machine.
        text += "\n(" + QString::fromUtf8(status.detail) + ")";
    }
    return text;
}

bool PrepareDatabaseTables(const std::filesystem::path& database) {
    if (CreateSchema(database)) {
        return true;
    }
    MessageBoxes::Show(nullptr, MessageKind::Plain, "数据库表打开(创建)失败！",
                       MessageButtons::AbortRetryIgnore, "提示");
    return false;
}

QString SettingsWriteFailureText(const std::filesystem::path& config) {
    return QString("无法写入 %1").arg(QString::fromStdString(config.string()));
}
