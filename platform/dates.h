#pragma once

#include <optional>
#include <string>
#include <string_view>

// A day of the proleptic Gregorian calendar.
struct CivilDate {
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator==(const CivilDate&) const = default;
};

bool IsCalendarDate(const CivilDate& date);

// The program writes every date as "yyyy-mm-dd", whatever the desktop's regional format.
std::string FormatShortDate(const CivilDate& date);

// Reads the short date format as a person may type it: year, month and day separated by
// "-", the month and day with one or two digits ("1980-1-2"). Nothing may follow, and the
// day must exist.
std::optional<CivilDate> ParseShortDate(std::string_view text);
