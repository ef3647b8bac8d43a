#pragma once

#include "store/contact_store.h"

#include <string_view>

// What the contact editor checks before it hands a record on, in the order it checks.
enum class EditorCheck {
    Passed,
    MissingRequired,        // a field marked * is empty (city and county may be)
    ForbiddenNameCharacter, // a byte the name rule does not allow
    BadMobileNumber,        // not 11 digits starting 13 to 19
};

EditorCheck CheckEditorRecord(const ContactRecord& record);

// The name's GBK bytes: "-", ASCII digits and letters one byte each, and a lead byte of
// 0xB0 or above as a two-byte Chinese character whose trail byte is not examined. Every
// other byte, the GBK symbol and extension rows (lead bytes 0x81 to 0xAF) among them, is
// refused.
bool IsEditorName(std::string_view gbk);

// Eleven ASCII digits beginning 13 to 19.
bool IsEditorMobileNumber(std::string_view text);
