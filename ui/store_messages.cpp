#include "ui/store_messages.h"

#include "store/schema.h"
#include "store/search_index.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <thread>

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

void PrepareSearchIndex(const std::filesystem::path& database) {
    std::atomic<long long> done = 0;
    std::atomic<long long> total = 0;
    std::atomic<bool> finished = false;
    StoreStatus outcome;
    std::thread building([&] {
        const StoreResult<Connection> db = Connection::Open(database);
        if (db) {
            const StoreResult<SearchIndexState> ensured =
                EnsureSearchIndex(db.value(), [&](long long rowsDone, long long rows) {
                    total = rows;
                    done = rowsDone;
                });
            outcome = ensured ? StoreStatus::Ok() : ensured.status();
        } else {
            outcome = db.status();
        }
        finished = true;
    });
    // Shown only when the work takes longer than a second: a register from an earlier
    // version is indexed once, which takes a while at a million records.
    QProgressDialog progress("正在建立查找索引，请稍候……", QString(), 0, 100);
    progress.setWindowTitle("提示");
    progress.setObjectName("search_index_progress");
    progress.setMinimumDuration(1000);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setAutoClose(false);
    progress.setValue(0);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (finished) {
            loop.quit();
        } else if (total > 0) {
            progress.setValue(static_cast<int>(done * 99 / total));
        }
    });
    poll.start(50);
    loop.exec();
    building.join();
    if (!outcome) {
        // The list still works; each search tries to build the index again.
        std::fprintf(stderr, "quillon: the search index could not be built: %s\n",
                     outcome.detail.c_str());
    }
}

bool PrepareDatabaseTables(const std::filesystem::path& database) {
    if (CreateSchema(database)) {
        PrepareSearchIndex(database);
        return true;
    }
    MessageBoxes::Show(nullptr, MessageKind::Plain, "数据库表打开(创建)失败！",
                       MessageButtons::AbortRetryIgnore, "提示");
    return false;
}

QString SettingsWriteFailureText(const std::filesystem::path& config) {
    return QString("无法写入 %1").arg(QString::fromStdString(config.string()));
}
