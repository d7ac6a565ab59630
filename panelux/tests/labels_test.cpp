// Label and menu texts, line ends and colour texts of the server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "labels.h"

namespace {

std::string run(char *(*fn)(char *), const std::string &in) {
    std::vector<char> b(in.begin(), in.end());
    b.push_back(0);
    fn(b.data());
    return b.data();
}

TEST(Labels, HotkeysBlanksAndBarsBecomeWindowsLabels) {
    struct Case {
        const char *in, *label, *stripped, *bars;
    } cases[] = {
        {"  ~File  ", "&File", "  File  ", "  ~File  "},
        {"Sa~ve ~As", "Sa&ve As", "Save As", "Sa~ve ~As"},
        {"one|two", "one|two", "one|two", "one\ntwo"},
        {"", "", "", ""},
        {"~", "&", "", "~"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.label, run(px_makeLabel, c.in)) << c.in;
        EXPECT_EQ(c.stripped, run([](char *t) { px_stripTilde(t); return t; }, c.in)) << c.in;
        EXPECT_EQ(c.bars, run(px_barsToNewlines, c.in)) << c.in;
    }
    char none[] = "plain";
    EXPECT_EQ(nullptr, px_stripTilde(none));
    char some[] = "a~b";
    EXPECT_EQ(some + 2, px_stripTilde(some));
}

TEST(Labels, MenuTextsGetHotkeysArrowsAndTheAcceleratorColumn) {
    struct Case {
        const char *in, *out;
        int tab;  // position of the tab, -1 none
    } cases[] = {
        {"Save  Ctrl+S", "Save\tCtrl+S", 4},
        {"  ~Open   F3", "&Open\tF3", 5},
        {"Help~?", "Help?", -1},
        {"~Print", "&Print", -1},
        {"Next\x1a", "Next->", -1},
        {"\x1a" "first", "\x1a" "first", -1},
        {"a-\x1b", "a-\x1b", -1},
        {"x\x10y\x11z", "x y z", -1},
        {"ab\xff\xff" "c", "abc", -1},
        {"Go  ~Alt&G", "Go\tAltG", 2},
        {"Tail   ", "Tail", -1},
    };
    for (const Case &c : cases) {
        std::vector<char> b(64, 0);
        std::string in = c.in;
        std::copy(in.begin(), in.end(), b.begin());
        char *tab = px_makeMenuText(b.data(), b.size());
        EXPECT_EQ(c.out, std::string(b.data())) << c.in;
        EXPECT_EQ(c.tab, tab ? static_cast<int>(tab - b.data()) : -1) << c.in;
    }
    // Arrows make the text longer: it stays inside the buffer it was given.
    char tight[] = "\x1a\x1a\x1a\x1a\x1a";
    tight[0] = 'x';
    px_makeMenuText(tight, sizeof tight);
    EXPECT_EQ("x->->", std::string(tight));
}

TEST(Labels, LineEndsConvertBothWaysWithinTheirBuffers) {
    struct Case {
        const char *lf, *crlf;
    } cases[] = {{"a\nb", "a\r\nb"}, {"a\rb", "a\r\nb"}, {"a\r\nb", "a\r\nb"}, {"", ""}, {"\n\n", "\r\n\r\n"}};
    for (const Case &c : cases) {
        char small[4];
        char *out = px_toCrLf(c.lf, small, sizeof small);
        EXPECT_STREQ(c.crlf, out);
        if (out != small) std::free(out);
        char back[32];
        size_t need = px_fromCrLf(c.crlf, back, sizeof back);
        EXPECT_EQ(std::strlen(back) + 1, need);
        if (std::string(c.lf).find('\r') == std::string::npos) {
            EXPECT_STREQ(c.lf, back);
        }
    }
    char cut[3] = {'x', 'x', 'x'};
    EXPECT_EQ(6u, px_fromCrLf("abcd\r\ne", nullptr, 0) - 1);
    EXPECT_EQ(7u, px_fromCrLf("abcd\r\ne", cut, sizeof cut));
    EXPECT_EQ('\0', cut[2]);
    EXPECT_EQ(1u, px_fromCrLf("", cut, 0));
}

TEST(Labels, ColourTextsInTheirThreeForms) {
    struct Case {
        const char *text;
        int result;
        uint32_t colour;
    } cases[] = {
        {"RGB(255,0,0)", 0, 0x0000FF},  {"RGB(300,1,2)", 0, 0x02012C}, {"0x0000FF", 0, 0x0000FF},
        {"0XFF0000", 0, 0xFF0000},      {"255", 0, 255},               {"12ab", -1, 7},
        {"", -1, 7},                    {"0x", -1, 7},                 {"green", -1, 7},
        {"0xFFz", -1, 7},
    };
    for (const Case &c : cases) {
        uint32_t out = 7;
        EXPECT_EQ(c.result, px_parseColor(&out, c.text)) << c.text;
        EXPECT_EQ(c.colour, out) << c.text;
    }
}

}  // namespace
