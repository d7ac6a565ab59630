// Date and time parsing against a simple reference calendar.
#include <gtest/gtest.h>

#include <cstdio>

#include "dates.h"

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
long daysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    long era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

bool referenceValid(long y, unsigned m, unsigned d) {
    if (m < 1 || m > 12 || d < 1) return false;
    long next = daysFromCivil(m == 12 ? y + 1 : y, m == 12 ? 1 : m + 1, 1);
    return static_cast<long>(d) <= next - daysFromCivil(y, m, 1);
}

struct Dates : ::testing::Test {
    void TearDown() override {
        date_setYearPivot(10);
        date_setYearEndDays(1);
    }
};

TEST_F(Dates, ValidityMatchesTheReferenceCalendar) {
    for (int endDays : {0, 1}) {
        date_setYearEndDays(endDays);
        for (unsigned y = 1; y <= 2500; ++y)
            for (unsigned m = 0; m <= 13; ++m)
                for (unsigned d = 0; d <= 34; ++d) {
                    bool expect = referenceValid(y, m, d) || (endDays && m == 12 && (d == 32 || d == 33));
                    bdate date{static_cast<uint8_t>(d), static_cast<uint8_t>(m), static_cast<uint16_t>(y)};
                    ASSERT_EQ(expect ? 1 : 0, date_isValidEx(date)) << d << "." << m << "." << y;
                }
    }
    for (int y : {1900, 2000, 2023, 2024, 2100, 2400})
        EXPECT_EQ(referenceValid(y, 2, 29) ? 1 : 0, date_isLeapYear(y)) << y;
    EXPECT_EQ(1, date_isValidEx(bdate{0, 0, 0}));
    EXPECT_EQ(0, date_isValidEx(bdate{1, 1, 0}));
}

TEST_F(Dates, ParsedTextGivesTheDateOrWhyNot) {
    struct Case {
        const char *text;
        int result;
        int day, mon, year;
    } cases[] = {
        {"31.12.2024", 0, 31, 12, 2024}, {"31.04.2024", 1, 31, 4, 2024}, {"29.02.2023", 1, 29, 2, 2023},
        {"29.02.2000", 0, 29, 2, 2000},  {"29.02.1900", 1, 29, 2, 1900}, {"32.12.2024", 0, 32, 12, 2024},
        {"33.12.2024", 0, 33, 12, 2024}, {"34.12.2024", 1, 34, 12, 2024}, {"1.2.5", 0, 1, 2, 2005},
        {"1.2.10", 0, 1, 2, 1910},       {"1.2.99", 0, 1, 2, 1999},      {"1.2.100", 0, 1, 2, 100},
        {"010524", 0, 1, 5, 1924},       {"00.00.0000", 0, 0, 0, 0},     {"0.0.5", 1, 0, 0, 2005},
        {"..", 0, 0, 0, 0},              {"", 1, 0, 0, 0},               {"1.2", 1, 0, 0, 0},
        {"1.2.12345", -1, 0, 0, 0},      {"1.2.2024x", -1, 0, 0, 0},     {"0105", 1, 0, 0, 0},
        {"01052024", -1, 0, 0, 0},       {"123.1.2024", -1, 0, 0, 0},    {"1.2.3.4", -1, 0, 0, 0},
        {"1/2/2024", -1, 0, 0, 0},
    };
    for (const Case &c : cases) {
        bdate d{9, 9, 9};
        EXPECT_EQ(c.result, date_parse(c.text, d)) << c.text;
        EXPECT_EQ(c.day, d.day) << c.text;
        EXPECT_EQ(c.mon, d.mon) << c.text;
        EXPECT_EQ(c.year, d.year) << c.text;
    }
    bdate d{};
    EXPECT_EQ(0, date_parseSep("5/6/2024", d, '/'));
    EXPECT_EQ(6, d.mon);
    EXPECT_EQ(0, date_split("45.13.7", d, '.'));  // no range checks
    EXPECT_EQ(45, d.day);
    EXPECT_EQ(7, d.year);
    date_setYearEndDays(0);
    EXPECT_EQ(1, date_parse("32.12.2024", d));
    EXPECT_EQ(-1, date_parse(nullptr, d));
}

TEST_F(Dates, TheYearPivotDecidesTheCenturyAndSettingsReturnTheirPreviousValues) {
    EXPECT_EQ(10, date_setYearPivot(50));
    EXPECT_EQ(1, date_setYearEndDays(0));
    bdate d{};
    EXPECT_EQ(0, date_parse("1.1.49", d));
    EXPECT_EQ(2049, d.year);
    EXPECT_EQ(0, date_parse("1.1.50", d));
    EXPECT_EQ(1950, d.year);
    EXPECT_EQ(50, date_setYearPivot(10));
}

TEST_F(Dates, TimesParseAndValidate) {
    struct Case {
        const char *text;
        int result;
        int hour, min, sec, hundr;
    } cases[] = {
        {"12:30", 0, 12, 30, 0, 0},     {"12:30:15.5", 0, 12, 30, 15, 5}, {"12:30:15.050", 0, 12, 30, 15, 50},
        {"123015", 0, 12, 30, 15, 0},   {"24:00", 1, 24, 0, 0, 0},        {"12:60", 1, 12, 60, 0, 0},
        {"12:30:60", 1, 12, 30, 60, 0}, {"12.30", -1, 0, 0, 0, 0},        {"", 1, 0, 0, 0, 0},
        {"1230", 1, 0, 0, 0, 0},        {"1230150", -1, 0, 0, 0, 0},      {"12:30:15.1234", -1, 0, 0, 0, 0},
        {"123:30", -1, 0, 0, 0, 0},     {"12:30x", -1, 0, 0, 0, 0},       {":", 0, 0, 0, 0, 0},
        // Hundredths above 99 are invalid, never kept modulo 256.
        {"12:30:15.300", 1, 12, 30, 15, 0}, {"12:30:15.99", 0, 12, 30, 15, 99},
    };
    for (const Case &c : cases) {
        btime t{7, 7, 7, 7};
        EXPECT_EQ(c.result, time_parse(c.text, t)) << c.text;
        EXPECT_EQ(c.hour, t.hour) << c.text;
        EXPECT_EQ(c.min, t.min) << c.text;
        EXPECT_EQ(c.sec, t.sec) << c.text;
        EXPECT_EQ(c.hundr, t.hundr) << c.text;
    }
    const struct {
        const char *text;
        int result, hour, min;
    } shortCases[] = {{"1230", 0, 12, 30}, {"123", 1, 0, 0},        {"12:30:00", -1, 0, 0},
                      {"12.30", -1, 0, 0}, {"23:60", 1, 23, 60},    {"12345", -1, 0, 0}};
    for (const auto &c : shortCases) {
        btime t{7, 7, 7, 7};
        EXPECT_EQ(c.result, time_parseShort(c.text, t)) << c.text;
        EXPECT_EQ(c.hour, t.hour) << c.text;
        EXPECT_EQ(c.min, t.min) << c.text;
    }
}

}  // namespace
