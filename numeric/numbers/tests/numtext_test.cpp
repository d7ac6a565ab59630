// Number text: in-place edits, money, fixed and 16-byte decimals to text
// and back, and the 10-byte extended image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "decerrors.h"
#include "numtext.h"

namespace {

enum Op { Group, Trim, Point, Shift, Scale, Drop };

struct EditCase {
    Op op;
    const char *in;
    int n;
    size_t size;
    const char *want;
    int result;  // Drop: 0 when the end returned is the text's end
};

void checkEdit(const EditCase &c) {
    char buf[256];
    std::memset(buf, '#', sizeof buf);
    std::strcpy(buf, c.in);
    int r = 0;
    switch (c.op) {
    case Group: r = num_groupThousands(buf, c.size); break;
    case Trim: r = num_trimZeros(buf); break;
    case Point: r = num_insertPoint(buf, c.n, c.size); break;
    case Shift: r = num_shiftPoint(buf, c.n, c.size) ? 0 : -1; break;
    case Scale: r = num_scaleDigits(buf, c.n, c.size); break;
    case Drop: r = num_dropPoint(buf) == buf + std::strlen(buf) ? 0 : 1; break;
    }
    EXPECT_EQ(c.want, std::string(buf)) << c.op << " " << c.in;
    EXPECT_EQ(c.result, r) << c.op << " " << c.in;
    for (size_t i = std::max(c.size, std::strlen(c.in) + 1); i < sizeof buf; ++i)
        if (buf[i] != '#') ADD_FAILURE() << "written past the buffer: " << c.in;
}

TEST(NumText, EditsOfTheTextInPlaceStayInTheirBuffer) {
    const EditCase cases[] = {
        {Group, "1234567.89", 0, 64, "1'234'567.89", 2}, {Group, " 1234567.89", 0, 64, "1'234'567.89", 1},
        {Group, "-1234567", 0, 64, "-1'234'567", 2},     {Group, "123", 0, 64, "123", 0},
        {Group, "1234.5678", 0, 64, "1'234.5678", 1},    {Group, "1234567", 0, 9, "1234567", kNumNoRoom},
        {Group, "1234567", 0, 10, "1'234'567", 2},       {Trim, "1.500", 0, 0, "1.5", 2},
        {Trim, "2.000", 0, 0, "2.", 3},                  {Trim, "1.50 kg", 0, 0, "1.5 kg", 1},
        {Trim, "100.", 0, 0, "100.", 0},                 {Point, "1234", 2, 64, "12.34", 1},
        {Point, "5", 2, 64, ".05", 2},                   {Point, "-5", 2, 64, "-.05", 2},
        {Point, "    1234", 2, 64, "   12.34", 0},       {Point, "  5", 2, 64, ".05", 0},         {Point, "  5", 2, 4, ".05", 0},
        {Point, " 1234", 2, 6, "12.34", 0},
        {Point, "1234", 0, 64, "1234", 0},               {Point, "1234", 2, 5, "1234", kNumNoRoom},
        {Shift, "12.345", 2, 64, "1234", 0},             {Shift, "12", 2, 64, "1200", 0},
        {Shift, "-0.5", 1, 64, "-05", 0},                {Shift, "+12.34 kg", 2, 64, "+1234", 0},
        {Shift, "12.99", 0, 64, "12", 0},                {Shift, "abc", 2, 64, "00", 0},
        {Shift, "12", 3, 5, "12", -1},  /* refused, not cut short */ {Shift, "12", 3, 6, "12000", 0},
        {Scale, "1234", 2, 64, "12.34", 0},              {Scale, "5", 2, 64, "0.05", 0},
        {Scale, "", 2, 64, "0.00", 0},                   {Scale, "-5", 4, 64, "-0.0005", 0},
        {Scale, "1234", -1, 64, "123", 0},               {Scale, "-12", -2, 64, "-0", 0},
        {Scale, "  15", 1, 64, "  1.5", 0},              {Scale, "1234", 0, 64, "1234", 0},
        {Scale, "5", 2, 4, "5", kNumNoRoom},             {Drop, "12.34", 0, 0, "1234", 0},
        {Drop, "-0.05", 0, 0, "-5", 0},                  {Drop, "0.00", 0, 0, "", 0},
        {Drop, "10.00", 0, 0, "1000", 0},
    };
    for (const EditCase &c : cases) checkEdit(c);
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
    const struct {
        int64_t units;
        int width, n, leftAlign;
        size_t size;
        std::string want;
    } toText[] = {
        {123400, 0, 2, 0, 64, "12.34"}, {123400, 0, 0, 0, 64, "1234"}, {123400, 0, 4, 0, 64, "0.1234"},
        {123400, 0, -1, 0, 64, "123"}, {0, 0, 0, 0, 64, ""}, {0, 6, 0, 0, 64, "      "},
        {123450, 8, 2, 0, 64, "   12.35"},  // rounded half away from zero
        {-123450, 0, 2, 0, 64, "-12.35"}, {123400, 8, 2, 1, 64, "12.34"},
        {123400, 4, 2, 0, 5, "****"},  // does not fit: stars to the width
        {123400, 0, 2, 0, 5, "****"},  // without a width: the buffer
        // Every implied decimal asked for, or stars when they do not fit.
        {123400, 0, 105, 0, 128, "0." + std::string(101, '0') + "1234"},
        {123400, 0, 126, 0, 128, std::string(127, '*')}, {123400, 0, INT_MAX, 0, 128, std::string(127, '*')},
        {123400, 0, INT_MIN, 0, 128, "0"},
    };
    for (const auto &c : toText) EXPECT_EQ(c.want, moneyText(c.units, c.width, c.n, c.leftAlign, c.size));
    const struct {
        const char *text;
        int n;
        int64_t want;
    } fromText[] = {{"  7", 2, 70000},      {"12.345", 2, 123400}, {"1234", 0, 123400}, {"1.2345", 3, 123400},
                    {"1.2345", -3, 123400}, {"-0.5", 1, -500},     {"", 2, 0},          {"0", 1000, 0}};
    for (const auto &c : fromText) EXPECT_EQ(c.want, moneyFrom(c.text, c.n)) << c.text;
    EXPECT_THROW(moneyFrom("1", 1000), FDecimal_Exception);
    EXPECT_THROW(moneyFrom("9223372036854775808", 0), FDecimal_Exception);
    DBBaseFMoney m;
    EXPECT_EQ(922337203685477LL * 10000 + 5800, num_textToMoney64(m, "922337203685477.58", 2).m_DBValue);
}

TEST(NumText, FixedDecimalText) {
    const struct {
        int width, decimals, leftAlign, length;
        const char *want;
    } cases[] = {{10, 2, 0, 10, "     12.35"}, {0, 9, 0, 7, "12.3456"}, {0, -3, 0, 2, "12"}, {10, 1, 1, 10, "12.3"}};
    char buf[32];
    for (const auto &c : cases) {
        EXPECT_EQ(c.length, num_fdecimalToText(FDecimal::fromUnits(int64(123456)), buf, sizeof buf, c.width,
                                               c.decimals, c.leftAlign));
        EXPECT_STREQ(c.want, buf);
    }
    DBBaseFDecimal d;
    EXPECT_EQ(-20001, num_textToFDecimal(d, "   -2.00005").m_DBValue);
    std::string longText = std::string(70, ' ') + "123456789012345";  // cut at 79 characters
    EXPECT_EQ(123456789LL * 10000, num_textToFDecimal(d, longText.c_str()).m_DBValue);
}

std::string decimalText(const char *value, int width, int decimals, int leftAlign = 0) {
    char buf[160];
    std::memset(buf, '#', sizeof buf);
    Numeric96 d = Numeric96_fromText(value);
    int len = num_decimalToText(d, buf, 128, width, decimals, leftAlign);
    EXPECT_EQ('#', buf[128]);
    EXPECT_EQ(len, static_cast<int>(std::max<size_t>(std::strlen(buf), width))) << buf;
    return buf;
}

struct NumTextDecimal : ::testing::Test {
    void TearDown() override { Numeric96_installDefaultHandlers(); }
};

int quiet(const Numeric96InexactErr &e) { return e.op(); }

TEST_F(NumTextDecimal, DecimalTextHasExactlyTheGivenDecimals) {
    Numeric96_setInexactHandler(quiet);
    const struct {
        const char *value;
        int width, decimals, leftAlign;
        std::string want;
    } cases[] = {
        {"1.5", 0, 3, 0, "1.500"},          {"1.5", 0, 0, 0, "2"},   {"-0.05", 0, 2, 0, "-0.05"},
        {"-0.05", 6, 1, 0, "  -0.1"},       {"0.05", 0, 2, 0, "0.05"}, {"1234.56", 0, 12, 0, "1234.560000000000"},
        {"abc", 7, 2, 0, "   0.00"},        {"(null)", 0, 0, 0, "0"}, {"5", 0, -4, 0, "5"}, {"5", 6, 0, 1, "5"},
        // Past the decimal's own places the digits asked for are zeros.
        {"0.00000000000000000000000000005", 0, 40, 0, "0.00000000000000000000000000005" + std::string(11, '0')},
        {"0.00000000000000000000000000005", 0, 28, 0, "0.0000000000000000000000000001"},
        {"-1.5", 0, 124, 0, "-1.5" + std::string(123, '0')}, {"abc", 0, 50, 0, "0." + std::string(50, '0')},
        {"-1.5", 0, 125, 0, std::string(127, '*')},          {"1", 0, INT_MAX, 0, std::string(127, '*')},
    };
    for (const auto &c : cases) EXPECT_EQ(c.want, decimalText(c.value, c.width, c.decimals, c.leftAlign)) << c.value;
    char small[6];
    EXPECT_EQ(5, num_decimalToText(Numeric96_fromText("123.456"), small, sizeof small, 0, 2, 0));
    EXPECT_STREQ("*****", small);

    Numeric96 d = Numeric96_fromText("1");
    num_textToDecimal(&d, " 12.75 more");
    EXPECT_EQ("12.75", Numeric96_toStdString(d));
    num_textToDecimal(&d, "junk");
    EXPECT_EQ(NmDecimal_null, d.state);
    num_textToDecimal(nullptr, "1");
    EXPECT_EQ("3.500000000000", Numeric96_toStdString(num_textToDecimalDirect(d, "3.5")));
    EXPECT_EQ(NmDecimal_NaN, num_textToDecimalDirect(d, "3.5 more").state);
    EXPECT_EQ(12, d.decimals);
    // Reader errors reach the caller.
    EXPECT_THROW(num_textToDecimal(&d, "123456789012345678901234567890"), Numeric96OverflowErr);
}

int g_inexact = 0, g_overflow = 0;
int countInexact(const Numeric96InexactErr &e) { return ++g_inexact, e.op(); }
void countOverflow(const Numeric96Err &) { ++g_overflow; }

// A type-25 field value from text carries 12 decimals: its 16 bytes are the
// stored scale's, and the rescale reports what it drops or cannot hold.
TEST(NumText, DecimalFieldValueFromTextHasTwelveDecimals) {
    Numeric96_setInexactHandler(countInexact);
    Numeric96_setOverflowHandler(countOverflow);
    const struct {
        const char *text;
        const char *want;
        int inexact, overflow;
    } cases[] = {
        {"1.5", "1.500000000000", 0, 0},
        {"-0.00000000000049", "0.000000000000", 1, 0},
        {"2.0000000000005", "2.000000000001", 1, 0},
        {"7.12345678901200", "7.123456789012", 1, 0},
        {"-9999999999999999", "-9999999999999999.000000000000", 0, 0},
        {"99999999999999999", "", 0, 1},
    };
    for (const auto &c : cases) {
        g_inexact = g_overflow = 0;
        Numeric96 d;
        num_textToDecimalDirect(d, c.text);
        EXPECT_EQ(c.inexact, g_inexact) << c.text;
        EXPECT_EQ(c.overflow, g_overflow) << c.text;
        EXPECT_EQ(NmDecimal_normal, d.state) << c.text;
        EXPECT_EQ(12, d.decimals) << c.text;
        EXPECT_EQ(0, d.reserved) << c.text;
        if (*c.want) EXPECT_EQ(c.want, Numeric96_toStdString(d)) << c.text;
    }
    Numeric96 d;
    num_textToDecimalDirect(d, "1.5");
    EXPECT_EQ(0, d.mantissa().high);
    EXPECT_EQ(349u, d.mantissa().middle);
    EXPECT_EQ(0x3EF79800u, d.mantissa().low);
    // Empty text is no value; text that is no number stays one.
    EXPECT_EQ(NmDecimal_null, num_textToDecimalDirect(d, "").state);
    EXPECT_EQ(12, d.decimals);
    Numeric96_installDefaultHandlers();
}

std::string hex(const unsigned char *image) {
    char out[32];
    std::snprintf(out, sizeof out, "%02X%02X %02X%02X%02X%02X%02X%02X%02X%02X", image[9], image[8], image[7],
                  image[6], image[5], image[4], image[3], image[2], image[1], image[0]);
    return out;
}

TEST(NumText, ExtendedImageOfDoubles) {
    unsigned char image[kExt10Size];
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
