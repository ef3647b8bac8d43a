#pragma once

#include "store/contact_store.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Which records of a package the register takes. A package carries whatever the register
// it came from held, so the import looks at each record before storing it: one the list
// of this installation can never show is skipped, one that would break the register is
// refused, and the rest go in unchanged.

enum class RecordFault {
    None,
    BadIdentifier,    // UI_ID is not 32 hexadecimal digits (either case)
    EmptyField,       // the name or the mobile number is empty
    NotAMobileNumber, // the mobile number holds no digit, or a character no number is written with
    TooLong,          // more characters than the field's column holds
};

struct FieldFault {
    RecordFault fault = RecordFault::None;
    ContactField field = kUI_ID; // the field at fault; meaningless when there is none

    bool ok() const { return fault == RecordFault::None; }
};

// Characters the field's column holds (its varchar size), or 0 for the birthday, which has
// no size: it must be a date, which the insert itself checks.
std::size_t ColumnCharacters(ContactField field);

// The record's first fault, looking at the identifier, the name, the mobile number and then
// every field's size in field order.
FieldFault FirstRecordFault(const ContactRecord& record);

struct RefusedRecord {
    std::size_t line; // the record's line in the package text, from 1
    RecordFault fault;
    ContactField field;
};

// A package of a million broken records lists the first of them, and counts the rest.
inline constexpr std::size_t kRefusedRecordsListed = 20;

struct PackageRecordCheck {
    std::size_t otherProvince = 0;      // skipped: another province than the login area's
    std::vector<RefusedRecord> refused; // the first kRefusedRecordsListed, in line order
    std::size_t refusedCount = 0;       // all the refused records
    std::size_t accepted = 0;
};

// The judgement on a package's records one at a time, in the order the package holds them
// (one record a line, the first on line 1), so that a package need not be held whole. A
// record of another province than loginAreaName (GB18030; "全国" allows every province) is
// counted as skipped and not examined further; any other record with a fault is refused.
class PackageRecordFilter {
public:
    explicit PackageRecordFilter(const std::string& loginAreaName);
    // Whether the register takes the package's next record.
    bool Accept(const ContactRecord& record);
    const PackageRecordCheck& Check() const { return check_; }

private:
    std::string loginAreaName_;
    bool everyProvince_;
    std::size_t line_ = 0;
    PackageRecordCheck check_;
};

// The same over records in memory: removes, in place and keeping the order of the rest, the
// records the register must not take.
PackageRecordCheck FilterPackageRecords(std::vector<ContactRecord>& records,
                                        const std::string& loginAreaName);
