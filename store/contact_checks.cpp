#include "store/contact_checks.h"

#include "platform/text.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array kRequiredFields = {kUser_Name,           kUser_Sex,    kUser_Birthday,
                                        kUser_Education,      kRecode_Type, kProvince,
                                        kOrganization_Detial, kMobile_NO};

struct LengthLimit {
    ContactField field;
    std::size_t maxBytes;
    EditorCheck tooLong;
};

// In the order of the editor's fields.
constexpr std::array kLengthLimits = {
    LengthLimit{kUser_Name, kNameMaxBytes, EditorCheck::NameTooLong},
    LengthLimit{kProvince, kAreaNameMaxBytes, EditorCheck::ProvinceTooLong},
    LengthLimit{kCity, kAreaNameMaxBytes, EditorCheck::CityTooLong},
    LengthLimit{kCounty_Seat, kAreaNameMaxBytes, EditorCheck::CountyTooLong},
    LengthLimit{kOrganization_Detial, kOrganizationMaxBytes, EditorCheck::OrganizationTooLong},
};

bool IsAsciiDigit(unsigned char byte) {
    return byte >= '0' && byte <= '9';
}

bool IsAsciiLetter(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

constexpr unsigned char kFirstChineseLead = 0xB0;

} // namespace

bool IsExtensionHanzi(char32_t codePoint) {
    const auto in = [codePoint](char32_t first, char32_t last) {
        return codePoint >= first && codePoint <= last;
    };
    return in(0x3400, 0x4DBF) || in(0x4E00, 0x9FFF) || in(0xF900, 0xFAFF) || in(0x20000, 0x323AF);
}

bool IsEditorName(std::string_view gb18030) {
    for (std::size_t at = 0; at < gb18030.size();) {
        const auto lead = static_cast<unsigned char>(gb18030[at]);
        if (Gb18030CharacterLength(gb18030, at) == 4) {
            if (!IsExtensionHanzi(Gb18030CodePointAt(gb18030, at))) {
                return false;
            }
            at += 4;
        } else if (lead == '-' || IsAsciiDigit(lead) || IsAsciiLetter(lead)) {
            at += 1;
        } else if (lead >= kFirstChineseLead) {
            at += 2;
        } else {
            return false;
        }
    }
    return true;
}

// China's mobile ranges begin 13 to 19.
bool IsEditorMobileNumber(std::string_view text) {
    return text.size() == 11 && text[0] == '1' && text[1] >= '3' && text[1] <= '9' &&
           std::all_of(text.begin(), text.end(),
                       [](char c) { return IsAsciiDigit(static_cast<unsigned char>(c)); });
}

EditorCheck CheckEditorRecord(const ContactRecord& record) {
    if (std::any_of(kRequiredFields.begin(), kRequiredFields.end(),
                    [&](ContactField field) { return record[field].empty(); })) {
        return EditorCheck::MissingRequired;
    }
    if (!IsEditorName(record[kUser_Name])) {
        return EditorCheck::ForbiddenNameCharacter;
    }
    for (const LengthLimit& limit : kLengthLimits) {
        if (record[limit.field].size() > limit.maxBytes) {
            return limit.tooLong;
        }
    }
    if (!IsEditorMobileNumber(record[kMobile_NO])) {
        return EditorCheck::BadMobileNumber;
    }
    return EditorCheck::Passed;
}
