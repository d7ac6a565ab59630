// The decimal text grammar, read from streams and from texts.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "portable.h"

namespace {

struct Read {
    bool ok;
    std::string text;  // PortableDecimal_asString of the result
    std::string integer, fraction;
    std::string left;  // what the stream still holds
};

Read readStream(const std::string &input) {
    std::istringstream in(input);
    PortableDecimal p = PortableDecimal_reader(in);
    Read r{!in.bad(), PortableDecimal_asString(p).c_str(), p.integerDigits.c_str(), p.fractionDigits.c_str(), ""};
    in.clear();
    std::getline(in, r.left, '\0');
    return r;
}

TEST(PortableDecimal, ReadsSeparatorsCurrencyParenthesesAndSigns) {
    struct Case {
        const char *input, *integer, *fraction, *text;
    } cases[] = {
        {"1,234.50", "1234", "50", "1234.50"},
        {"$1,234.50", "1234", "50", "1234.50"},
        {"  $ 1,234.50", "1234", "50", "1234.50"},
        {"(12.5)", "12", "5", "-12.5"},
        {"-12.5", "12", "5", "-12.5"},
        {"- 12.5", "12", "5", "-12.5"},
        {"+7", "7", "", "7"},
        {"$(3)", "3", "", "-3"},
        {"$-3", "3", "", "-3"},
        {"( 4.5 )", "4", "5", "-4.5"},
        {"12.", "12", "", "12"},
        {".5", "", "5", "0.5"},
        {"-.5", "", "5", "-0.5"},
        {"12,3,4", "1234", "", "1234"},
        {"1.2,3", "1", "23", "1.23"},
        {"5%", "0", "05", "0.05"},
        {"12.5%", "00", "125", "00.125"},
        {"0012", "0012", "", "0012"},
        {"123456789012345678901234567890123456789", "123456789012345678901234567890123456789", "",
         "123456789012345678901234567890123456789"},
    };
    for (const Case &c : cases) {
        Read r = readStream(c.input);
        EXPECT_TRUE(r.ok) << c.input;
        EXPECT_EQ(c.integer, r.integer) << c.input;
        EXPECT_EQ(c.fraction, r.fraction) << c.input;
        EXPECT_EQ(c.text, r.text) << c.input;
    }
}

TEST(PortableDecimal, RejectsMalformedNumbersAndStateWordsOutsideParentheses) {
    for (const char *good : {"(null)", "( null )", "(missing)", "(NaN)"}) EXPECT_TRUE(readStream(good).ok) << good;
    EXPECT_EQ("(null)", readStream("( null )").text);
    EXPECT_EQ("(missing)", readStream("(missing)").text);
    for (const char *bad : {"", "   ", ".", "1,", "1,,2", ",1", "$", "-", "(12", "((1))", "(-1)", "12+", "12n", "12$",
                            "1.5.", "abc", "+-1", "%", "null", "(nul)", "(null", "(nothing)", "(NaN"}) {
        Read r = readStream(bad);
        EXPECT_FALSE(r.ok) << '"' << bad << '"';
        EXPECT_EQ("(NaN)", r.text) << bad;
        EXPECT_EQ("", r.integer) << bad;
    }
}

TEST(PortableDecimal, LeavesTheRestInTheStream) {
    const char *cases[][3] = {{"12.5 kg", "12.5", " kg"}, {"7x", "7", "x"}, {"(1)2", "-1", "2"}};
    for (const auto &c : cases) {
        Read r = readStream(c[0]);
        EXPECT_TRUE(r.ok) << c[0];
        EXPECT_EQ(c[1], r.text) << c[0];
        EXPECT_EQ(c[2], r.left) << c[0];
    }
}

TEST(PortableDecimal, OtherSymbolsAndTheTextForm) {
    PortableDecimalFormat f;
    f.currency = "EUR";
    f.thousands = "'";
    f.point = ",";
    f.suffix = " kg";
    const char *text = "EUR 1'234,5 kg";
    const char *p = text;
    PortableDecimal d;
    ASSERT_TRUE(PortableDecimal_readText(p, text + std::strlen(text), d, f));
    EXPECT_STREQ("1234.5", PortableDecimal_asString(d).c_str());
    EXPECT_EQ(text + std::strlen(text), p);
    text = "EU 5";
    p = text;
    EXPECT_FALSE(PortableDecimal_readText(p, text + 4, d, f));

    PortableDecimal neg;
    neg.negative = true;
    EXPECT_STREQ("0", PortableDecimal_asString(neg).c_str());
    neg.fractionDigits = "00";
    EXPECT_STREQ("-0.00", PortableDecimal_asString(neg).c_str());
    PortableDecimal_setState(neg, NmDecimal_missing);
    EXPECT_FALSE(neg.negative);
    EXPECT_TRUE(neg.fractionDigits.empty());
    EXPECT_STREQ("(missing)", PortableDecimal_asString(neg).c_str());
    PortableDecimal_setState(neg, NmDecimal_ctorError);
    EXPECT_STREQ("(ctorError)", PortableDecimal_asString(neg).c_str());
    PortableDecimal_setState(neg, 3);
    EXPECT_STREQ("(Impossible value)", PortableDecimal_asString(neg).c_str());
}

TEST(PortableDecimal, ManySeparatorsAreReadWithoutDeepRecursion) {
    std::string text = "1";
    for (int i = 0; i < 200000; ++i) text += ",1";
    Read r = readStream(text);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(200001u, r.integer.size());
}

}  // namespace
