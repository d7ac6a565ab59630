#include "letters.h"

#include <gtest/gtest.h>

namespace {

// Code page 866 texts: "Привет, Мир" and its small "мир"; 0xF1/0xF0 are
// small and capital io.
const char kHello866[] = "\x8f\xe0\xa8\xa2\xa5\xe2, \x8c\xa8\xe0";
const char kMirSmall866[] = "\xac\xa8\xe0";

// cp866_upper is checked byte by byte against the system in codepage_win_test.
TEST(OemCompare, IgnoresCaseAndGivesTheByteDifferenceOtherwise) {
    EXPECT_EQ(0, oem_compareNoCase("\xf1", "\xf0"));
    EXPECT_EQ(0, oem_compareNoCase("abc", "ABC"));
    EXPECT_EQ(0, oem_compareNoCase(kMirSmall866, "\x8c\x88\x90"));
    EXPECT_EQ('C' - 'D', oem_compareNoCase("abc", "ABD"));
    EXPECT_EQ(-'C', oem_compareNoCase("ab", "abc"));
    EXPECT_EQ(0xb1 - 0xb0, oem_compareNoCase("\xb1", "\xb0"));  // box drawing: by value
    EXPECT_EQ(0xff - 'Z', oem_compareNoCase("\xff", "z"));
    EXPECT_EQ(0, oem_compareNoCase("", ""));
}

TEST(OemCompare, BoundedFormStopsAtNOrTheEndOfB) {
    EXPECT_EQ(0, oem_compareNoCaseN("abc", "xyz", 0));
    EXPECT_EQ(0, oem_compareNoCaseN("abc", "", 3));
    EXPECT_EQ(0, oem_compareNoCaseN("Hello", "HEL", 10));
    EXPECT_EQ(0, oem_compareNoCaseN("Help", "HELLO", 3));
    EXPECT_EQ(-'L', oem_compareNoCaseN("He", "HEL", 3));
    EXPECT_EQ('P' - 'L', oem_compareNoCaseN("Help", "HELLO", 4));
}

TEST(FindNoCase, Cp866FindsAcrossCaseAndIo) {
    EXPECT_EQ(kHello866 + 8, cp_findNoCase(kHello866, kMirSmall866, false));
    EXPECT_EQ(kHello866, cp_findNoCase(kHello866, "", false));
    EXPECT_EQ(nullptr, cp_findNoCase("\xac", kMirSmall866, false));  // longer than the text
    EXPECT_EQ(nullptr, cp_findNoCase("", "a", false));
    const char io[] = "x\xf0y";
    EXPECT_EQ(io + 1, cp_findNoCase(io, "\xf1Y", false));
    const char rep[] = "aaab";
    EXPECT_EQ(rep + 2, cp_findNoCase(rep, "AB", false));
    EXPECT_EQ(nullptr, cp_findNoCase(nullptr, "a", false));
}

TEST(FindNoCase, WindowsFlagFoldsAsciiToo) {
    EXPECT_EQ(nullptr, cp_findNoCase("Open File", "files", true));
    const char t[] = "Open File";
    EXPECT_EQ(t + 5, cp_findNoCase(t, "fILE", true));
}

}  // namespace
