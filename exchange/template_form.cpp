#include "exchange/template_form.h"

#include <array>

namespace quillon::form {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kTitle = "附件\n"
                                    "                                     "
                                    "手 机 号 码 采 集 统 计 表\n"
                                    "  \n"
                                    "    填表单位："
                                    "                                             "
                                    "填表时间：   年   月   日";

constexpr std::string_view kSexes[] = {"男", "女"};
constexpr std::string_view kEducations[] = {"小学", "初中", "高中", "中专", "大专",
                                            "大学", "硕士", "博士", "其他"};
constexpr std::string_view kCategories[] = {"乡镇",
                                            "村",
                                            "社区",
                                            "街道",
                                            "国有集体企业",
                                            "非公企业",
                                            "事业单位",
                                            "社会团体",
                                            "基金会",
                                            "民办非企业单位",
                                            "律师事务所",
                                            "会计师事务所",
                                            "机关",
                                            "大学生村官",
                                            "市县党委书记",
                                            "组织人事部门正职",
                                            "组织人事部门副职",
                                            "组工干部"};
constexpr std::string_view kProvinces[] = {
    "北京市",           "天津市", "河北省",         "山西省",        "内蒙古自治区",
    "辽宁省",           "吉林省", "黑龙江省",       "上海市",        "江苏省",
    "浙江省",           "安徽省", "福建省",         "江西省",        "山东省",
    "河南省",           "湖北省", "湖南省",         "广东省",        "广西壮族自治区",
    "海南省",           "重庆市", "四川省",         "贵州省",        "云南省",
    "西藏自治区",       "陕西省", "甘肃省",         "青海省",        "宁夏回族自治区",
    "新疆维吾尔自治区", "台湾省", "香港特别行政区", "澳门特别行政区"};

constexpr std::span<const std::string_view> kLists[] = {kSexes, kEducations, kCategories,
                                                        kProvinces};
// The education rule has always taken one row more than its nine entries; the blank it adds
// is allowed anyway.
constexpr int kListRuleRows[] = {2, 10, 18, 34};

constexpr std::string_view kInstructions =
    "说明：\n"
    "     1. 本模板共12个数据项，详见以下介绍：\n"
    "     2. 序号为该条信息的编号。\n"
    "     3. 省为贵省的名称，选择省后，才能选择其对应的市。\n"
    "     4. 市，表示该条信息人员所在的市，通过下拉列表进行选择。\n"
    "     5. 区县，选择市后可以选择该市对应的区县，通过下拉列表进行选择。\n"
    "     6. 单位，用于描述更详细的信息或工作单位，如果一人在不同单位兼任职务，"
    "一般填写主要单位，如需填写多个，单位间以逗号隔开。\n"
    "     7. 职务，需手工录入。\n"
    "     8. 手机号码为11位，包括移动，联通，电信的移动号码，需手工录入。"
    "手机号码不能为固定电话、小灵通等。如没有手机该数据项为空。\n"
    "     9. 性别，通过下拉列表进行选择。\n"
    "    10. 民族，通过下拉列表进行选择。\n"
    "    11. 学历，通过下拉列表进行选择。\n"
    "    12. 出生年月日，请精确到日，格式必须为：YYYY-MM-DD，如：2009-01-01。\n"
    "    13. 每个类别（村党组织书记、大学生村官、街道社区党组织书记、非工企业党组织书记）"
    "分别整理到一个或多个excel中，请勿将多个类别整理到同一个excel中。\n"
    "类别一栏填写说明：\n"
    "1、基层党组织书记、大学生村官、市县党委书记分别填写：（1）乡镇；（2）村；（3）社区；"
    "(4)街道；（5）国有集体企业（6）非公企业；（7）事业单位；（8）社会团体；（9）基金会；"
    "（10）民办非企业单位；（11）律师事务所；（12）会计师事务所；（13）机关；"
    "（14）大学生村官；（15）市县党委书记；\n"
    "2、组织人事部门党员干部分别填写：（1）组织人事部门正职；（2）组织人事部门副职；"
    "（3）组工干部。";

constexpr double kHeaderRowPoints = 18.75;

// The two header rows, from zero-based row `top`.
constexpr std::array<Cell, 10> HeaderBlock(int top) {
    return {{
        {{top, 0, top + 1, 0}, "姓名", Look::Header},
        {{top, 1, top + 1, 1}, "性别", Look::Header},
        {{top, 2, top + 1, 2}, "出生年月", Look::Header},
        {{top, 3, top + 1, 3}, "学历", Look::Header},
        {{top, 4, top + 1, 4}, "类别", Look::Header},
        {{top, 8, top + 1, 8}, "单位及职务", Look::Header},
        {{top, 5, top, 7}, "所 在 地 方", Look::Header},
        {{top + 1, 5, top + 1, 5}, "省(区、市)", Look::Header},
        {{top + 1, 6, top + 1, 6}, "市(地、州、盟)", Look::Header},
        {{top + 1, 7, top + 1, 7}, "县(市、区、旗)", Look::Header},
    }};
}

template <std::size_t N> constexpr auto WithTitleAndMobile(const std::array<Cell, N>& block) {
    std::array<Cell, N + 2> cells{};
    cells[0] = {{0, 0, 0, 9}, kTitle, Look::Title};
    for (std::size_t i = 0; i < N; ++i) {
        cells[i + 1] = block[i];
    }
    cells[N + 1] = {{1, 9, 2, 9}, "手机号码", Look::HeaderSongti};
    return cells;
}

constexpr auto kDataCells = WithTitleAndMobile(HeaderBlock(1));

constexpr Width kDataWidths[] = {
    {0, 0, 16.375}, {1, 1, 9.75},   {2, 2, 15.75}, {3, 3, 12.375}, {4, 4, 6.5}, {5, 5, 16.625},
    {6, 6, 21.5},   {7, 7, 20.875}, {8, 8, 20.5},  {9, 9, 13.5},   {11, 13, 9},
};
constexpr RowHeight kDataHeights[] = {{0, 113.25}, {1, kHeaderRowPoints}, {2, kHeaderRowPoints}};

constexpr Range kSexCells[] = {{kFirstRecordRow, 1, kToSheetEnd, 1}, {0, 1, 0, 1}};
constexpr Range kEducationCells[] = {{kFirstRecordRow, 3, kToSheetEnd, 3}, {0, 3, 0, 3}};
constexpr Range kCategoryCells[] = {{kFirstRecordRow, 4, kToSheetEnd, 4}, {0, 4, 0, 4}};
constexpr Range kProvinceCells[] = {{kFirstRecordRow, 5, kToSheetEnd, 5}, {0, 5, 1, 5}};
constexpr ListRule kDataRules[] = {
    {kSexCells, 0, {}, "性别效验", "请输入正确的性别信息！"},
    {kEducationCells, 1, {}, "学历效验", "请输入正确的学历信息！"},
    {kCategoryCells, 2, {}, "类别效验", "请输入正确的类别信息！"},
    {kProvinceCells, 3, {}, "省（区、市）效验", "请输入正确的省（区、市）效验信息！"},
};

constexpr auto NotesCells() {
    const auto header = HeaderBlock(0);
    std::array<Cell, 22> cells{};
    std::size_t n = 0;
    for (const Cell& cell : header) {
        cells[n++] = cell;
    }
    cells[n++] = {{0, 9, 1, 9}, "手机号码", Look::HeaderSongti};
    constexpr int row = kExampleRow;
    cells[n++] = {{row, 0, row, 0}, "XX", Look::Example};
    cells[n++] = {{row, 1, row, 1}, "男", Look::Example};
    cells[n++] = {{row, 3, row, 3}, "大学", Look::Example};
    cells[n++] = {{row, 4, row, 4}, "村", Look::Example};
    cells[n++] = {{row, 5, row, 5}, "XX省", Look::Example};
    cells[n++] = {{row, 6, row, 6}, "XX市", Look::Example};
    cells[n++] = {{row, 7, row, 7}, "XX县", Look::Example};
    cells[n++] = {{row, 2, row, 2}, kExampleBirthday, Look::ExampleDate};
    // Left-aligned so that the long example runs on into the empty J cell.
    cells[n++] = {{row, 8, row, 8}, "XX镇XX村             党支部书记", Look::ExampleLeft};
    cells[n++] = {{row, 9, row, 9}, "", Look::ExampleLeft};
    cells[n++] = {{14, 0, 14, 9}, kInstructions, Look::Instructions};
    return cells;
}

constexpr auto kNotesCells = NotesCells();

constexpr Width kNotesWidths[] = {{1, 1, 6.875}, {2, 2, 12},   {4, 4, 9.5},   {5, 5, 15.25},
                                  {6, 6, 19.25}, {7, 7, 19.5}, {8, 8, 17.75}, {9, 9, 12.75}};
constexpr RowHeight kNotesHeights[] = {{0, kHeaderRowPoints}, {1, kHeaderRowPoints}, {14, 266.25}};

constexpr Range kNotesSexPicks[] = {{0, 1, 1, 1}, {3, 1, 13, 1}};
constexpr Range kNotesEducationPicks[] = {{0, 3, 1, 3}, {3, 3, 13, 3}};
constexpr Range kNotesCategoryPicks[] = {{0, 4, 1, 4}, {3, 4, 13, 4}};
constexpr Range kNotesSexCells[] = {{2, 1, 2, 1}, {14, 1, 14, 1}};
constexpr Range kNotesEducationCells[] = {{2, 3, 2, 3}, {14, 3, 14, 3}};
constexpr ListRule kNotesRules[] = {
    {kNotesSexPicks, 0, {}, {}, {}},
    {kNotesEducationPicks, 1, {}, {}, {}},
    {kNotesCategoryPicks, 2, {}, {}, {}},
    {kNotesSexCells, -1, kSexes, "性别检查", "请正确选择性别！"},
    {kNotesEducationCells, -1, kEducations, "学历检查", "请选择正确的学历信息！"},
};

} // namespace

std::span<const Cell> DataSheetCells() {
    return kDataCells;
}
std::span<const Width> DataSheetWidths() {
    return kDataWidths;
}
std::span<const RowHeight> DataSheetHeights() {
    return kDataHeights;
}
std::span<const ListRule> DataSheetRules() {
    return kDataRules;
}
std::span<const std::span<const std::string_view>> Lists() {
    return kLists;
}
std::span<const int> ListRuleRows() {
    return kListRuleRows;
}
std::span<const Cell> NotesSheetCells() {
    return kNotesCells;
}
std::span<const Width> NotesSheetWidths() {
    return kNotesWidths;
}
std::span<const RowHeight> NotesSheetHeights() {
    return kNotesHeights;
}
std::span<const ListRule> NotesSheetRules() {
    return kNotesRules;
}

} // namespace quillon::form
