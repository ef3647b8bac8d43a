#include "platform/text.h"
#include "store/contact_checks.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* what;
    std::string value;
    bool accepted;
};

ContactRecord CompleteRecord() {
    ContactRecord r;
    r[kUser_Name] = Gb18030("张三");
    r[kUser_Sex] = Gb18030("男");
    r[kUser_Birthday] = "1980-01-02";
    r[kUser_Education] = Gb18030("大学");
    r[kRecode_Type] = Gb18030("机关");
    r[kProvince] = Gb18030("北京市");
    r[kOrganization_Detial] = Gb18030("某单位");
    r[kMobile_NO] = "13588888888";
    return r;
}

std::string Repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

} // namespace

TEST(EditorChecks, NamesByTheirGb18030Bytes) {
    const Case cases[] = {
        {"Chinese", Gb18030("张三"), true},
        {"letters, digits and a hyphen", "John-Smith2", true},
        {"a blank", "John Smith", false},
        {"an apostrophe", "O'Brien", false},
        {"a full-width middle dot (A1 A4)", Gb18030("约翰·史密斯"), false},
        {"an extension character with lead byte 0x81", "\x81\x40", false},
        {"lead byte 0xAF", "\xAF\xA1", false},
        {"a control character", "A\tB", false},
        // The trail byte of a Chinese character is never examined, even when it is missing.
        {"a lone lead byte at the end", "Li\xB0", true},
        {"a trail byte that is ASCII punctuation", "\xB0'", true},
        // Characters GBK lacks, in GB18030.
        {"Extension A in two bytes", Gb18030("王䶮"), true},
        {"Extension A in four bytes", Gb18030("王\u3400"), true},
        {"Extension B", Gb18030("李𠀾华"), true},
        {"Extension G", Gb18030("\U00030000"), true},
        {"a unified ideograph GBK lacks", Gb18030("\u9FCF"), true},
        {"a compatibility ideograph", Gb18030("\uF900"), true},
        {"a question mark", Gb18030("王?"), false},
        {"an accented letter", Gb18030("Zoë"), false},
        {"an emoji", Gb18030("李😀"), false},
        {"the replacement character", Gb18030("李\uFFFD"), false},
        // D8 39 B0 30: taken two bytes at a time, it would look like two hanzi lead bytes.
        {"a private use character in four bytes", Gb18030("李\U000F05E2"), false},
        {"a lone four-byte lead before digits", "\x95\x32", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsEditorName(c.value), c.accepted) << c.what;
    }
}

TEST(EditorChecks, MobileNumbers) {
    const Case cases[] = {
        {"13", "13588888888", true},
        {"15", "15012345678", true},
        {"18", "18900000000", true},
        {"ten digits", "1358888888", false},
        {"twelve digits", "135888888888", false},
        {"starts with 2", "23588888888", false},
        {"10", "10588888888", false},
        {"11", "11588888888", false},
        {"12", "12588888888", false},
        {"14", "14588888888", true},
        {"16", "16588888888", true},
        {"17", "17588888888", true},
        {"19", "19588888888", true},
        {"a letter", "1358888888a", false},
        {"full-width digit", "1358888888\xA3\xB1", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsEditorMobileNumber(c.value), c.accepted) << c.what;
    }
}

TEST(EditorChecks, RequiredFieldsComeFirstThenNameThenNumber) {
    EXPECT_EQ(CheckEditorRecord(CompleteRecord()), EditorCheck::Passed);

    for (ContactField field : {kUser_Name, kUser_Sex, kUser_Birthday, kUser_Education, kRecode_Type,
                               kProvince, kOrganization_Detial, kMobile_NO}) {
        ContactRecord r = CompleteRecord();
        r[field].clear();
        EXPECT_EQ(CheckEditorRecord(r), EditorCheck::MissingRequired) << field;
    }
    ContactRecord withoutCityAndCounty = CompleteRecord();
    EXPECT_EQ(CheckEditorRecord(withoutCityAndCounty), EditorCheck::Passed);

    ContactRecord bothWrong = CompleteRecord();
    bothWrong[kUser_Name] = "a b";
    bothWrong[kMobile_NO] = "123";
    EXPECT_EQ(CheckEditorRecord(bothWrong), EditorCheck::ForbiddenNameCharacter);
    bothWrong[kUser_Name] = "ab";
    EXPECT_EQ(CheckEditorRecord(bothWrong), EditorCheck::BadMobileNumber);
}

TEST(EditorChecks, TextsLongerThanAWorkbookRowMayHoldAreRefused) {
    const std::string han = Gb18030("张");
    struct LengthCase {
        const char* what;
        ContactField field;
        std::string value;
        EditorCheck expected;
    } const cases[] = {
        {"name of 40 letters", kUser_Name, std::string(40, 'a'), EditorCheck::Passed},
        {"name of 41 letters", kUser_Name, std::string(41, 'a'), EditorCheck::NameTooLong},
        {"name of 20 Chinese characters", kUser_Name, Repeated(han, 20), EditorCheck::Passed},
        {"name of 21 Chinese characters", kUser_Name, Repeated(han, 21), EditorCheck::NameTooLong},
        {"name of 19 Chinese characters and 3 letters", kUser_Name, Repeated(han, 19) + "abc",
         EditorCheck::NameTooLong},
        {"name of 10 four-byte characters", kUser_Name, Repeated(Gb18030("𠀾"), 10),
         EditorCheck::Passed},
        {"name of 10 four-byte characters and 1 letter", kUser_Name,
         Repeated(Gb18030("𠀾"), 10) + "a", EditorCheck::NameTooLong},
        {"province of 40 bytes", kProvince, Repeated(han, 20), EditorCheck::Passed},
        {"province of 41 bytes", kProvince, Repeated(han, 20) + "a", EditorCheck::ProvinceTooLong},
        {"city of 40 bytes", kCity, Repeated(han, 20), EditorCheck::Passed},
        {"city of 41 bytes", kCity, Repeated(han, 20) + "a", EditorCheck::CityTooLong},
        {"county of 40 bytes", kCounty_Seat, Repeated(han, 20), EditorCheck::Passed},
        {"county of 41 bytes", kCounty_Seat, Repeated(han, 20) + "a", EditorCheck::CountyTooLong},
        {"post of 100 bytes", kOrganization_Detial, Repeated(han, 50), EditorCheck::Passed},
        {"post of 101 bytes", kOrganization_Detial, Repeated(han, 50) + " ",
         EditorCheck::OrganizationTooLong},
    };
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(c.what);
        ContactRecord r = CompleteRecord();
        r[c.field] = c.value;
        EXPECT_EQ(CheckEditorRecord(r), c.expected);
    }
}

TEST(EditorChecks, LengthsAreCheckedAfterTheNameAndBeforeTheNumberInTheFormsOrder) {
    ContactRecord r = CompleteRecord();
    r[kUser_Name] = std::string(41, 'a') + " ";
    r[kCounty_Seat] = std::string(41, 'a');
    r[kOrganization_Detial] = std::string(101, 'a');
    r[kMobile_NO] = "123";
    EXPECT_EQ(CheckEditorRecord(r), EditorCheck::ForbiddenNameCharacter);
    r[kUser_Name].pop_back();
    EXPECT_EQ(CheckEditorRecord(r), EditorCheck::NameTooLong);
    r[kUser_Name] = "a";
    EXPECT_EQ(CheckEditorRecord(r), EditorCheck::CountyTooLong);
    r[kCounty_Seat] = "a";
    EXPECT_EQ(CheckEditorRecord(r), EditorCheck::OrganizationTooLong);
    r[kOrganization_Detial] = "a";
    EXPECT_EQ(CheckEditorRecord(r), EditorCheck::BadMobileNumber);
}
