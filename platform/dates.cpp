#include "platform/dates.h"

#include <charconv>
#include <cstdio>

namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads 1 to maxDigits ASCII digits from the front of text and moves text past them.
std::optional<int> TakeNumber(std::string_view& text, std::size_t maxDigits) {
    std::size_t digits = 0;
    while (digits < text.size() && digits < maxDigits && text[digits] >= '0' &&
           text[digits] <= '9') {
        ++digits;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    int value = 0;
    std::from_chars(text.data(), text.data() + digits, value);
    text.remove_prefix(digits);
    return value;
}

bool TakeSeparator(std::string_view& text) {
    if (text.empty() || text.front() != '-') {
        return false;
    }
    text.remove_prefix(1);
    return true;
}

} // namespace

bool IsCalendarDate(const CivilDate& date) {
    return date.year >= 1 && date.year <= 9999 && date.month >= 1 && date.month <= 12 &&
           date.day >= 1 && date.day <= DaysInMonth(date.year, date.month);
}

std::string FormatShortDate(const CivilDate& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::optional<CivilDate> ParseShortDate(std::string_view text) {
    const auto year = TakeNumber(text, 4);
    if (!year || !TakeSeparator(text)) {
        return std::nullopt;
    }
    const auto month = TakeNumber(text, 2);
    if (!month || !TakeSeparator(text)) {
        return std::nullopt;
    }
    const auto day = TakeNumber(text, 2);
    if (!day || !text.empty()) {
        return std::nullopt;
    }
    const CivilDate date{*year, *month, *day};
    if (!IsCalendarDate(date)) {
        return std::nullopt;
    }
    return date;
}
