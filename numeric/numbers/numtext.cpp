#include "numtext.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "trims.h"

namespace {

// Conversions copy their input into a buffer of this size; longer input
// is cut to its first 79 characters.
constexpr size_t kWorkText = 80;
// A 79-character text that is not zero, times 10^100, is beyond every money
// value: more implied decimals read the same (zero, or an overflow).
constexpr int kMoneyMaxImplied = 100;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int clampInt(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }

// The first 79 characters of text without its leading blanks.
void trimmedCopy(char *work, const char *text) {
    size_t n = text ? std::min(std::strlen(text), kWorkText - 1) : 0;
    if (n) std::memcpy(work, text, n);
    work[n] = '\0';
    txt_trimLeftTo(work, work);
}

// Text of a money value as a count of 10^-n units, in work.
bool moneyText(const FMoney &value, char *work, size_t size, int n) {
    if (!value.cvt2str(2, work, size)) return false;
    if (n == 2) return true;
    num_dropPoint(work);
    return n == 0 || num_scaleDigits(work, n, size) == 0;
}

DBBaseFMoney &textToMoney(DBBaseFMoney &storage, const char *text, int n) {
    char work[kWorkText + kMoneyMaxImplied + 16];
    trimmedCopy(work, text);
    int digits = static_cast<int>(std::min(n < 0 ? -static_cast<long long>(n) : n, 0LL + kMoneyMaxImplied));
    num_shiftPoint(work, digits, sizeof work);
    num_insertPoint(work, 2, sizeof work);
    storage = DBBaseFMoney(work);
    return storage;
}

int moneyToText(const FMoney &value, char *buffer, size_t size, int width, int n, int leftAlign) {
    // With n above 0 the text holds "0." and n digits at least.
    if (num_cannotFit(n > 0 ? n + 2LL : 0, width, size)) return num_fillStars(buffer, size, width);
    std::vector<char> work(kWorkText + static_cast<size_t>(std::max(n, 0)));
    if (!moneyText(value, work.data(), work.size(), n)) return num_fillStars(buffer, size, width);
    return num_putText(work.data(), std::strlen(work.data()), buffer, size, width, leftAlign);
}

// Mantissa bits, exponent and sign of the 10-byte image.
struct Ext10 {
    uint64_t mantissa;
    int exponent;  // biased by 16383
    bool negative;
};

constexpr int kExtBias = 16383, kDoubleBias = 1023, kRebase = kExtBias - kDoubleBias;
constexpr uint64_t kTopBit = uint64_t(1) << 63;

void storeExt10(const Ext10 &e, unsigned char image[kExt10Size]) {
    for (int i = 0; i < 8; ++i) image[i] = static_cast<unsigned char>(e.mantissa >> (8 * i));
    unsigned word = static_cast<unsigned>(e.exponent) | (e.negative ? 0x8000u : 0u);
    image[8] = static_cast<unsigned char>(word);
    image[9] = static_cast<unsigned char>(word >> 8);
}

Ext10 loadExt10(const unsigned char image[kExt10Size]) {
    Ext10 e{0, 0, false};
    for (int i = 0; i < 8; ++i) e.mantissa |= static_cast<uint64_t>(image[i]) << (8 * i);
    unsigned word = image[8] | (static_cast<unsigned>(image[9]) << 8);
    e.exponent = static_cast<int>(word & 0x7FFF);
    e.negative = (word & 0x8000) != 0;
    return e;
}

double fromBits(uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

}  // namespace

int num_fillStars(char *buffer, size_t size, int width) {
    if (!buffer || size == 0) return 0;
    size_t n = width > 0 ? std::min(static_cast<size_t>(width), size - 1) : size - 1;
    std::memset(buffer, '*', n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

bool num_cannotFit(long long length, int width, size_t size) {
    return static_cast<unsigned long long>(std::max(length, 0LL)) >= size ||
           (width > 0 && static_cast<size_t>(width) >= size);
}

int num_putText(const char *text, size_t len, char *buffer, size_t size, int width, int leftAlign) {
    size_t w = width > 0 ? static_cast<size_t>(width) : 0;
    size_t need = std::max(len, w);
    if (!buffer || need + 1 > size) return num_fillStars(buffer, size, width);
    size_t pad = !leftAlign && w > len ? w - len : 0;
    std::memmove(buffer + pad, text, len);
    std::memset(buffer, ' ', pad);
    buffer[pad + len] = '\0';
    return static_cast<int>(need);
}

int num_groupThousands(char *text, size_t size) {
    std::string t(text);
    size_t point = t.find('.');
    long i = static_cast<long>(point == std::string::npos ? t.size() : point) - 4;
    int grown = 0;
    while (i >= 0 && isDigit(t[static_cast<size_t>(i)])) {
        if (t[0] == ' ') {
            // The part before the separator moves left into the blank.
            t.erase(0, 1);
            t.insert(static_cast<size_t>(i), 1, '\'');
            i -= 4;
        } else {
            t.insert(static_cast<size_t>(i) + 1, 1, '\'');
            ++grown;
            i -= 3;
        }
    }
    if (t.size() + 1 > size) return kNumNoRoom;
    std::memcpy(text, t.c_str(), t.size() + 1);
    return grown;
}

int num_trimZeros(char *text) {
    char *point = std::strchr(text, '.');
    if (!point) return 0;
    char *runEnd = point + 1;
    while (isDigit(*runEnd)) ++runEnd;
    char *keep = runEnd;
    while (keep > point + 1 && keep[-1] == '0') --keep;
    size_t removed = static_cast<size_t>(runEnd - keep);
    std::memmove(keep, runEnd, std::strlen(runEnd) + 1);
    return static_cast<int>(removed);
}

int num_insertPoint(char *text, int n, size_t size) {
    if (n <= 0) return 0;
    size_t len = std::strlen(text), at = len;
    int found = 0;
    while (found < n && at > 0 && isDigit(text[at - 1])) --at, ++found;
    size_t zeros = static_cast<size_t>(n - found), added = 1 + zeros;
    size_t blanks = 0;
    while (blanks < added && text[blanks] == ' ') ++blanks;
    if (len + added - blanks + 1 > size) return kNumNoRoom;
    // The head moves left over the blanks it uses up before the digits after
    // the point move right: the text never grows past its final length.
    if (blanks) std::memmove(text, text + blanks, at - blanks);
    at -= blanks;
    std::memmove(text + at + added, text + at + blanks, len - (at + blanks) + 1);
    text[at] = '.';
    std::memset(text + at + 1, '0', zeros);
    return static_cast<int>(added - blanks);
}

char *num_shiftPoint(char *text, int n, size_t size) {
    if (n < 0) n = 0;
    char *p = text;
    if (*p == '-' || *p == '+') ++p;
    while (isDigit(*p)) ++p;
    if (*p == '.') {
        char *point = p, *fraction = p + 1;
        size_t digits = 0;
        while (isDigit(fraction[digits])) ++digits;
        size_t moved = std::min(digits, static_cast<size_t>(n));
        std::memmove(point, fraction, moved);
        p = point + moved;
        n -= static_cast<int>(moved);
    }
    *p = '\0';
    size_t len = static_cast<size_t>(p - text);
    if (len + static_cast<size_t>(n) + 1 > size) return nullptr;
    std::memset(p, '0', static_cast<size_t>(n));
    p[n] = '\0';
    return text;
}

int num_scaleDigits(char *text, int n, size_t size) {
    if (n == 0) return 0;
    char *digits = text;
    while (*digits == ' ') ++digits;
    while (*digits && !isDigit(*digits)) ++digits;
    size_t len = std::strlen(digits), head = static_cast<size_t>(digits - text);
    if (n < 0) {
        size_t cut = static_cast<size_t>(-static_cast<long long>(n));
        if (len > cut) {
            digits[len - cut] = '\0';
        } else {
            if (head + 2 > size) return kNumNoRoom;
            std::strcpy(digits, "0");
        }
        return 0;
    }
    size_t places = static_cast<size_t>(n);
    if (len > places) {
        if (head + len + 2 > size) return kNumNoRoom;
        std::memmove(digits + len - places + 1, digits + len - places, places + 1);
        digits[len - places] = '.';
        return 0;
    }
    size_t zeros = places - len;
    if (head + 2 + places + 1 > size) return kNumNoRoom;
    std::memmove(digits + 2 + zeros, digits, len + 1);
    digits[0] = '0';
    digits[1] = '.';
    std::memset(digits + 2, '0', zeros);
    return 0;
}

char *num_dropPoint(char *text) {
    char *p = text;
    while (*p && !isDigit(*p) && *p != '.') ++p;
    char *out = p;
    bool leading = true;
    for (; *p; ++p) {
        if (*p == '.') continue;
        if (leading && *p == '0') continue;
        leading = false;
        *out++ = *p;
    }
    *out = '\0';
    return out;
}

DBBaseFMoney &num_textToFMoney(DBBaseFMoney &storage, const char *text, int n) {
    return textToMoney(storage, text, n);
}

DBBaseFMoney &num_textToMoney64(DBBaseFMoney &storage, const char *text, int n) {
    return textToMoney(storage, text, n);
}

int num_moneyToText(const FMoney &value, char *buffer, size_t size, int width, int n, int leftAlign) {
    return moneyToText(value, buffer, size, width, n, leftAlign);
}

int num_money64ToText(const FMoney &value, char *buffer, size_t size, int width, int n, int leftAlign) {
    return moneyToText(value, buffer, size, width, n, leftAlign);
}

DBBaseFDecimal &num_textToFDecimal(DBBaseFDecimal &storage, const char *text) {
    char work[kWorkText];
    trimmedCopy(work, text);
    storage = DBBaseFDecimal(work);
    return storage;
}

int num_fdecimalToText(const FDecimal &value, char *buffer, size_t size, int width, int decimals, int leftAlign) {
    char work[kWorkText];
    if (!value.cvt2str(clampInt(decimals, 0, kFixedDecimals), work, sizeof work)) return num_fillStars(buffer, size, width);
    return num_putText(work, std::strlen(work), buffer, size, width, leftAlign);
}

void num_textToDecimal(Numeric96 *decimal, const char *text) {
    if (!decimal) return;
    std::istringstream in(text ? text : "");
    Numeric96_read(in, *decimal);
}

// A field value of type 25 always carries the stored scale of 12 decimals;
// the rescale reports what it drops or cannot hold.
Numeric96 &num_textToDecimalDirect(Numeric96 &decimal, const char *text) {
    return decimal.assignRescaled(Numeric96_fromText(text));
}

int num_decimalToText(const Numeric96 &decimal, char *buffer, size_t size, int width, int decimals, int leftAlign) {
    if (decimals < 0) decimals = 0;
    if (!buffer || size == 0) return 0;
    // Made in the caller's buffer: the text only grows on its way, so what
    // does not fit there on the way would not fit at the end either.
    long n = -1;
    if (decimal.state == NmDecimal_normal && MPInt96_isValid(decimal.mantissa())) {
        Numeric96 v = decimal;
        if (v.decimals > decimals) v = Numeric96_round(v, decimals, NmRound_plain, NmRound_threshold);
        n = NmDecimal_toChars(Numeric96_toWork(v), buffer, std::min(size, kWorkText));
    } else if (size > 1) {
        std::strcpy(buffer, "0");
        n = 1;
    }
    if (n < 0 || !num_shiftPoint(buffer, decimals, size) || num_insertPoint(buffer, decimals, size) == kNumNoRoom)
        return num_fillStars(buffer, size, width);
    return num_putText(buffer, std::strlen(buffer), buffer, size, width, leftAlign);
}

void num_doubleToExt10(double x, unsigned char image[kExt10Size]) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    Ext10 e{0, 0, (bits >> 63) != 0};
    int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
    if (exponent == 0 && fraction == 0) {
        std::memset(image, 0, kExt10Size);
        return;
    }
    if (exponent == 0x7FF) {
        // Infinity keeps only the leading one; a NaN keeps its payload.
        e.exponent = 0x7FFF;
        e.mantissa = kTopBit | (fraction << 11);
    } else if (exponent == 0) {
        int top = 51;
        while (!(fraction >> top)) --top;
        e.mantissa = fraction << (63 - top);
        e.exponent = top + kRebase - 1074 + kDoubleBias;
    } else {
        e.mantissa = kTopBit | (fraction << 11);
        e.exponent = exponent + kRebase;
    }
    storeExt10(e, image);
}

double num_ext10ToDouble(const unsigned char image[kExt10Size]) {
    Ext10 e = loadExt10(image);
    uint64_t sign = e.negative ? kTopBit : 0;
    if (e.exponent == 0x7FFF) {
        // Infinity, or a NaN (kept quiet, with what fits of its payload).
        uint64_t fraction = e.mantissa & ~kTopBit;
        uint64_t payload = fraction ? ((fraction >> 11) | (uint64_t(1) << 51)) : 0;
        return fromBits(sign | (uint64_t(0x7FF) << 52) | payload);
    }
    if (e.mantissa == 0) return 0.0;
    // An image without its leading one (unnormal or pseudo-denormal) is
    // normalised first; its value is mantissa * 2^(exponent - 16383 - 63).
    int exponent = e.exponent == 0 ? 1 : e.exponent;
    while (!(e.mantissa & kTopBit)) {
        e.mantissa <<= 1;
        --exponent;
    }
    int d = exponent - kRebase;
    if (d >= 0x7FF) return fromBits(sign | (uint64_t(0x7FF) << 52));
    if (d >= 1) return fromBits(sign | (uint64_t(d) << 52) | ((e.mantissa >> 11) & ((uint64_t(1) << 52) - 1)));
    // Below the normal range: a subnormal, or zero; bits are dropped, not rounded.
    int shift = 12 - d;
    return fromBits(sign | (shift >= 64 ? 0 : e.mantissa >> shift));
}
