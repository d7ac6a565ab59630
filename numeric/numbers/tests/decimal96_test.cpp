// Numeric96: parse, rescale and round against golden data made with
// Python's decimal module, and the edges of text and state handling.
//
// The golden file is numeric/numbers/tests/golden/decimal96.txt; to make it again:
//     python3 numeric/numbers/tests/golden/decimal96_golden.py > numeric/numbers/tests/golden/decimal96.txt
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "decerrors.h"
#include "decimal96.h"

namespace {

int g_inexact = 0, g_overflow = 0;
int countInexact(const Numeric96InexactErr &e) { return ++g_inexact, e.op(); }
void countOverflow(const Numeric96Err &) { ++g_overflow; }

// Handlers that count and let every operation go on.
struct Decimal96 : ::testing::Test {
    void SetUp() override {
        g_inexact = g_overflow = 0;
        Numeric96_setInexactHandler(countInexact);
        Numeric96_setOverflowHandler(countOverflow);
    }
    void TearDown() override { Numeric96_installDefaultHandlers(); }

    std::string reports() {
        std::string r = g_overflow ? "O" : g_inexact ? "I" : "-";
        g_inexact = g_overflow = 0;
        return r;
    }
};

std::vector<std::string> split(const std::string &line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string f; std::getline(in, f, '\t');) fields.push_back(f);
    return fields;
}

std::string text(const Numeric96 &v) { return Numeric96_toStdString(v); }

TEST_F(Decimal96, ParseRescaleAndRoundMatchTheGoldenData) {
    const char *src = std::getenv("QV_SOURCE_DIR");
    ASSERT_NE(nullptr, src);
    std::ifstream golden(std::string(src) + "/numeric/numbers/tests/golden/decimal96.txt");
    ASSERT_TRUE(golden.good());
    int lines = 0;
    for (std::string line; std::getline(golden, line); ++lines) {
        auto f = split(line);
        ASSERT_EQ(10u, f.size()) << line;
        SCOPED_TRACE(line);
        reports();
        Numeric96 parsed = Numeric96_fromText(f[0].c_str());
        ASSERT_EQ(f[1], text(parsed));
        ASSERT_EQ(f[2], reports());
        Numeric96 stored;
        stored.assignRescaled(parsed);
        ASSERT_EQ(f[3], text(stored));
        ASSERT_EQ(f[4], reports());
        EXPECT_EQ(0, stored.reserved);
        int places = std::atoi(f[5].c_str());
        for (int mode = 0; mode < 4; ++mode)
            ASSERT_EQ(f[6 + mode], text(Numeric96_round(parsed, places, mode, NmRound_threshold))) << "mode " << mode;
    }
    EXPECT_GT(lines, 4000);
}

TEST_F(Decimal96, TextGivesNullNaNOrTheNumberWithItsDecimals) {
    const struct {
        const char *in;
        int state;
        const char *out;
    } cases[] = {
        {"", NmDecimal_null, "(null)"},         {"   ", NmDecimal_NaN, "(NaN)"},
        {"12.5x", NmDecimal_NaN, "(NaN)"},      {"12 5", NmDecimal_NaN, "(NaN)"},
        {"  12.50 \t", NmDecimal_normal, "12.50"}, {"(null)", NmDecimal_null, "(null)"},
        {" (missing) ", NmDecimal_missing, "(missing)"}, {"(NaN)", NmDecimal_NaN, "(NaN)"},
    };
    for (const auto &c : cases) {
        Numeric96 v = Numeric96_fromText(c.in);
        EXPECT_EQ(c.state, v.state) << c.in;
        EXPECT_EQ(c.out, text(v)) << c.in;
    }
    EXPECT_EQ(NmDecimal_null, Numeric96_fromText(nullptr).state);
    EXPECT_EQ("-", reports());
}

TEST_F(Decimal96, StreamReaderLeavesNullAndABadStreamOnFailure) {
    std::istringstream in("  7.25 next");
    Numeric96 v = Numeric96_fromText("1");
    Numeric96_read(in, v);
    EXPECT_EQ("7.25", text(v));
    std::string rest;
    EXPECT_EQ("next", (in >> rest, rest));
    std::istringstream bad("x");
    v = Numeric96_fromText("1");
    Numeric96_read(bad, v);
    EXPECT_TRUE(bad.bad());
    EXPECT_EQ(NmDecimal_null, v.state);
    std::istringstream last("42");
    Numeric96_read(last, v);
    EXPECT_EQ("42", text(v));
    EXPECT_TRUE(last.eof());
    EXPECT_FALSE(last.fail());
}

TEST_F(Decimal96, NullValuesHaveEveryByteDefined) {
    Numeric96 v;
    const unsigned char *b = reinterpret_cast<const unsigned char *>(&v);
    unsigned char expect[16] = {0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(expect[i], b[i]) << i;
    Numeric96 r = convertDecimal(v, 12, 0, 4);
    EXPECT_EQ(NmDecimal_null, r.state);
    EXPECT_EQ(12, r.decimals);
    EXPECT_EQ(MPInt96_zero, r.mantissa());
}

// Dropped digits and the rounding modes are checked by the golden data.
TEST_F(Decimal96, RescaleClearsTheReservedWordStatesStayAndOverflowInRoundingIsNaN) {
    Numeric96 s;
    s.reserved = 9;
    s.assignRescaled(Numeric96_fromText("1.5"));
    EXPECT_EQ(1500000000000u, (uint64_t(s.middle) << 32) | s.low);
    EXPECT_EQ(0, s.reserved);
    s.assignRescaled(Numeric96_fromText("abc"));  // text that is no number stays no number
    EXPECT_EQ(NmDecimal_NaN, s.state);
    s.assignRescaled(Numeric96_fromText("(missing)"));
    EXPECT_EQ(NmDecimal_missing, s.state);
    EXPECT_EQ("-", reports());
    Numeric96 big = Numeric96_fromText("39614081257132168796771975167");
    EXPECT_EQ("(NaN)", text(Numeric96_round(big, -1, NmRound_plain, 4)));
    EXPECT_EQ(NmDecimal_missing, Numeric96_round(Numeric96_fromText("(missing)"), 0, 0, 4).state);
}

TEST_F(Decimal96, TextOfLargeAndNegativeDecimalCounts) {
    Numeric96 v = Numeric96_fromText("5");
    v.decimals = -3;
    EXPECT_EQ("5000", text(v));
    v.decimals = 300;
    std::string t = text(v);
    EXPECT_EQ(302u, t.size());
    EXPECT_EQ("0.00", t.substr(0, 4));
    EXPECT_EQ('5', t.back());
    char small[4];
    EXPECT_EQ(-1, NmDecimal_toChars(Numeric96_toWork(v), small, sizeof small));
    v.decimals = 0;
    EXPECT_EQ(1, NmDecimal_toChars(Numeric96_toWork(v), small, 2));
    EXPECT_STREQ("5", small);
}

}  // namespace
