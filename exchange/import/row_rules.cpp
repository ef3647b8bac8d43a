#include "exchange/import/row_rules.h"

#include "crypto/uiid.h"
#include "platform/dates.h"
#include "platform/text.h"
#include "store/contact_checks.h"

#include <algorithm>
#include <initializer_list>

namespace {

std::vector<std::string> Gb18030List(std::initializer_list<const char*> utf8) {
    std::vector<std::string> gb18030;
    for (const char* text : utf8) {
        gb18030.push_back(Gb18030(text));
    }
    return gb18030;
}

const std::vector<std::string>& Educations() {
    static const std::vector<std::string> list = Gb18030List(
        {"小学", "初中", "高中", "中专", "大专", "大学", "硕士", "博士", "其它", "其他"});
    return list;
}

const std::vector<std::string>& Categories() {
    static const std::vector<std::string> list = Gb18030List(
        {"乡镇", "村", "社区", "街道", "国有集体企业", "非公企业", "事业单位", "社会团体", "基金会",
         "民办非企业单位", "律师事务所", "会计师事务所", "机关", "大学生村官", "市县党委书记",
         "组织人事部门正职", "组织人事部门副职", "组工干部"});
    return list;
}

bool OneOf(const std::vector<std::string>& list, const std::string& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool LengthIn(const std::string& value, std::size_t low, std::size_t high) {
    return value.size() >= low && value.size() <= high;
}

// Appends the rule's message (UTF-8 in the source) in GB18030. A workbook of bad rows
// breaks the same rules on every row, so each message is converted once, kept by the
// address of its literal.
void Append(std::string& errors, const char* utf8) {
    thread_local std::unordered_map<const char*, std::string> messages;
    auto kept = messages.find(utf8);
    if (kept == messages.end()) {
        kept = messages.emplace(utf8, Gb18030(utf8)).first;
    }
    errors += kept->second;
}

// Rules 4 to 9 and the calendar: what a birthday breaks.
void CheckBirthday(const std::string& birthday, std::string& errors) {
    const std::size_t before = errors.size();
    if (!LengthIn(birthday, 1, kBirthdayMaxBytes)) {
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
    // China's mobile ranges begin 13 to 19.
    if (mobile.size() < 2 || mobile[1] < '3' || mobile[1] > '9') {
        Append(errors, "手机号第二位不是3至9;\n");
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

// Whether text ends with suffix as whole characters, never with the suffix's first byte
// being the trail byte of the character before it.
bool EndsWithCharacters(std::string_view text, std::string_view suffix) {
    if (suffix.empty() || suffix.size() > text.size() || !text.ends_with(suffix)) {
        return false;
    }
    const std::size_t from = text.size() - suffix.size();
    std::size_t at = 0;
    while (at < from) {
        at += Gb18030CharacterLength(text, at);
    }
    return at == from;
}

// Bytes of the blank at text[at] (a space, a tab, or the full-width space A1 A1), or 0.
std::size_t BlankLength(std::string_view text, std::size_t at) {
    if (text[at] == ' ' || text[at] == '\t') {
        return 1;
    }
    const bool fullWidth = at + 1 < text.size() && static_cast<unsigned char>(text[at]) == 0xA1 &&
                           static_cast<unsigned char>(text[at + 1]) == 0xA1;
    return fullWidth ? 2 : 0;
}

// The words that end an area's name and tell its level, the longer ones first so that
// "自治县" is taken whole rather than as "县". "林区" and "矿区" are left out: they end
// 碑林区 and 甘肃矿区 as parts of their names.
struct LevelWord {
    std::string gb18030;
    bool autonomous; // may follow the peoples the area is autonomous for
};
const std::vector<LevelWord>& LevelWords() {
    static const std::vector<LevelWord> words = [] {
        std::vector<LevelWord> list;
        for (const char* word : {"特别行政区", "自治区", "自治州", "自治县", "自治旗", "地区", "省",
                                 "市", "区", "县", "旗", "盟"}) {
            list.push_back({Gb18030(word), std::string_view(word).starts_with("自治")});
        }
        return list;
    }();
    return words;
}

// The peoples named before "自治区", "自治州" ...: each with "族", and those of two or more
// characters also without it (新疆维吾尔自治区, 伊犁哈萨克自治州). "各族" stands for
// several (龙胜各族自治县). The longer forms come first.
const std::vector<std::string>& PeopleForms() {
    static const std::vector<std::string> forms = [] {
        std::vector<std::string> list;
        for (const std::string& people : Gb18030List(
                 {"蒙古",   "回",       "藏",     "维吾尔",   "苗",   "彝",     "壮",   "布依",
                  "朝鲜",   "满",       "侗",     "瑶",       "白",   "土家",   "哈尼", "哈萨克",
                  "傣",     "黎",       "傈僳",   "佤",       "畲",   "高山",   "拉祜", "水",
                  "东乡",   "纳西",     "景颇",   "柯尔克孜", "土",   "达斡尔", "仫佬", "羌",
                  "布朗",   "撒拉",     "毛南",   "仡佬",     "锡伯", "阿昌",   "普米", "塔吉克",
                  "怒",     "乌孜别克", "俄罗斯", "鄂温克",   "德昂", "保安",   "裕固", "京",
                  "塔塔尔", "独龙",     "鄂伦春", "赫哲",     "门巴", "珞巴",   "基诺", "各"})) {
            list.push_back(people + Gb18030("族"));
            if (Gb18030Characters(people) >= 2) {
                list.push_back(people);
            }
        }
        std::stable_sort(list.begin(), list.end(), [](const std::string& a, const std::string& b) {
            return a.size() > b.size();
        });
        return list;
    }();
    return forms;
}

// Bytes of the people named at the end of text, or 0; at least two characters stay, so
// that 内蒙古 keeps its name and 东乡族自治县 stays 东乡族.
std::size_t PeopleAtEnd(std::string_view text) {
    for (const std::string& form : PeopleForms()) {
        if (EndsWithCharacters(text, form) &&
            Gb18030Characters(text.substr(0, text.size() - form.size())) >= 2) {
            return form.size();
        }
    }
    return 0;
}

std::vector<std::size_t> ShortNameLengths(std::string_view name) {
    std::vector<std::size_t> lengths;
    for (const LevelWord& word : LevelWords()) {
        if (!EndsWithCharacters(name, word.gb18030)) {
            continue;
        }
        std::size_t length = name.size() - word.gb18030.size();
        if (length == 0) {
            break;
        }
        lengths.push_back(length);
        while (word.autonomous) {
            const std::size_t people = PeopleAtEnd(name.substr(0, length));
            if (people == 0) {
                break;
            }
            length -= people;
            lengths.push_back(length);
        }
        break;
    }
    return lengths;
}

} // namespace

// The one area that fits a written name among those offered: the one with that full name,
// or, when none has it, the one with it as a short name.
class AreaIndex::Pick {
public:
    Pick(const AreaIndex& index, std::string_view written) : index_(index), written_(written) {}

    // parent is the index of the child of the search's start the area lies under, or npos.
    void Offer(std::size_t area, std::size_t parent) {
        if (index_.rows_[area].Area_Name == written_) {
            exact_.Add(area, parent);
        } else if (index_.IsShortName(area, written_)) {
            short_.Add(area, parent);
        }
    }
    // npos when none or several fit.
    std::size_t Area() const { return Chosen().area; }
    std::size_t Parent() const { return Chosen().parent; }

private:
    struct Candidates {
        int count = 0;
        std::size_t area = npos;
        std::size_t parent = npos;
        void Add(std::size_t a, std::size_t p) {
            ++count;
            area = a;
            parent = p;
        }
    };
    const Candidates& Chosen() const {
        static const Candidates kNone;
        const Candidates& best = exact_.count > 0 ? exact_ : short_;
        return best.count == 1 ? best : kNone;
    }

    const AreaIndex& index_;
    std::string_view written_;
    Candidates exact_;
    Candidates short_;
};

AreaIndex::AreaIndex(const std::vector<AreaRow>& rows) : rows_(rows) {
    shortLengths_.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        children_[rows_[i].Parent_ID].push_back(i);
        shortLengths_.push_back(ShortNameLengths(rows_[i].Area_Name));
    }
}

template <typename Visit> bool AreaIndex::AnyChild(std::string_view parentCode, Visit visit) const {
    const auto children = children_.find(parentCode);
    if (children == children_.end()) {
        return false;
    }
    return std::any_of(children->second.begin(), children->second.end(), visit);
}

template <typename Visit>
bool AreaIndex::AnyChildNamed(std::string_view parentCode, std::string_view name,
                              Visit visit) const {
    return AnyChild(parentCode,
                    [&](std::size_t i) { return rows_[i].Area_Name == name && visit(i); });
}

bool AreaIndex::IsProvince(std::string_view name) const {
    return AnyChildNamed(kRootAreaCode, name, [](std::size_t) { return true; });
}

bool AreaIndex::IsCityOf(std::string_view province, std::string_view city) const {
    return AnyChildNamed(kRootAreaCode, province, [&](std::size_t p) {
        return AnyChildNamed(rows_[p].UI_ID, city, [](std::size_t) { return true; });
    });
}

bool AreaIndex::IsCountyOf(std::string_view province, std::string_view city,
                           std::string_view county) const {
    return AnyChildNamed(kRootAreaCode, province, [&](std::size_t p) {
        return AnyChildNamed(rows_[p].UI_ID, city, [&](std::size_t c) {
            return AnyChildNamed(rows_[c].UI_ID, county, [](std::size_t) { return true; });
        });
    });
}

bool AreaIndex::IsShortName(std::size_t area, std::string_view written) const {
    const std::string_view name = rows_[area].Area_Name;
    return std::any_of(shortLengths_[area].begin(), shortLengths_[area].end(),
                       [&](std::size_t length) { return name.substr(0, length) == written; });
}

void AreaIndex::OfferChildren(std::size_t parent, std::size_t under, Pick& pick) const {
    AnyChild(rows_[parent].UI_ID, [&](std::size_t child) {
        if (child != parent) {
            pick.Offer(child, under);
        }
        return false;
    });
}

std::size_t AreaIndex::IndexOf(const AreaRow& row) const {
    const AreaRow* first = rows_.data();
    const bool ours = &row >= first && &row < first + rows_.size();
    return ours ? static_cast<std::size_t>(&row - first) : npos;
}

const AreaRow* AreaIndex::Found(std::size_t index) const {
    return index == npos ? nullptr : &rows_[index];
}

const AreaRow* AreaIndex::FindProvince(std::string_view written) const {
    Pick pick(*this, written);
    // The root counts: it is its own parent.
    AnyChild(kRootAreaCode, [&](std::size_t p) {
        pick.Offer(p, npos);
        return false;
    });
    return Found(pick.Area());
}

const AreaRow* AreaIndex::FindChild(const AreaRow& parent, std::string_view written) const {
    const std::size_t index = IndexOf(parent);
    if (index == npos) {
        return nullptr;
    }
    Pick pick(*this, written);
    OfferChildren(index, npos, pick);
    return Found(pick.Area());
}

const AreaRow* AreaIndex::FindBelow(const AreaRow& province, std::string_view written,
                                    const AreaRow*& city) const {
    city = nullptr;
    const std::size_t index = IndexOf(province);
    if (index == npos) {
        return nullptr;
    }
    Pick pick(*this, written);
    OfferChildren(index, npos, pick);
    AnyChild(province.UI_ID, [&](std::size_t child) {
        if (child != index) {
            OfferChildren(child, child, pick);
        }
        return false;
    });
    city = Found(pick.Parent());
    return Found(pick.Area());
}

bool AreaIndex::IsShortNameOf(const AreaRow& area, std::string_view written) const {
    const std::size_t index = IndexOf(area);
    return index != npos && IsShortName(index, written);
}

void TrimCellBlanks(std::string& gb18030) {
    // Every blank begins and ends with a space, a tab or 0xA1: a text whose first and last
    // bytes are none of these has none to lose, and most cells are such texts.
    const auto mayBeBlank = [](char c) { return c == ' ' || c == '\t' || c == '\xA1'; };
    if (gb18030.empty() || (!mayBeBlank(gb18030.front()) && !mayBeBlank(gb18030.back()))) {
        return;
    }
    std::size_t begin = 0; // after the leading blanks
    std::size_t end = 0;   // after the last character that is not a blank
    for (std::size_t at = 0; at < gb18030.size();) {
        if (const std::size_t blank = BlankLength(gb18030, at)) {
            at += blank;
            if (end == 0) {
                begin = at;
            }
        } else {
            at += Gb18030CharacterLength(gb18030, at);
            end = at;
        }
    }
    if (end == 0) {
        gb18030.clear();
        return;
    }
    gb18030.erase(end);
    gb18030.erase(0, begin);
}

namespace {

// Whether rules 14, 16 and 18 find the areas exactly as the row writes them.
bool AreasFoundAsWritten(const AreaIndex& areas, const std::string& province,
                         const std::string& city, const std::string& county) {
    if (!areas.IsProvince(province)) {
        return false;
    }
    if (city.empty()) {
        return county.empty();
    }
    return areas.IsCityOf(province, city) &&
           (county.empty() || areas.IsCountyOf(province, city, county));
}

// Whether a city column names no city but the province itself: its name, full or short, or
// the "市辖区" (the districts under the city) of a municipality.
bool CityNamesProvince(const AreaIndex& areas, const AreaRow& province,
                       const std::string& writtenProvince, const std::string& city) {
    static const std::string municipalDistricts = Gb18030("市辖区");
    return city == writtenProvince || city == province.Area_Name ||
           areas.IsShortNameOf(province, city) || city == municipalDistricts;
}

// Gives the row's area columns the full names of the areas they name, as people write them.
// A row whose areas are found as written keeps them; one whose areas are not found keeps
// what was not found, for the area rules to report. True when the row is filed under other
// levels than written. foundAsWritten tells the rules that the areas need no second look.
bool FileAreas(ContactRecord& record, const AreaIndex& areas, bool& foundAsWritten) {
    std::string& province = record[kProvince];
    std::string& city = record[kCity];
    std::string& county = record[kCounty_Seat];
    foundAsWritten = AreasFoundAsWritten(areas, province, city, county);
    if (foundAsWritten) {
        return false;
    }
    const AreaRow* filedProvince = areas.FindProvince(province);
    if (filedProvince == nullptr) {
        return false;
    }
    const bool cityNamesProvince = CityNamesProvince(areas, *filedProvince, province, city);
    province = filedProvince->Area_Name;
    if (!city.empty()) {
        if (const AreaRow* filedCity = areas.FindChild(*filedProvince, city)) {
            city = filedCity->Area_Name;
            if (!county.empty()) {
                if (const AreaRow* filedCounty = areas.FindChild(*filedCity, county)) {
                    county = filedCounty->Area_Name;
                }
            }
            return false;
        }
    }
    // The city column names no city of the province. When, without a city that repeats the
    // province, the row names one place, it is filed where that place is under the
    // province: a municipality's district, a county-level city under "省直辖县级行政区划".
    const bool cityIsPlace = !city.empty() && !cityNamesProvince;
    if (cityIsPlace && !county.empty()) {
        return false;
    }
    if (!cityIsPlace && county.empty()) {
        const bool dropped = !city.empty();
        city.clear();
        return dropped;
    }
    const AreaRow* filedCity = nullptr;
    const AreaRow* place = areas.FindBelow(*filedProvince, cityIsPlace ? city : county, filedCity);
    if (place == nullptr) {
        return false;
    }
    if (filedCity != nullptr) {
        city = filedCity->Area_Name;
        county = place->Area_Name;
    } else {
        city = place->Area_Name;
        county.clear();
    }
    return true;
}

} // namespace

ImportRowCheck ValidateImportRow(ContactRecord& record, std::string& errors, const AreaIndex& areas,
                                 const std::string& loginAreaName) {
    const std::size_t before = errors.size();
    std::string& name = record[kUser_Name];
    if (!LengthIn(name, 1, kNameMaxBytes)) {
        Append(errors, "姓名长度有误;\n");
    }
    std::replace(name.begin(), name.end(), '?', '-');

    const std::string& sex = record[kUser_Sex];
    if (!LengthIn(sex, 1, kSexMaxBytes)) {
        Append(errors, "性别长度有误;\n");
    }
    static const std::string male = Gb18030("男");
    static const std::string female = Gb18030("女");
    if (sex != male && sex != female) {
        Append(errors, "性别只能填写男或女;\n");
    }
    CheckBirthday(record[kUser_Birthday], errors);
    if (!OneOf(Educations(), record[kUser_Education])) {
        Append(errors, "模板中没有此学历\n");
    }
    if (!OneOf(Categories(), record[kRecode_Type])) {
        Append(errors, "模板中没有此类别\n;");
    }

    bool found = false;
    const bool refiled = FileAreas(record, areas, found);
    const std::string& province = record[kProvince];
    const std::string& city = record[kCity];
    const std::string& county = record[kCounty_Seat];
    static const std::string notIn = Gb18030("不在");
    static const std::string wholeCountry = WholeCountryName();
    if (loginAreaName != wholeCountry && province != loginAreaName) {
        Append(errors, "导入非本省数据;\n");
    }
    if (!LengthIn(province, 1, kAreaNameMaxBytes)) {
        Append(errors, "省长度有误;\n");
    }
    if (!found && !areas.IsProvince(province)) {
        Append(errors, "查无此省，查看主页中省市县组织结构维护表;\n");
    }
    if (city.size() > kAreaNameMaxBytes) {
        Append(errors, "市长度有误;\n");
    }
    if (!found && !city.empty() && !areas.IsCityOf(province, city)) {
        errors += city + notIn + province + ";";
    }
    if (county.size() > kAreaNameMaxBytes) {
        Append(errors, "县长度有误;\n");
    }
    if (!found && !county.empty() && (city.empty() || !areas.IsCountyOf(province, city, county))) {
        errors += county + notIn + city;
    }
    if (!LengthIn(record[kOrganization_Detial], 1, kOrganizationMaxBytes)) {
        Append(errors, "职位长度有误;\n");
    }
    CheckMobile(record[kMobile_NO], errors);
    // The identifier is the stored name's, so that a record exported and read back is the
    // same record.
    record[kUI_ID] = MakeUIID(record[kUser_Name], record[kMobile_NO]);
    const bool passed = errors.size() == before;
    return {passed, passed && refiled};
}
