// MPInt96 against the compiler's 128-bit integers.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "mpint96.h"

namespace {

using i128 = __int128;
using u128 = unsigned __int128;

const i128 kLimit = (i128(1) << 95) - 1;  // largest legal magnitude

MPInt96 of(i128 v) {
    u128 b = static_cast<u128>(v);
    return MPInt96{static_cast<int32_t>(static_cast<uint32_t>(b >> 64)), static_cast<uint32_t>(b >> 32),
                   static_cast<uint32_t>(b)};
}

i128 val(const MPInt96 &x) {
    u128 b = (u128(static_cast<uint32_t>(x.high)) << 64) | (u128(x.middle) << 32) | x.low;
    if (x.high < 0) b |= ~((u128(1) << 96) - 1);  // sign-extend from 96 bits
    return static_cast<i128>(b);
}

bool fits(i128 v) { return v >= -kLimit && v <= kLimit; }

std::string text(i128 v) {
    if (v == 0) return "0";
    bool neg = v < 0;
    u128 m = neg ? u128(-v) : u128(v);
    std::string s;
    for (; m; m /= 10) s.insert(s.begin(), static_cast<char>('0' + int(m % 10)));
    return neg ? "-" + s : s;
}

// Values of every size, with the words' edges well represented.
std::vector<i128> samples() {
    std::vector<i128> v = {0, 1, -1, 2, -2, 7, -7, 10, 65535, 65536, 0xFFFFFFFF, i128(1) << 32,
                           i128(1) << 48, i128(1) << 64, kLimit, -kLimit, kLimit - 1, i128(10000000000000000000ull)};
    std::mt19937_64 rng(96);
    for (int i = 0; i < 4000; ++i) {
        int bits = static_cast<int>(rng() % 95) + 1;
        u128 r = (u128(rng()) << 64) | rng();
        i128 m = static_cast<i128>(r & ((u128(1) << bits) - 1));
        if (rng() % 4 == 0) m |= 1;  // odd values for the parity test
        v.push_back(rng() % 2 ? -m : m);
    }
    return v;
}

TEST(MPInt96, SumsAndProductsMatchOrBecomeInvalid) {
    auto values = samples();
    std::mt19937_64 rng(1);
    for (size_t i = 0; i < values.size(); ++i) {
        i128 a = values[i], b = values[rng() % values.size()];
        MPInt96 s = of(a);
        MPInt96_add(s, of(b));
        if (fits(a + b))
            ASSERT_EQ(a + b, val(s)) << text(a) << " + " << text(b);
        else
            ASSERT_FALSE(MPInt96_isValid(s)) << text(a) << " + " << text(b);
        // Products of two random values mostly overflow; shorten one side.
        i128 c = b >> (rng() % 96);
        MPInt96 p = of(a);
        MPInt96_multiply(p, of(c));
        bool productFits = c == 0 || a == 0 || (u128(a < 0 ? -a : a) <= u128(kLimit) / u128(c < 0 ? -c : c));
        if (productFits)
            ASSERT_EQ(a * c, val(p)) << text(a) << " * " << text(c);
        else
            ASSERT_FALSE(MPInt96_isValid(p)) << text(a) << " * " << text(c);
        ASSERT_EQ(a < b, of(a) < of(b));
        ASSERT_EQ(a == b, of(a) == of(b));
        ASSERT_EQ(-a, val(MPInt96_negate(of(a))));
        ASSERT_EQ(a % 2 == 0, MPInt96_isEven(of(a)));
        ASSERT_EQ(text(a), MPInt96_asString(of(a)).c_str());
    }
}

TEST(MPInt96, QuotientsAndRemaindersMatchTruncatingDivision) {
    auto values = samples();
    std::mt19937_64 rng(2);
    for (size_t i = 0; i < values.size(); ++i) {
        i128 a = values[i], b = values[rng() % values.size()] >> (rng() % 96);
        if (b == 0) continue;
        MPInt96 q, r;
        ASSERT_TRUE(MPInt96_divideSigned(of(a), of(b), q, r));
        ASSERT_EQ(a / b, val(q)) << text(a) << " / " << text(b);
        ASSERT_EQ(a % b, val(r)) << text(a) << " % " << text(b);
        i128 ua = a < 0 ? -a : a, ub = b < 0 ? -b : b;
        ASSERT_TRUE(MPInt96_divide(of(ua), of(ub), q, r));
        ASSERT_EQ(ua / ub, val(q));
        ASSERT_EQ(ua % ub, val(r));
    }
}

// Divisors whose top 16-bit digit is small need the largest normalising
// shift; those with a top digit equal to the dividend's take the 0xFFFF
// estimate, where the trial test must not wrap.
TEST(MPInt96, DivisionByEveryShapeOfDivisorIsExact) {
    std::vector<i128> divisors;
    for (int digits = 3; digits <= 6; ++digits)
        for (u128 top : {u128(1), u128(2), u128(0x7FFF), u128(0x8000), u128(0xFFFF)})
            for (u128 low : {u128(0), u128(1), u128(0xFFFF), u128(0x12345), ~u128(0)}) {
                int shift = 16 * (digits - 1);
                u128 d = (top << shift) | (low & ((u128(1) << shift) - 1));
                if (d <= u128(kLimit)) divisors.push_back(static_cast<i128>(d));
            }
    std::mt19937_64 rng(3);
    for (i128 d : divisors) {
        for (int k = 0; k < 300; ++k) {
            u128 q0 = ((u128(rng()) << 64) | rng()) >> (rng() % 128);
            u128 r0 = ((u128(rng()) << 64) | rng()) % u128(d);
            // Quotient digits of 0xFFFF and the largest remainder: the
            // estimate's own remainder then passes 16 bits.
            if (k % 3 == 0) q0 = (u128(1) << (16 * (1 + k % 4))) - 1 - (k % 2), r0 = u128(d) - 1;
            u128 x = q0 * u128(d) + r0;
            if (q0 != 0 && (x - r0) / q0 != u128(d)) continue;  // wrapped
            if (x > u128(kLimit)) x %= u128(kLimit);
            MPInt96 q, r;
            ASSERT_TRUE(MPInt96_divide(of(i128(x)), of(d), q, r));
            ASSERT_EQ(i128(x) / d, val(q)) << text(i128(x)) << " / " << text(d);
            ASSERT_EQ(i128(x) % d, val(r)) << text(i128(x)) << " % " << text(d);
        }
    }
}

// Signs, sizes and text of ordinary values are checked against __int128 above.
TEST(MPInt96, EdgesOfTheRange) {
    auto sum = [](MPInt96 x, const MPInt96 &y) { return MPInt96_add(x, y), x; };
    auto product = [](MPInt96 x, const MPInt96 &y) { return MPInt96_multiply(x, y), x; };
    EXPECT_FALSE(MPInt96_isValid(sum(of(kLimit), of(1))));
    EXPECT_EQ(MPInt96_invalid, sum(of(-kLimit), of(-1)));
    EXPECT_FALSE(MPInt96_isValid(product(MPInt96_pow10(28), of(10))));
    EXPECT_EQ(kLimit, val(product(of(kLimit), of(1))));
    EXPECT_FALSE(MPInt96_isValid(sum(of(5), MPInt96_invalid)));
    EXPECT_FALSE(MPInt96_isValid(product(of(0), MPInt96_invalid)));
    EXPECT_EQ(MPInt96_invalid, MPInt96_negate(MPInt96_invalid));

    EXPECT_EQ(val(MPInt96_pow10(28)), val(MPInt96_shiftLeftDigits(of(1), 28)));
    EXPECT_FALSE(MPInt96_isValid(MPInt96_shiftLeftDigits(of(0), 29)));
    EXPECT_FALSE(MPInt96_isValid(MPInt96_shiftRightDigits(of(5), 29)));
    EXPECT_EQ(-1234, val(MPInt96_shiftRightDigits(of(-1234567), 3)));
    EXPECT_EQ(77, val(MPInt96_shiftLeftDigits(of(77), 0)));
    i128 p = 1;
    for (int n = 0; n <= maxDigits; ++n, p *= 10) ASSERT_EQ(p, val(MPInt96_pow10(n))) << n;

    MPInt96 q, r;
    EXPECT_FALSE(MPInt96_divide(of(7), of(0), q, r));
    EXPECT_FALSE(MPInt96_isValid(q));
    EXPECT_FALSE(MPInt96_isValid(r));
    EXPECT_STREQ("(bad value)", MPInt96_asString(MPInt96_invalid).c_str());
    EXPECT_STREQ("1000000000000000000", MPInt96_asString(of(i128(1000000000000000000LL))).c_str());
}

TEST(MPInt96, MultiplyAddBuildsMantissasUpToTheLimit) {
    MPInt96 x = of(kLimit / 10);
    EXPECT_TRUE(MPInt96_mulAdd(x, 10, 7));
    EXPECT_EQ(kLimit, val(x));
    EXPECT_FALSE(MPInt96_mulAdd(x, 10, 0));
    EXPECT_EQ(kLimit, val(x));
    x = of(kLimit / 10);
    EXPECT_FALSE(MPInt96_mulAdd(x, 10, 8));
}

}  // namespace
