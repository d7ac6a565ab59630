#include "fixed.h"

#include <algorithm>
#include <cstring>

namespace {

// The largest magnitude in ten-thousandths, as digits: the integer digits
// of a text are compared with its head and the fraction digits with its
// tail.
constexpr char kLimitDigits[] = "9223372036854775807";
constexpr size_t kLimitLength = sizeof kLimitDigits - 1;
constexpr uint64_t kMaxMagnitude = 9223372036854775807ull;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

uint64_t pow10(int n) {
    uint64_t p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

int decimalsOf(uint32_t multiplier) {
    int d = 0;
    for (; multiplier > 1; multiplier /= 10) ++d;
    return d;
}

[[noreturn]] void overflow() { throw FDecimal_Exception(FDecimal_Exception::Overflow); }

struct NumberText {
    bool negative = false;
    const char *integer = nullptr;  // leading zeros skipped
    size_t integerDigits = 0;
    const char *fraction = nullptr;
    size_t fractionDigits = 0;
};

// Steps 2 to 4: sign, leading zeros, digit runs; the first other character
// ends the number.
NumberText scanNumber(const char *p) {
    NumberText t;
    if (*p == '+') {
        ++p;
    } else if (*p == '-') {
        t.negative = true;
        ++p;
    }
    while (*p == '0') ++p;
    t.integer = p;
    while (isDigit(p[t.integerDigits])) ++t.integerDigits;
    p += t.integerDigits;
    if (*p == '.') {
        t.fraction = p + 1;
        while (isDigit(t.fraction[t.fractionDigits])) ++t.fractionDigits;
    }
    return t;
}

// Step 5: the magnitude may not exceed the limit written with d decimals; a
// fraction digit beyond the d-th counts as greater than the limit's end.
void checkRange(const NumberText &t, size_t d) {
    size_t i = t.integerDigits;
    if (i + d > kLimitLength) overflow();
    if (i + d < kLimitLength) return;
    int c = std::memcmp(t.integer, kLimitDigits, i);
    if (c > 0) overflow();
    if (c < 0) return;
    const char *limit = kLimitDigits + i;
    size_t j = t.fractionDigits;
    for (size_t k = 0; k < std::max(d, j); ++k) {
        if (k >= j) return;
        if (k >= d || t.fraction[k] > limit[k]) overflow();
        if (t.fraction[k] < limit[k]) return;
    }
}

// Steps 6 to 8, on the magnitude; the range check keeps it within 2^63 - 1.
uint64_t accumulate(const NumberText &t, uint32_t multiplier, size_t d) {
    uint64_t v = 0;
    for (size_t k = 0; k < t.integerDigits; ++k) v = v * 10 + static_cast<uint64_t>(t.integer[k] - '0');
    v *= multiplier;
    uint64_t weight = multiplier;
    for (size_t k = 0; k < d && k < t.fractionDigits; ++k) {
        weight /= 10;
        v += weight * static_cast<uint64_t>(t.fraction[k] - '0');
    }
    if (kFixedRounding && t.fractionDigits > d && t.fraction[d] > '4') ++v;
    return v;
}

uint64_t magnitudeOf(int64 value) {
    return value.GetSign() < 0 ? ~value.bits() + 1 : value.bits();
}

// Half away from zero on the unsigned magnitude, so that values near the
// ends of the range round without wrapping. Drops digits decimals.
uint64_t roundMagnitude(uint64_t magnitude, int digits) {
    if (digits <= 0) return magnitude;
    if (digits > 19) return 0;
    uint64_t p = pow10(digits);
    uint64_t r = magnitude / p * p;
    if (magnitude % p >= p / 2) r += p;
    return r;
}

char *writeDigits(uint64_t v, char *end) {
    do {
        *--end = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    return end;
}

}  // namespace

FDecimal_Exception::FDecimal_Exception(int32_t code) : QVException(message(code)), code_(code) {}

// The Russian texts are in code page 866, as the server shows them.
const char *FDecimal_Exception::message(int32_t code) {
    switch (code) {
    case Overflow:
        return "\x8E\xE8\xA8\xA1\xAA\xA0 FDecimal: "
               "\xAF\xA5\xE0\xA5\xAF\xAE\xAB\xAD\xA5\xAD\xA8\xA5";
    case DivideByZero:
        return "\x8E\xE8\xA8\xA1\xAA\xA0 FDecimal: "
               "\xA4\xA5\xAB\xA5\xAD\xA8\xA5 \xAD\xA0 \xAD\xAE\xAB\xEC";
    case BadMoneyFormat:
        return "\x8E\xE8\xA8\xA1\xAA\xA0 FDecimal: "
               "\xAD\xA5\xA2\xA5\xE0\xAD\xEB\xA9 \xE4\xAE\xE0\xAC\xA0\xE2 \xA4\xA5\xAD\xA5\xA3";
    default:
        return "Unknown FDecimal exception";
    }
}

void FDecimal_Exception::raise() const { throw *this; }

int64 fixed_parse(const char *text, FixedParm parm) {
    if (!text) return 0;
    size_t d = static_cast<size_t>(decimalsOf(parm.multiplier));
    NumberText t = scanNumber(text);
    checkRange(t, d);
    uint64_t v = accumulate(t, parm.multiplier, d);
    return int64::fromBits(t.negative ? ~v + 1 : v);
}

int64 fixed_round(int64 value, int a, int b, int /*mode*/) {
    if (value.isZero() || b >= a) return value;
    uint64_t r = roundMagnitude(magnitudeOf(value), a - b);
    bool negative = value.GetSign() < 0;
    if (r > kMaxMagnitude + (negative ? 1 : 0)) overflow();
    return int64::fromBits(negative ? ~r + 1 : r);
}

char *fixed_format(int64 value, int a, int b, char *buffer, size_t size) {
    if (!buffer || size == 0 || b < 0) return nullptr;
    a = std::min(std::max(a, 0), 18);
    b = std::min(b, a);
    uint64_t r = roundMagnitude(magnitudeOf(value), a - b);
    uint64_t scale = pow10(a);
    char integer[24], fraction[24];
    char *intEnd = integer + sizeof integer;
    char *intStart = writeDigits(r / scale, intEnd);
    // The fraction keeps its leading zeros: a digits, of which b are shown.
    uint64_t f = r % scale;
    for (int k = a - 1; k >= 0; --k, f /= 10) fraction[k] = static_cast<char>('0' + f % 10);

    size_t intLength = static_cast<size_t>(intEnd - intStart);
    bool sign = value.GetSign() < 0 && r != 0;
    size_t length = (sign ? 1 : 0) + intLength + (b > 0 ? 1 + static_cast<size_t>(b) : 0);
    if (length + 1 > size) {
        buffer[0] = '\0';
        return nullptr;
    }
    char *out = buffer;
    if (sign) *out++ = '-';
    std::memcpy(out, intStart, intLength);
    out += intLength;
    if (b > 0) {
        *out++ = '.';
        std::memcpy(out, fraction, static_cast<size_t>(b));
        out += b;
    }
    *out = '\0';
    return buffer;
}
