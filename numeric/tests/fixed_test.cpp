// FDecimal / FMoney: text to ten-thousandths, rounding and text output.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fixed.h"

namespace {

int64_t parse(const char *text) { return FixedT_i64<4>(text).m_Value.value(); }

int32_t overflowCode(const char *text) {
    try {
        FixedT_i64<4> v(text);
        return 0;
    } catch (const FDecimal_Exception &e) {
        return e.code();
    }
}

template <int N>
std::string show(int64_t units, int decimals = -100) {
    char buf[64];
    auto v = FixedT_i64<N>::fromUnits(int64(static_cast<long long>(units)));
    const char *r = decimals == -100 ? v.cvt2str(buf, sizeof buf) : v.cvt2str(decimals, buf, sizeof buf);
    return r ? r : "(null)";
}

TEST(Fixed, ParseAcceptsTheWholeRangeAndNothingBeyond) {
    EXPECT_EQ(INT64_MAX, parse("922337203685477.5807"));
    EXPECT_EQ(-INT64_MAX, parse("-922337203685477.5807"));
    EXPECT_EQ(INT64_MAX, parse("922337203685477.58069"));  // the fifth digit rounds up
    EXPECT_EQ(9223372036854775800, parse("922337203685477.580"));
    EXPECT_EQ(9223372036854760000, parse("922337203685476"));
    for (const char *t : {"922337203685477.5808", "922337203685478", "9223372036854775",
                          "-922337203685477.5808", "922337203685477.58070", "922337203685477.58074",
                          "1000000000000000", "99999999999999999999999"})
        EXPECT_EQ(FDecimal_Exception::Overflow, overflowCode(t)) << t;
    // Leading zeros do not count as integer digits.
    EXPECT_EQ(INT64_MAX, parse("0000000922337203685477.5807"));
}

TEST(Fixed, ParseReadsSignDigitsAndRoundsTheFifthDigit) {
    EXPECT_EQ(15000, parse("0001.5"));
    EXPECT_EQ(20001, parse("+2.00005"));
    EXPECT_EQ(-20001, parse("-2.00005"));
    EXPECT_EQ(20000, parse("2.00004999"));
    EXPECT_EQ(12300, parse("1.23x45"));
    EXPECT_EQ(-5000, parse("-.5"));
    EXPECT_EQ(120000, parse("12."));
    for (const char *t : {"abc", "", "-", "+", ".", " 5", "--5"}) EXPECT_EQ(0, parse(t)) << t;
    EXPECT_EQ(0, FixedT_i64<4>(static_cast<const char *>(nullptr)).m_Value.value());
    DBBaseFMoney money("12.34");
    EXPECT_EQ(123400, money.m_DBValue);
    DBBaseFDecimal dec("-0.0001");
    EXPECT_EQ(-1, dec.m_DBValue);
}

TEST(Fixed, TextShowsTheDefaultOrGivenDecimalsRoundedAwayFromZero) {
    EXPECT_EQ("1.5000", show<4>(15000));
    EXPECT_EQ("1.50", show<2>(15000));
    EXPECT_EQ("1234.56", show<2>(12345600));
    EXPECT_EQ("-0.0012", show<4>(-12));
    EXPECT_EQ("0.00", show<2>(-12));
    EXPECT_EQ("0.00", show<4>(-5, 2));
    EXPECT_EQ("-0.001", show<4>(-5, 3));
    EXPECT_EQ("0", show<4>(5, 0));
    EXPECT_EQ("1", show<4>(5000, 0));
    EXPECT_EQ("-1", show<4>(-5000, 0));
    EXPECT_EQ("0", show<4>(0, 0));
    EXPECT_EQ("12345.6789", show<2>(123456789, 9));  // more than four are shown as four
    EXPECT_EQ("(null)", show<2>(123, -1));
}

TEST(Fixed, RoundingAtTheEndsOfTheRangeKeepsTheSign) {
    EXPECT_EQ("922337203685478", show<4>(INT64_MAX, 0));
    EXPECT_EQ("-922337203685478", show<4>(INT64_MIN, 0));
    EXPECT_EQ("922337203685477.6", show<4>(INT64_MAX, 1));
    EXPECT_EQ("-922337203685477.5808", show<4>(INT64_MIN, 4));
    EXPECT_EQ("922337203685477.58", show<2>(INT64_MAX));

    FixedT_i64<4> v = FixedT_i64<4>::fromUnits(int64(static_cast<long long>(-12345)));
    EXPECT_EQ(-12000, v.Round(4, 1).m_Value.value());
    v = FixedT_i64<4>::fromUnits(int64(static_cast<long long>(15000)));
    EXPECT_EQ(20000, v.Round(4, 0).m_Value.value());
    v = FixedT_i64<4>::fromUnits(int64(static_cast<long long>(INT64_MAX)));
    EXPECT_THROW(v.Round(4, 0), FDecimal_Exception);
}

TEST(Fixed, TextThatDoesNotFitIsRefused) {
    char buf[8];
    auto v = FixedT_i64<2>::fromUnits(int64(12345600));  // 1234.56
    EXPECT_EQ(nullptr, v.cvt2str(buf, 7));               // exactly the text's length
    EXPECT_EQ('\0', buf[0]);
    EXPECT_STREQ("1234.56", v.cvt2str(buf, 8));
    EXPECT_EQ(nullptr, v.cvt2str(nullptr, 8));
    EXPECT_EQ(nullptr, v.cvt2str(buf, 0));
}

TEST(Fixed, StorageFormsCopyTheBitsUnchanged) {
    DBBaseFMoney stored;
    FMoney m = FMoney::fromUnits(int64(static_cast<long long>(-987654321012LL)));
    stored = m;
    EXPECT_EQ(-987654321012LL, stored.m_DBValue);
    FMoney back = stored;
    EXPECT_EQ(m, back);
    unsigned char bytes[8];
    std::memcpy(bytes, &stored, 8);
    EXPECT_EQ(static_cast<unsigned char>(-987654321012LL & 0xFF), bytes[0]);
    DBBaseFDecimal d;
    d = FDecimal("1.25");
    EXPECT_EQ(12500, d.m_DBValue);
    EXPECT_EQ(12500, static_cast<FDecimal>(d).m_Value.value());
}

TEST(Fixed, ExceptionTextsAreTheCodePage866Messages) {
    EXPECT_STREQ("\x8E\xE8\xA8\xA1\xAA\xA0 FDecimal: \xAF\xA5\xE0\xA5\xAF\xAE\xAB\xAD\xA5\xAD\xA8\xA5",
                 FDecimal_Exception(1).what());
    EXPECT_STREQ("\x8E\xE8\xA8\xA1\xAA\xA0 FDecimal: \xA4\xA5\xAB\xA5\xAD\xA8\xA5 \xAD\xA0 \xAD\xAE\xAB\xEC",
                 FDecimal_Exception::message(2));
    EXPECT_STREQ("\x8E\xE8\xA8\xA1\xAA\xA0 FDecimal: \xAD\xA5\xA2\xA5\xE0\xAD\xEB\xA9 "
                 "\xE4\xAE\xE0\xAC\xA0\xE2 \xA4\xA5\xAD\xA5\xA3",
                 FDecimal_Exception(3).what());
    EXPECT_STREQ("Unknown FDecimal exception", FDecimal_Exception(0).what());
    EXPECT_STREQ("Unknown FDecimal exception", FDecimal_Exception::message(77));
    try {
        FDecimal_Exception(2).raise();
        FAIL();
    } catch (const QVException &e) {
        EXPECT_EQ(2, dynamic_cast<const FDecimal_Exception &>(e).code());
    }
}

}  // namespace
