#include "calendar.h"

#include <cmath>

namespace {

// Day number of the day before 1 January of year 1 in the count below.
constexpr int32_t kBaseOffset = 693959;

const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool isLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int monthLength(int mon, int year) { return mon == 2 && isLeap(year) ? 29 : kMonthDays[mon - 1]; }

// year * 365 plus the leap days before it: the count of day 0 of the year.
int64_t yearStart(int64_t year) {
    int64_t y = year - 1;
    return year * 365 + y / 4 + y / 400 - y / 100;
}

int clampMonth(int mon) { return mon < 1 ? 1 : (mon > 12 ? 12 : mon); }

}  // namespace

int32_t sysmix_dayNumber(const SysmixDate &d) {
    int mon = clampMonth(d.mon);
    int days = 0;
    for (int m = 1; m < mon; ++m) days += monthLength(m, d.year);
    int day = d.day > monthLength(mon, d.year) ? monthLength(mon, d.year) : d.day;
    return static_cast<int32_t>(yearStart(d.year) + days + day - kBaseOffset);
}

SysmixDate sysmix_dateOfDay(int32_t dayNumber) {
    int64_t target = static_cast<int64_t>(dayNumber) + kBaseOffset;
    // Guess the year from the mean year length, then step to the year whose
    // first day is the last one not after the target.
    int64_t year = static_cast<int64_t>(std::floor(static_cast<double>(target) / 365.2425));
    while (yearStart(year) + 1 > target) --year;
    while (yearStart(year + 1) + 1 <= target) ++year;
    int dayOfYear = static_cast<int>(target - yearStart(year));
    int y = static_cast<int>(year);
    int mon = 1;
    while (mon < 12 && dayOfYear > monthLength(mon, y)) dayOfYear -= monthLength(mon++, y);
    return SysmixDate{dayOfYear, mon, y};
}

double sysmix_dayFraction(const SysmixTime &t) {
    return (t.hundr / 360000.0 + t.sec / 3600.0 + t.min / 60.0 + t.hour) / 24.0;
}

double sysmix_oleDate(int32_t dayNumber, double fraction) {
    return dayNumber < 0 ? dayNumber - fraction : dayNumber + fraction;
}

bool sysmix_splitOleDate(double value, SysmixDateTime &out) {
    if (!(value > kSysmixFirstDay - 1.0 && value < kSysmixLastDay + 1.0)) return false;
    double whole = std::trunc(value);
    int32_t day = static_cast<int32_t>(whole);
    double h = std::fabs(value - whole) * 24.0;
    int hour = static_cast<int>(h);
    double m = (h - hour) * 60.0;
    int min = static_cast<int>(m);
    double s = (m - min) * 60.0;
    int sec = static_cast<int>(s);
    if (static_cast<int>((s - sec) * 100.0) != 0) ++sec;
    if (sec >= 60) sec -= 60, ++min;
    if (min >= 60) min -= 60, ++hour;
    // The last second of a day rounds into midnight of the next day.
    if (hour >= 24) {
        hour -= 24;
        ++day;
    }
    out.date = sysmix_dateOfDay(day);
    out.time = SysmixTime{0, sec, min, hour};
    return true;
}
