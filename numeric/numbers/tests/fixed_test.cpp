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
    const struct {
        const char *text;
        int64_t want;
    } cases[] = {{"0001.5", 15000}, {"+2.00005", 20001}, {"-2.00005", -20001}, {"2.00004999", 20000},
                 {"1.23x45", 12300}, {"-.5", -5000},     {"12.", 120000},     {"abc", 0},
                 {"", 0},            {"-", 0},           {"+", 0},            {".", 0},
                 {" 5", 0},          {"--5", 0}};
    for (const auto &c : cases) EXPECT_EQ(c.want, parse(c.text)) << c.text;
    EXPECT_EQ(0, FixedT_i64<4>(static_cast<const char *>(nullptr)).m_Value.value());
    DBBaseFMoney money("12.34");
    EXPECT_EQ(123400, money.m_DBValue);
    DBBaseFDecimal dec("-0.0001");
    EXPECT_EQ(-1, dec.m_DBValue);
}

TEST(Fixed, TextShowsTheDefaultOrGivenDecimalsRoundedAwayFromZero) {
    EXPECT_EQ("1.5000", show<4>(15000));
    EXPECT_EQ("1.50", show<2>(15000));
    EXPECT_EQ("-0.0012", show<4>(-12));
    EXPECT_EQ("0.00", show<2>(-12));
    const struct {
        int64_t units;
        int decimals;
        const char *want;
    } cases[] = {{-5, 2, "0.00"}, {-5, 3, "-0.001"}, {5, 0, "0"},   {5000, 0, "1"},
                 {-5000, 0, "-1"}, {0, 0, "0"},      {123456789, 9, "12345.6789"}};  // more than four show as four
    for (const auto &c : cases) EXPECT_EQ(c.want, show<4>(c.units, c.decimals)) << c.units << " " << c.decimals;
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

TEST(Fixed, ExceptionTextsAreFoundByCodeAndUnknownCodesSaySo) {
    EXPECT_STREQ("\x8E\xE8\xA8\xA1\xAA\xA0 FDecimal: \xA4\xA5\xAB\xA5\xAD\xA8\xA5 \xAD\xA0 \xAD\xAE\xAB\xEC",
                 FDecimal_Exception::message(2));
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
