// The package side of an import run: a package's records go in all together or not at all.
#include "exchange/import/import_run.h"
#include "exchange/package/package.h"
#include "platform/text.h"

#include <cstdio>

namespace {

std::string Format(const char* utf8Format, const std::string& a, const std::string& b = {}) {
    const std::string format = Gbk(utf8Format);
    std::string text(format.size() + a.size() + b.size() + 16, '\0');
    const int written =
        std::snprintf(text.data(), text.size(), format.c_str(), a.c_str(), b.c_str());
    text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return text;
}

// The cipher cannot tell a wrong password from damage: both leave bytes that are no archive,
// and nothing of them is imported.
std::string PackageFailureLine(PackageError error) {
    switch (error) {
    case PackageError::CannotRead:
        return Gbk("打开文件错误");
    case PackageError::BadLine:
        return Gbk("导入程序出现异常错误");
    default:
        return Gbk("输入密钥错误！");
    }
}

} // namespace

bool ImportRun::ImportPackageFile(const std::filesystem::path& file) {
    // The package is read whole into memory, so no clear text is left on disk, and no
    // scratch file of an earlier import can be read in its place.
    PackageContents contents;
    const PackageResult read =
        ReadPackageFile(file, IdeaKeyFromPassword(request_.password), contents);
    if (!read) {
        report_.Line(PackageFailureLine(read.error));
        return false;
    }
    const std::vector<ContactRecord>& records = contents.records;
    const int n = static_cast<int>(records.size());
    report_.ProgressMaximum(n + 10);
    report_.ProgressPosition(n);
    ImportDatabase* db = OpenImportDatabase();
    if (!db) {
        return false;
    }
    // A cancel before the insert leaves the register exactly as it was, in every mode.
    if (report_.StopRequested()) {
        return false;
    }
    Transaction transaction(db->connection());
    if (!transaction.status() || !PrepareTable()) {
        if (!transaction.status()) {
            report_.Line(Gbk("导入数据库失败！"));
        }
        return false;
    }
    const std::string addTime = clock_();
    for (const ContactRecord& record : records) {
        const InsertResult inserted = db->InsertRecord(record, addTime);
        if (inserted.ok()) {
            continue;
        }
        switch (inserted.outcome) {
        case InsertOutcome::Duplicate:
            report_.Box(
                Format("重复的姓名%s和手机号%s,导入终止!", record[kUser_Name], record[kMobile_NO]));
            break;
        case InsertOutcome::BadBirthday:
            report_.Line(Gbk("导入程序出现异常错误"));
            return false; // rolled back: nothing of this package stays
        default:
            report_.Box(Format("插入%s数据出错!", Utf8ToGbk(inserted.detail)));
            break;
        }
        report_.Line(Gbk("导入数据库失败！"));
        return false;
    }
    if (!transaction.Commit()) {
        report_.Line(Gbk("导入数据库失败！"));
        return false;
    }
    if (request_.mode == ImportMode::Overwrite) {
        registerReplaced_ = true;
    }
    importedIds_.clear();
    importedIds_.reserve(records.size());
    for (const ContactRecord& record : records) {
        importedIds_.push_back(record[kUI_ID]);
    }
    counters_.inserted = n;
    report_.ProgressPosition(n + 10);
    report_.Line(Format("成功导入%s行密文数据。\n", std::to_string(n)));
    return true;
}
