// Number text: in-place edits, money, fixed and 16-byte decimals to text
// and back, and the 10-byte extended image.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "decerrors.h"
#include "numtext.h"

namespace {

struct Edit {
    std::string text;
    int result;
};

template <class F>
Edit edit(const char *in, size_t size, F f) {
    char buf[256];
    std::memset(buf, '#', sizeof buf);
    std::strcpy(buf, in);
    int r = f(buf, size);
    for (size_t i = size; i < sizeof buf; ++i)
        if (buf[i] != '#') ADD_FAILURE() << "written past the buffer: " << in;
    return Edit{buf, r};
}

Edit group(const char *in, size_t size = 64) {
    return edit(in, size, [](char *b, size_t s) { return num_groupThousands(b, s); });
}
Edit insertPoint(const char *in, int n, size_t size = 64) {
    return edit(in, size, [n](char *b, size_t s) { return num_insertPoint(b, n, s); });
}
Edit scale(const char *in, int n, size_t size = 64) {
    return edit(in, size, [n](char *b, size_t s) { return num_scaleDigits(b, n, s); });
}
Edit shift(const char *in, int n, size_t size = 64) {
    return edit(in, size, [n](char *b, size_t s) { return num_shiftPoint(b, n, s) ? 0 : -1; });
}
std::string trimZeros(const char *in, int expectRemoved) {
    char buf[64];
    std::strcpy(buf, in);
    EXPECT_EQ(expectRemoved, num_trimZeros(buf)) << in;
    return buf;
}
std::string dropPoint(const char *in) {
    char buf[64];
    std::strcpy(buf, in);
    char *end = num_dropPoint(buf);
    EXPECT_EQ(buf + std::strlen(buf), end);
    return buf;
}

#define EXPECT_EDIT(text_, result_, call)      \
    do {                                       \
        Edit e_ = call;                        \
        EXPECT_EQ(text_, e_.text) << #call;     \
        EXPECT_EQ(result_, e_.result) << #call; \
    } while (0)

TEST(NumText, EditsOfTheTextInPlace) {
    EXPECT_EDIT("1'234'567.89", 2, group("1234567.89"));
    EXPECT_EDIT("1'234'567.89", 1, group(" 1234567.89"));
    EXPECT_EDIT("-1'234'567", 2, group("-1234567"));
    EXPECT_EDIT("123", 0, group("123"));
    EXPECT_EDIT("1'234.5678", 1, group("1234.5678"));
    EXPECT_EDIT("1234567", kNumNoRoom, group("1234567", 9));  // needs 10 bytes
    EXPECT_EDIT("1'234'567", 2, group("1234567", 10));

    EXPECT_EQ("1.5", trimZeros("1.500", 2));
    EXPECT_EQ("2.", trimZeros("2.000", 3));
    EXPECT_EQ("1.5 kg", trimZeros("1.50 kg", 1));
    EXPECT_EQ("10", trimZeros("10", 0));
    EXPECT_EQ("100.", trimZeros("100.", 0));

    EXPECT_EDIT("12.34", 1, insertPoint("1234", 2));
    EXPECT_EDIT(".05", 2, insertPoint("5", 2));
    EXPECT_EDIT("-.05", 2, insertPoint("-5", 2));
    EXPECT_EDIT("   12.34", 0, insertPoint("    1234", 2));
    EXPECT_EDIT(".05", 0, insertPoint("  5", 2));
    EXPECT_EDIT("1234", 0, insertPoint("1234", 0));
    EXPECT_EDIT("1234", kNumNoRoom, insertPoint("1234", 2, 5));

    EXPECT_EDIT("1234", 0, shift("12.345", 2));
    EXPECT_EDIT("1200", 0, shift("12", 2));
    EXPECT_EDIT("-05", 0, shift("-0.5", 1));
    EXPECT_EDIT("+1234", 0, shift("+12.34 kg", 2));
    EXPECT_EDIT("12", 0, shift("12.99", 0));
    EXPECT_EDIT("00", 0, shift("abc", 2));
    EXPECT_EDIT("12", -1, shift("12", 3, 5));  // refused, not cut short
    EXPECT_EDIT("12000", 0, shift("12", 3, 6));

    EXPECT_EDIT("12.34", 0, scale("1234", 2));
    EXPECT_EDIT("0.05", 0, scale("5", 2));
    EXPECT_EDIT("0.00", 0, scale("", 2));
    EXPECT_EDIT("-0.0005", 0, scale("-5", 4));
    EXPECT_EDIT("123", 0, scale("1234", -1));
    EXPECT_EDIT("-0", 0, scale("-12", -2));
    EXPECT_EDIT("  1.5", 0, scale("  15", 1));
    EXPECT_EDIT("1234", 0, scale("1234", 0));
    EXPECT_EDIT("5", kNumNoRoom, scale("5", 2, 4));

    EXPECT_EQ("1234", dropPoint("12.34"));
    EXPECT_EQ("-5", dropPoint("-0.05"));
    EXPECT_EQ("", dropPoint("0.00"));
    EXPECT_EQ("1000", dropPoint("10.00"));
}

std::string moneyText(int64_t units, int width, int n, int leftAlign = 0, size_t size = 64) {
    char buf[160];
    std::memset(buf, '#', sizeof buf);
    FMoney v = FMoney::fromUnits(int64(static_cast<long long>(units)));
    int len = num_moneyToText(v, buf, size, width, n, leftAlign);
    EXPECT_EQ('#', buf[size]);
    EXPECT_EQ(len, static_cast<int>(std::max<size_t>(std::strlen(buf), leftAlign ? width : 0))) << buf;
    return buf;
}

int64_t moneyFrom(const char *text, int n) {
    DBBaseFMoney m;
    return num_textToFMoney(m, text, n).m_DBValue;
}

TEST(NumText, MoneyTextWithImpliedDecimals) {
    EXPECT_EQ("12.34", moneyText(123400, 0, 2));
    EXPECT_EQ("1234", moneyText(123400, 0, 0));
    EXPECT_EQ("0.1234", moneyText(123400, 0, 4));
    EXPECT_EQ("123", moneyText(123400, 0, -1));
    EXPECT_EQ("", moneyText(0, 0, 0));
    EXPECT_EQ("      ", moneyText(0, 6, 0));
    EXPECT_EQ("   12.35", moneyText(123450, 8, 2));  // rounded half away from zero
    EXPECT_EQ("-12.35", moneyText(-123450, 0, 2));
    EXPECT_EQ("12.34", moneyText(123400, 8, 2, 1));
    EXPECT_EQ("****", moneyText(123400, 4, 2, 0, 5));   // does not fit: stars to the width
    EXPECT_EQ("****", moneyText(123400, 0, 2, 0, 5));   // without a width: the buffer
    EXPECT_EQ("0." + std::string(96, '0') + "1234", moneyText(123400, 0, 105, 0, 128));

    EXPECT_EQ(70000, moneyFrom("  7", 2));
    EXPECT_EQ(123400, moneyFrom("12.345", 2));
    EXPECT_EQ(123400, moneyFrom("1234", 0));
    EXPECT_EQ(123400, moneyFrom("1.2345", 3));
    EXPECT_EQ(123400, moneyFrom("1.2345", -3));
    EXPECT_EQ(-500, moneyFrom("-0.5", 1));
    EXPECT_EQ(0, moneyFrom("", 2));
    EXPECT_EQ(0, moneyFrom("0", 1000));
    EXPECT_THROW(moneyFrom("1", 1000), FDecimal_Exception);
    EXPECT_THROW(moneyFrom("9223372036854775808", 0), FDecimal_Exception);
    DBBaseFMoney m;
    EXPECT_EQ(922337203685477LL * 10000 + 5800, num_textToMoney64(m, "922337203685477.58", 2).m_DBValue);
}

TEST(NumText, FixedDecimalText) {
    char buf[32];
    FDecimal v = FDecimal::fromUnits(int64(123456));
    EXPECT_EQ(10, num_fdecimalToText(v, buf, sizeof buf, 10, 2, 0));
    EXPECT_STREQ("     12.35", buf);
    EXPECT_EQ(7, num_fdecimalToText(v, buf, sizeof buf, 0, 9, 0));
    EXPECT_STREQ("12.3456", buf);
    EXPECT_EQ(2, num_fdecimalToText(v, buf, sizeof buf, 0, -3, 0));
    EXPECT_STREQ("12", buf);
    EXPECT_EQ(10, num_fdecimalToText(v, buf, sizeof buf, 10, 1, 1));
    EXPECT_STREQ("12.3", buf);
    DBBaseFDecimal d;
    EXPECT_EQ(-20001, num_textToFDecimal(d, "   -2.00005").m_DBValue);
    std::string longText = std::string(70, ' ') + "123456789012345";  // cut at 79 characters
    EXPECT_EQ(123456789LL * 10000, num_textToFDecimal(d, longText.c_str()).m_DBValue);
}

std::string decimalText(const char *value, int width, int decimals, int leftAlign = 0) {
    char buf[128];
    Numeric96 d = Numeric96_fromText(value);
    int len = num_decimalToText(d, buf, sizeof buf, width, decimals, leftAlign);
    EXPECT_EQ(len, static_cast<int>(std::max<size_t>(std::strlen(buf), width))) << buf;
    return buf;
}

struct NumTextDecimal : ::testing::Test {
    void TearDown() override { Numeric96_installDefaultHandlers(); }
};

int quiet(const Numeric96InexactErr &e) { return e.op(); }

TEST_F(NumTextDecimal, DecimalTextHasExactlyTheGivenDecimals) {
    Numeric96_setInexactHandler(quiet);
    EXPECT_EQ("1.500", decimalText("1.5", 0, 3));
    EXPECT_EQ("2", decimalText("1.5", 0, 0));
    EXPECT_EQ("-0.05", decimalText("-0.05", 0, 2));
    EXPECT_EQ("  -0.1", decimalText("-0.05", 6, 1));
    EXPECT_EQ("0.05", decimalText("0.05", 0, 2));
    EXPECT_EQ("1234.560000000000", decimalText("1234.56", 0, 12));
    EXPECT_EQ("0.0000000000000000000000000001", decimalText("0.00000000000000000000000000005", 0, 40));
    EXPECT_EQ("   0.00", decimalText("abc", 7, 2));
    EXPECT_EQ("0", decimalText("(null)", 0, 0));
    EXPECT_EQ("5", decimalText("5", 0, -4));
    EXPECT_EQ("5", decimalText("5", 6, 0, 1));
    char small[6];
    EXPECT_EQ(5, num_decimalToText(Numeric96_fromText("123.456"), small, sizeof small, 0, 2, 0));
    EXPECT_STREQ("*****", small);

    Numeric96 d = Numeric96_fromText("1");
    num_textToDecimal(&d, " 12.75 more");
    EXPECT_EQ("12.75", Numeric96_toStdString(d));
    num_textToDecimal(&d, "junk");
    EXPECT_EQ(NmDecimal_null, d.state);
    num_textToDecimal(nullptr, "1");
    EXPECT_EQ("3.5", Numeric96_toStdString(num_textToDecimalDirect(d, "3.5")));
    EXPECT_EQ(NmDecimal_NaN, num_textToDecimalDirect(d, "3.5 more").state);
}

TEST_F(NumTextDecimal, ReaderErrorsReachTheCaller) {
    Numeric96 d;
    EXPECT_THROW(num_textToDecimal(&d, "123456789012345678901234567890"), Numeric96OverflowErr);
}

std::string hex(const unsigned char *image) {
    char out[32];
    std::snprintf(out, sizeof out, "%02X%02X %02X%02X%02X%02X%02X%02X%02X%02X", image[9], image[8], image[7],
                  image[6], image[5], image[4], image[3], image[2], image[1], image[0]);
    return out;
}

TEST(NumText, ExtendedImageOfDoubles) {
    unsigned char image[kExt10Size];
    num_doubleToExt10(1.0, image);
    EXPECT_EQ("3FFF 8000000000000000", hex(image));
    EXPECT_EQ(1.0, num_ext10ToDouble(image));
    num_doubleToExt10(-2.0, image);
    EXPECT_EQ("C000 8000000000000000", hex(image));
    num_doubleToExt10(0.0, image);
    EXPECT_EQ("0000 0000000000000000", hex(image));
    EXPECT_EQ(0.0, num_ext10ToDouble(image));

    // The x87 80-bit format is the reference where the compiler has it.
    std::mt19937_64 rng(10);
    for (int i = 0; i < 20000; ++i) {
        uint64_t bits = rng();
        if (i % 4 == 0) bits &= 0x800FFFFFFFFFFFFFull;  // subnormals
        double x;
        std::memcpy(&x, &bits, sizeof x);
        if (std::isnan(x)) continue;
        num_doubleToExt10(x, image);
        ASSERT_EQ(x, num_ext10ToDouble(image)) << bits;
#if LDBL_MANT_DIG == 64
        if (x != 0) {
            long double ld = x;
            unsigned char ref[16] = {};
            std::memcpy(ref, &ld, kExt10Size);
            ASSERT_EQ(hex(ref), hex(image)) << x;
        }
#endif
    }
    num_doubleToExt10(std::numeric_limits<double>::infinity(), image);
    EXPECT_EQ("7FFF 8000000000000000", hex(image));
    EXPECT_EQ(std::numeric_limits<double>::infinity(), num_ext10ToDouble(image));
    num_doubleToExt10(std::numeric_limits<double>::quiet_NaN(), image);
    EXPECT_TRUE(std::isnan(num_ext10ToDouble(image)));
}

TEST(NumText, ExtendedImagesBeyondTheDoubleRangeSaturate) {
    auto image = [](uint16_t word, uint64_t mantissa) {
        std::string s(kExt10Size, '\0');
        for (int i = 0; i < 8; ++i) s[i] = static_cast<char>(mantissa >> (8 * i));
        s[8] = static_cast<char>(word);
        s[9] = static_cast<char>(word >> 8);
        return s;
    };
    auto value = [](const std::string &s) {
        return num_ext10ToDouble(reinterpret_cast<const unsigned char *>(s.data()));
    };
    const uint64_t one = uint64_t(1) << 63;
    EXPECT_EQ(std::numeric_limits<double>::infinity(), value(image(0x4400, one)));
    EXPECT_EQ(-std::numeric_limits<double>::infinity(), value(image(0xC400, one)));
    EXPECT_EQ(0.0, value(image(0x3000, one)));
    EXPECT_EQ(DBL_MAX, value(image(0x43FE, ~uint64_t(0))));  // the dropped bits do not round up
    EXPECT_EQ(std::numeric_limits<double>::denorm_min(), value(image(0x3BCD, one)));
    EXPECT_EQ(DBL_MIN / 2, value(image(0x3C00, one)));
    EXPECT_EQ(1.0, value(image(0x4000, one >> 1)));  // unnormal: normalised first
    EXPECT_EQ(0.0, value(image(0x0000, 0)));
    EXPECT_EQ(0.0, value(image(0x8000, 0)));
    EXPECT_TRUE(std::isnan(value(image(0x7FFF, one | 1))));
}

}  // namespace
