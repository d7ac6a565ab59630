// MPInt96: the 96-bit two's-complement integer that carries every decimal
// mantissa. An operation that cannot represent its result yields
// MPInt96_invalid (-2^95), which then propagates; legal values run from
// -(2^95 - 1) to 2^95 - 1. Nothing here allocates except MPInt96_asString.
#pragma once

#include <cstddef>
#include <cstdint>

#include "nmstring.h"

struct MPInt96 {
    int32_t high;
    uint32_t middle;
    uint32_t low;
};

constexpr MPInt96 MPInt96_invalid{INT32_MIN, 0, 0};
constexpr MPInt96 MPInt96_zero{0, 0, 0};

// Products and quotients work on 16-bit digits held in 32-bit cells.
struct MPInt96DigitConstants {
    uint32_t width, mask, highMask, base, allOnes, signBit, lowBit;
};
constexpr MPInt96DigitConstants MPInt96_digitConstants{16, 0xFFFF, 0xFFFF0000, 0x10000,
                                                       0xFFFFFFFF, 0x80000000, 1};

// The integer part of log10(2^95): every mantissa of this many digits fits.
constexpr int maxDigits = 28;

namespace mpint96_detail {
constexpr MPInt96 timesTen(MPInt96 x) {
    uint64_t lo = static_cast<uint64_t>(x.low) * 10;
    uint64_t mid = static_cast<uint64_t>(x.middle) * 10 + (lo >> 32);
    uint64_t hi = static_cast<uint64_t>(static_cast<uint32_t>(x.high)) * 10 + (mid >> 32);
    return MPInt96{static_cast<int32_t>(static_cast<uint32_t>(hi)), static_cast<uint32_t>(mid),
                   static_cast<uint32_t>(lo)};
}
struct Pow10Table {
    MPInt96 p[maxDigits + 1];
    constexpr Pow10Table() : p() {
        p[0] = MPInt96{0, 0, 1};
        for (int i = 1; i <= maxDigits; ++i) p[i] = timesTen(p[i - 1]);
    }
};
}  // namespace mpint96_detail

// 10^0 .. 10^28, fixed when the program is built.
inline constexpr mpint96_detail::Pow10Table MPInt96_pow10Table{};
constexpr const MPInt96 &MPInt96_pow10(int n) { return MPInt96_pow10Table.p[n]; }

constexpr bool MPInt96_isValid(const MPInt96 &x) {
    return !(x.high == MPInt96_invalid.high && x.middle == 0 && x.low == 0);
}
constexpr bool MPInt96_isNegative(const MPInt96 &x) { return x.high < 0; }
constexpr bool MPInt96_isZero(const MPInt96 &x) { return x.high == 0 && x.middle == 0 && x.low == 0; }
constexpr bool MPInt96_isEven(const MPInt96 &x) { return (x.low & MPInt96_digitConstants.lowBit) == 0; }

constexpr bool operator==(const MPInt96 &x, const MPInt96 &y) {
    return x.high == y.high && x.middle == y.middle && x.low == y.low;
}
constexpr bool operator<(const MPInt96 &x, const MPInt96 &y) {
    if (x.high != y.high) return x.high < y.high;
    if (x.middle != y.middle) return x.middle < y.middle;
    return x.low < y.low;
}
constexpr bool operator!=(const MPInt96 &x, const MPInt96 &y) { return !(x == y); }
constexpr bool operator>(const MPInt96 &x, const MPInt96 &y) { return y < x; }
constexpr bool operator<=(const MPInt96 &x, const MPInt96 &y) { return !(y < x); }
constexpr bool operator>=(const MPInt96 &x, const MPInt96 &y) { return !(x < y); }

MPInt96 MPInt96_fromInt64(int64_t v);
MPInt96 MPInt96_negate(const MPInt96 &x);
// In place on x.
void MPInt96_add(MPInt96 &x, const MPInt96 &y);
void MPInt96_multiply(MPInt96 &x, const MPInt96 &y);
// x := x * factor + addend for a non-negative x; false, x unchanged, when
// the result would reach 2^95. The decimal parser builds mantissas with it.
bool MPInt96_mulAdd(MPInt96 &x, uint32_t factor, uint32_t addend);
// For non-negative x and y. False, with both results invalid, for a zero
// divisor or an invalid operand.
bool MPInt96_divide(const MPInt96 &x, const MPInt96 &y, MPInt96 &quotient, MPInt96 &remainder);
// Truncating: the quotient is negative when the signs differ, the
// remainder has the sign of x.
bool MPInt96_divideSigned(const MPInt96 &x, const MPInt96 &y, MPInt96 &quotient, MPInt96 &remainder);
// x * 10^n and x / 10^n for n from 0 to 28; invalid for any other n.
MPInt96 MPInt96_shiftLeftDigits(const MPInt96 &x, int n);
MPInt96 MPInt96_shiftRightDigits(const MPInt96 &x, int n);

// Sign, 29 digits and the terminator.
constexpr size_t kMPInt96TextSize = 32;
// Decimal text into buffer (kMPInt96TextSize bytes); returns its length.
// The invalid value gives "(bad value)".
size_t MPInt96_toChars(const MPInt96 &x, char *buffer);
NmCString MPInt96_asString(const MPInt96 &x);
