// int64 against the machine's int64_t with wrap-around semantics.
#include <gtest/gtest.h>

#include <climits>

#include <cinttypes>
#include <cstdio>
#include <random>
#include <vector>

#include "int64.h"

namespace {

constexpr int64_t kMin = INT64_MIN, kMax = INT64_MAX;

int64_t wrap(uint64_t bits) { return static_cast<int64_t>(bits); }

std::vector<int64_t> sampleValues() {
    std::vector<int64_t> v = {0, 1, -1, 2, -2, 7, -7, 10, kMin, kMin + 1, kMax, kMax - 1,
                              int64_t(1) << 32, -(int64_t(1) << 32), 0xFFFFFFFF, int64_t(1) << 62};
    std::mt19937_64 rng(42);
    for (int i = 0; i < 3000; ++i) {
        uint64_t r = rng();
        int bits = static_cast<int>(rng() % 64) + 1;
        v.push_back(wrap(bits == 64 ? r : (r & ((uint64_t(1) << bits) - 1)) * ((r >> 63) ? ~uint64_t(0) : 1)));
    }
    return v;
}

int64 make(int64_t v) { return int64(static_cast<long long>(v)); }

TEST(Int64, ArithmeticMatchesWrappingMachineIntegers) {
    auto values = sampleValues();
    std::mt19937_64 rng(7);
    for (size_t i = 0; i < values.size(); ++i) {
        int64_t a = values[i], b = values[rng() % values.size()];
        int64 x = make(a), y = make(b);
        ASSERT_EQ(wrap(uint64_t(a) + uint64_t(b)), (x + y).value()) << a << " + " << b;
        ASSERT_EQ(wrap(uint64_t(a) - uint64_t(b)), (x - y).value()) << a << " - " << b;
        ASSERT_EQ(wrap(uint64_t(a) * uint64_t(b)), (x * y).value()) << a << " * " << b;
        ASSERT_EQ(wrap(~uint64_t(a) + 1), (-x).value()) << a;
        ASSERT_EQ(a < b, x < y);
        ASSERT_EQ(a <= b, x <= y);
        ASSERT_EQ(a == b, x == y);
        ASSERT_EQ(a < 0 ? -1 : 1, x.GetSign());
        if (b != 0 && !(a == kMin && b == -1)) {
            ASSERT_EQ(a / b, (x / y).value()) << a << " / " << b;
            ASSERT_EQ(a % b, (x % y).value()) << a << " % " << b;
        }
        int n = static_cast<int>(rng() % 140) - 70;
        int64 l = x, r = x;
        l <<= n;
        r >>= n;
        int64_t left = n < -64 || n > 64 ? 0 : n >= 0 ? (n == 64 ? 0 : wrap(uint64_t(a) << n))
                                                   : (-n >= 63 ? (a < 0 ? -1 : 0) : a >> -n);
        int64_t right = n < -64 || n > 64 ? 0 : n >= 0 ? (n >= 63 ? (a < 0 ? -1 : 0) : a >> n)
                                                    : (-n == 64 ? 0 : wrap(uint64_t(a) << -n));
        ASSERT_EQ(left, l.value()) << a << " << " << n;
        ASSERT_EQ(right, r.value()) << a << " >> " << n;
    }
}

// Edges the random pairs above rarely or never meet.
TEST(Int64, EdgesOfDivisionSignAndShift) {
    EXPECT_EQ(kMin, make(kMin).Abs().value());
    EXPECT_EQ(5, int64(-5).Abs().value());
    EXPECT_EQ(kMin, (make(kMin) / int64(-1)).value());
    EXPECT_EQ(0, (make(kMin) % int64(-1)).value());
    EXPECT_EQ(1, (make(kMin) / make(kMin)).value());
    EXPECT_EQ(0, (int64(5) / make(kMin)).value());
    EXPECT_EQ(5, (int64(5) % make(kMin)).value());
    EXPECT_EQ(0, (make(int64_t(1) << 62) * int64(4)).value());
    EXPECT_EQ(kMin, (int64(3) * make(kMin)).value());  // wraps like every other product
    EXPECT_EQ(0, (int64(2) * make(kMin)).value());
    int64 s = 12345;
    s <<= 65;
    EXPECT_EQ(0, s.value());
    s = 12345;
    s >>= -65;
    EXPECT_EQ(0, s.value());
    // Counts whose negation does not fit an int are outside the range too.
    for (int n : {INT_MIN, INT_MIN + 1, INT_MAX}) {
        s = -1;
        s <<= n;
        EXPECT_EQ(0, s.value()) << n;
        s = -1;
        s >>= n;
        EXPECT_EQ(0, s.value()) << n;
    }
    int64 counter = 0xFFFFFFFFLL;
    EXPECT_EQ(0xFFFFFFFF, (counter++).value());
    EXPECT_EQ(int64_t(1) << 32, counter.value());
}

TEST(Int64, DivisionByZeroThrowsAndKeepsTheOperand) {
    int64 x = 42;
    try {
        x /= int64(0);
        FAIL() << "no exception";
    } catch (const int64_exception &e) {
        EXPECT_EQ(kInt64DivideByZero, e.code);
    }
    EXPECT_THROW(x %= int64(0), int64_exception);
    EXPECT_EQ(42, x.value());
}

TEST(Int64, GetStringWritesDecimalTextWithinTheBuffer) {
    char buf[kInt64TextSize];
    EXPECT_EQ(nullptr, int64(5).GetString(nullptr, 10));
    for (int64_t v : sampleValues()) {
        char expect[32];
        std::snprintf(expect, sizeof expect, "%" PRId64, v);
        ASSERT_STREQ(expect, make(v).GetString(buf, sizeof buf));
    }
    // Too small: nothing past the buffer, an empty text, null.
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(nullptr, int64(-1234).GetString(small, 4));
    EXPECT_EQ('\0', small[0]);
    EXPECT_STREQ("-12", int64(-12).GetString(small, 4));
}

}  // namespace
