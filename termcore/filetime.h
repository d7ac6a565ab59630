// File times as the wire carries them: seconds since 1970 in 32 bits, and
// the date block {day, month, year16, hour, minute, second} of local time.
#pragma once

#include <cstdint>

#include <windows.h>

#include "records.h"
#include "wire.h"

int64_t time_fromFileTime(const FILETIME &ft);
FILETIME time_toFileTime(int64_t t);
// The 32 bits the wire carries for a time.
int32_t time_wire(int64_t t);

// Writes the 7-byte date block of the local time of t (zeros when t has no
// local time); seconds >= 0 replaces the seconds byte.
void time_putDate(WireWriter &w, int64_t t, int seconds = -1);

// The time of a local date block, or false when it names no time.
bool time_fromDate(const TcDate &d, int64_t &t);
