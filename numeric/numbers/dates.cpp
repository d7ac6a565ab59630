#include "dates.h"

#include <cstring>

namespace {

int32_t g_yearPivot = 10;
int32_t g_yearEndDays = 1;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool onlyOf(const char *text, const char *allowed) {
    for (; *text; ++text)
        if (!isDigit(*text) && !std::strchr(allowed, *text)) return false;
    return true;
}

// Reads the parts of a text one after another. A part is at most `width`
// digits; an empty part reads as 0.
class PartReader {
public:
    explicit PartReader(const char *text) : p_(text) {}

    // The part up to sep; when sep does not occur the rest is checked and
    // the text is incomplete.
    int partTo(char sep, int width, unsigned &value) {
        const char *end = std::strchr(p_, sep);
        if (!end) return checkPart(p_, p_ + std::strlen(p_), width) ? kDateIncomplete : kDateBad;
        int r = take(end, width, value);
        p_ = end + 1;
        return r;
    }

    int rest(int width, unsigned &value) { return take(p_ + std::strlen(p_), width, value); }

    bool has(char c) const { return std::strchr(p_, c) != nullptr; }

private:
    static bool checkPart(const char *begin, const char *end, int width) {
        if (end - begin > width) return false;
        for (const char *c = begin; c < end; ++c)
            if (!isDigit(*c)) return false;
        return true;
    }

    int take(const char *end, int width, unsigned &value) {
        if (!checkPart(p_, end, width)) return kDateBad;
        value = 0;
        for (const char *c = p_; c < end; ++c) value = value * 10 + static_cast<unsigned>(*c - '0');
        p_ = end;
        return kDateOk;
    }

    const char *p_;
};

// A run of exactly `count` digits read as pairs; fewer is incomplete.
int fixedPairs(const char *text, int count, unsigned *pairs) {
    size_t n = std::strlen(text);
    if (n < static_cast<size_t>(count)) return kDateIncomplete;
    if (n > static_cast<size_t>(count)) return kDateBad;
    for (int i = 0; i < count / 2; ++i) pairs[i] = static_cast<unsigned>((text[2 * i] - '0') * 10 + text[2 * i + 1] - '0');
    return kDateOk;
}

int splitParts(const char *text, char sep, unsigned &day, unsigned &mon, unsigned &year) {
    if (!std::strchr(text, sep)) {
        unsigned pairs[3];
        int r = fixedPairs(text, 6, pairs);
        if (r == kDateOk) day = pairs[0], mon = pairs[1], year = pairs[2];
        return r;
    }
    PartReader parts(text);
    int r = parts.partTo(sep, 2, day);
    if (r == kDateOk) r = parts.partTo(sep, 2, mon);
    if (r == kDateOk) r = parts.rest(4, year);
    return r;
}

// H:M:S.hh split into its parts; hundredths take up to three digits.
int splitTime(const char *text, unsigned &hour, unsigned &min, unsigned &sec, unsigned &hundr) {
    PartReader parts(text);
    int r = parts.partTo(':', 2, hour);
    if (r != kDateOk) return r;
    if (!parts.has(':')) return parts.rest(2, min);
    r = parts.partTo(':', 2, min);
    if (r != kDateOk) return r;
    if (!parts.has('.')) return parts.rest(2, sec);
    r = parts.partTo('.', 2, sec);
    return r == kDateOk ? parts.rest(3, hundr) : r;
}

int finishTime(int r, btime &time, unsigned hour, unsigned min, unsigned sec, unsigned hundr) {
    if (r != kDateOk) return r;
    time.hour = static_cast<uint8_t>(hour);
    time.min = static_cast<uint8_t>(min);
    time.sec = static_cast<uint8_t>(sec);
    // Hundredths above 99 make the time invalid; they are not kept modulo 256.
    time.hundr = static_cast<uint8_t>(hundr <= 99 ? hundr : 0);
    return hour < 24 && min < 60 && sec < 60 && hundr <= 99 ? kDateOk : kDateIncomplete;
}

}  // namespace

int32_t date_setYearPivot(int32_t pivot) {
    int32_t old = g_yearPivot;
    g_yearPivot = pivot;
    return old;
}

int32_t date_setYearEndDays(int32_t on) {
    int32_t old = g_yearEndDays;
    g_yearEndDays = on;
    return old;
}

int date_isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int date_isValidEx(const bdate &date) {
    if (date.day == 0 && date.mon == 0 && date.year == 0) return 1;
    if (date.mon < 1 || date.mon > 12 || date.year == 0 || date.day < 1) return 0;
    if (g_yearEndDays && date.mon == 12 && (date.day == 32 || date.day == 33)) return 1;
    static const uint8_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int last = kDays[date.mon - 1] + (date.mon == 2 && date_isLeapYear(date.year) ? 1 : 0);
    return date.day <= last ? 1 : 0;
}

int date_split(const char *text, bdate &date, char sep) {
    char allowed[2] = {sep, '\0'};
    if (!text || !onlyOf(text, allowed)) return kDateBad;
    unsigned day = 0, mon = 0, year = 0;
    int r = splitParts(text, sep, day, mon, year);
    if (r != kDateOk) return r;
    date.day = static_cast<uint8_t>(day);
    date.mon = static_cast<uint8_t>(mon);
    date.year = static_cast<uint16_t>(year);
    return kDateOk;
}

int date_parseSep(const char *text, bdate &date, char sep) {
    int r = date_split(text, date, sep);
    if (r != kDateOk) {
        date = bdate{0, 0, 0};
        return r;
    }
    bool empty = date.day == 0 && date.mon == 0 && date.year == 0;
    if (!empty) {
        if (date.year < g_yearPivot)
            date.year = static_cast<uint16_t>(date.year + 2000);
        else if (date.year < 100)
            date.year = static_cast<uint16_t>(date.year + 1900);
    }
    return date_isValidEx(date) ? kDateOk : kDateIncomplete;
}

int date_parse(const char *text, bdate &date) { return date_parseSep(text, date, '.'); }

int time_parse(const char *text, btime &time) {
    time = btime{0, 0, 0, 0};
    if (!text || !onlyOf(text, ":.")) return kDateBad;
    unsigned hour = 0, min = 0, sec = 0, hundr = 0;
    int r;
    if (std::strchr(text, ':')) {
        r = splitTime(text, hour, min, sec, hundr);
    } else if (!onlyOf(text, "")) {
        r = kDateBad;
    } else {
        unsigned pairs[3];
        r = fixedPairs(text, 6, pairs);
        if (r == kDateOk) hour = pairs[0], min = pairs[1], sec = pairs[2];
    }
    return finishTime(r, time, hour, min, sec, hundr);
}

int time_parseShort(const char *text, btime &time) {
    time = btime{0, 0, 0, 0};
    if (!text || !onlyOf(text, ":")) return kDateBad;
    unsigned hour = 0, min = 0;
    int r;
    if (std::strchr(text, ':')) {
        PartReader parts(text);
        r = parts.partTo(':', 2, hour);
        if (r == kDateOk) r = parts.rest(2, min);
    } else {
        unsigned pairs[2];
        r = fixedPairs(text, 4, pairs);
        if (r == kDateOk) hour = pairs[0], min = pairs[1];
    }
    return finishTime(r, time, hour, min, 0, 0);
}
