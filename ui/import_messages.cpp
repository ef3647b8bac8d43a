#include "ui/import_messages.h"

#include "exchange/package/package.h"
#include "ui/qt_text.h"

namespace {

// A record's field as the editor and the workbooks name it.
QString FieldName(int field) {
    switch (field) {
    case kUI_ID:
        return "标识";
    case kUser_Name:
        return "姓名";
    case kUser_Sex:
        return "性别";
    case kUser_Birthday:
        return "出生日期";
    case kUser_Education:
        return "学历";
    case kRecode_Type:
        return "类别";
    case kProvince:
        return "省";
    case kCity:
        return "市";
    case kCounty_Seat:
        return "县";
    case kOrganization_Detial:
        return "单位及职务";
    case kMobile_NO:
        return "手机号码";
    default:
        return {};
    }
}

// Why a package is damaged, in a few words the operator can act on.
QString DamageReason(PackageDamage damage) {
    switch (damage) {
    case PackageDamage::Incomplete:
        return "内容不完整";
    case PackageDamage::Checksum:
        return "校验和不符";
    case PackageDamage::BadLine:
        return "数据行字段不足";
    case PackageDamage::LongLine:
        return "数据行过长";
    case PackageDamage::TooLarge:
        return "解压后过大";
    case PackageDamage::FileTooLarge:
        return "文件过大";
    default:
        return "结构错误";
    }
}

} // namespace

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
        return notice.detail.empty() ? QString("导入数据库失败！")
                                     : "导入数据库失败！" + QString::fromUtf8(notice.detail);
    case ImportNote::AreasUnreadable:
        return "无法读取省市县组织结构表，文件未导入：" + QString::fromUtf8(notice.detail);
    case ImportNote::PackageUnreadable:
        return "打开文件错误";
    case ImportNote::WrongPassword:
        return "输入密钥错误！";
    case ImportNote::PackageDamaged:
        return "文件已损坏：" + DamageReason(static_cast<PackageDamage>(notice.count));
    case ImportNote::PackageImported:
        return "成功导入" + count + "行密文数据。\n";
    case ImportNote::RecordsOfOtherProvinces:
        return "跳过" + count + "条不属于" + ToQString(notice.text) + "的记录。";
    case ImportNote::RecordBadIdentifier:
        return "第" + count + "行记录的标识不是32位十六进制数，未导入。";
    case ImportNote::RecordEmptyField:
        return "第" + count + "行记录的" + FieldName(notice.field) + "为空，未导入。";
    case ImportNote::RecordNotAMobileNumber:
        return "第" + count + "行记录的手机号码不是电话号码，未导入。";
    case ImportNote::RecordTooLong:
        return "第" + count + "行记录的" + FieldName(notice.field) + "过长，未导入。";
    case ImportNote::RecordsRefused:
        return "共" + count + "条记录有误，未导入。";
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
    case ImportNote::RowsRefiled:
        return "其中" + count + "行的地区按省市县组织结构表的写法导入";
    case ImportNote::RowsRejected:
        return count + "行非法数据";
    case ImportNote::RowsDuplicate:
        return count + "行重复数据。";
    case ImportNote::RejectedWorkbookFailed:
        return ToQString(notice.text) + "打开非法数据文件失败!";
    case ImportNote::DuplicateWorkbookFailed:
        return ToQString(notice.text) + "打开重复记录文件失败!";
    case ImportNote::RegisterKept:
        return "没有可导入的记录，原有通讯录未被覆盖。";
    case ImportNote::CancelTookBack:
        return notice.count > 0 ? "已取消导入，本文件已导入的" + count + "条记录已撤回。"
                                : QString("已取消导入，本文件没有记录导入通讯录。");
    case ImportNote::CancelRegisterUntouched:
        return "已取消导入，原有通讯录保持不变。";
    case ImportNote::CancelKeptReplacement:
        return "已取消导入。本文件已覆盖原有通讯录，无法撤回，保留本文件导入的" + count +
               "条记录。";
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
