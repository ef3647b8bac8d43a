#include "platform/dates.h"

#include <gtest/gtest.h>

TEST(ShortDates, ParseWhatAPersonTypesAndRefuseTheRest) {
    struct Case {
        const char* text;
        std::optional<CivilDate> date;
    };
    const Case cases[] = {
        {"1980-01-02", CivilDate{1980, 1, 2}},
        {"1980-1-2", CivilDate{1980, 1, 2}},
        {"2000-02-29", CivilDate{2000, 2, 29}},
        {"1900-02-29", std::nullopt},
        {"2001-02-30", std::nullopt},
        {"2001-13-01", std::nullopt},
        {"2001-00-10", std::nullopt},
        {"1980--", std::nullopt},
        {"1980-01-02 ", std::nullopt},
        {"1980/01/02", std::nullopt},
        {"2015.5.5", std::nullopt},
        {"", std::nullopt},
        {"19800-01-02", std::nullopt},
        {"1980-001-02", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseShortDate(c.text), c.date) << c.text;
    }
}

TEST(ShortDates, AlwaysWrittenWithFourTwoAndTwoDigits) {
    EXPECT_EQ(FormatShortDate({1980, 1, 2}), "1980-01-02");
    EXPECT_EQ(FormatShortDate({999, 12, 31}), "0999-12-31");
}
