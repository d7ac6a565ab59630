#include "trims.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string trimRight(std::string s) { return txt_trimRight(&s[0]); }
std::string trimLeft(std::string s) { return txt_trimLeftTo(&s[0], s.c_str()); }
std::string trimBlanks(std::string s) { return txt_trimBlanks(&s[0]); }

TEST(Trims, OnlyTheBlankIsPaddingAndBlanksOnlyBecomeEmpty) {
    EXPECT_EQ("", trimRight("    "));
    EXPECT_EQ("", trimLeft("    "));
    EXPECT_EQ("  a b\t", trimRight("  a b\t  "));
    EXPECT_EQ("\ta b  ", trimLeft(" \ta b  "));
    EXPECT_EQ("a \t b", trimBlanks(" \t a \t b \t\r\n"));  // blanks, tabs and line ends
    EXPECT_EQ("", trimBlanks(" \t\r\n"));
    EXPECT_EQ("\ra", trimBlanks("\ra"));
}

TEST(Trims, CopyingFormsWorkIntoAnotherOrAnOverlappingBuffer) {
    char dst[16];
    std::memset(dst, 'x', sizeof dst);
    EXPECT_EQ(dst, txt_trimRightTo(dst, "12   "));
    EXPECT_STREQ("12", dst);
    EXPECT_EQ(dst, txt_trimLeftTo(dst, "   34 "));
    EXPECT_STREQ("34 ", dst);
    char buf[] = "   overlap";
    txt_trimLeftTo(buf + 1, buf);
    EXPECT_STREQ("overlap", buf + 1);
    txt_trimRightTo(dst, nullptr);
    EXPECT_STREQ("", dst);
}

TEST(Trims, VisibleLengthSkipsHotkeyMarkers) {
    EXPECT_EQ(2u, txt_visibleLength("~~ab"));
    EXPECT_EQ(4u, txt_visibleLength("~Open"));
    EXPECT_EQ(0u, txt_visibleLength(nullptr));
}

}  // namespace
