#include "exchange/import/package_records.h"
#include "exchange/package/record_lines.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Repeated(const std::string& piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

// A record as the editor of any installation makes it.
ContactRecord GoodRecord(const char* province = "江苏省", const char* mobile = "13588888888") {
    ContactRecord r;
    r[kUI_ID] = "0123456789ABCDEF0123456789ABCDEF";
    r[kUser_Name] = Gb18030("张三");
    r[kUser_Sex] = Gb18030("男");
    r[kUser_Birthday] = "1980-01-02";
    r[kUser_Education] = Gb18030("大学");
    r[kRecode_Type] = Gb18030("村");
    r[kProvince] = Gb18030(province);
    r[kCity] = Gb18030("南京市");
    r[kCounty_Seat] = Gb18030("玄武区");
    r[kOrganization_Detial] = Gb18030("某单位 书记");
    r[kMobile_NO] = mobile;
    return r;
}

// The sizes are the contact table's own, so a change of the schema shows here.
TEST(PackageRecordsTest, ColumnSizesAreTheContactTables) {
    const char* const columns[kContactFieldCount] = {
        "UI_ID",          "User_Name",           "User_Sex", "User_Birthday",
        "User_Education", "Recode_Type",         "Province", "City",
        "County_Seat",    "Organization_Detial", "Mobile_NO"};
    const std::string create = ContactTableCreateStatement();
    for (int i = 0; i < kContactFieldCount; ++i) {
        SCOPED_TRACE(columns[i]);
        const auto field = static_cast<ContactField>(i);
        const std::size_t at = create.find(std::string(" ") + columns[i] + " ");
        ASSERT_NE(at, std::string::npos);
        const std::string declared = create.substr(at + 1, create.find_first_of(",)", at) - at);
        const std::size_t open = declared.find('(');
        const std::size_t size =
            open == std::string::npos ? 0 : std::stoul(declared.substr(open + 1));
        EXPECT_EQ(ColumnCharacters(field), size) << declared;
    }
}

TEST(PackageRecordsTest, FirstRecordFaultNamesTheFaultAndItsField) {
    struct Case {
        const char* what;
        ContactField field;
        std::string value;
        RecordFault fault;
        ContactField faultField;
    } const cases[] = {
        {"good record", kUser_Name, Gb18030("张三"), RecordFault::None, kUI_ID},
        // Identifiers.
        {"lower-case identifier", kUI_ID, "0123456789abcdef0123456789abcdef", RecordFault::None,
         kUI_ID},
        {"empty identifier", kUI_ID, "", RecordFault::BadIdentifier, kUI_ID},
        {"31 digits", kUI_ID, "0123456789ABCDEF0123456789ABCDE", RecordFault::BadIdentifier,
         kUI_ID},
        {"33 digits", kUI_ID, "0123456789ABCDEF0123456789ABCDEF0", RecordFault::BadIdentifier,
         kUI_ID},
        {"not hex", kUI_ID, "0123456789ABCDEF0123456789ABCDEG", RecordFault::BadIdentifier, kUI_ID},
        {"trailing blank", kUI_ID, "0123456789ABCDEF0123456789ABCDE ", RecordFault::BadIdentifier,
         kUI_ID},
        // Required fields.
        {"empty name", kUser_Name, "", RecordFault::EmptyField, kUser_Name},
        {"empty mobile", kMobile_NO, "", RecordFault::EmptyField, kMobile_NO},
        {"empty city and county may be", kCity, "", RecordFault::None, kUI_ID},
        // Mobile numbers.
        {"word for a mobile", kMobile_NO, "not-a-number", RecordFault::NotAMobileNumber,
         kMobile_NO},
        {"organisation shifted into the mobile", kMobile_NO, Gb18030("某单位"),
         RecordFault::NotAMobileNumber, kMobile_NO},
        {"punctuation only", kMobile_NO, "(-)", RecordFault::NotAMobileNumber, kMobile_NO},
        {"a letter among digits", kMobile_NO, "1358888888x", RecordFault::NotAMobileNumber,
         kMobile_NO},
        {"number of an older rule", kMobile_NO, "17088888888", RecordFault::None, kUI_ID},
        {"written by hand", kMobile_NO, "+86 (135) 8888-8888", RecordFault::None, kUI_ID},
        // Sizes, in characters.
        {"name of 64 letters", kUser_Name, std::string(64, 'a'), RecordFault::None, kUI_ID},
        {"name of 65 letters", kUser_Name, std::string(65, 'a'), RecordFault::TooLong, kUser_Name},
        {"name of 64 Chinese characters", kUser_Name, Repeated(Gb18030("张"), 64),
         RecordFault::None, kUI_ID},
        {"name of 65 Chinese characters", kUser_Name, Repeated(Gb18030("张"), 65),
         RecordFault::TooLong, kUser_Name},
        {"name of 1 MiB", kUser_Name, std::string(1 << 20, 'a'), RecordFault::TooLong, kUser_Name},
        {"mobile of 20 digits", kMobile_NO, std::string(20, '1'), RecordFault::None, kUI_ID},
        {"mobile of 21 digits", kMobile_NO, std::string(21, '1'), RecordFault::TooLong, kMobile_NO},
        {"sex of 33 characters", kUser_Sex, Repeated(Gb18030("男"), 33), RecordFault::TooLong,
         kUser_Sex},
        {"county of 128 Chinese characters", kCounty_Seat, Repeated(Gb18030("县"), 128),
         RecordFault::None, kUI_ID},
        {"county of 129", kCounty_Seat, std::string(129, 'x'), RecordFault::TooLong, kCounty_Seat},
        {"organisation of 200 Chinese characters (the editor's most)", kOrganization_Detial,
         Repeated(Gb18030("单"), 200), RecordFault::None, kUI_ID},
        {"organisation of 257", kOrganization_Detial, std::string(257, 'x'), RecordFault::TooLong,
         kOrganization_Detial},
        {"birthday has no size", kUser_Birthday, std::string(300, '1'), RecordFault::None, kUI_ID},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ContactRecord record = GoodRecord();
        record[c.field] = c.value;
        const FieldFault found = FirstRecordFault(record);
        EXPECT_EQ(found.fault, c.fault);
        if (c.fault != RecordFault::None) {
            EXPECT_EQ(found.field, c.faultField);
        }
    }
}

TEST(PackageRecordsTest, FirstRecordFaultLooksAtTheIdentifierThenNameThenMobileThenSizes) {
    ContactRecord record = GoodRecord();
    record[kCity] = std::string(200, 'x');
    record[kMobile_NO] = "none";
    record[kUser_Name] = "";
    record[kUI_ID] = "";
    struct Step {
        const char* what;
        ContactField mend;
        std::string value;
        RecordFault fault;
        ContactField field;
    } const steps[] = {
        {"all broken", kUI_ID, "", RecordFault::BadIdentifier, kUI_ID},
        {"identifier mended", kUI_ID, "0123456789ABCDEF0123456789ABCDEF", RecordFault::EmptyField,
         kUser_Name},
        {"name mended", kUser_Name, "Li", RecordFault::NotAMobileNumber, kMobile_NO},
        {"mobile mended", kMobile_NO, "13588888888", RecordFault::TooLong, kCity},
        {"city mended", kCity, "", RecordFault::None, kUI_ID},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        record[s.mend] = s.value;
        const FieldFault found = FirstRecordFault(record);
        EXPECT_EQ(found.fault, s.fault);
        EXPECT_EQ(found.field, s.field);
    }
}

std::vector<std::string> Names(const std::vector<ContactRecord>& records) {
    std::vector<std::string> names;
    for (const ContactRecord& r : records) {
        names.push_back(Gb18030ToUtf8(r[kUser_Name]));
    }
    return names;
}

ContactRecord Named(const char* name, const char* province = "江苏省") {
    ContactRecord r = GoodRecord(province);
    r[kUser_Name] = Gb18030(name);
    return r;
}

TEST(PackageRecordsTest, FilterKeepsTheLoginAreasRecordsInOrder) {
    const auto package = [] {
        return std::vector<ContactRecord>{Named("甲", "江苏省"), Named("乙", "浙江省"),
                                          Named("丙", "江苏省"), Named("丁", "全国"),
                                          Named("戊", "江苏")};
    };
    struct Case {
        const char* what;
        const char* loginArea;
        std::vector<std::string> kept;
        std::size_t otherProvince;
    } const cases[] = {
        {"whole country takes every province", "全国", {"甲", "乙", "丙", "丁", "戊"}, 0},
        {"one province takes its own, by exact name", "江苏省", {"甲", "丙"}, 3},
        {"a province with no records in the package", "西藏自治区", {}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ContactRecord> records = package();
        const PackageRecordCheck check = FilterPackageRecords(records, Gb18030(c.loginArea));
        EXPECT_EQ(Names(records), c.kept);
        EXPECT_EQ(check.otherProvince, c.otherProvince);
        EXPECT_TRUE(check.refused.empty());
    }
}

TEST(PackageRecordsTest, FilterRefusesBrokenRecordsWithTheirLines) {
    std::vector<ContactRecord> records{Named("甲"), Named("乙"),           Named("丙"),
                                       Named("丁"), Named("戊", "浙江省"), Named("己")};
    records[1][kUI_ID] = "";
    records[3][kMobile_NO] = "not-a-number";
    records[4][kUser_Name] = ""; // another province's: skipped, not examined
    records[5][kUser_Name] = std::string(1 << 20, 'a');

    const PackageRecordCheck check = FilterPackageRecords(records, Gb18030("江苏省"));

    EXPECT_EQ(Names(records), (std::vector<std::string>{"甲", "丙"}));
    EXPECT_EQ(check.otherProvince, 1u);
    ASSERT_EQ(check.refused.size(), 3u);
    struct Expected {
        std::size_t line;
        RecordFault fault;
        ContactField field;
    } const expected[] = {
        {2, RecordFault::BadIdentifier, kUI_ID},
        {4, RecordFault::NotAMobileNumber, kMobile_NO},
        {6, RecordFault::TooLong, kUser_Name},
    };
    for (std::size_t i = 0; i < check.refused.size(); ++i) {
        SCOPED_TRACE("refusal " + std::to_string(i));
        EXPECT_EQ(check.refused[i].line, expected[i].line);
        EXPECT_EQ(check.refused[i].fault, expected[i].fault);
        EXPECT_EQ(check.refused[i].field, expected[i].field);
    }
}

TEST(PackageRecordsTest, FilterKeepsEveryValueOfTheRecordsItKeeps) {
    std::vector<ContactRecord> records{GoodRecord(), GoodRecord(), GoodRecord()};
    records[0][kUI_ID] = "bad";
    records[2][kOrganization_Detial] = Gb18030("单位，职务");
    records[2][kUI_ID] = "FEDCBA9876543210FEDCBA9876543210";
    const ContactRecord third = records[2];

    FilterPackageRecords(records, Gb18030("全国"));

    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], GoodRecord());
    EXPECT_EQ(records[1], third);
}

// The line numbers are the lines of the package text as the reader cuts it, an old line
// whose organisation still holds its commas included.
TEST(PackageRecordsTest, RefusedLinesAreThePackageTextsLines) {
    std::vector<ContactRecord> written{GoodRecord(), GoodRecord(), GoodRecord(), GoodRecord()};
    written[2][kMobile_NO] = "";
    std::string text = PackageText({written[0], written[1]});
    text += "0123456789ABCDEF0123456789ABCDEF,Old,M,1980-01-02,E,T," + Gb18030("江苏省") +
            ",C,Co,unit,post,13588888888\n";
    text += PackageText({written[2], written[3]});

    std::vector<ContactRecord> read;
    PackageTextParser parser([&](ContactRecord&& r) { read.push_back(std::move(r)); });
    ASSERT_TRUE(parser.Feed(text));
    ASSERT_TRUE(parser.Finish());
    ASSERT_EQ(read.size(), 5u);
    EXPECT_EQ(read[2][kOrganization_Detial], "unit,post");

    const PackageRecordCheck check = FilterPackageRecords(read, Gb18030("江苏省"));

    EXPECT_EQ(read.size(), 4u);
    ASSERT_EQ(check.refused.size(), 1u);
    EXPECT_EQ(check.refused[0].line, 4u);
    EXPECT_EQ(check.refused[0].fault, RecordFault::EmptyField);
    EXPECT_EQ(check.refused[0].field, kMobile_NO);
}

} // namespace
