#pragma once

#include "store/contact_store.h"

#include <cstddef>
#include <string_view>

// The longest texts, in GB18030 bytes, that a workbook row may carry: the spreadsheet import
// refuses longer ones, so the editor does too, and every record it stores can go out in a
// workbook and come back in. A Chinese character takes two bytes, a letter or digit one.
inline constexpr std::size_t kNameMaxBytes = 40;
inline constexpr std::size_t kSexMaxBytes = 4;
inline constexpr std::size_t kBirthdayMaxBytes = 10;
inline constexpr std::size_t kAreaNameMaxBytes = 40; // each of province, city and county
inline constexpr std::size_t kOrganizationMaxBytes = 100;

// What the contact editor checks before it hands a record on, in the order it checks.
enum class EditorCheck {
    Passed,
    MissingRequired,        // a field marked * is empty (city and county may be)
    ForbiddenNameCharacter, // a byte the name rule does not allow
    NameTooLong,            // over kNameMaxBytes
    ProvinceTooLong,        // over kAreaNameMaxBytes
    CityTooLong,            // over kAreaNameMaxBytes
    CountyTooLong,          // over kAreaNameMaxBytes
    OrganizationTooLong,    // over kOrganizationMaxBytes
    BadMobileNumber,        // not 11 digits starting 13 to 19
};

EditorCheck CheckEditorRecord(const ContactRecord& record);

// The name's GB18030 characters: "-", ASCII digits and letters; a four-byte character
// that is a CJK ideograph of the extensions (see IsExtensionHanzi); and, as in GBK, a lead
// byte of 0xB0 or above as a two-byte Chinese character whose trail byte is not examined.
// Everything else is refused: other ASCII ("?" among them), the two-byte symbol and
// extension rows (lead bytes 0x81 to 0xAF), four-byte characters that are no ideograph.
bool IsEditorName(std::string_view gb18030);

// The ideographs GB18030 writes in four bytes that count as Chinese in a name: CJK Unified
// Ideographs Extension A (U+3400-U+4DBF) and the end of the main block that GBK lacks
// (U+9FA6-U+9FFF), the CJK Compatibility Ideographs (U+F900-U+FAFF), and the planes of
// Extensions B and beyond (U+20000-U+323AF, the Compatibility Supplement included). The
// compatibility ideographs are Han characters too: text that was never normalised keeps
// them, and a name written with one is still a Chinese name.
bool IsExtensionHanzi(char32_t codePoint);

// Eleven ASCII digits beginning 13 to 19.
bool IsEditorMobileNumber(std::string_view text);
