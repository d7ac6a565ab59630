// Date and time text of the dialog fields into the host's packed records,
// and whether the result is a real date or time.
#pragma once

#include <cstdint>

// bdate, btime and ZamDtTm: the host's records, shared with the host header.
#include "zam_dates.h"

// Results of the parsers.
constexpr int kDateOk = 0;
constexpr int kDateIncomplete = 1;  // also: complete but no real date or time
constexpr int kDateBad = -1;        // a bad character or a part too long

// Process-wide settings; each setter returns the previous value. A
// two-digit year below the pivot (initially 10) lies in the 2000s; December
// 32 and 33 are valid while the year-end days setting is on (initially 1).
int32_t date_setYearPivot(int32_t pivot);
int32_t date_setYearEndDays(int32_t on);

int date_isValidEx(const bdate &date);
int date_isLeapYear(int year);
// Day, month and year joined by sep, or six digits DDMMYY; no range checks.
int date_split(const char *text, bdate &date, char sep);
int date_parseSep(const char *text, bdate &date, char sep);
int date_parse(const char *text, bdate &date);
// H:M, H:M:S or H:M:S.hh (hundredths 0 to 99), or six digits HHMMSS.
int time_parse(const char *text, btime &time);
// H:M or four digits HHMM.
int time_parseShort(const char *text, btime &time);
