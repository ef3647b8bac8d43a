#include "ui/import_messages.h"

#include "ui/qt_text.h"

QString ImportNoticeText(const ImportNotice& notice) {
    const QString count = QString::number(notice.count);
    switch (notice.note) {
    case ImportNote::OutOfMemory:
        return "内存不足错误";
    case ImportNote::UnexpectedFailure:
        return "导入程序出现异常错误";
    case ImportNote::UndoFailed:
        return "撤销本文件已导入的数据失败，这些数据仍在通讯录中。";
    case ImportNote::StoreFailed:
        return "导入数据库失败！";
    case ImportNote::PackageUnreadable:
        return "打开文件错误";
    case ImportNote::WrongPassword:
        return "输入密钥错误！";
    case ImportNote::PackageImported:
        return "成功导入" + count + "行密文数据。\n";
    case ImportNote::NotAWorkbook:
        return "导入文件不是Excel文件！";
    case ImportNote::WorkbookUnreadable:
        return "打开" + ToQString(notice.text) + "文件失败!";
    case ImportNote::WorkbookEmpty:
        return "excel无数据！无法导入";
    case ImportNote::HeadersOnly:
        return "excel只有表头，无数据！";
    case ImportNote::WorkbookStarted:
        return "开始导入" + ToQString(notice.text) + "文件";
    case ImportNote::WorkbookDone:
        return "文件导入完成，导入结果为：";
    case ImportNote::ResultRule:
        return QString(29, '-');
    case ImportNote::RowsStored:
        return count + "行数据成功导入数据库";
    case ImportNote::RowsRejected:
        return count + "行非法数据";
    case ImportNote::RowsDuplicate:
        return count + "行重复数据。";
    case ImportNote::DatabaseUnopenable:
        return "无法打开数据库！" + QString::fromUtf8(notice.detail);
    case ImportNote::TableNotCreated:
        return "新建表失败！";
    case ImportNote::OldTableNotDropped:
        return "删除旧表失败";
    case ImportNote::TableNotRecreated:
        return "删除表后新建表失败.";
    case ImportNote::DuplicateRecord:
        return "重复的姓名" + ToQString(notice.text) + "和手机号" + ToQString(notice.second) +
               ",导入终止!";
    case ImportNote::InsertFailed:
        return "插入" + QString::fromUtf8(notice.detail) + "数据出错!";
    }
    return {};
}
