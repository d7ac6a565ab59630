// Popups through the loaded module: titles, modal owners disabled while the
// popup waits, keys and hot keys, and the default button's bounds.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "module.h"
#include "wire.h"

namespace {

th::Host &H() { return th::Host::get(); }

HWND popupWnd() { return FindWindowA("pxPopupWnd", nullptr); }

struct Seen {
    std::string title;
    bool ownerEnabled = true;
    int buttons = 0;
};

struct Popups : ::testing::Test {
    th::Module m{"formkit.dll"};
    HWND frame = nullptr;
    Seen seen;
    void SetUp() override {
        H().reset();
        H().enableExt({18, 26});
        m.start();
        m.message(1, th::Bytes().i16(0).i16(0).i32(313130));
        m.message(7, th::Bytes().i16(60).i16(20).text("Frame"));
        H().pump();
        EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) -> BOOL {
            if (IsWindowVisible(w)) *reinterpret_cast<HWND *>(p) = w;
            return TRUE;
        }, reinterpret_cast<LPARAM>(&frame));
    }
    void TearDown() override {
        m.message(kMsgUnload);
        EXPECT_EQ(nullptr, popupWnd());
    }
    // Looks at the waiting popup, then types: keys as WM_KEYDOWN, letters as
    // WM_CHAR, each to the focused window; one step per wait.
    void type(std::vector<int> keys) {
        H().script.push_back([this] {
            HWND p = popupWnd();
            char title[64] = {};
            if (p) GetWindowTextA(p, title, sizeof title);
            seen.title = title;
            seen.ownerEnabled = IsWindowEnabled(frame) != FALSE;
            seen.buttons = 0;
            for (HWND c = p ? GetWindow(p, GW_CHILD) : nullptr; c; c = GetWindow(c, GW_HWNDNEXT))
                if (GetDlgCtrlID(c) >= 1024 && GetDlgCtrlID(c) < 1280) ++seen.buttons;
        });
        for (int k : keys)
            H().script.push_back([k] {
                HWND to = GetFocus() ? GetFocus() : popupWnd();
                if (k > 0) PostMessageA(to, WM_KEYDOWN, static_cast<WPARAM>(k), 1);
                else PostMessageA(to, WM_CHAR, static_cast<WPARAM>(-k), 1);
            });
    }
    int32_t result(int n) {
        EXPECT_EQ(4, n);
        return WireReader(m.reply(), 4).i32();
    }
};

const char kWarning[] = "\xcf\xf0\xe5\xe4\xf3\xef\xf0\xe5\xe6\xe4\xe5\xed\xe8\xe5";  // 1251
const char kMessage[] = "\xd1\xee\xee\xe1\xf9\xe5\xed\xe8\xe5";

TEST_F(Popups, MessagesTakeTheirKindsTitleAndOnlyTheModalOneDisablesTheFrame) {
    struct Case {
        int16_t kind;
        const char *title;
        const char *expectTitle;
        bool ownerEnabled;
    } cases[] = {
        {102, "", kWarning, false},
        {1, "", kMessage, true},
        {3, "Own \x8e", "Own \xce", true},  // OEM to 1251
    };
    for (const Case &c : cases) {
        type({VK_RETURN, VK_ESCAPE});  // Enter ends nothing without buttons
        int n = m.message(13, th::Bytes().i16(c.kind).i16(0).i32(3).text("Line one\nline two").text("").text(c.title));
        EXPECT_EQ(27, result(n)) << c.kind;
        EXPECT_EQ(c.expectTitle, seen.title) << c.kind;
        EXPECT_EQ(c.ownerEnabled, seen.ownerEnabled) << c.kind;
        EXPECT_TRUE(IsWindowEnabled(frame));
        EXPECT_EQ(nullptr, popupWnd());
    }
    // Request 14 with an unknown dialog or a field outside it is a message.
    type({VK_ESCAPE});
    int n = m.message(14, th::Bytes().i16(2).i16(0).i32(99).i32(3).i16(400).text("Tip").text("").text(""));
    EXPECT_EQ(27, result(n));
    EXPECT_EQ(kWarning, seen.title);
}

TEST_F(Popups, ChoicesAnswerTheButtonAndEscapeOnlyWhenAllowed) {
    struct Case {
        int16_t defaultButton;
        std::vector<int> keys;
        int expected;
    } cases[] = {
        {0, {VK_ESCAPE, -'n'}, 1},             // Escape refused below 27; the hot key N
        {0, {-'Y'}, 0},
        {0, {VK_RIGHT, VK_RETURN}, 1},
        {0, {VK_LEFT, VK_RETURN}, 2},          // from the first to the last
        {0, {VK_TAB, VK_TAB, VK_TAB, VK_RETURN}, 0},
        {28, {VK_RETURN}, 1},                  // 27 + 1: starts on the second, Escape allowed
        {28, {VK_ESCAPE}, 27},
        {7, {VK_RETURN}, 0},                   // a default past the buttons starts on the first
        {-5, {VK_RETURN}, 0},
    };
    for (const Case &c : cases) {
        type(c.keys);
        int n = m.message(15, th::Bytes().i16(c.defaultButton).i16(6).i32(3).i16(1).i16(0).text("Save?")
                                  .text("&Yes").text("&No").text("&Cancel").text("").text("").text(""));
        EXPECT_EQ(c.expected, result(n)) << c.defaultButton << " " << c.keys.size();
        EXPECT_EQ("", seen.title);
        EXPECT_EQ(3, seen.buttons);
        EXPECT_TRUE(seen.ownerEnabled);  // a frame is there: not modal
    }
}

TEST_F(Popups, TheWaitBoxsButtonIsTheUsersBreak) {
    struct Case {
        int32_t flags;
        const char *text;
        const char *firstLine;
        bool enabled;
    } cases[] = {
        {0, "", "\xc6\xe4\xe8\xf2\xe5...", true},  // "Ждите..." in 1251
        {1, "Counting \xe2\xe1\xa5", "Counting \xf2\xf1\xe5", false},
    };
    for (const Case &c : cases) {
        H().userBreaks = 0;
        m.message(65, th::Bytes().i16(0).i32(c.flags).text(c.text));
        HWND box = popupWnd();
        ASSERT_NE(nullptr, box);
        EXPECT_TRUE(IsWindowVisible(box));
        m.message(65, th::Bytes().i16(0).i32(0).text("another"));  // one at a time
        EXPECT_EQ(box, popupWnd());
        char line[64] = {}, caption[64] = {};
        GetWindowTextA(GetDlgItem(box, 1280), line, sizeof line);
        HWND button = GetDlgItem(box, 1024), bar = GetDlgItem(box, 1380);
        GetWindowTextA(button, caption, sizeof caption);
        EXPECT_STREQ(c.firstLine, line);
        EXPECT_STREQ("\xce\xf2\xec\xe5\xed\xe8\xf2\xfc", caption);
        // The button is centred below the running bar.
        RECT b, r, w;
        GetWindowRect(button, &b), GetWindowRect(bar, &r), GetClientRect(box, &w);
        EXPECT_GT(b.top, r.bottom);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT *>(&b), 2);
        EXPECT_LE(std::abs(b.left + b.right - w.right), 2 * (b.right - b.left) / 10);
        EXPECT_EQ(c.enabled, IsWindowEnabled(button) != FALSE);
        if (c.enabled) {
            SendMessageA(button, BM_CLICK, 0, 0);
            EXPECT_EQ(1, H().userBreaks);
        }
        m.message(66);
        EXPECT_EQ(nullptr, popupWnd());
    }
    // A box still shown goes with the module.
    m.message(65, th::Bytes().i16(0).i32(0).text("x"));
    EXPECT_NE(nullptr, popupWnd());
}

}  // namespace
