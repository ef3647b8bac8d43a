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
        r[kUser_Name] = Gbk("张三");
        r[kUser_Sex] = Gbk("男");
        r[kUser_Birthday] = "1980-1-2";
        r[kUser_Education] = Gbk("大学");
        r[kRecode_Type] = Gbk("村");
        r[kProvince] = Gbk("江苏省");
        r[kCity] = Gbk("南京市");
        r[kCounty_Seat] = Gbk("玄武区");
        r[kOrganization_Detial] = Gbk("某单位 书记");
        r[kMobile_NO] = "13588888888";
        return r;
    }

    static std::string Errors(ContactRecord r, const char* login = "全国") {
        std::string errors;
        const bool passed = ValidateImportRow(r, errors, *areas, Gbk(login));
        EXPECT_EQ(passed, errors.empty());
        return GbkToUtf8(errors);
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
        {"good row", kUser_Name, Gbk("张三"), ""},
        {"empty name", kUser_Name, "", "姓名长度有误;\n"},
        {"41-byte name", kUser_Name, std::string(41, 'a'), "姓名长度有误;\n"},
        {"sex neither", kUser_Sex, Gbk("男性"), "性别只能填写男或女;\n"},
        {"sex too long", kUser_Sex, "abcde", "性别长度有误;\n性别只能填写男或女;\n"},
        {"eight digits", kUser_Birthday, "19800102",
         "日期格式应该为xxxx-xx-xx;\n日期格式中年应有4位;\n"},
        {"one dash", kUser_Birthday, "1980-0102",
         "日期格式应该为xxxx-xx-xx;\n日期格式中月最多2位;\n"},
        {"two-digit year", kUser_Birthday, "80-01-02", "日期格式中年应有4位;\n"},
        {"long day", kUser_Birthday, "1980-1-002", "日期格式中日最多2位;\n"},
        {"no calendar day", kUser_Birthday, "2001-02-30", "日期格式应该为xxxx-xx-xx;\n"},
        {"no month or day", kUser_Birthday, "1980--", "日期格式应该为xxxx-xx-xx;\n"},
        {"其他", kUser_Education, Gbk("其他"), ""},
        {"其它", kUser_Education, Gbk("其它"), ""},
        {"trailing blank", kUser_Education, Gbk("其他 "), "模板中没有此学历\n"},
        {"unknown category", kRecode_Type, Gbk("农民"), "模板中没有此类别\n;"},
        {"unknown province", kProvince, Gbk("火星省"),
         "查无此省，查看主页中省市县组织结构维护表;\n南京市不在火星省;玄武区不在南京市"},
        {"city of another province", kCity, Gbk("杭州市"), "杭州市不在江苏省;玄武区不在杭州市"},
        {"county of another city", kCounty_Seat, Gbk("西湖区"), "西湖区不在南京市"},
        {"empty post", kOrganization_Detial, "", "职位长度有误;\n"},
        {"ten digits", kMobile_NO, "1358888888", "手机号不是11位;\n"},
        {"12 and a letter", kMobile_NO, "1258888888a",
         "手机号第二位不是3、5、8;\n手机号中有非数字;\n"},
        {"two non-digits", kMobile_NO, "2x588888888",
         "手机号第一位不是1;\n手机号第二位不是3、5、8;\n手机号中有非数字;\n"},
        {"empty number", kMobile_NO, "",
         "手机号第一位不是1;\n手机号第二位不是3、5、8;\n手机号不是11位;\n"},
    };
    for (const Case& c : cases) {
        ContactRecord r = GoodRow();
        r[c.field] = c.value;
        EXPECT_EQ(Errors(r), c.errors) << c.what;
    }
}

TEST_F(RowRulesTest, AreasAreFoundInsideTheirParents) {
    ContactRecord r = GoodRow();
    r[kProvince] = Gbk("湖北省");
    r[kCity] = Gbk("省直辖县级行政区划"); // also under 河南省 and 海南省
    r[kCounty_Seat] = Gbk("仙桃市");
    EXPECT_EQ(Errors(r), "");
    r[kProvince] = Gbk("海南省");
    EXPECT_EQ(Errors(r), "仙桃市不在省直辖县级行政区划");

    ContactRecord noCity = GoodRow();
    noCity[kCity] = "";
    EXPECT_EQ(Errors(noCity), "玄武区不在");
    noCity[kCounty_Seat] = "";
    EXPECT_EQ(Errors(noCity), "");

    // The whole country is a province of itself, and its cities are the provinces.
    ContactRecord country = GoodRow();
    country[kProvince] = Gbk("全国");
    country[kCity] = Gbk("北京市");
    country[kCounty_Seat] = Gbk("东城区");
    EXPECT_EQ(Errors(country), "");
}

TEST_F(RowRulesTest, AProvinceLoginTakesOnlyItsOwnProvince) {
    EXPECT_EQ(Errors(GoodRow(), "江苏省"), "");
    ContactRecord other = GoodRow();
    other[kProvince] = Gbk("北京市");
    other[kCity] = Gbk("东城区");
    other[kCounty_Seat] = "";
    EXPECT_EQ(Errors(other, "江苏省"), "导入非本省数据;\n");
}

TEST_F(RowRulesTest, QuestionMarksInTheNameBecomeHyphens) {
    ContactRecord r = GoodRow();
    r[kUser_Name] = "A?B?";
    std::string errors;
    EXPECT_TRUE(ValidateImportRow(r, errors, *areas, Gbk("全国")));
    EXPECT_EQ(r[kUser_Name], "A-B-");
}

} // namespace
