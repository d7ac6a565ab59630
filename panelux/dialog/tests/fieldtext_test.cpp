#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "fieldtext.h"
#include "dates.h"
#include "fixed.h"

namespace {

struct Shown {
    std::string text;
    int size;
};

Shown show(const void *value, int width, int decimals, int type, bool forEdit, uint32_t options = 0) {
    int size = -1;
    PxTextPtr t(px_valueToText(value, width, decimals, type, &size, forEdit, options));
    EXPECT_TRUE(t);
    return {t ? t.get() : "", size};
}

TEST(FieldText, ValuesShowByType) {
    int16_t i16 = -42;
    int32_t i32 = 12345;
    uint8_t byte = 200;
    bdate date{5, 3, 2024};
    btime time{0, 7, 30, 9};
    DBBaseFMoney money("1234567.89");
    char ch = 'Z';
    const char *text = "  42";
    struct Case {
        const char *what;
        const void *value;
        int width, decimals, type;
        bool forEdit;
        uint32_t options;
        const char *text;
        int size;
    } cases[] = {
        {"int32 with decimals", &i32, 8, 2, PXV_INT32, false, 0, "  123.45", 9},
        {"int32 for edit", &i32, 8, 2, PXV_INT32, true, 0, "123.45", 9},
        {"int16", &i16, 5, 0, PXV_INT16, false, 0, "  -42", 6},
        {"byte variant-free", &byte, 3, 0, PXV_BYTE, false, 0, "200", 4},
        {"date", &date, 10, 0, PXV_DATE, false, 0, "05.03.2024", 11},
        {"time", &time, 8, 0, PXV_TIME, false, 0, "09:30:07", 9},
        {"short time", &time, 5, 0, PXV_SHORTTIME, false, 0, "09:30", 6},
        {"char", &ch, 1, 0, PXV_CHAR, false, 0, "Z", 2},
        {"grouped money", &money, 14, 2, PXV_MONEYG, false, 0, "  1'234'567.89", 15},
        {"grouped money for edit", &money, 14, 2, PXV_MONEYG, true, 0, "1234567.89", 15},
        {"money", &money, 0, 2, PXV_MONEY, false, 0, "1234567.89", 11},
        {"string keeps its buffer length", text, 10, 10, PXV_STRING, false, 0, "  42", 10},
        {"right-justified for edit", text, 10, 6, PXV_RJSTRING, true, 0, "42", 6},
        {"long text", "0123456789abcdef", 4, 2, PXV_STRING, false, 0, "0123456789abcdef", 17},
        {"type 24 is empty", text, 10, 10, PXV_TEXT, false, 0, "", 1},
        {"unknown type is empty", text, 10, 10, 77, false, 0, "", 1},
    };
    for (const Case &c : cases) {
        Shown s = show(c.value, c.width, c.decimals, c.type, c.forEdit, c.options);
        EXPECT_EQ(s.text, c.text) << c.what;
        EXPECT_EQ(s.size, c.size) << c.what;
    }
}

TEST(FieldText, EveryTypeRoundTripsThroughText) {
    struct Case {
        int type;
        int decimals;
        const char *text;
        const char *back;  // the edit text read back, when it differs
    } cases[] = {
        {PXV_INT16, 0, "-123", nullptr}, {PXV_INT16 | kPxVariant, 2, "3.25", nullptr},
        {PXV_INT32, 2, "123.45", nullptr}, {PXV_INT32, 0, "-2000000000", nullptr},
        {PXV_FLOAT, 2, "1.50", nullptr}, {PXV_DOUBLEG, 3, "2.5", nullptr},
        {PXV_MONEY, 2, "-1234.56", nullptr}, {PXV_MONEY64, 2, "99.01", nullptr},
        {PXV_MONEYG, 2, "1234567.89", nullptr}, {PXV_MONEY2, 4, "12.3456", nullptr},
        {PXV_DATE, 0, "29.02.2024", nullptr}, {PXV_TIME, 0, "23:59:58", nullptr},
        {PXV_SHORTTIME, 0, "07:05", nullptr}, {PXV_CHAR, 0, "x", nullptr}, {PXV_BYTE, 0, "255", nullptr},
        {PXV_STRING, 12, "some words", nullptr}, {PXV_STRING, 5, "cut after four", "cut"}, {PXV_MASKSTR, 4, "abc ", "abc"},
        {PXV_RJSTRING, 6, "42", nullptr}, {PXV_DECIMAL, 4, "-12345.6789", nullptr},
#ifdef _WIN32
        {PXV_DOUBLE, 2, "3.14", nullptr}, {PXV_LDOUBLE, 3, "-2.718", nullptr},
        {PXV_DINT, 2, "10.25", nullptr}, {PXV_LDINTG, 2, "7.50", nullptr},
#endif
    };
    for (const Case &c : cases) {
        unsigned char value[64] = {};
        int length = px_isTextType(c.type) ? c.decimals : static_cast<int>(sizeof value);
        ASSERT_TRUE(px_textToValue(c.text, value, length, c.type, c.decimals)) << c.type;
        Shown s = show(value, 0, c.decimals, c.type, true);
        std::string trimmed = s.text.substr(0, s.text.find_last_not_of(' ') + 1);
        EXPECT_EQ(trimmed, c.back ? c.back : c.text) << c.type;
    }
}

#ifdef _WIN32
TEST(FieldText, NumbersKeepThePointUnderTheUsersLocale) {
    ASSERT_NE(std::setlocale(LC_NUMERIC, "Russian_Russia.1251"), nullptr);
    float f = 1.5f;
    EXPECT_EQ(show(&f, 0, 2, PXV_FLOAT, true).text, "1.50");
    double d = 0;
    ASSERT_TRUE(px_textToValue("2.25", &d, sizeof d, PXV_DOUBLEG, 2));
    EXPECT_EQ(d, 2.25);
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "Russian_Russia.1251");
    std::setlocale(LC_NUMERIC, "C");
}
#endif

TEST(FieldText, TextToValueStaysInsideItsBuffer) {
    unsigned char small[2] = {0x11, 0x22};
    EXPECT_FALSE(px_textToValue("12", small, sizeof small, PXV_INT32, 0));
    EXPECT_EQ(small[0], 0x11);
    char rj[6];
    ASSERT_TRUE(px_textToValue("1234567", rj, sizeof rj, PXV_RJSTRING, 0));
    EXPECT_STREQ(rj, "34567");
    unsigned char money[8] = {};
    EXPECT_FALSE(px_textToValue("99999999999999999999999", money, sizeof money, PXV_MONEY, 2));
    // A field's length is its decimals; the buffer size bounds the value.
    PxField f{};
    f.type = PXV_MONEY;
    f.length = 2;
    ASSERT_TRUE(px_fieldTextToValue("1.25", money, f.length, f.type, sizeof money, &f));
    EXPECT_EQ(show(money, 0, 2, PXV_MONEY, true).text, "1.25");
    char text[4];
    f.type = PXV_STRING;
    f.length = 10;
    ASSERT_TRUE(px_fieldTextToValue("abcdefgh", text, f.length, f.type, sizeof text, &f));
    EXPECT_STREQ(text, "abc");
}

TEST(FieldText, MaskedStringsAndSkipCount) {
    const char mask[] = "##-##";
    const char *old = px_setStringMask(mask);
    Shown s = show("1234", 10, 10, PXV_MASKSTR, false);
    EXPECT_EQ(s.text, "12-34");
    EXPECT_EQ(show("123456", 10, 10, PXV_MASKSTR, false).text, "12-3456");
    EXPECT_EQ(show("1234", 10, 10, PXV_MASKSTR, true).text, "1234");
    px_setStringMask(nullptr);
    px_setTextOption(3);
    EXPECT_EQ(show("abcdefgh", 5, 10, PXV_MASKSTR, false).text, "defgh");
    EXPECT_EQ(show("abcdefgh", 0, 10, PXV_MASKSTR, false).text, "abcdefgh");
    px_setTextOption(0);
    px_setStringMask(old);

    char text[8] = "123456";
    px_setStringMask("#.#.#.#.#.#.#");
    EXPECT_EQ(px_applyMask(text, sizeof text), 7);  // stops where the buffer ends
    EXPECT_STREQ(text, "1.23456");
    px_setStringMask(old);
}

TEST(FieldText, PasswordFieldsNeverShowTheirValue) {
    PxField f{};
    f.type = PXV_STRING;
    f.length = 10;
    f.width = 10;
    f.options = kPxPassword;
    ASSERT_TRUE(px_fieldStoreText(&f, "secret", 6));
    int size = 0;
    PxTextPtr shown(px_fieldText(&f, &size, false));
    EXPECT_STREQ(shown.get(), "******");
    PxTextPtr edit(px_fieldText(&f, &size, true));
    EXPECT_STREQ(edit.get(), "secret");  // the password edit control masks it
    std::free(f.value);
}

TEST(FieldText, RightJustify) {
    char out[8];
    px_rightJustify("42", out, 5);
    EXPECT_STREQ(out, "   42");
    px_rightJustify("1234567", out, 5);
    EXPECT_STREQ(out, "34567");
    std::strcpy(out, "keep");
    px_rightJustify("x", out, 0);
    EXPECT_STREQ(out, "keep");
}

TEST(FieldText, WrapLines) {
    struct Case {
        std::vector<const char *> texts;
        int width, maximum;
        std::vector<std::string> lines;
    } cases[] = {
        {{"a|b"}, -1, -1, {"a", "b"}},
        {{"abcdefghijabcdefghijabcdefghij"}, 10, -1, {"abcdefghij", "abcdefghij", "abcdefghij"}},
        {{"||one two three"}, 8, -1, {"one two", "three"}},
        {{"no limit at width zero"}, 0, -1, {"no limit at width zero"}},
        {{"a|b|c|d|e"}, -1, 2, {"a", "b"}},
        {{"x\ny", "z"}, -1, -1, {"x", "y", "z"}},
    };
    for (const Case &c : cases) {
        int n = -1;
        char **lines = px_wrapLines(c.texts.data(), static_cast<int>(c.texts.size()), c.width, c.maximum, &n);
        ASSERT_NE(lines, nullptr);
        std::vector<std::string> got(lines, lines + n);
        EXPECT_EQ(got, c.lines) << c.texts[0];
        px_freeLines(lines, n);
    }
}

TEST(FieldText, MouseCellOnField) {
    PxPanel panel{};
    panel.left = 10;
    panel.top = 5;
    PxField f{};
    f.column = 2;
    f.row = 1;
    f.width = 4;
    f.height = 3;
    struct Case {
        uint8_t kind;
        uint32_t options;
        int column, row;
        bool on;
    } cases[] = {
        {1, 0, 12, 6, true}, {1, 0, 15, 6, true}, {1, 0, 16, 6, false}, {1, 0, 12, 7, false},
        {4, 0, 13, 8, true}, {4, 0, 13, 9, false}, {0, 0, 12, 6, false}, {1 | kPxKindSkip, 0, 12, 6, false},
        {1, kPxPlainText, 12, 6, false}, {9, 0, 12, 6, false}, {15, 0, 12, 6, true},
    };
    for (const Case &c : cases) {
        f.kind = c.kind;
        f.options = c.options;
        EXPECT_EQ(px_fieldAtCell(&panel, &f, c.column, c.row), c.on) << int(c.kind) << " " << c.column << "," << c.row;
    }
}

}  // namespace
