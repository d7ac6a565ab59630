// The host's packed date and time records, shared by the interpreter's
// VALUE and by the date parser of the numeric library. Needs no Windows.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// All zero is the empty date.
struct bdate {
    uint8_t day;
    uint8_t mon;
    uint16_t year;
};

// All zero is midnight.
struct btime {
    uint8_t hundr;
    uint8_t sec;
    uint8_t min;
    uint8_t hour;
};

struct ZamDtTm {
    bdate date;
    btime time;
};

#pragma pack(pop)

static_assert(sizeof(bdate) == 4 && sizeof(btime) == 4 && sizeof(ZamDtTm) == 8, "host date records");

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(bdate, mon) == 1 && offsetof(bdate, year) == 2, "date: day, month, 16-bit year");
static_assert(offsetof(btime, sec) == 1 && offsetof(btime, min) == 2 && offsetof(btime, hour) == 3,
              "time: hundredths, seconds, minutes, hours");
static_assert(offsetof(ZamDtTm, date) == 0 && offsetof(ZamDtTm, time) == 4, "date and time: date first");
#endif
