#include "exchange/import/package_records.h"

#include "platform/text.h"

#include <algorithm>

namespace {

constexpr std::size_t kIdentifierDigits = 32;

// The varchar sizes of the contact table, in field order. They are counted in characters,
// as SQL means them: the editor lets a name have 40 characters and the organisation 200,
// which in Chinese are 80 and 400 GB18030 bytes, so counting bytes would refuse records
// other installations took from their own editor.
constexpr std::size_t kColumnCharacters[kContactFieldCount] = {
    64,  // UI_ID
    64,  // User_Name
    32,  // User_Sex
    0,   // User_Birthday: a date, no size
    64,  // User_Education
    128, // Recode_Type
    128, // Province
    128, // City
    128, // County_Seat
    256, // Organization_Detial
    20,  // Mobile_NO
};

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Identifiers are written upper-case; lower-case ones are kept for whatever made them.
bool IsIdentifier(std::string_view id) {
    return id.size() == kIdentifierDigits && std::all_of(id.begin(), id.end(), IsHexDigit);
}

// Digits, perhaps grouped or prefixed the way numbers are written by hand ("+86 138-...").
// Nothing else: a field that shifted in from another column, or a word, is no number.
bool IsWrittenLikeANumber(std::string_view mobile) {
    const auto allowed = [](char c) {
        return IsDigit(c) || c == ' ' || c == '+' || c == '-' || c == '(' || c == ')';
    };
    return std::any_of(mobile.begin(), mobile.end(), IsDigit) &&
           std::all_of(mobile.begin(), mobile.end(), allowed);
}

bool FitsColumn(ContactField field, std::string_view value) {
    const std::size_t limit = ColumnCharacters(field);
    // Every character takes at least one byte, so a short value needs no counting.
    return limit == 0 || value.size() <= limit || Gb18030Characters(value) <= limit;
}

} // namespace

std::size_t ColumnCharacters(ContactField field) {
    return kColumnCharacters[field];
}

FieldFault FirstRecordFault(const ContactRecord& record) {
    if (!IsIdentifier(record[kUI_ID])) {
        return {RecordFault::BadIdentifier, kUI_ID};
    }
    for (ContactField required : {kUser_Name, kMobile_NO}) {
        if (record[required].empty()) {
            return {RecordFault::EmptyField, required};
        }
    }
    if (!IsWrittenLikeANumber(record[kMobile_NO])) {
        return {RecordFault::NotAMobileNumber, kMobile_NO};
    }
    for (int i = 0; i < kContactFieldCount; ++i) {
        const auto field = static_cast<ContactField>(i);
        if (!FitsColumn(field, record[field])) {
            return {RecordFault::TooLong, field};
        }
    }
    return {};
}

PackageRecordFilter::PackageRecordFilter(const std::string& loginAreaName)
    : loginAreaName_(loginAreaName), everyProvince_(loginAreaName == WholeCountryName()) {}

bool PackageRecordFilter::Accept(const ContactRecord& record) {
    ++line_;
    if (!everyProvince_ && record[kProvince] != loginAreaName_) {
        ++check_.otherProvince;
        return false;
    }
    if (const FieldFault found = FirstRecordFault(record); !found.ok()) {
        if (check_.refused.size() < kRefusedRecordsListed) {
            check_.refused.push_back({line_, found.fault, found.field});
        }
        ++check_.refusedCount;
        return false;
    }
    ++check_.accepted;
    return true;
}

PackageRecordCheck FilterPackageRecords(std::vector<ContactRecord>& records,
                                        const std::string& loginAreaName) {
    PackageRecordFilter filter(loginAreaName);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!filter.Accept(records[i])) {
            continue;
        }
        if (kept != i) {
            records[kept] = std::move(records[i]);
        }
        ++kept;
    }
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(kept), records.end());
    return filter.Check();
}
