// Day numbers and the date and time records of the sysmix wire, as the
// automation date type counts them: days since 30 December 1899, the time
// of day as the fraction of a day.
#pragma once

#include <cstdint>

struct SysmixDate {
    int day;
    int mon;
    int year;
};

struct SysmixTime {
    int hundr;
    int sec;
    int min;
    int hour;
};

struct SysmixDateTime {
    SysmixDate date;
    SysmixTime time;  // hundredths always 0
};

// Days since 30 December 1899. A month of 0 counts as 1 and one above 12 as
// 12; the day is cut to the month's length.
int32_t sysmix_dayNumber(const SysmixDate &d);
// The date of a day number.
SysmixDate sysmix_dateOfDay(int32_t dayNumber);
// The time of day as the fraction of a day.
double sysmix_dayFraction(const SysmixTime &t);

// An automation date from a day number and a time of day. Before the base
// day the fraction counts away from zero, as the automation type has it.
double sysmix_oleDate(int32_t dayNumber, double fraction);

// Oldest and newest day an automation date may hold (1 January 100 and
// 31 December 9999).
constexpr int32_t kSysmixFirstDay = -657434;
constexpr int32_t kSysmixLastDay = 2958465;

// Splits an automation date into date and time; seconds with a non-zero
// hundredths part round up. False for a value outside the automation range.
bool sysmix_splitOleDate(double value, SysmixDateTime &out);
