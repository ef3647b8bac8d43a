#include "exchange/import/row_rules.h"

#include "platform/dates.h"
#include "platform/text.h"

#include <algorithm>
#include <array>

namespace {

const std::vector<std::string>& Educations() {
    static const std::vector<std::string> list = [] {
        std::vector<std::string> gbk;
        for (const char* e :
             {"小学", "初中", "高中", "中专", "大专", "大学", "硕士", "博士", "其它", "其他"}) {
            gbk.push_back(Gbk(e));
        }
        return gbk;
    }();
    return list;
}

const std::vector<std::string>& Categories() {
    static const std::vector<std::string> list = [] {
        std::vector<std::string> gbk;
        for (const char* c :
             {"乡镇", "村", "社区", "街道", "国有集体企业", "非公企业", "事业单位", "社会团体",
              "基金会", "民办非企业单位", "律师事务所", "会计师事务所", "机关", "大学生村官",
              "市县党委书记", "组织人事部门正职", "组织人事部门副职", "组工干部"}) {
            gbk.push_back(Gbk(c));
        }
        return gbk;
    }();
    return list;
}

bool OneOf(const std::vector<std::string>& list, const std::string& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool LengthIn(const std::string& value, std::size_t low, std::size_t high) {
    return value.size() >= low && value.size() <= high;
}

// Appends the rule's message (UTF-8 in the source) in GBK.
void Append(std::string& errors, const char* utf8) {
    errors += Gbk(utf8);
}

// Rules 4 to 9 and the calendar: what a birthday breaks.
void CheckBirthday(const std::string& birthday, std::string& errors) {
    const std::size_t before = errors.size();
    if (!LengthIn(birthday, 1, 10)) {
        Append(errors, "日期长度有误;\n");
    }
    const std::size_t first = birthday.find('-');
    if (first == std::string::npos) {
        Append(errors, "日期格式应该为xxxx-xx-xx;\n");
    }
    if (first != 4) {
        Append(errors, "日期格式中年应有4位;\n");
    }
    if (first != std::string::npos) {
        const std::size_t second = birthday.find('-', first + 1);
        if (second == std::string::npos) {
            Append(errors, "日期格式应该为xxxx-xx-xx;\n");
        }
        if (second == std::string::npos || second - first - 1 > 2) {
            Append(errors, "日期格式中月最多2位;\n");
        }
        if (second != std::string::npos && birthday.size() - second - 1 > 2) {
            Append(errors, "日期格式中日最多2位;\n");
        }
    }
    // A birthday of the right shape that names no day (2001-02-30, "1980--") is rejected
    // with the others instead of ending the whole import.
    if (errors.size() == before && !ParseShortDate(birthday)) {
        Append(errors, "日期格式应该为xxxx-xx-xx;\n");
    }
}

void CheckMobile(const std::string& mobile, std::string& errors) {
    if (mobile.empty() || mobile[0] != '1') {
        Append(errors, "手机号第一位不是1;\n");
    }
    if (mobile.size() < 2 || (mobile[1] != '3' && mobile[1] != '5' && mobile[1] != '8')) {
        Append(errors, "手机号第二位不是3、5、8;\n");
    }
    for (char c : mobile) {
        if (c < '0' || c > '9') {
            Append(errors, "手机号中有非数字;\n");
        }
    }
    if (mobile.size() != 11) {
        Append(errors, "手机号不是11位;\n");
    }
}

} // namespace

AreaIndex::AreaIndex(const std::vector<AreaRow>& rows) : rows_(rows) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        children_[rows_[i].Parent_ID].push_back(i);
    }
}

std::vector<const AreaRow*> AreaIndex::ChildrenNamed(const std::string& parentCode,
                                                     const std::string& name) const {
    std::vector<const AreaRow*> found;
    const auto children = children_.find(parentCode);
    if (children != children_.end()) {
        for (std::size_t i : children->second) {
            if (rows_[i].Area_Name == name) {
                found.push_back(&rows_[i]);
            }
        }
    }
    return found;
}

bool AreaIndex::IsProvince(const std::string& name) const {
    return !ChildrenNamed(kRootAreaCode, name).empty();
}

bool AreaIndex::IsCityOf(const std::string& province, const std::string& city) const {
    for (const AreaRow* p : ChildrenNamed(kRootAreaCode, province)) {
        if (!ChildrenNamed(p->UI_ID, city).empty()) {
            return true;
        }
    }
    return false;
}

bool AreaIndex::IsCountyOf(const std::string& province, const std::string& city,
                           const std::string& county) const {
    for (const AreaRow* p : ChildrenNamed(kRootAreaCode, province)) {
        for (const AreaRow* c : ChildrenNamed(p->UI_ID, city)) {
            if (!ChildrenNamed(c->UI_ID, county).empty()) {
                return true;
            }
        }
    }
    return false;
}

bool ValidateImportRow(ContactRecord& record, std::string& errors, const AreaIndex& areas,
                       const std::string& loginAreaName) {
    const std::size_t before = errors.size();
    std::string& name = record[kUser_Name];
    if (!LengthIn(name, 1, 40)) {
        Append(errors, "姓名长度有误;\n");
    }
    std::replace(name.begin(), name.end(), '?', '-');

    const std::string& sex = record[kUser_Sex];
    if (!LengthIn(sex, 1, 4)) {
        Append(errors, "性别长度有误;\n");
    }
    if (sex != Gbk("男") && sex != Gbk("女")) {
        Append(errors, "性别只能填写男或女;\n");
    }
    CheckBirthday(record[kUser_Birthday], errors);
    if (!OneOf(Educations(), record[kUser_Education])) {
        Append(errors, "模板中没有此学历\n");
    }
    if (!OneOf(Categories(), record[kRecode_Type])) {
        Append(errors, "模板中没有此类别\n;");
    }

    const std::string& province = record[kProvince];
    const std::string& city = record[kCity];
    const std::string& county = record[kCounty_Seat];
    if (loginAreaName != WholeCountryName() && province != loginAreaName) {
        Append(errors, "导入非本省数据;\n");
    }
    if (!LengthIn(province, 1, 40)) {
        Append(errors, "省长度有误;\n");
    }
    if (!areas.IsProvince(province)) {
        Append(errors, "查无此省，查看主页中省市县组织结构维护表;\n");
    }
    if (city.size() > 40) {
        Append(errors, "市长度有误;\n");
    }
    if (!city.empty() && !areas.IsCityOf(province, city)) {
        errors += city + Gbk("不在") + province + ";";
    }
    if (county.size() > 40) {
        Append(errors, "县长度有误;\n");
    }
    if (!county.empty() && (city.empty() || !areas.IsCountyOf(province, city, county))) {
        errors += county + Gbk("不在") + city;
    }
    if (!LengthIn(record[kOrganization_Detial], 1, 100)) {
        Append(errors, "职位长度有误;\n");
    }
    CheckMobile(record[kMobile_NO], errors);
    return errors.size() == before;
}
