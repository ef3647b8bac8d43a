#include "crypto/uiid.h"
#include "exchange/import/row_rules.h"
#include "platform/text.h"
#include "store/schema.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

class RowRulesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        ASSERT_TRUE(CreateSchema(dir->path() / "mydb"));
        AreaRows rows = AllAreas(dir->path() / "mydb");
        ASSERT_TRUE(rows);
        areas = new AreaIndex(rows.value());
    }
    static void TearDownTestSuite() {
        delete areas;
        delete dir;
    }

    // A row that passes every rule.
    static ContactRecord GoodRow() {
        ContactRecord r;
        r[kUser_Name] = Gb18030("张三");
        r[kUser_Sex] = Gb18030("男");
        r[kUser_Birthday] = "1980-1-2";
        r[kUser_Education] = Gb18030("大学");
        r[kRecode_Type] = Gb18030("村");
        r[kProvince] = Gb18030("江苏省");
        r[kCity] = Gb18030("南京市");
        r[kCounty_Seat] = Gb18030("玄武区");
        r[kOrganization_Detial] = Gb18030("某单位 书记");
        r[kMobile_NO] = "13588888888";
        return r;
    }

    static std::string Errors(ContactRecord r, const char* login = "全国") {
        std::string errors;
        const bool passed = static_cast<bool>(ValidateImportRow(r, errors, *areas, Gb18030(login)));
        EXPECT_EQ(passed, errors.empty());
        return Gb18030ToUtf8(errors);
    }

    static TempDir* dir;
    static AreaIndex* areas;
};
TempDir* RowRulesTest::dir = nullptr;
AreaIndex* RowRulesTest::areas = nullptr;

TEST_F(RowRulesTest, EachBrokenRuleAddsItsMessageInOrder) {
    struct Case {
        const char* what;
        ContactField field;
        std::string value;
        const char* errors;
    } const cases[] = {
        {"good row", kUser_Name, Gb18030("张三"), ""},
        {"empty name", kUser_Name, "", "姓名长度有误;\n"},
        {"41-byte name", kUser_Name, std::string(41, 'a'), "姓名长度有误;\n"},
        {"sex neither", kUser_Sex, Gb18030("男性"), "性别只能填写男或女;\n"},
        {"sex too long", kUser_Sex, "abcde", "性别长度有误;\n性别只能填写男或女;\n"},
        {"eight digits", kUser_Birthday, "19800102",
         "日期格式应该为xxxx-xx-xx;\n日期格式中年应有4位;\n"},
        {"one dash", kUser_Birthday, "1980-0102",
         "日期格式应该为xxxx-xx-xx;\n日期格式中月最多2位;\n"},
        {"two-digit year", kUser_Birthday, "80-01-02", "日期格式中年应有4位;\n"},
        {"long day", kUser_Birthday, "1980-1-002", "日期格式中日最多2位;\n"},
        {"no calendar day", kUser_Birthday, "2001-02-30", "日期格式应该为xxxx-xx-xx;\n"},
        {"no month or day", kUser_Birthday, "1980--", "日期格式应该为xxxx-xx-xx;\n"},
        {"其他", kUser_Education, Gb18030("其他"), ""},
        {"其它", kUser_Education, Gb18030("其它"), ""},
        {"trailing blank", kUser_Education, Gb18030("其他 "), "模板中没有此学历\n"},
        {"unknown category", kRecode_Type, Gb18030("农民"), "模板中没有此类别\n;"},
        {"unknown province", kProvince, Gb18030("火星省"),
         "查无此省，查看主页中省市县组织结构维护表;\n南京市不在火星省;玄武区不在南京市"},
        {"city of another province", kCity, Gb18030("杭州市"), "杭州市不在江苏省;玄武区不在杭州市"},
        {"county of another city", kCounty_Seat, Gb18030("西湖区"), "西湖区不在南京市"},
        {"empty post", kOrganization_Detial, "", "职位长度有误;\n"},
        {"ten digits", kMobile_NO, "1358888888", "手机号不是11位;\n"},
        {"12 and a letter", kMobile_NO, "1258888888a",
         "手机号第二位不是3至9;\n手机号中有非数字;\n"},
        {"two non-digits", kMobile_NO, "2x588888888",
         "手机号第一位不是1;\n手机号第二位不是3至9;\n手机号中有非数字;\n"},
        {"empty number", kMobile_NO, "",
         "手机号第一位不是1;\n手机号第二位不是3至9;\n手机号不是11位;\n"},
    };
    for (const Case& c : cases) {
        ContactRecord r = GoodRow();
        r[c.field] = c.value;
        EXPECT_EQ(Errors(r), c.errors) << c.what;
    }
}

TEST_F(RowRulesTest, AreasAreFoundInsideTheirParents) {
    ContactRecord r = GoodRow();
    r[kProvince] = Gb18030("湖北省");
    r[kCity] = Gb18030("省直辖县级行政区划"); // also under 河南省 and 海南省
    r[kCounty_Seat] = Gb18030("仙桃市");
    EXPECT_EQ(Errors(r), "");
    r[kProvince] = Gb18030("海南省");
    EXPECT_EQ(Errors(r), "仙桃市不在省直辖县级行政区划");

    // A county without its city is taken only where one city of the province has it.
    ContactRecord noCity = GoodRow();
    noCity[kCity] = "";
    noCity[kCounty_Seat] = Gb18030("鼓楼区"); // 南京市 and 徐州市 both have one
    EXPECT_EQ(Errors(noCity), "鼓楼区不在");
    noCity[kCounty_Seat] = "";
    EXPECT_EQ(Errors(noCity), "");

    // The whole country is a province of itself, and its cities are the provinces.
    ContactRecord country = GoodRow();
    country[kProvince] = Gb18030("全国");
    country[kCity] = Gb18030("北京市");
    country[kCounty_Seat] = Gb18030("东城区");
    EXPECT_EQ(Errors(country), "");
}

TEST_F(RowRulesTest, AProvinceLoginTakesOnlyItsOwnProvince) {
    EXPECT_EQ(Errors(GoodRow(), "江苏省"), "");
    ContactRecord other = GoodRow();
    other[kProvince] = Gb18030("北京市");
    other[kCity] = Gb18030("东城区");
    other[kCounty_Seat] = "";
    EXPECT_EQ(Errors(other, "江苏省"), "导入非本省数据;\n");
}

TEST_F(RowRulesTest, MobileNumbersOfEveryRangeFrom13To19Pass) {
    struct Case {
        const char* number;
        const char* errors;
    } const cases[] = {
        {"13588888888", ""},
        {"14588888888", ""},
        {"15012345678", ""},
        {"16688888888", ""},
        {"17088888888", ""},
        {"18900000000", ""},
        {"19988888888", ""},
        {"10588888888", "手机号第二位不是3至9;\n"},
        {"11588888888", "手机号第二位不是3至9;\n"},
        {"12588888888", "手机号第二位不是3至9;\n"},
        {"1", "手机号第二位不是3至9;\n手机号不是11位;\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        ContactRecord r = GoodRow();
        r[kMobile_NO] = c.number;
        EXPECT_EQ(Errors(r), c.errors);
    }
}

TEST_F(RowRulesTest, TheIdentifierIsMadeFromTheNameAsStored) {
    ContactRecord asWritten = GoodRow();
    asWritten[kUser_Name] = Gb18030("问号?名");
    std::string errors;
    EXPECT_TRUE(ValidateImportRow(asWritten, errors, *areas, Gb18030("全国")));
    EXPECT_EQ(asWritten[kUser_Name], Gb18030("问号-名"));
    EXPECT_EQ(asWritten[kUI_ID], MakeUIID(Gb18030("问号-名"), "13588888888"));

    // The stored record, exported and read back, is the same record.
    ContactRecord readBack = GoodRow();
    readBack[kUser_Name] = Gb18030("问号-名");
    EXPECT_TRUE(ValidateImportRow(readBack, errors, *areas, Gb18030("全国")));
    EXPECT_EQ(readBack[kUI_ID], asWritten[kUI_ID]);

    // A rejected row gets one too, and still has its "?" replaced.
    ContactRecord rejected = GoodRow();
    rejected[kUser_Name] = "A?B?";
    rejected[kMobile_NO] = "1";
    EXPECT_FALSE(ValidateImportRow(rejected, errors, *areas, Gb18030("全国")));
    EXPECT_EQ(rejected[kUser_Name], "A-B-");
    EXPECT_EQ(rejected[kUI_ID], MakeUIID("A-B-", "1"));
}

TEST_F(RowRulesTest, CharactersGbkLackedStayInTheNameAndAQuestionMarkStillBecomesAHyphen) {
    ContactRecord r = GoodRow();
    r[kUser_Name] = Gb18030("王䶮李𠀾?");
    std::string errors;
    EXPECT_TRUE(ValidateImportRow(r, errors, *areas, Gb18030("全国"))) << Gb18030ToUtf8(errors);
    EXPECT_EQ(r[kUser_Name], Gb18030("王䶮李𠀾-"));
    EXPECT_EQ(r[kUI_ID], MakeUIID(Gb18030("王䶮李𠀾-"), "13588888888"));

    // The length rule counts GB18030 bytes: ten four-byte characters are 40.
    std::string ten;
    for (int i = 0; i < 10; ++i) {
        ten += Gb18030("𠀾");
    }
    r = GoodRow();
    r[kUser_Name] = ten;
    EXPECT_TRUE(ValidateImportRow(r, errors, *areas, Gb18030("全国")));
    r = GoodRow();
    r[kUser_Name] = ten + "a";
    errors.clear();
    EXPECT_FALSE(ValidateImportRow(r, errors, *areas, Gb18030("全国")));
    EXPECT_EQ(Gb18030ToUtf8(errors), "姓名长度有误;\n");
}

// Areas as people write them: the columns province, city and county as written, what the
// record holds afterwards, the errors and whether the row counts as re-filed.
struct AreaCase {
    const char* what;
    const char* written[3];
    const char* filed[3];
    const char* errors;
    bool refiled;
};

class AreaSpellingTest : public RowRulesTest {
protected:
    void Check(const AreaCase& c, const char* login = "全国") {
        SCOPED_TRACE(c.what);
        ContactRecord r = GoodRow();
        r[kProvince] = Gb18030(c.written[0]);
        r[kCity] = Gb18030(c.written[1]);
        r[kCounty_Seat] = Gb18030(c.written[2]);
        std::string errors;
        const ImportRowCheck check = ValidateImportRow(r, errors, *areas, Gb18030(login));
        EXPECT_EQ(Gb18030ToUtf8(errors), c.errors);
        EXPECT_EQ(check.passed, errors.empty());
        EXPECT_EQ(check.refiled, c.refiled);
        EXPECT_EQ(Gb18030ToUtf8(r[kProvince]), c.filed[0]);
        EXPECT_EQ(Gb18030ToUtf8(r[kCity]), c.filed[1]);
        EXPECT_EQ(Gb18030ToUtf8(r[kCounty_Seat]), c.filed[2]);
    }
};

TEST_F(AreaSpellingTest, DistrictsAndCountyLevelCitiesAreFiledWhereTheTableKeepsThem) {
    const AreaCase cases[] = {
        {"municipality repeated",
         {"北京市", "北京市", "海淀区"},
         {"北京市", "海淀区", ""},
         "",
         true},
        {"市辖区", {"北京市", "市辖区", "海淀区"}, {"北京市", "海淀区", ""}, "", true},
        {"no city", {"北京市", "", "海淀区"}, {"北京市", "海淀区", ""}, "", true},
        {"only the municipality", {"北京市", "北京市", ""}, {"北京市", "", ""}, "", true},
        {"county-level city as the city",
         {"湖北省", "仙桃市", ""},
         {"湖北省", "省直辖县级行政区划", "仙桃市"},
         "",
         true},
        {"province repeated", {"广东省", "广东省", "东莞市"}, {"广东省", "东莞市", ""}, "", true},
        {"short names throughout", {"北京", "北京", "海淀"}, {"北京市", "海淀区", ""}, "", true},
        {"short county-level city",
         {"河南省", "济源", ""},
         {"河南省", "省直辖县级行政区划", "济源市"},
         "",
         true},
        // What fits no area or more than one is rejected as before.
        {"two cities have one",
         {"江苏省", "", "鼓楼区"},
         {"江苏省", "", "鼓楼区"},
         "鼓楼区不在",
         false},
        {"two short fits",
         {"河北省", "宣化", ""},
         {"河北省", "宣化", ""},
         "宣化不在河北省;",
         false},
        {"no such district",
         {"北京市", "市辖区", "中关村"},
         {"北京市", "市辖区", "中关村"},
         "市辖区不在北京市;中关村不在市辖区",
         false},
        {"two places below the province",
         {"北京市", "海淀区", "东城区"},
         {"北京市", "海淀区", "东城区"},
         "东城区不在海淀区",
         false},
        {"a county of another province",
         {"北京市", "", "玄武区"},
         {"北京市", "", "玄武区"},
         "玄武区不在",
         false},
    };
    for (const AreaCase& c : cases) {
        Check(c);
    }
}

TEST_F(AreaSpellingTest, NamesWithoutTheirLevelWordAreCompleted) {
    const AreaCase cases[] = {
        {"province, city, county",
         {"河北", "石家庄", "长安"},
         {"河北省", "石家庄市", "长安区"},
         "",
         false},
        {"autonomous region of a people",
         {"广西", "南宁", ""},
         {"广西壮族自治区", "南宁市", ""},
         "",
         false},
        {"region of a people without 族",
         {"新疆", "", ""},
         {"新疆维吾尔自治区", "", ""},
         "",
         false},
        {"autonomous prefecture",
         {"吉林省", "延边", "延吉"},
         {"吉林省", "延边朝鲜族自治州", "延吉市"},
         "",
         false},
        {"several peoples",
         {"湖北", "恩施", ""},
         {"湖北省", "恩施土家族苗族自治州", ""},
         "",
         false},
        {"盟", {"内蒙古", "兴安", ""}, {"内蒙古自治区", "兴安盟", ""}, "", false},
        {"地区", {"西藏", "林芝", ""}, {"西藏自治区", "林芝地区", ""}, "", false},
        {"特别行政区", {"香港", "", ""}, {"香港特别行政区", "", ""}, "", false},
        {"a full name as well",
         {"江苏省", "南京", "玄武区"},
         {"江苏省", "南京市", "玄武区"},
         "",
         false},
        // A short name two siblings share names neither.
        {"伊宁县 and 伊宁市",
         {"新疆", "伊犁", "伊宁"},
         {"新疆维吾尔自治区", "伊犁哈萨克自治州", "伊宁"},
         "伊宁不在伊犁哈萨克自治州",
         false},
        {"unknown county",
         {"河北", "石家庄", "火星"},
         {"河北省", "石家庄市", "火星"},
         "火星不在石家庄市",
         false},
        {"unknown province",
         {"火星", "", ""},
         {"火星", "", ""},
         "查无此省，查看主页中省市县组织结构维护表;\n",
         false},
        // A level word is a whole word: "林区" of 碑林区 is not one.
        {"碑林", {"陕西", "西安", "碑林"}, {"陕西省", "西安市", "碑林区"}, "", false},
    };
    for (const AreaCase& c : cases) {
        Check(c);
    }
}

TEST_F(AreaSpellingTest, RowsFoundAsWrittenStayAsTheyAre) {
    const AreaCase cases[] = {
        {"full names", {"江苏省", "南京市", "玄武区"}, {"江苏省", "南京市", "玄武区"}, "", false},
        {"province only", {"北京市", "", ""}, {"北京市", "", ""}, "", false},
        {"city named like its province",
         {"吉林省", "吉林市", ""},
         {"吉林省", "吉林市", ""},
         "",
         false},
        // The root is its own parent; the row is not read as 全国 / 北京市.
        {"whole country twice", {"全国", "全国", "北京市"}, {"全国", "全国", "北京市"}, "", false},
    };
    for (const AreaCase& c : cases) {
        Check(c);
    }
}

TEST_F(AreaSpellingTest, TheLoginProvinceIsComparedWithTheFullName) {
    Check({"short name", {"河北", "石家庄", "长安"}, {"河北省", "石家庄市", "长安区"}, "", false},
          "河北省");
    Check({"refiled", {"北京", "北京", "海淀"}, {"北京市", "海淀区", ""}, "", true}, "北京市");
    Check({"another province", {"北京", "", ""}, {"北京市", "", ""}, "导入非本省数据;\n", false},
          "河北省");
}

TEST_F(AreaSpellingTest, ARefiledRowRejectedForAnotherRuleIsNotCountedAsRefiled) {
    ContactRecord r = GoodRow();
    r[kProvince] = Gb18030("北京市");
    r[kCity] = Gb18030("北京市");
    r[kCounty_Seat] = Gb18030("海淀区");
    r[kMobile_NO] = "12588888888";
    std::string errors;
    const ImportRowCheck check = ValidateImportRow(r, errors, *areas, Gb18030("全国"));
    EXPECT_FALSE(check);
    EXPECT_FALSE(check.refiled);
    EXPECT_EQ(Gb18030ToUtf8(errors), "手机号第二位不是3至9;\n");
    EXPECT_EQ(r[kCity], Gb18030("海淀区")); // written back filed where it belongs
}

TEST(CellBlanks, AreTakenOffBothEndsAsWholeCharacters) {
    struct Case {
        const char* what;
        std::string cell;
        std::string value;
    } const cases[] = {
        {"trailing space", Gb18030("大学 "), Gb18030("大学")},
        {"tabs and spaces", Gb18030("\t 大学\t "), Gb18030("大学")},
        {"full-width spaces", Gb18030("　大学　　"), Gb18030("大学")},
        {"mixed", Gb18030(" 　\t河北省 　"), Gb18030("河北省")},
        {"inner blanks stay", Gb18030(" 某单位 书记 "), Gb18030("某单位 书记")},
        {"only blanks", Gb18030(" 　\t"), ""},
        {"empty", "", ""},
        {"digits", " 13588888888\t", "13588888888"},
        // 啊 (B0 A1) and a stray A1: the last two bytes look like a full-width space but
        // are not one.
        {"A1 A1 across characters", "\xB0\xA1\xA1", "\xB0\xA1\xA1"},
        {"a full-width space after a trail byte A1", Gb18030("啊　"), Gb18030("啊")},
        {"four-byte characters", Gb18030(" 李𠀾华　"), Gb18030("李𠀾华")},
        {"a four-byte character last", Gb18030("Zoë\t"), Gb18030("Zoë")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string cell = c.cell;
        TrimCellBlanks(cell);
        EXPECT_EQ(cell, c.value);
    }
}

} // namespace
