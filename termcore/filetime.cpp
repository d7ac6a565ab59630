#include "filetime.h"

#include <ctime>

namespace {

// 100-ns intervals from 1601 to 1970.
constexpr int64_t kEpochDiff = 116444736000000000LL;
constexpr int64_t kTicks = 10000000;

}  // namespace

int64_t time_fromFileTime(const FILETIME &ft) {
    int64_t v = static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    return (v - kEpochDiff) / kTicks;
}

FILETIME time_toFileTime(int64_t t) {
    uint64_t v = static_cast<uint64_t>(t * kTicks + kEpochDiff);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(v);
    ft.dwHighDateTime = static_cast<DWORD>(v >> 32);
    return ft;
}

int32_t time_wire(int64_t t) { return static_cast<int32_t>(t); }

void time_putDate(WireWriter &w, int64_t t, int seconds) {
    __time64_t tt = t;
    struct tm tm = {};
    if (t < 0 || _localtime64_s(&tm, &tt) != 0) tm = {};
    bool none = tm.tm_mday == 0;
    w.u8(static_cast<uint8_t>(tm.tm_mday));
    w.u8(static_cast<uint8_t>(none ? 0 : tm.tm_mon + 1));
    w.u16(static_cast<uint16_t>(none ? 0 : tm.tm_year + 1900));
    w.u8(static_cast<uint8_t>(tm.tm_hour));
    w.u8(static_cast<uint8_t>(tm.tm_min));
    w.u8(static_cast<uint8_t>(seconds >= 0 ? seconds : tm.tm_sec));
}

bool time_fromDate(const TcDate &d, int64_t &t) {
    struct tm tm = {};
    tm.tm_mday = d.day;
    tm.tm_mon = d.month - 1;
    tm.tm_year = d.year - 1900;
    tm.tm_hour = d.hour;
    tm.tm_min = d.minute;
    tm.tm_sec = d.second;
    tm.tm_isdst = _daylight;
    __time64_t v = _mktime64(&tm);
    if (v == -1) return false;
    t = v;
    return true;
}
