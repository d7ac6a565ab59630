#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "formats.h"

namespace {

std::string str(char *p) {
    std::string s = p ? p : "(none)";
    std::free(p);
    return s;
}

TEST(FormatText, NameAndAlignByTypeKey) {
    struct Case {
        const char *text;
        const char *name;
        const char *align;
    } cases[] = {
        {"Name:FMT_NUMBER[10.2]", "FMT_NUMBER[10.2]", "(none)"},
        {"Type:ZAM,Name:FMT_NUMBER", "(none)", "(none)"},
        {"Type:X,Name:FMT_NUMBER", "(none)", "(none)"},
        {"type:ZAM,Name:FMT_DATE", "FMT_DATE", "(none)"},  // keys are case-sensitive
        {"Type:c, Name: FMT_DATE\t,Align:R", "FMT_DATE", "R"},
        {"Type:C,Name:FMT_NUMBER[*,*],Align:r", "FMT_NUMBER[*,*]", "r"},
        {"Name:FMT_USERDEFINED[a,b]x,y", "FMT_USERDEFINED[a,b]x", "(none)"},
        {"Name:   ,Align:l", "(none)", "(none)"},
        {"Align:l", "(none)", "(none)"},
    };
    for (const Case &c : cases) {
        char *align = nullptr;
        EXPECT_EQ(str(px_fmtParseText(c.text, &align)), c.name) << c.text;
        EXPECT_EQ(str(align), c.align) << c.text;
    }
    char *align = nullptr;
    EXPECT_EQ(px_fmtParseText(nullptr, &align), nullptr);
}

TEST(FormatText, NamesSuitTheirTypes) {
    struct Case {
        const char *name;
        int type;
        bool fits;
    } cases[] = {
        {"FMT_NUMBER[5]", 0, true}, {"FMT_NUMBER", 25, true}, {"FMT_NUMBER", 9, false},
        {"fmt_number", 13, true}, {"FMT_DATE", 9, true}, {"FMT_DATE", 6, false},
        {"FMT_TIME", 11, true}, {"FMT_TIME", 9, false}, {"FMT_USERDEFINED[##]", 18, true},
        {"FMT_USERDEFINED", 0, false}, {"FMT_DEFAULT", 23, true}, {"FMT_DEFAULT", 24, false},
        {"FMT_DEFAULT", 9 | kPxVariant, true}, {"OTHER", 7, false},
    };
    for (const Case &c : cases) EXPECT_EQ(px_fmtNameFitsType(c.name, c.type), c.fits) << c.name << " " << c.type;
}

TEST(FormatText, StarParametersAreClamped) {
    struct Case {
        const char *name;
        int type, width, length;
        const char *filled;
    } cases[] = {
        {"FMT_NUMBER[*.*]", PXV_MONEY, 12, 2, "FMT_NUMBER[12.2]"},
        {"FMT_NUMBER[*.*]", PXV_MONEY, 150, 11, "FMT_NUMBER[99.9]"},
        {"FMT_NUMBER[*.*]", PXV_MONEY, -5, -3, "FMT_NUMBER[0.0]"},
        {"FMT_NUMBER[5.*]", PXV_INT32, 150, 4, "FMT_NUMBER[5.4]"},
        {"FMT_DEFAULT(*)", PXV_MONEY, 10, 14, "FMT_DEFAULT(9)"},
        {"FMT_NUMBER[12.-2]", PXV_MONEY, 0, 0, "FMT_NUMBER[12.0]"},
        {"FMT_NUMBER[12.-2]", PXV_INT32, 0, 0, "FMT_NUMBER[12.-2]"},
        {"FMT_DATE[*]", PXV_DATE, 12, 2, "FMT_DATE[*]"},
    };
    for (const Case &c : cases) {
        PxField f{};
        f.type = static_cast<uint8_t>(c.type);
        f.width = static_cast<int16_t>(c.width);
        f.length = c.length;
        EXPECT_EQ(str(px_fmtFillName(c.name, &f)), c.filled) << c.name << " " << c.width << " " << c.length;
    }
}

TEST(FormatText, NoLibraryMeansPlainFields) {
    // Without the library (or on a system without it) a field has no
    // formatter and its calls are harmless.
    PxField f{};
    f.type = PXV_MONEY;
    f.kind = 1;
    EXPECT_EQ(px_fmtGetAlign(nullptr), -1);
    EXPECT_TRUE(px_fmtIsChanged(nullptr));
    EXPECT_FALSE(px_fmtGetValue(nullptr, &f));
    px_fmtStartEdit(nullptr, true);
    px_fmtRelease(nullptr);
}

}  // namespace
