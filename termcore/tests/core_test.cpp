// termcore's inner helpers, linked directly.
#include <gtest/gtest.h>

#include "host.h"
#include "module.h"
#include "oemtext.h"

namespace {

TEST(OemText, CyrillicRoundTripsThroughUtf16) {
    const std::string oem = "\x8F\xE0\xA8\xA2\xA5\xE2 \xF1";  // "Привет ё" in 866
    std::wstring w = oem_toWide(oem);
    EXPECT_EQ(L"\x041F\x0440\x0438\x0432\x0435\x0442 \x0451", w);
    EXPECT_EQ(oem, oem_fromWide(w));
    EXPECT_EQ("\xCF\xF0\xE8\xE2\xE5\xF2 \xB8", oem_toAnsi(oem));
    EXPECT_EQ(L"", oem_toWide(""));
}

int ZAMCB someFilter(MSG *) { return 0; }
void ZAMCB someIdle() {}

TEST(HostProcs, SessionEndTakesBackEveryProcedureAdded) {
    th::Host &h = th::Host::get();
    h.reset();
    tc_module().app = h.app();
    EXPECT_TRUE(tc_addFilterProc(someFilter));
    EXPECT_TRUE(tc_addIdleProc(someIdle));
    EXPECT_TRUE(tc_addIdleProc(someIdle));
    EXPECT_EQ(1u, h.filters.size());
    EXPECT_EQ(2u, h.idles.size());
    tc_removeHostProcs();
    EXPECT_TRUE(h.filters.empty());
    EXPECT_TRUE(h.idles.empty());
    EXPECT_TRUE(h.listErrors.empty());
    // Removing one that is no longer there asks nothing of the host.
    tc_remFilterProc(someFilter);
    EXPECT_TRUE(h.listErrors.empty());
    tc_module().app = nullptr;
}

}  // namespace
