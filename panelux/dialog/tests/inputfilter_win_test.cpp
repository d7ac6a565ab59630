// The typed input filter on a real edit control.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "inputfilter.h"

namespace {

struct Edit {
    HWND hwnd = CreateWindowExA(0, "Edit", "", WS_POPUP | ES_AUTOHSCROLL, 0, 0, 200, 24, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ~Edit() { DestroyWindow(hwnd); }
    std::string text() const {
        char buf[128] = "";
        GetWindowTextA(hwnd, buf, sizeof buf);
        return buf;
    }
};

struct FilterFree {
    void operator()(PxInputFilter *f) const { px_freeInputFilter(f); }
};
using FilterPtr = std::unique_ptr<PxInputFilter, FilterFree>;

void typeText(PxInputFilter *f, HWND hwnd, const char *text, uint8_t &overwrite) {
    for (const char *p = text; *p; ++p) EXPECT_EQ(px_inputFilterMsg(f, hwnd, WM_CHAR, static_cast<uint8_t>(*p), overwrite), 1);
}

void setShift(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

TEST(InputFilterControl, TypedCharactersKeepTheFieldValid) {
    Edit e;
    ASSERT_NE(e.hwnd, nullptr);
    PxField f{};
    f.type = PXV_INT16;
    f.width = 6;
    FilterPtr filter(px_makeFieldFilter(&f, 0));
    uint8_t overwrite = 0;
    typeText(filter.get(), e.hwnd, "3200", overwrite);
    typeText(filter.get(), e.hwnd, "4x", overwrite);
    EXPECT_EQ(e.text(), "3200");
    typeText(filter.get(), e.hwnd, "-", overwrite);
    EXPECT_EQ(e.text(), "-3200");
    EXPECT_EQ(px_inputFilterMsg(filter.get(), e.hwnd, WM_CHAR, '\b', overwrite), 0);

    // Insert toggles overwrite mode, but not with Shift held.
    EXPECT_EQ(px_inputFilterMsg(filter.get(), e.hwnd, WM_KEYDOWN, VK_INSERT, overwrite), 1);
    EXPECT_EQ(overwrite, 1);
    setShift(true);
    EXPECT_EQ(px_inputFilterMsg(filter.get(), e.hwnd, WM_KEYDOWN, VK_INSERT, overwrite), 0);
    setShift(false);
    EXPECT_EQ(overwrite, 1);
    SendMessageA(e.hwnd, EM_SETSEL, 1, 1);
    typeText(filter.get(), e.hwnd, "1", overwrite);
    EXPECT_EQ(e.text(), "-1200");
}

TEST(InputFilterControl, PasteTypesWhatTheFieldTakes) {
    Edit e;
    PxField f{};
    f.type = PXV_INT32;
    f.width = 10;
    FilterPtr filter(px_makeFieldFilter(&f, 0));
    ASSERT_TRUE(OpenClipboard(e.hwnd));
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 5);
    std::memcpy(GlobalLock(mem), "12a3", 5);
    GlobalUnlock(mem);
    SetClipboardData(CF_TEXT, mem);
    CloseClipboard();
    uint8_t overwrite = 0;
    EXPECT_EQ(px_inputFilterMsg(filter.get(), e.hwnd, WM_PASTE, 0, overwrite), 1);
    EXPECT_EQ(e.text(), "123");

    // A string field stops at its length.
    PxField s{};
    s.type = PXV_STRING;
    s.length = 3;
    FilterPtr str(px_makeFieldFilter(&s, 0));
    SetWindowTextA(e.hwnd, "");
    EXPECT_EQ(px_inputFilterMsg(str.get(), e.hwnd, WM_PASTE, 0, overwrite), 1);
    EXPECT_EQ(e.text(), "12");
}

}  // namespace
