// termcore's inner helpers, linked directly.
#include <gtest/gtest.h>

#include "filestat.h"
#include "host.h"
#include "module.h"
#include "oemtext.h"

namespace {

TEST(OemText, CyrillicRoundTripsThroughUtf16) {
    const std::string oem = "\x8F\xE0\xA8\xA2\xA5\xE2 \xF1";  // "Привет ё" in 866
    EXPECT_EQ(L"\x041F\x0440\x0438\x0432\x0435\x0442 \x0451", oem_toWide(oem));
    EXPECT_EQ(oem, oem_fromWide(oem_toWide(oem)));
    EXPECT_EQ("\xCF\xF0\xE8\xE2\xE5\xF2 \xB8", oem_toAnsi(oem));
    EXPECT_EQ(L"", oem_toWide(""));
}

int ZAMCB someFilter(MSG *) { return 0; }
void ZAMCB someIdle() {}

TEST(HostProcs, SessionEndTakesBackEveryProcedureAdded) {
    th::Host &h = th::Host::get();
    h.reset();
    zam_host().app = h.app();
    EXPECT_TRUE(tc_addFilterProc(someFilter) && tc_addIdleProc(someIdle) && tc_addIdleProc(someIdle));
    EXPECT_EQ(1u, h.filters.size());
    EXPECT_EQ(2u, h.idles.size());
    tc_removeHostProcs();
    EXPECT_TRUE(h.filters.empty() && h.idles.empty());
    // Removing one that is no longer there asks nothing of the host.
    tc_remFilterProc(someFilter);
    EXPECT_TRUE(h.listErrors.empty());
    zam_host().app = nullptr;
}

TEST(FileMacros, PairsOfBackslashesLoseTheirSecond) {
    for (auto [text, want] : {std::pair<std::string, std::string>{"a\\\\b", "a\\b"}, {"a\\\\\\\\b", "a\\\\b"},
                              {"a\\\\\\b", "a\\\\b"}, {"\\\\srv\\x", "\\srv\\x"}, {"a\\b\\c", "a\\b\\c"}}) {
        tc_collapseBackslashPairs(&text[0]);
        EXPECT_EQ(want, text.c_str());
    }
    std::string s = "\\\\\\\\";
    EXPECT_EQ(2u, tc_collapseBackslashPairs(&s[0]));
}

TEST(FileMacros, ExpandInOrderOrLeaveTheTextAlone) {
    TcModule &m = tc_module();
    m.settings[kSetDataPath] = "C:\\data\\";
    m.settings[kSetUpDir] = "%DNDIR%";
    m.settings[kSetDnDir] = "D:\\dn";
    std::string t = "%DATAPATH%\\x\\%UPDIR%";
    EXPECT_TRUE(tc_expandFileMacros(t, 260));
    EXPECT_EQ("C:\\data\\x\\D:\\dn", t);
    std::string reverse = "%DNDIR%";
    m.settings[kSetDnDir] = "%UPDIR%";
    EXPECT_TRUE(tc_expandFileMacros(reverse, 260));
    EXPECT_EQ("%UPDIR%", reverse);
    std::string tooLong = "%DATAPATH%%DATAPATH%";
    m.settings[kSetDataPath] = std::string(150, 'p');
    EXPECT_FALSE(tc_expandFileMacros(tooLong, 260));
    EXPECT_EQ("%DATAPATH%%DATAPATH%", tooLong);
    for (std::string &s : m.settings) s.clear();
}

}  // namespace
