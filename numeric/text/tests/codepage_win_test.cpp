// The case tables against the system's own Unicode upper-casing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "letters.h"
#include "scratch.h"
#include "settings.h"

namespace {

// What the system makes of one byte of a code page upper-cased; the byte
// itself when the capital has no place in that code page.
unsigned char systemUpper(UINT codePage, unsigned char c) {
    char in = static_cast<char>(c);
    wchar_t w[2] = {};
    if (MultiByteToWideChar(codePage, 0, &in, 1, w, 1) != 1) return c;
    CharUpperW(w);
    char out = 0;
    BOOL lost = FALSE;
    if (WideCharToMultiByte(codePage, 0, w, 1, &out, 1, nullptr, &lost) != 1 || lost) return c;
    return static_cast<unsigned char>(out);
}

TEST(CodePages, Cp866TableMatchesUnicodeUpperCasingForAllBytes) {
    ASSERT_EQ(866u, GetOEMCP());
    int checked = 0;
    for (int c = 1; c < 256; ++c) {
        EXPECT_EQ(systemUpper(866, c), cp866_upper(c)) << "byte " << c;
        if (cp866_upper(c) != c) ++checked;
    }
    EXPECT_EQ(26 + 32 + 4, checked);
}

TEST(CodePages, WindowsUpperOfOneCharacterIsCharUpper) {
    ASSERT_EQ(1251u, GetACP());
    for (int c = 1; c < 256; ++c) {
        char buf[2] = {static_cast<char>(c), 0};
        CharUpperBuffA(buf, 1);
        EXPECT_EQ(static_cast<unsigned char>(buf[0]), win_upperChar(c)) << "byte " << c;
    }
}

TEST(CodePages, WindowsSearchFoldsCyrillicOfCodePage1251) {
    // "Привет, МИР" and "мир" in code page 1251.
    const char text[] = "\xcf\xf0\xe8\xe2\xe5\xf2, \xcc\xc8\xd0";
    EXPECT_EQ(text + 8, cp_findNoCase(text, "\xec\xe8\xf0", true));
    EXPECT_EQ(text, cp_findNoCase(text, "\xef\xd0\xc8", true));
    // Read as code page 866 the same bytes are other letters.
    EXPECT_EQ(nullptr, cp_findNoCase(text, "\xec\xe8\xf0", false));
}

int count(const char *, const char *, void *ctx) {
    ++*static_cast<int *>(ctx);
    return 0;
}

TEST(SettingsOnWindows, AFolderOfTheFilesNameCannotBeOpenedAndTextModeStopsAtCtrlZ) {
    scratch::Dir d;
    CreateDirectoryA(d.file("s.ini").c_str(), nullptr);
    int calls = 0;
    EXPECT_EQ(-1, cfg_readFile(d.file("s.ini").c_str(), count, &calls, nullptr));
    EXPECT_EQ(0, calls);
    d.write("z.ini", "a=1\r\nb=2\r\n\x1a" "c=3\r\n");
    EXPECT_EQ(0, cfg_readFile(d.file("z.ini").c_str(), count, &calls, nullptr));
    EXPECT_EQ(2, calls);
}

}  // namespace
