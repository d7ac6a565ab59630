// Doubles through the runtime's number formatting, and the locale bracket
// around it with a Russian numeric locale in force.
#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstring>
#include <string>

#include "numtext.h"

namespace {

struct NumCrt : ::testing::Test {
    void SetUp() override { ASSERT_NE(nullptr, std::setlocale(LC_NUMERIC, "Russian_Russia.1251")); }
    void TearDown() override { std::setlocale(LC_NUMERIC, "C"); }
    static std::string current() { return std::setlocale(LC_NUMERIC, nullptr); }
};

struct Text {
    std::string text;
    int length;
};

Text doubleText(double x, int width, int precision, int leftAlign, size_t size = 64) {
    char buf[160];
    std::memset(buf, '#', sizeof buf);
    int n = num_doubleToText(x, buf, size, width, precision, leftAlign);
    EXPECT_EQ('#', buf[size]);
    return Text{buf, n};
}

Text scaledText(double x, int width, int n, int leftAlign = 0) {
    char buf[64];
    int len = num_scaledDoubleToText(x, buf, sizeof buf, width, n, leftAlign);
    return Text{buf, len};
}

TEST_F(NumCrt, DoublesPrintWithAPointUnderAnyLocaleAndTheLocaleComesBack) {
    const struct {
        Text got, want;
    } cases[] = {
        {doubleText(1234.5, 10, 2, 0), {"   1234.50", 10}}, {doubleText(1234.5, 10, 2, 1), {"1234.50", 10}},
        {doubleText(1234, 0, -2, 0), {"12.34", 5}},         {doubleText(1234, 8, -2, 0), {"   12.34", 8}},
        {doubleText(-5, 0, -2, 1), {"-.05", 4}},            {scaledText(1234, 0, 2), {"12.34", 5}},
        {scaledText(5, 6, 2), {"  0.05", 6}},               {scaledText(123456, 0, -2), {"1234", 4}},
        // MinGW's own printf rounds an exact tie to even; msvcrt's would give 0.13.
        {doubleText(0.125, 0, 2, 0), {"0.12", 4}},          {doubleText(0.375, 0, 2, 0), {"0.38", 4}},
        {doubleText(2.5, 0, 0, 0), {"2", 1}},               {doubleText(0.1251, 0, 2, 0), {"0.13", 4}},
        // Text that does not fit becomes stars; every decimal asked for is given.
        {doubleText(123456.5, 5, 1, 0, 8), {"*****", 5}},   {doubleText(1e300, 0, 2, 0, 8), {"*******", 7}},
        {doubleText(1.0 / 3, 0, 500, 0, 64), {std::string(63, '*'), 63}},
        {doubleText(1.0 / 3, 0, INT_MAX, 0, 64), {std::string(63, '*'), 63}},
        {doubleText(1234, 0, -150, 0, 159), {"." + std::string(146, '0') + "1234", 151}},
        {doubleText(1234, 0, INT_MIN, 0, 64), {std::string(63, '*'), 63}},
        {scaledText(1234, 0, 58), {"0." + std::string(54, '0') + "1234", 60}},
        {scaledText(1234, 0, INT_MAX), {std::string(63, '*'), 63}},
        // The double 1e200 has 200 integer digits; cutting 150 leaves its first 50.
        {scaledText(1e200, 0, -150), {"99999999999999996973312221251036165947450327545502", 50}},
        {scaledText(1e200, 0, INT_MIN), {"0", 1}},
    };
    for (const auto &c : cases) EXPECT_EQ(c.want.text, c.got.text) << c.want.length;
    for (const auto &c : cases) EXPECT_EQ(c.want.length, c.got.length) << c.want.text;
    char buf[200];
    EXPECT_EQ(152, num_doubleToText(1.0 / 3, buf, sizeof buf, 0, 150, 0));
    EXPECT_EQ("0.333333333333333314829616256247390992939472198486328125" + std::string(96, '0'), buf);
    EXPECT_DOUBLE_EQ(1.5, num_textToDouble(" 1.5", 2));
    EXPECT_DOUBLE_EQ(1234, num_textToDouble("  12.345", -2));
    EXPECT_DOUBLE_EQ(12, num_textToDouble("12abc", 0));
    EXPECT_DOUBLE_EQ(0, num_textToDouble("abc", 0));
    EXPECT_DOUBLE_EQ(1234, num_textToScaledDouble(" 12.34", 2));
    EXPECT_DOUBLE_EQ(1234, num_textToScaledDouble("12.34", -2));
    EXPECT_DOUBLE_EQ(1.5e149, num_textToScaledDouble("0.15", 150));
    EXPECT_DOUBLE_EQ(1.5e149, num_textToDouble("0.15", -150));
    EXPECT_EQ(HUGE_VAL, num_textToScaledDouble(".1", INT_MIN));
    EXPECT_EQ(0.0, num_textToDouble("0.0", INT_MIN));
    EXPECT_EQ("Russian_Russia.1251", current());
}

TEST_F(NumCrt, BracketKeepsEveryLocaleButC) {
    for (std::string locale : {"Russian_Russia.1251", "Czech_Czechia.1250", "C"}) {
        ASSERT_NE(nullptr, std::setlocale(LC_NUMERIC, locale.c_str()));
        num_setCLocale();
        EXPECT_EQ("C", current());
        num_restoreLocale();
        EXPECT_EQ(locale, current());
    }
    num_restoreLocale();  // nothing kept: nothing to do
    EXPECT_EQ("C", current());
}

}  // namespace
