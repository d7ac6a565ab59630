#include "decimal96.h"

#include <cstdio>
#include <cstring>
#include <istream>

#include "decerrors.h"
#include "portable.h"

namespace {

constexpr int kChunkDigits = 9;
constexpr uint32_t kChunkPow10[kChunkDigits + 1] = {1,      10,      100,      1000,      10000,
                                                    100000, 1000000, 10000000, 100000000, 1000000000};

uint32_t chunkValue(const char *digits, size_t n) {
    uint32_t v = 0;
    for (size_t i = 0; i < n; ++i) v = v * 10 + static_cast<uint32_t>(digits[i] - '0');
    return v;
}

// Integer digits: mantissa := mantissa * 10 + digit, nine digits at a
// step; false once the mantissa no longer fits.
bool takeInteger(MPInt96 &m, const char *d, size_t n) {
    for (size_t i = 0; i < n; i += kChunkDigits) {
        size_t c = n - i < kChunkDigits ? n - i : kChunkDigits;
        if (!MPInt96_mulAdd(m, kChunkPow10[c], chunkValue(d + i, c))) return false;
    }
    return true;
}

// Fraction digits, as many as fit; returns how many were taken.
size_t takeFraction(MPInt96 &m, const char *d, size_t n) {
    size_t taken = 0;
    while (taken < n) {
        size_t c = n - taken < kChunkDigits ? n - taken : kChunkDigits;
        if (MPInt96_mulAdd(m, kChunkPow10[c], chunkValue(d + taken, c))) {
            taken += c;
            continue;
        }
        while (taken < n && MPInt96_mulAdd(m, 10, static_cast<uint32_t>(d[taken] - '0'))) ++taken;
        break;
    }
    return taken;
}

MPInt96 absolute(const MPInt96 &m) { return MPInt96_isNegative(m) ? MPInt96_negate(m) : m; }

void increment(MPInt96 &q) { MPInt96_add(q, MPInt96{0, 0, 1}); }

// Step 3 of rounding: whether the kept part q of r grows by one when k
// digits (1 to 29) are dropped.
bool roundsAway(const MPInt96 &r, int k, MPInt96 &q, int mode, int threshold) {
    MPInt96 d = r;
    q = MPInt96_zero;
    if (k < 29) MPInt96_divide(r, MPInt96_pow10(k), q, d);
    MPInt96 sq, rest;
    MPInt96_divide(d, MPInt96_pow10(k - 1), sq, rest);
    int s = static_cast<int>(sq.low);
    switch (mode) {
    case NmRound_plain: return s > threshold;
    case NmRound_up: return !MPInt96_isZero(d);
    case NmRound_bankers:
        if (s != 5) return s > 5;
        if (!MPInt96_isZero(rest)) return true;
        return !MPInt96_isEven(q);
    default: return false;
    }
}

size_t digitCount(const char *digits) { return std::strlen(digits); }

Numeric96 withState(int32_t state, int places) {
    Numeric96 r;
    r.state = static_cast<uint8_t>(state);
    r.decimals = static_cast<int16_t>(places);
    return r;
}

}  // namespace

NmDecimal Numeric96_toWork(const Numeric96 &value) {
    return NmDecimal{value.state, value.decimals, value.mantissa()};
}

void Numeric96_fromWork(Numeric96 &target, const NmDecimal &value) {
    target.state = static_cast<uint8_t>(value.state);
    target.decimals = static_cast<int16_t>(value.decimals);
    target.setMantissa(value.mantissa);
}

Numeric96 Numeric96_fromWork(const NmDecimal &value) {
    Numeric96 r;
    Numeric96_fromWork(r, value);
    return r;
}

Numeric96 Numeric96_fromText(const char *text) { return Numeric96_fromWork(NmDecimal_fromText(text)); }

std::istream &Numeric96_read(std::istream &stream, Numeric96 &value) {
    NmDecimal work;
    NmDecimal_read(stream, work);
    Numeric96_fromWork(value, work);
    return stream;
}

Numeric96 &Numeric96::assignRescaled(const Numeric96 &value) {
    *this = convertDecimal(value, storedScale, NmRound_plain, NmRound_threshold);
    reserved = 0;
    return *this;
}

Numeric96 Numeric96_round(const Numeric96 &value, int places, int mode, int threshold) {
    Numeric96 r = value;
    Numeric96_fromWork(r, NmDecimal_round(Numeric96_toWork(value), places, mode, threshold));
    return r;
}

// A value in a state other than normal keeps its state (null, NaN,
// missing) and takes the new number of decimals: text that was no number
// never turns into zero.
Numeric96 convertDecimal(const Numeric96 &value, int places, int mode, int threshold) {
    if (value.state != NmDecimal_normal) return withState(value.state, places);
    if (places == value.decimals) return value;
    char text[64];
    if (places < value.decimals) {
        std::snprintf(text, sizeof text, "inexact in convertDecimal(%d)", places);
        Numeric96_reportInexact(Numeric96Op_assign, Numeric96(), value, text);
        Numeric96 r = Numeric96_fromWork(NmDecimal_round(Numeric96_toWork(value), places, mode, threshold));
        r.reserved = 0;
        return r;
    }
    MPInt96 m = MPInt96_shiftLeftDigits(value.mantissa(), places - value.decimals);
    if (!MPInt96_isValid(m)) {
        std::snprintf(text, sizeof text, "overflow in convertDecimal(%d)", places);
        Numeric96_reportOverflow(Numeric96Op_assign, Numeric96(), value, text);
    }
    Numeric96 r = withState(NmDecimal_normal, places);
    r.setMantissa(m);
    return r;
}

std::string Numeric96_toStdString(const Numeric96 &value) {
    NmDecimal work = Numeric96_toWork(value);
    char small[64];
    long n = NmDecimal_toChars(work, small, sizeof small);
    if (n >= 0) return std::string(small, static_cast<size_t>(n));
    NmCString text = asString(work);
    return std::string(text.data(), text.length());
}

NmDecimal NmDecimal_fromText(const char *text) {
    if (!text || !*text) return NmDecimal();
    const char *p = text, *end = text + std::strlen(text);
    PortableDigits digits;
    if (!PortableDecimal_scanText(p, end, digits)) return NmDecimal::ofState(NmDecimal_NaN);
    while (p < end && NmDecimal_isSpace(static_cast<unsigned char>(*p))) ++p;
    if (p != end) return NmDecimal::ofState(NmDecimal_NaN);
    return NmDecimal_fromDigits(digits.state, digits.negative, digits.integer.data(), digits.integer.size(),
                                digits.fraction.data(), digits.fraction.size());
}

std::istream &NmDecimal_read(std::istream &stream, NmDecimal &value) {
    std::istream::sentry ready(stream, true);
    if (!ready) return stream;
    PortableDecimal portable = PortableDecimal_reader(stream);
    if (!stream.bad() && !stream.fail()) value = NmDecimal_fromPortable(portable);
    return stream;
}

NmDecimal NmDecimal_fromPortable(const PortableDecimal &p) {
    return NmDecimal_fromDigits(p.state, p.negative, p.integerDigits.data(), p.integerDigits.length(),
                                p.fractionDigits.data(), p.fractionDigits.length());
}

NmDecimal NmDecimal_fromDigits(int32_t state, bool negative, const char *integer, size_t integerLength,
                               const char *fraction, size_t fractionLength) {
    if (state != NmDecimal_normal) return NmDecimal::ofState(state);
    const NmDecimal none;
    MPInt96 m = MPInt96_zero;
    if (!takeInteger(m, integer, integerLength)) {
        auto text = formatMessage(FROMPORTOVER, NmDecimal_name);
        NmDecimal_reportOverflow(Numeric96Op_conversion, none, none, text.get());
        return NmDecimal::ofState(NmDecimal_NaN);
    }
    size_t taken = takeFraction(m, fraction, fractionLength);
    if (taken < fractionLength) {
        auto text = formatMessage(FROMPORTINEXACT, NmDecimal_name);
        NmDecimal_reportInexact(Numeric96Op_conversion, none, none, text.get());
    }
    if (negative) m = MPInt96_negate(m);
    return NmDecimal{NmDecimal_normal, static_cast<int32_t>(taken), m};
}

NmDecimal NmDecimal_round(const NmDecimal &x, int places, int mode, int threshold) {
    if (!x.isNormal() || x.decimals <= places) return x;
    long k = static_cast<long>(x.decimals) - places;
    bool negative = MPInt96_isNegative(x.mantissa);
    MPInt96 r = absolute(x.mantissa), q = MPInt96_zero;
    if (k <= 29) {
        if (roundsAway(r, static_cast<int>(k), q, mode, threshold)) increment(q);
    } else if (mode == NmRound_up && !MPInt96_isZero(r)) {
        q = MPInt96{0, 0, 1};
    }
    if (negative) q = MPInt96_negate(q);
    if (places >= 0) return NmDecimal{NmDecimal_normal, places, q};
    q = MPInt96_shiftLeftDigits(q, -places);
    if (!MPInt96_isValid(q)) return NmDecimal::ofState(NmDecimal_NaN);
    return NmDecimal{NmDecimal_normal, 0, q};
}

// Digits with the point decimals places from the right (a leading "0."
// and zeros as needed); a negative count of decimals appends zeros.
long NmDecimal_toChars(const NmDecimal &x, char *buffer, size_t size) {
    if (!x.isNormal() || !MPInt96_isValid(x.mantissa)) {
        const char *t = x.isNormal() ? "(bad value)" : NmDecimal_stateText(x.state);
        size_t n = std::strlen(t);
        if (n + 1 > size) return -1;
        std::memcpy(buffer, t, n + 1);
        return static_cast<long>(n);
    }
    char digitText[kMPInt96TextSize];
    MPInt96_toChars(absolute(x.mantissa), digitText);
    bool negative = MPInt96_isNegative(x.mantissa);
    size_t nd = digitCount(digitText);
    long dec = x.decimals;
    size_t udec = dec > 0 ? static_cast<size_t>(dec) : 0;
    size_t zeros = dec < 0 && !MPInt96_isZero(x.mantissa) ? static_cast<size_t>(-dec) : 0;
    size_t intLength = dec > 0 ? (nd > udec ? nd - udec : 1) : nd + zeros;
    size_t total = (negative ? 1 : 0) + intLength + (dec > 0 ? 1 + udec : 0);
    if (total + 1 > size) return -1;

    char *out = buffer;
    if (negative) *out++ = '-';
    if (dec <= 0) {
        std::memcpy(out, digitText, nd);
        std::memset(out + nd, '0', zeros);
        out += nd + zeros;
    } else if (nd > udec) {
        std::memcpy(out, digitText, nd - udec);
        out += nd - udec;
        *out++ = '.';
        std::memcpy(out, digitText + nd - udec, udec);
        out += udec;
    } else {
        *out++ = '0';
        *out++ = '.';
        std::memset(out, '0', udec - nd);
        std::memcpy(out + udec - nd, digitText, nd);
        out += udec;
    }
    *out = '\0';
    return static_cast<long>(out - buffer);
}

NmCString asString(const NmDecimal &x) {
    char small[64];
    long n = NmDecimal_toChars(x, small, sizeof small);
    if (n >= 0) return NmCString(small, static_cast<size_t>(n));
    // Only a count of decimals far beyond any mantissa gets here.
    size_t size = kMPInt96TextSize + 4 + static_cast<size_t>(x.decimals < 0 ? -static_cast<long>(x.decimals) : x.decimals);
    std::string big(size, '\0');
    n = NmDecimal_toChars(x, &big[0], size);
    return NmCString(big.data(), n > 0 ? static_cast<size_t>(n) : 0);
}
