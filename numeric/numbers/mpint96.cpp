#include "mpint96.h"

#include <cstring>

namespace {

// A magnitude as three 32-bit words, most significant first.
struct Mag {
    uint32_t w[3];
};

constexpr uint32_t kDigitMask = MPInt96_digitConstants.mask;
constexpr uint32_t kDigitBits = MPInt96_digitConstants.width;
constexpr uint32_t kSignBit = MPInt96_digitConstants.signBit;

Mag magnitude(const MPInt96 &x) {
    MPInt96 m = MPInt96_isNegative(x) ? MPInt96_negate(x) : x;
    return Mag{{static_cast<uint32_t>(m.high), m.middle, m.low}};
}

MPInt96 fromMag(const Mag &m) {
    return MPInt96{static_cast<int32_t>(m.w[0]), m.w[1], m.w[2]};
}

MPInt96 signedFromMag(const Mag &m, bool negative) {
    MPInt96 r = fromMag(m);
    return negative ? MPInt96_negate(r) : r;
}

bool isZero(const Mag &m) { return (m.w[0] | m.w[1] | m.w[2]) == 0; }

bool less(const Mag &a, const Mag &b) {
    for (int i = 0; i < 3; ++i)
        if (a.w[i] != b.w[i]) return a.w[i] < b.w[i];
    return false;
}

// Short division by a divisor below 2^32, word by word.
uint32_t divideShort(const Mag &u, uint32_t d, Mag &q) {
    uint64_t r = 0;
    for (int i = 0; i < 3; ++i) {
        uint64_t cur = (r << 32) | u.w[i];
        q.w[i] = static_cast<uint32_t>(cur / d);
        r = cur % d;
    }
    return static_cast<uint32_t>(r);
}

// Six 16-bit digits, least significant first.
void toDigits(const Mag &m, uint32_t d[6]) {
    for (int i = 0; i < 3; ++i) {
        d[2 * i] = m.w[2 - i] & kDigitMask;
        d[2 * i + 1] = m.w[2 - i] >> kDigitBits;
    }
}

Mag fromDigits(const uint32_t d[6]) {
    Mag m;
    for (int i = 0; i < 3; ++i) m.w[2 - i] = (d[2 * i] & kDigitMask) | (d[2 * i + 1] << kDigitBits);
    return m;
}

int significantDigits(const uint32_t d[6]) {
    int n = 6;
    while (n > 0 && d[n - 1] == 0) --n;
    return n;
}

int leadingZeros16(uint32_t digit) {
    int s = 0;
    while ((digit & 0x8000) == 0) {
        digit <<= 1;
        ++s;
    }
    return s;
}

// Long division on base-65536 digits for a divisor of two or more digits
// (Knuth's algorithm D). The trial-quotient test runs in 64 bits: the
// remainder of the estimate may reach 2^17, and a 32-bit test would wrap
// and make the quotient too small.
void divideLong(const Mag &x, const Mag &y, Mag &quotient, Mag &remainder) {
    uint32_t u[6], v[6], un[7] = {}, vn[6] = {}, q[6] = {}, r[6] = {};
    toDigits(x, u);
    toDigits(y, v);
    int n = significantDigits(v), m = significantDigits(u);
    int s = leadingZeros16(v[n - 1]);
    for (int i = n - 1; i > 0; --i) vn[i] = ((v[i] << s) | (v[i - 1] >> (16 - s))) & kDigitMask;
    vn[0] = (v[0] << s) & kDigitMask;
    un[m] = s ? u[m - 1] >> (16 - s) : 0;
    for (int i = m - 1; i > 0; --i) un[i] = ((u[i] << s) | (u[i - 1] >> (16 - s))) & kDigitMask;
    un[0] = (u[0] << s) & kDigitMask;

    for (int j = m - n; j >= 0; --j) {
        uint32_t num = (un[j + n] << 16) | un[j + n - 1];
        uint32_t qhat, rhat;
        if (un[j + n] == vn[n - 1]) {
            qhat = 0xFFFF;
            rhat = num - qhat * vn[n - 1];
        } else {
            qhat = num / vn[n - 1];
            rhat = num % vn[n - 1];
        }
        if (static_cast<uint64_t>(qhat) * vn[n - 2] > (static_cast<uint64_t>(rhat) << 16) + un[j + n - 2]) --qhat;

        int64_t borrow = 0, t = 0;
        for (int i = 0; i < n; ++i) {
            uint32_t p = qhat * vn[i];
            t = static_cast<int64_t>(un[i + j]) - borrow - (p & kDigitMask);
            un[i + j] = static_cast<uint32_t>(t) & kDigitMask;
            borrow = static_cast<int64_t>(p >> 16) - (t >> 16);
        }
        t = static_cast<int64_t>(un[j + n]) - borrow;
        un[j + n] = static_cast<uint32_t>(t) & kDigitMask;
        if (t < 0) {
            --qhat;
            uint32_t carry = 0;
            for (int i = 0; i < n; ++i) {
                uint32_t sum = un[i + j] + vn[i] + carry;
                un[i + j] = sum & kDigitMask;
                carry = sum >> 16;
            }
            un[j + n] = (un[j + n] + carry) & kDigitMask;
        }
        q[j] = qhat;
    }
    for (int i = 0; i < n; ++i) r[i] = ((un[i] >> s) | (un[i + 1] << (16 - s))) & kDigitMask;
    quotient = fromDigits(q);
    remainder = fromDigits(r);
}

void divideMag(const Mag &x, const Mag &y, Mag &q, Mag &r) {
    if (y.w[0] == 0 && y.w[1] == 0) {
        uint32_t rest = divideShort(x, y.w[2], q);
        r = Mag{{0, 0, rest}};
    } else {
        divideLong(x, y, q, r);
    }
}

}  // namespace

MPInt96 MPInt96_fromInt64(int64_t v) {
    uint64_t bits = static_cast<uint64_t>(v);
    return MPInt96{v < 0 ? -1 : 0, static_cast<uint32_t>(bits >> 32), static_cast<uint32_t>(bits)};
}

MPInt96 MPInt96_negate(const MPInt96 &x) {
    uint64_t lo = static_cast<uint64_t>(~x.low) + 1;
    uint64_t mid = static_cast<uint64_t>(~x.middle) + (lo >> 32);
    uint32_t hi = ~static_cast<uint32_t>(x.high) + static_cast<uint32_t>(mid >> 32);
    return MPInt96{static_cast<int32_t>(hi), static_cast<uint32_t>(mid), static_cast<uint32_t>(lo)};
}

void MPInt96_add(MPInt96 &x, const MPInt96 &y) {
    if (!MPInt96_isValid(x) || !MPInt96_isValid(y)) {
        x = MPInt96_invalid;
        return;
    }
    uint64_t lo = static_cast<uint64_t>(x.low) + y.low;
    uint64_t mid = static_cast<uint64_t>(x.middle) + y.middle + (lo >> 32);
    uint32_t hi = static_cast<uint32_t>(x.high) + static_cast<uint32_t>(y.high) + static_cast<uint32_t>(mid >> 32);
    bool sameSign = MPInt96_isNegative(x) == MPInt96_isNegative(y);
    bool flipped = ((hi & kSignBit) != 0) != MPInt96_isNegative(x);
    if (sameSign && flipped) {
        x = MPInt96_invalid;
        return;
    }
    x = MPInt96{static_cast<int32_t>(hi), static_cast<uint32_t>(mid), static_cast<uint32_t>(lo)};
}

// The exact product of the magnitudes in six words; it is legal only when
// the top three words are zero and the fourth leaves the sign bit clear.
void MPInt96_multiply(MPInt96 &x, const MPInt96 &y) {
    if (!MPInt96_isValid(x) || !MPInt96_isValid(y)) {
        x = MPInt96_invalid;
        return;
    }
    bool negative = MPInt96_isNegative(x) != MPInt96_isNegative(y);
    Mag a = magnitude(x), b = magnitude(y);
    uint64_t cols[6] = {};
    for (int i = 2; i >= 0; --i) {
        uint64_t carry = 0;
        for (int j = 2; j >= 0; --j) {
            uint64_t t = static_cast<uint64_t>(a.w[i]) * b.w[j] + cols[i + j + 1] + carry;
            cols[i + j + 1] = t & 0xFFFFFFFFu;
            carry = t >> 32;
        }
        cols[i] += carry;
    }
    if (cols[0] || cols[1] || cols[2] || (cols[3] & kSignBit)) {
        x = MPInt96_invalid;
        return;
    }
    Mag p{{static_cast<uint32_t>(cols[3]), static_cast<uint32_t>(cols[4]), static_cast<uint32_t>(cols[5])}};
    x = signedFromMag(p, negative);
}

bool MPInt96_mulAdd(MPInt96 &x, uint32_t factor, uint32_t addend) {
    uint64_t lo = static_cast<uint64_t>(x.low) * factor + addend;
    uint64_t mid = static_cast<uint64_t>(x.middle) * factor + (lo >> 32);
    uint64_t hi = static_cast<uint64_t>(static_cast<uint32_t>(x.high)) * factor + (mid >> 32);
    if (hi >= kSignBit) return false;
    x = MPInt96{static_cast<int32_t>(hi), static_cast<uint32_t>(mid), static_cast<uint32_t>(lo)};
    return true;
}

bool MPInt96_divide(const MPInt96 &x, const MPInt96 &y, MPInt96 &quotient, MPInt96 &remainder) {
    if (MPInt96_isZero(y) || !MPInt96_isValid(x) || !MPInt96_isValid(y)) {
        quotient = remainder = MPInt96_invalid;
        return false;
    }
    if (y > x) {
        quotient = MPInt96_zero;
        remainder = x;
        return true;
    }
    Mag q, r;
    divideMag(magnitude(x), magnitude(y), q, r);
    quotient = fromMag(q);
    remainder = fromMag(r);
    return true;
}

bool MPInt96_divideSigned(const MPInt96 &x, const MPInt96 &y, MPInt96 &quotient, MPInt96 &remainder) {
    if (MPInt96_isZero(y) || !MPInt96_isValid(x) || !MPInt96_isValid(y)) {
        quotient = remainder = MPInt96_invalid;
        return false;
    }
    Mag a = magnitude(x), b = magnitude(y), q{{0, 0, 0}}, r = a;
    if (!less(a, b)) divideMag(a, b, q, r);
    quotient = signedFromMag(q, MPInt96_isNegative(x) != MPInt96_isNegative(y));
    remainder = signedFromMag(r, MPInt96_isNegative(x));
    return true;
}

MPInt96 MPInt96_shiftLeftDigits(const MPInt96 &x, int n) {
    if (n == 0) return x;
    if (n < 0 || n > maxDigits) return MPInt96_invalid;
    MPInt96 r = x;
    MPInt96_multiply(r, MPInt96_pow10(n));
    return r;
}

MPInt96 MPInt96_shiftRightDigits(const MPInt96 &x, int n) {
    if (n == 0) return x;
    if (n < 0 || n > maxDigits) return MPInt96_invalid;
    MPInt96 q, r;
    MPInt96_divideSigned(x, MPInt96_pow10(n), q, r);
    return q;
}

// Nine digits at a time: each short division by 10^9 gives the next chunk
// from the right.
size_t MPInt96_toChars(const MPInt96 &x, char *buffer) {
    static const char kBad[] = "(bad value)";
    if (!MPInt96_isValid(x)) {
        std::memcpy(buffer, kBad, sizeof kBad);
        return sizeof kBad - 1;
    }
    char digits[kMPInt96TextSize];
    char *end = digits + sizeof digits, *p = end;
    Mag m = magnitude(x);
    do {
        uint32_t chunk = divideShort(m, 1000000000u, m);
        bool last = isZero(m);
        for (int k = 0; k < 9 && (!last || chunk != 0 || k == 0); ++k) {
            *--p = static_cast<char>('0' + chunk % 10);
            chunk /= 10;
        }
    } while (!isZero(m));
    if (MPInt96_isNegative(x)) *--p = '-';
    size_t n = static_cast<size_t>(end - p);
    std::memcpy(buffer, p, n);
    buffer[n] = '\0';
    return n;
}

NmCString MPInt96_asString(const MPInt96 &x) {
    char buffer[kMPInt96TextSize];
    size_t n = MPInt96_toChars(x, buffer);
    return NmCString(buffer, n);
}
