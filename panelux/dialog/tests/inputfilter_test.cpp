#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "inputfilter.h"

namespace {

struct FilterFree {
    void operator()(PxInputFilter *f) const { px_freeInputFilter(f); }
};
using FilterPtr = std::unique_ptr<PxInputFilter, FilterFree>;

PxField fieldOf(uint8_t type, int16_t width, int32_t length) {
    PxField f{};
    f.type = type;
    f.width = width;
    f.length = length;
    return f;
}

// The text after typing c into text with the caret (or a selection) at
// [start, end); "refused" when the filter refuses it.
std::string typed(const PxInputFilter &f, const std::string &text, int start, int end, char c, bool overwrite) {
    PxEditState st;
    st.text = text;
    st.selStart = start;
    st.selEnd = end;
    PxFilterStep step = px_filterChar(f, st, c, overwrite);
    if (step.kind == PxFilterStep::Refuse) return "refused";
    px_applyStep(st, step);
    return st.text;
}

TEST(InputFilter, AcceptsAndRefusesByKind) {
    PxField int16 = fieldOf(PXV_INT16, 6, 0), byte = fieldOf(PXV_BYTE, 3, 0), int32 = fieldOf(PXV_INT32, 12, 0);
    PxField str = fieldOf(PXV_STRING, 10, 6), chr = fieldOf(PXV_CHAR, 1, 0), money = fieldOf(PXV_MONEY, 10, 2);
    FilterPtr n16(px_makeFieldFilter(&int16, 0)), n8(px_makeFieldFilter(&byte, 0)), n32(px_makeFieldFilter(&int32, 0));
    FilterPtr s(px_makeFieldFilter(&str, 0)), c(px_makeFieldFilter(&chr, 0)), u(px_makeFieldFilter(&money, 0));
    ASSERT_EQ(n16->kind, 'n');
    ASSERT_EQ(s->kind, 's');
    ASSERT_EQ(c->kind, 'c');
    ASSERT_EQ(u->kind, 'u');
    struct Case {
        const PxInputFilter *f;
        const char *text;
        int start, end;
        char c;
        bool overwrite;
        const char *result;
    } cases[] = {
        {n16.get(), "3200", 4, 4, '4', false, "refused"},
        {n16.get(), "3200", 4, 4, '0', false, "32000"},
        {n16.get(), "32000", 0, 0, '-', false, "-32000"},
        {n16.get(), "-5", 0, 0, '+', false, "+5"},
        {n16.get(), "-5", 0, 0, '-', false, "-5"},
        {n16.get(), "12", 0, 0, 'a', false, "12"},
        {n16.get(), "-12", 0, 0, '7', false, "refused"},  // in front of the sign
        {n16.get(), "123", 0, 3, '9', false, "9"},        // all selected: cleared first
        {n16.get(), "123", 1, 1, '9', true, "193"},
        {n8.get(), "25", 2, 2, '6', false, "refused"},
        {n8.get(), "25", 2, 2, '5', false, "255"},
        {n8.get(), "", 0, 0, '-', false, "-"},
        {n32.get(), "214748364", 9, 9, '8', false, "refused"},
        {n32.get(), "214748364", 9, 9, '7', false, "2147483647"},
        {n32.get(), "99999999999", 11, 11, '9', false, "refused"},  // beyond 32 bits, not wrapped
        {n32.get(), "-214748364", 10, 10, '9', false, "refused"},
        {s.get(), "abcde", 5, 5, 'f', false, "refused"},
        {s.get(), "abcd", 4, 4, 'e', false, "abcde"},
        {s.get(), "abcde", 1, 1, 'X', true, "aXcde"},
        {s.get(), "abcde", 5, 5, 'X', true, "refused"},
        {s.get(), "abcde", 1, 3, 'X', false, "aXde"},
        {c.get(), "q", 0, 0, 'z', false, "z"},
        {u.get(), "12.3", 4, 4, '4', false, "12.34"},
        {u.get(), "12.34", 5, 5, '5', false, "refused"},
        {u.get(), "12", 2, 2, 'x', false, "refused"},
    };
    for (const Case &k : cases)
        EXPECT_EQ(typed(*k.f, k.text, k.start, k.end, k.c, k.overwrite), k.result)
            << k.f->kind << " '" << k.text << "' + '" << k.c << "'";
}

TEST(InputFilter, CheckRefusalBeeps) {
    PxField money = fieldOf(PXV_MONEY, 10, 2);
    FilterPtr u(px_makeFieldFilter(&money, 0));
    PxEditState st;
    st.text = "1";
    st.selStart = st.selEnd = 1;
    EXPECT_TRUE(px_filterChar(*u, st, 'x', false).beep);
    EXPECT_FALSE(px_filterChar(*u, st, '2', false).beep);
}

}  // namespace
