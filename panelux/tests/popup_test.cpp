// Popups through the loaded module: titles, modal owners disabled while the
// popup waits, the child popup inside the frame, keys and hot keys, the
// clipboard copy, the default button's bounds, the field tip's balloon and
// the wait box with its running bar and user break.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "descbuilder.h"
#include "module.h"
#include "wire.h"
#include "wndfind.h"

namespace {

th::Host &H() { return th::Host::get(); }

th::Bytes bytesOf(const Desc &d) {
    ::Bytes b = d.encode();
    return th::Bytes().raw(b.b.data(), b.b.size());
}

HWND popupWnd() { return findClass("pxPopupWnd"); }

// The visible balloon of a field tip, if any.
HWND balloonWnd() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) CALLBACK -> BOOL {
        char name[64] = {};
        GetClassNameA(w, name, sizeof name);
        if (!lstrcmpiA(name, TOOLTIPS_CLASSA) && IsWindowVisible(w)) *reinterpret_cast<HWND *>(p) = w;
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string clipboardText() {
    std::string out;
    if (!OpenClipboard(nullptr)) return out;
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        out = static_cast<const char *>(GlobalLock(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return out;
}

void setCtrl(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// A click reported for a button one past the last; a move of the dialog.
const int kClickPastLast = -0x10000;
const int kMoveDialog = -0x20000;
const int kMoveFrame = -0x30000;
const int kHelp = -0x40000;

RECT rectInParent(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT *>(&r), 2);
    return r;
}

struct Seen {
    std::string title;
    bool ownerEnabled = true;
    int buttons = 0;
    bool child = false;
    HWND balloon = nullptr;
    RECT balloonRect = {}, movedRect = {};
    std::string clipboard;
    int32_t help = -1;  // the context F1 on the dialog asked for
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
        frame = FindWindowA("pxFrameWnd", nullptr);
    }
    void TearDown() override {
        m.message(kMsgUnload);
        EXPECT_EQ(nullptr, popupWnd());
        EXPECT_EQ(nullptr, findClass("pxDialogWnd"));
    }
    // Looks at the waiting popup, then types: keys as WM_KEYDOWN, letters as
    // WM_CHAR, each to the focused window; one step per wait. A key above
    // 0x10000 is typed with Ctrl held.
    void type(std::vector<int> keys) {
        H().script.push_back([this] {
            seen = Seen{};
            HWND p = popupWnd();
            char title[64] = {};
            if (p) GetWindowTextA(p, title, sizeof title);
            seen.title = title;
            seen.ownerEnabled = IsWindowEnabled(frame) != FALSE;
            seen.child = p && (GetWindowLongA(p, GWL_STYLE) & WS_CHILD) && GetDlgCtrlID(p) == 1792 &&
                         GetParent(p) == FindWindowExA(frame, nullptr, "pxClientWnd", nullptr);
            seen.balloon = balloonWnd();
            if (seen.balloon) GetWindowRect(seen.balloon, &seen.balloonRect);
            seen.buttons = 0;
            for (HWND c = p ? GetWindow(p, GW_CHILD) : nullptr; c; c = GetWindow(c, GW_HWNDNEXT))
                if (GetDlgCtrlID(c) >= 1024 && GetDlgCtrlID(c) < 1280) ++seen.buttons;
        });
        for (int k : keys) {
            if (k == kHelp) {
                H().script.push_back([this] {
                    H().upcalls.clear();
                    sendWindowHelp(findClass("pxDialogWnd"));
                    if (H().upcalls.size() == 1 && H().upcalls[0].payload.size() == 4)
                        seen.help = WireReader(H().upcalls[0].payload.data(), 4).i32();
                });
                continue;
            }
            H().script.push_back([k] {
                if (k == kClickPastLast) {
                    SendMessageA(popupWnd(), WM_COMMAND, MAKEWPARAM(1024 + 3, BN_CLICKED), 0);
                    return;
                }
                if (k == kMoveDialog || k == kMoveFrame) {
                    HWND w = k == kMoveDialog ? findClass("pxDialogWnd") : FindWindowA("pxFrameWnd", nullptr);
                    RECT r = k == kMoveDialog ? rectInParent(w) : RECT{};
                    if (k == kMoveFrame) GetWindowRect(w, &r);
                    SetWindowPos(w, nullptr, r.left + 40, r.top + 24, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
                    return;
                }
                HWND to = GetFocus() ? GetFocus() : popupWnd();
                if (k > 0x10000) setCtrl(true);
                if (k > 0) PostMessageA(to, WM_KEYDOWN, static_cast<WPARAM>(k & 0xFFFF), 1);
                else PostMessageA(to, WM_CHAR, static_cast<WPARAM>(-k), 1);
            });
            if (k > 0x10000)
                H().script.push_back([this] {
                    setCtrl(false);
                    seen.clipboard = clipboardText();
                });
            if (k == kMoveDialog || k == kMoveFrame)
                H().script.push_back([this] { GetWindowRect(balloonWnd(), &seen.movedRect); });
        }
    }
    int32_t result(int n) {
        EXPECT_EQ(4, n);
        return WireReader(m.reply(), 4).i32();
    }
};

const char kWarning[] = "\xcf\xf0\xe5\xe4\xf3\xef\xf0\xe5\xe6\xe4\xe5\xed\xe8\xe5";  // 1251
const char kMessage[] = "\xd1\xee\xee\xe1\xf9\xe5\xed\xe8\xe5";
const int kCtrl = 0x10000;

TEST_F(Popups, MessagesTakeTheirKindsTitleAndOnlyTheModalOneDisablesTheFrame) {
    struct Case {
        int16_t kind;
        const char *title;
        const char *expectTitle;
        bool ownerEnabled;  // and a child popup inside the frame
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
        EXPECT_EQ(c.ownerEnabled, seen.child) << c.kind;
        EXPECT_TRUE(IsWindowEnabled(frame));
        EXPECT_EQ(nullptr, popupWnd());
    }
    // Request 14 with an unknown dialog or a field outside it is a message.
    type({VK_ESCAPE});
    int n = m.message(14, th::Bytes().i16(2).i16(0).i32(99).i32(3).i16(400).text("Tip").text("").text(""));
    EXPECT_EQ(27, result(n));
    EXPECT_EQ(kWarning, seen.title);
    EXPECT_EQ(nullptr, seen.balloon);
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
        {0, {kClickPastLast, VK_RIGHT, VK_RETURN}, 1},  // no such button: ignored
        {0, {-0xEE}, 2},                                 // 1251 lower-case o: the hot key of "Отмена"
    };
    for (const Case &c : cases) {
        type(c.keys);
        int n = m.message(15, th::Bytes().i16(c.defaultButton).i16(6).i32(3).i16(1).i16(0).text("Save?")
                                  .text("&Yes").text("&No").text("&\x8e\xe2\xac\xa5\xad\xa0").text("").text("").text(""));
        EXPECT_EQ(c.expected, result(n)) << c.defaultButton << " " << c.keys.size();
        EXPECT_EQ("", seen.title);
        EXPECT_EQ(3, seen.buttons);
        EXPECT_TRUE(seen.ownerEnabled);  // a frame is there: not modal
        EXPECT_TRUE(seen.child);
    }
}

TEST_F(Popups, CopyKeysPutThePopupInDashedBlocksOnTheClipboard) {
    const std::string dashes = "---------------------------\r\n";
    struct Case {
        int key;
        int request;
        std::string expected;
    } cases[] = {
        {kCtrl | 'C', 15, dashes + "Save?\r\nreally\r\n" + dashes + "&Yes   &\xcd\xe5\xf2\r\n" + dashes},
        {kCtrl | VK_INSERT, 13, dashes + "Note\r\n" + dashes + "Save?\r\nreally\r\n" + dashes},
    };
    for (const Case &c : cases) {
        OpenClipboard(nullptr), EmptyClipboard(), CloseClipboard();
        type({c.key, VK_ESCAPE});
        if (c.request == 15)
            m.message(15, th::Bytes().i16(27).i16(6).i32(3).i16(1).i16(0).text("Save?\nreally")
                              .text("&Yes").text("&\x8d\xa5\xe2").text("").text("").text(""));
        else
            m.message(13, th::Bytes().i16(1).i16(0).i32(3).text("Save?\nreally").text("").text("Note"));
        EXPECT_EQ(c.expected, seen.clipboard) << c.request;
    }
}

TEST_F(Popups, AFieldTipShowsABalloonAtTheCurrentFieldUntilAKey) {
    Desc d;
    d.owner1 = 41;
    d.id = 0;
    DescField f;
    f.kind = 1, f.type = 7, f.length = 20, f.column = 8, f.row = 2, f.width = 15;
    f.value = textValue("abc");
    d.fields = {f, f};
    d.fields[1].row = 4;
    ASSERT_EQ(4, m.message(23, bytesOf(d)));
    HWND dlg = findClass("pxDialogWnd");
    ASSERT_NE(nullptr, dlg);
    HWND field = GetDlgItem(dlg, 769);

    const std::string dashes = "---------------------------\r\n";
    struct Case {
        std::vector<int> keys;
        int16_t index;  // -1 keeps the current field
        std::string clipboard;
    } cases[] = {
        {{VK_ESCAPE}, 1, ""},
        {{VK_F2}, -1, ""},  // any other key closes the tip and goes on to the dialog
        {{kCtrl | 'C', VK_ESCAPE}, 1, dashes + "Title\r\n" + dashes + "Check it\r\n" + dashes},
        {{kMoveDialog, VK_ESCAPE}, 1, ""},  // the balloon goes along with its dialog
        {{kMoveFrame, VK_ESCAPE}, 1, ""},   // and with the frame
        {{kHelp, VK_ESCAPE}, 1, ""},        // F1 asks with the tip's help id
    };
    for (const Case &c : cases) {
        type(c.keys);
        int n = m.message(14, th::Bytes().i16(3).i16(91).i32(41).i32(3).i16(c.index).text("Check it").text("")
                                  .text("Title"));
        EXPECT_EQ(27, result(n)) << c.keys[0];
        ASSERT_NE(nullptr, seen.balloon) << c.keys[0];
        EXPECT_EQ("", seen.title) << c.keys[0];  // no popup window
        bool moved = c.keys[0] == kMoveDialog || c.keys[0] == kMoveFrame;
        RECT fr, br = moved ? seen.movedRect : seen.balloonRect;
        GetWindowRect(field, &fr);
        POINT centre = {(fr.left + fr.right) / 2, (fr.top + fr.bottom) / 2};
        InflateRect(&br, 30, 20);
        EXPECT_TRUE(PtInRect(&br, centre)) << c.keys[0];
        EXPECT_EQ(nullptr, balloonWnd()) << c.keys[0];
        EXPECT_EQ(c.clipboard, seen.clipboard) << c.keys[0];
        if (moved) {
            OffsetRect(&seen.balloonRect, 40, 24);
            EXPECT_TRUE(EqualRect(&seen.balloonRect, &seen.movedRect)) << c.keys[0];
        }
        EXPECT_EQ(c.keys[0] == kHelp ? 91 : -1, seen.help) << c.keys[0];
        H().pump();
    }
}

// Colour of the running bar's cell k, read from the screen.
COLORREF cellColour(HWND bar, int k) {
    RECT rc;
    GetClientRect(bar, &rc);
    int step = rc.right / 20;
    HDC dc = GetDC(bar);
    COLORREF c = GetPixel(dc, k * step + step / 2, rc.bottom / 2);
    ReleaseDC(bar, dc);
    return c;
}

TEST_F(Popups, TheWaitBoxRunsItsBarAndItsButtonIsTheUsersBreak) {
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
        HWND box = findClass("pxDialogWnd");
        ASSERT_NE(nullptr, box);
        HWND bar = GetDlgItem(box, 768), button = GetDlgItem(box, 769);
        ASSERT_NE(nullptr, bar);
        KillTimer(bar, 256);  // the test moves the bar itself
        EXPECT_TRUE(IsWindowVisible(box));
        EXPECT_TRUE(GetWindowLongA(box, GWL_STYLE) & WS_CHILD);  // inside the frame
        m.message(65, th::Bytes().i16(0).i32(0).text("another"));  // one at a time
        EXPECT_EQ(box, findClass("pxDialogWnd"));
        char line[64] = {}, caption[64] = {};
        GetWindowTextA(GetDlgItem(box, 512), line, sizeof line);
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
        EXPECT_EQ(nullptr, findClass("pxDialogWnd"));
    }

    // The band of the caption colour runs over the bar one cell per tick,
    // then comes back white over cells that darken towards the caption.
    m.message(65, th::Bytes().i16(0).i32(0).text("x"));
    HWND bar = GetDlgItem(findClass("pxDialogWnd"), 768);
    KillTimer(bar, 256);
    COLORREF caption = GetSysColor(COLOR_ACTIVECAPTION);
    struct Tick {
        int ticks;  // since the box was made
        int cell;
        COLORREF colour;
    } ticks[] = {{0, 0, caption}, {3, 3, caption}, {22, 2, RGB(255, 255, 255)}};
    int done = 0;
    for (const Tick &t : ticks) {
        for (; done < t.ticks; ++done) SendMessageA(bar, WM_TIMER, 256, 0);
        InvalidateRect(bar, nullptr, FALSE);
        UpdateWindow(bar);
        EXPECT_EQ(t.colour, cellColour(bar, t.cell)) << t.ticks;
        EXPECT_NE(t.colour, cellColour(bar, t.cell + 5)) << t.ticks;
    }
    // A box still shown goes with the module.
}

}  // namespace
