// Doubles through the runtime's number formatting, and the locale bracket
// around it with a Russian numeric locale in force.
#include <gtest/gtest.h>

#include <clocale>
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
    Text t = doubleText(1234.5, 10, 2, 0);
    EXPECT_EQ("   1234.50", t.text);
    EXPECT_EQ(10, t.length);
    t = doubleText(1234.5, 10, 2, 1);
    EXPECT_EQ("1234.50", t.text);
    EXPECT_EQ(10, t.length);
    t = doubleText(1234, 0, -2, 0);
    EXPECT_EQ("12.34", t.text);
    EXPECT_EQ(5, t.length);
    t = doubleText(1234, 8, -2, 0);
    EXPECT_EQ("   12.34", t.text);
    EXPECT_EQ(8, t.length);
    t = doubleText(-5, 0, -2, 1);
    EXPECT_EQ("-.05", t.text);
    EXPECT_EQ("Russian_Russia.1251", current());

    EXPECT_DOUBLE_EQ(1.5, num_textToDouble(" 1.5", 2));
    EXPECT_DOUBLE_EQ(1234, num_textToDouble("  12.345", -2));
    EXPECT_DOUBLE_EQ(12, num_textToDouble("12abc", 0));
    EXPECT_DOUBLE_EQ(0, num_textToDouble("abc", 0));
    EXPECT_DOUBLE_EQ(1234, num_textToScaledDouble(" 12.34", 2));
    EXPECT_DOUBLE_EQ(1234, num_textToScaledDouble("12.34", -2));
    EXPECT_DOUBLE_EQ(1.5, num_textToLongDouble("1.5", 0));
    EXPECT_EQ("Russian_Russia.1251", current());

    t = scaledText(1234, 0, 2);
    EXPECT_EQ("12.34", t.text);
    t = scaledText(5, 6, 2);
    EXPECT_EQ("  0.05", t.text);
    EXPECT_EQ(6, t.length);
    t = scaledText(123456, 0, -2);
    EXPECT_EQ("1234", t.text);
    EXPECT_EQ("Russian_Russia.1251", current());
}

// MinGW's own printf rounds an exact tie to even; msvcrt's would give 0.13.
TEST_F(NumCrt, ExactTiesRoundToEven) {
    EXPECT_EQ("0.12", doubleText(0.125, 0, 2, 0).text);
    EXPECT_EQ("0.38", doubleText(0.375, 0, 2, 0).text);
    EXPECT_EQ("2", doubleText(2.5, 0, 0, 0).text);
    EXPECT_EQ("0.13", doubleText(0.1251, 0, 2, 0).text);
}

TEST_F(NumCrt, TextThatDoesNotFitBecomesStars) {
    EXPECT_EQ("*****", doubleText(123456.5, 5, 1, 0, 8).text);
    EXPECT_EQ("*******", doubleText(1e300, 0, 2, 0, 8).text);
    Text t = doubleText(1.0 / 3, 0, 500, 0, 64);  // precision bounded to 100
    EXPECT_EQ(std::string(63, '*'), t.text);
    EXPECT_EQ(63, t.length);
    char buf[200];
    EXPECT_EQ(102, num_doubleToText(1.0 / 3, buf, sizeof buf, 0, 500, 0));
    EXPECT_EQ("0.333", std::string(buf, 5));
}

TEST_F(NumCrt, BracketKeepsEveryLocaleButC) {
    num_setCLocale();
    EXPECT_EQ("C", current());
    num_restoreLocale();
    EXPECT_EQ("Russian_Russia.1251", current());

    ASSERT_NE(nullptr, std::setlocale(LC_NUMERIC, "Czech_Czechia.1250"));
    num_setCLocale();
    EXPECT_EQ("C", current());
    num_restoreLocale();
    EXPECT_EQ("Czech_Czechia.1250", current());

    std::setlocale(LC_NUMERIC, "C");
    num_setCLocale();
    num_restoreLocale();
    EXPECT_EQ("C", current());
    num_restoreLocale();  // nothing kept: nothing to do
    EXPECT_EQ("C", current());
}

}  // namespace
