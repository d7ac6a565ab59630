// The frame's parts driven directly: settings and fonts, grid geometry, the
// window registry, scrolling, the type-ahead ring, upcalls, status bars,
// tabs and tooltips, with the stand-in terminal behind them.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app.h"
#include "dialog.h"
#include "events.h"
#include "frame.h"
#include "host.h"
#include "hostsinks.h"
#include "hostwm.h"
#include "msgbox.h"
#include "popup.h"
#include "screenshot.h"
#include "registry.h"
#include "status.h"
#include "tabs.h"
#include "upcalls.h"
#include "wndutil.h"
#include "zam_entry.h"

namespace {

th::Host &H() { return th::Host::get(); }

MSG keyMsg(HWND wnd, WPARAM vk, LPARAM lParam = 1) {
    MSG m = {};
    m.hwnd = wnd;
    m.message = WM_KEYDOWN;
    m.wParam = vk;
    m.lParam = lParam;
    return m;
}

struct Frame : ::testing::Test {
    PxFrame *frame = nullptr;

    void SetUp() override {
        H().reset();
        H().enableExt({18, 26});
        zam_host().ext = H().ext();
        zam_host().app = H().app();
        zam_host().version = 114;
        ASSERT_TRUE(px_loadSettings(H().app(), nullptr));
        ASSERT_TRUE(px_initTopWnds());
        px_setCurObjNum(-1);
    }
    void TearDown() override {
        px_flushTypeAhead();
        px_freeTopWnds();
        px_freeSettings();
        EXPECT_EQ(nullptr, px_app());
    }
    // A frame on a new level, as request 7 makes it.
    PxFrame *openFrame(int columns = 60, int rows = 20) {
        SIZE s = px_frameSizeForGrid(columns, rows);
        PxTopWnd *level = px_newTopWnd();
        frame = px_createFrame("Test", 10, 10, s.cx, s.cy, nullptr);
        level->frame = frame;
        px_setupFrameStatus(frame);
        px_showFrame(frame, SW_SHOWNORMAL);
        H().pump();
        return frame;
    }
    HWND childAt(int x, int y, int w = 100, int h = 40) {
        return CreateWindowExA(0, "STATIC", "child", WS_CHILD | WS_VISIBLE | WS_BORDER, x, y, w, h, frame->client,
                               nullptr, nullptr, nullptr);
    }
    static POINT posIn(HWND w, HWND parent) {
        RECT r;
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT *>(&r), 2);
        return POINT{r.left, r.top};
    }
};

TEST_F(Frame, FontDescriptionsReplaceTheWholeFont) {
    struct Case {
        const char *text;
        const char *face;
        int height, weight, width, italic, charset, pitchFamily;
    } cases[] = {
        {"Arial, 10", "Arial", 10, 0, 0, 0, 1, 0},
        {"Arial,12,bold,7,italic,normal,normal,RUSSIAN,fixed,modern", "Arial", 12, 700, 7, 1, 204, 0x31},
        {"Arial,12,BOLD", "Arial", 12, 0, 0, 0, 1, 0},
        {"X,1,thin,0,normal,normal,normal,oem,variable,swiss,extra", "X", 1, 100, 0, 0, 255, 0x22},
        {"An extremely long face name of more than thirty-one", "An extremely long face name of ", 0, 0, 0, 0, 1, 0},
    };
    for (const Case &c : cases) {
        LOGFONTA f;
        std::memset(&f, 0x55, sizeof f);
        EXPECT_EQ(0, px_parseFont(&f, c.text));
        EXPECT_STREQ(c.face, f.lfFaceName) << c.text;
        EXPECT_EQ(c.height, f.lfHeight) << c.text;
        EXPECT_EQ(c.weight, f.lfWeight) << c.text;
        EXPECT_EQ(c.width, f.lfWidth) << c.text;
        EXPECT_EQ(c.italic, f.lfItalic) << c.text;
        EXPECT_EQ(c.charset, f.lfCharSet) << c.text;
        EXPECT_EQ(c.pitchFamily, f.lfPitchAndFamily) << c.text;
    }
    // A positive height is points, turned into pixels when the font is made.
    LOGFONTA f;
    px_parseFont(&f, "Courier New, 10");
    HFONT h = px_createFont(&f);
    EXPECT_NE(nullptr, h);
    DeleteObject(h);
    EXPECT_LT(f.lfHeight, 0);
}

TEST_F(Frame, SettingsKeysAndGridSteps) {
    PxApp *app = px_app();
    struct Key {
        const char *name, *value;
    } keys[] = {{"EDGEDISABLE", "7"}, {"EDGEREADONLY", "0"}, {"MENULOADINGMODE", "0x"}, {"EDGETYPE", "3abc"},
                {"MES_COLOR", "RGB(1,2,3)"}, {"HLP_COLOR", "junk"}, {"UNKNOWN", "1"}};
    for (const Key &k : keys) EXPECT_EQ(0, px_settingsKey(k.name, k.value, app));
    EXPECT_EQ(1, app->edgeDisable);
    EXPECT_EQ(0, app->edgeReadOnly);
    EXPECT_EQ(0, app->menuLoadingMode);
    EXPECT_EQ(3, app->edgeType);
    EXPECT_EQ(RGB(1, 2, 3), app->colors[0]);
    EXPECT_EQ(RGB(200, 255, 200), app->colors[2]);
    std::string longIcon(400, 'i');
    px_settingsKey("FRAMEICON", longIcon.c_str(), app);
    EXPECT_EQ(sizeof app->frameIconPath - 1, std::strlen(app->frameIconPath));

    struct Step {
        int stepX, stepY, textW, fieldW, textH, fieldH, wantX, wantY;
    } steps[] = {
        {0, 0, 11, 9, 18, 14, 11, 19},  {0, 0, 7, 9, 18, 10, 9, 18},   {-1, -1, 11, 9, 18, 14, 11, 18},
        {-2, -2, 11, 9, 18, 14, 9, 19}, {12, 30, 11, 9, 18, 14, 12, 30}, {-7, -9, 11, 9, 18, 14, 1, 1},
        {0, 0, 0, 0, 0, 0, 1, 5},
    };
    for (const Step &s : steps) {
        app->stepX = s.stepX, app->stepY = s.stepY;
        app->textCharW = s.textW, app->fieldCharW = s.fieldW;
        app->textLineH = s.textH, app->fieldLineH = s.fieldH;
        px_settleGridSteps(app);
        EXPECT_EQ(s.wantX, app->stepX) << s.stepX;
        EXPECT_EQ(s.wantY, app->stepY) << s.stepY;
    }
}

TEST_F(Frame, SettingsComeFromPaneluxIniInTheWorkingFolder) {
    px_freeTopWnds();
    px_freeSettings();
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string folder = std::string(dir) + "qvt_frame_ini";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string ini = folder + "\\panelux.ini";
    FILE *f = std::fopen(ini.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    std::fputs("STEPX=12\nSTEPY=-2\nMENULOADINGMODE=0\nFRAMEICON=#0\n", f);
    std::fclose(f);
    char old[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, old);
    SetCurrentDirectoryA(folder.c_str());
    bool loaded = px_loadSettings(H().app(), nullptr);
    SetCurrentDirectoryA(old);
    DeleteFileA(ini.c_str());
    RemoveDirectoryA(folder.c_str());
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(px_loadSettings(H().app(), nullptr));
    PxApp *app = px_app();
    EXPECT_EQ(12, app->stepX);
    EXPECT_EQ(app->fieldLineH + 5, app->stepY);
    EXPECT_EQ(0, app->menuLoadingMode);
    EXPECT_NE(nullptr, app->largeIcon);  // "#0" is no icon: the fallback stands
    ASSERT_TRUE(px_initTopWnds());
}

TEST_F(Frame, IconsFromFilesResourcesAndDataModules) {
    EXPECT_EQ(nullptr, px_loadIcon("", 32, 32, 0));
    EXPECT_EQ(nullptr, px_loadIcon("#0", 32, 32, 0));
    EXPECT_EQ(nullptr, px_loadIcon("#7@no-such-module.dll", 32, 32, 0));
    EXPECT_EQ(nullptr, px_loadIcon("missing.ico", 32, 32, 0));
    // A module the library does not import itself.
    ASSERT_EQ(nullptr, GetModuleHandleA("appwiz.cpl"));
    HICON icon = px_loadIcon("#1@appwiz.cpl", 32, 32, 0);
    EXPECT_NE(nullptr, icon);
    if (icon) DestroyIcon(icon);
    // Mapped as data only, and let go again.
    EXPECT_EQ(nullptr, GetModuleHandleA("appwiz.cpl"));
}

TEST_F(Frame, GridSizesRoundTripAndFitTextKeepsAnEllipsis) {
    for (int c : {2, 10, 80, 132})
        for (int r : {4, 25, 60}) {
            SIZE w = px_gridToWindowSize(c, r);
            SIZE g = px_windowToGridSize(w.cx, w.cy);
            EXPECT_EQ(c, g.cx);
            EXPECT_EQ(r, g.cy);
        }
    HDC dc = GetDC(nullptr);
    LOGFONTA lf = px_app()->fonts[kPxFieldFont];
    HFONT font = px_createFont(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE one;
    GetTextExtentPoint32A(dc, "W", 1, &one);
    char text[] = "ABCDEFGH";
    px_fitText(dc, text, 4 * one.cx, nullptr, nullptr);
    EXPECT_STREQ("ABC\x85", text);
    char text2[] = "ABCDEFGH";
    int length = 8;
    char saved = 0;
    px_fitText(dc, text2, 4 * one.cx, &length, &saved);
    EXPECT_EQ(4, length);
    EXPECT_EQ('D', saved);
    char none[] = "ABCDEFGH";
    px_fitText(dc, none, 0, nullptr, nullptr);
    EXPECT_STREQ("", none);
    char fits[] = "AB";
    px_fitText(dc, fits, 10 * one.cx, nullptr, nullptr);
    EXPECT_STREQ("AB", fits);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
}

int g_posChanges;
LRESULT CALLBACK countingProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_WINDOWPOSCHANGED) ++g_posChanges;
    return DefWindowProcA(w, msg, wp, lp);
}

TEST_F(Frame, WindowsMoveSizeAndRestyleOnlyWhenAskedToChange) {
    openFrame();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = countingProc;
    wc.lpszClassName = "pxCountingWnd";
    ASSERT_EQ(0, px_regWndClass(&wc));
    HWND w = CreateWindowExA(0, "pxCountingWnd", "", WS_CHILD | WS_VISIBLE, 10, 20, 100, 50, frame->client, nullptr,
                             px_app()->instance, nullptr);
    EXPECT_FALSE(px_moveWndBy(w, 0, 0, 0));
    EXPECT_TRUE(px_moveWndBy(w, 5, 0, 0));
    EXPECT_EQ(15, posIn(w, frame->client).x);
    EXPECT_EQ(20, posIn(w, frame->client).y);
    EXPECT_TRUE(px_sizeWndBy(w, 3, 4, 0));
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(103, r.right - r.left);
    EXPECT_EQ(54, r.bottom - r.top);
    DWORD style = static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE));
    g_posChanges = 0;
    px_setWndStyles(w, style, 0);
    EXPECT_EQ(0, g_posChanges);
    px_setWndStyles(w, style | WS_BORDER, 0);
    EXPECT_EQ(1, g_posChanges);
    EXPECT_FALSE(px_moveWndBy(nullptr, 1, 1, 0));
    DestroyWindow(w);
}

TEST_F(Frame, WindowClassesReplaceTheirOlderRegistration) {
    for (int i = 0; i < 2; ++i) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "pxTestWnd";
        EXPECT_EQ(0, px_regWndClass(&wc));
    }
    EXPECT_TRUE(px_isClassRegistered("pxTestWnd"));
    EXPECT_TRUE(px_unregisterClasses());
    WNDCLASSA probe;
    EXPECT_FALSE(GetClassInfoA(px_app()->instance, "pxTestWnd", &probe));
}

TEST_F(Frame, ChildrenActivateNewestFirstAndScrollByMoving) {
    openFrame();
    PxTopWnd *level = px_firstTopWnd();
    HWND a = childAt(0, 0), b = childAt(50, 30);
    int objA = 1, objB = 2;
    px_addChildWnd(a, &objA, kPxChildOther);
    px_addChildWnd(b, &objB, kPxChildOther);
    EXPECT_EQ(b, level->active->wnd);
    EXPECT_EQ(level->active, ring_first(&level->children));
    EXPECT_TRUE(px_isActiveChild(&objB, kPxChildOther));
    EXPECT_TRUE(px_removeChildWnd(&objB, kPxChildOther));
    EXPECT_FALSE(px_removeChildWnd(&objB, kPxChildOther));
    EXPECT_EQ(a, level->active->wnd);
    DestroyWindow(b);
    // A window the host attaches is found by its host object, never made active.
    int hostObj = 0;
    PxChildWnd *attached = px_attachChildWnd(nullptr, &objB, kPxChildOther, &hostObj);
    PxTopWnd *owner = nullptr;
    EXPECT_EQ(attached, px_findChildByHost(&hostObj, &owner));
    EXPECT_EQ(level, owner);
    EXPECT_EQ(a, level->active->wnd);
    px_detachChildWnd(level, attached);
    EXPECT_EQ(nullptr, px_findChildByHost(&hostObj, nullptr));

    // All children fit: both ranges are the client size, position 0.
    RECT client;
    GetClientRect(frame->client, &client);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(frame->client, SB_VERT, &si);
    EXPECT_EQ(0, si.nPos);
    EXPECT_EQ(client.bottom - 1, si.nMax);
    EXPECT_EQ(static_cast<UINT>(client.bottom), si.nPage);

    HWND low = childAt(0, 2000);
    int objLow = 3;
    px_addChildWnd(low, &objLow, kPxChildOther);
    GetScrollInfo(frame->client, SB_VERT, &si);
    EXPECT_EQ(2039, si.nMax);
    POINT before = posIn(a, frame->client), lowBefore = posIn(low, frame->client);
    SendMessageA(frame->client, WM_VSCROLL, SB_LINEDOWN, 0);
    SendMessageA(frame->client, WM_VSCROLL, SB_ENDSCROLL, 0);
    int step = px_app()->fieldLineH;
    EXPECT_EQ(before.y - step, posIn(a, frame->client).y);
    EXPECT_EQ(lowBefore.y - step, posIn(low, frame->client).y);
    for (int request : {SB_TOP, SB_ENDSCROLL}) SendMessageA(frame->client, WM_VSCROLL, request, 0);
    EXPECT_EQ(before.y, posIn(a, frame->client).y);

    // A rectangle taller than the client area aligns its bottom edge with 0x100.
    RECT tall = {0, 100, 50, 100 + client.bottom * 3};
    MapWindowPoints(frame->client, nullptr, reinterpret_cast<POINT *>(&tall), 2);
    px_scrollIntoView(frame, tall, 0x100);
    int shift = 100 + client.bottom * 3 - client.bottom;
    EXPECT_EQ(before.y - shift, posIn(a, frame->client).y);
    // The bar shows where the view now stands: the next action starts there.
    GetScrollInfo(frame->client, SB_VERT, &si);
    EXPECT_EQ(0, si.nPos);
    EXPECT_LT(si.nMin, 0);
    SendMessageA(frame->client, WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(before.y, posIn(a, frame->client).y);
}

// The client window's picture as its window surface holds it, children
// included; pixels inside `skip` (client co-ordinates) read as 0.
std::vector<uint32_t> clientPicture(HWND client, RECT skip = RECT{}) {
    RECT r;
    GetClientRect(client, &r);
    HDC dc = GetDCEx(client, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
    HDC mem = CreateCompatibleDC(dc);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = r.right;
    bi.bmiHeader.biHeight = -r.bottom;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<uint32_t> px;
    const uint32_t *p = static_cast<const uint32_t *>(bits);
    for (int y = 0; p && y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x) {
            POINT at = {x, y};
            px.push_back(PtInRect(&skip, at) ? 0 : p[y * r.right + x] & 0xffffff);
        }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(client, dc);
    return px;
}

// Scrolling reuses the pixels that move with the children and paints only
// what comes into view: whatever the steps, the client then looks exactly
// as if it had been painted afresh.
TEST_F(Frame, ScrolledChildrenLookAsIfPaintedAfresh) {
    openFrame(60, 20);
    std::vector<HWND> kids;
    for (int i = 0; i < 12; ++i)
        kids.push_back(CreateWindowExA(0, "STATIC", ("child " + std::to_string(i)).c_str(),
                                       WS_CHILD | WS_VISIBLE | WS_BORDER | SS_CENTER, (i % 4) * 120 + 5,
                                       (i / 4) * 70 + 5, 110, 40, frame->client, nullptr, nullptr, nullptr));
    kids.push_back(childAt(0, 2000));
    static int objects[13];
    for (size_t i = 0; i < kids.size(); ++i) px_addChildWnd(kids[i], &objects[i], kPxChildOther);
    UpdateWindow(frame->wnd);
    H().pump();
    auto scroll = [&](int code, int times, bool paintEach) {
        for (int i = 0; i < times; ++i) {
            SendMessageA(frame->client, WM_VSCROLL, static_cast<WPARAM>(code), 0);
            if (paintEach) UpdateWindow(frame->client);
        }
        SendMessageA(frame->client, WM_VSCROLL, SB_ENDSCROLL, 0);
    };
    auto expectFresh = [&](const char *what, RECT skip = RECT{}) {
        UpdateWindow(frame->wnd);
        H().pump();
        std::vector<uint32_t> shown = clientPicture(frame->client, skip);
        RedrawWindow(frame->client, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        std::vector<uint32_t> fresh = clientPicture(frame->client, skip);
        ASSERT_FALSE(shown.empty());
        EXPECT_TRUE(shown == fresh) << what;
    };
    POINT start = posIn(kids[0], frame->client);
    scroll(SB_LINEDOWN, 3, true);
    EXPECT_EQ(start.y - 3 * px_app()->fieldLineH, posIn(kids[0], frame->client).y);
    expectFresh("line steps");
    // Steps with no painting between them: what was still to be painted moves too.
    scroll(SB_LINEDOWN, 2, false);
    scroll(SB_LINEUP, 4, false);
    expectFresh("steps not painted in between");
    scroll(SB_PAGEDOWN, 1, true);
    scroll(SB_TOP, 1, true);
    expectFresh("page and top");

    // A window over part of the client: what lay under it comes into view afresh.
    RECT cover = {150, 40, 350, 120};
    RECT onScreen = cover;
    MapWindowPoints(frame->client, nullptr, reinterpret_cast<POINT *>(&onScreen), 2);
    HWND over = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | WS_BORDER, onScreen.left,
                                onScreen.top, onScreen.right - onScreen.left, onScreen.bottom - onScreen.top, nullptr,
                                nullptr, nullptr, nullptr);
    UpdateWindow(over);
    H().pump();
    scroll(SB_LINEDOWN, 2, true);
    expectFresh("beside a covering window", cover);
    DestroyWindow(over);
    expectFresh("after the cover went");

    // A window in the client that is not one of the frame's stays where it
    // is, also when it comes in the middle of a scroll action.
    POINT kidAt = posIn(kids[0], frame->client);
    SendMessageA(frame->client, WM_VSCROLL, SB_LINEUP, 0);
    UpdateWindow(frame->client);
    HWND stray = CreateWindowExA(0, "STATIC", "stray", WS_CHILD | WS_VISIBLE | WS_BORDER, 300, 100, 80, 30,
                                 frame->client, nullptr, nullptr, nullptr);
    UpdateWindow(stray);
    POINT strayAt = posIn(stray, frame->client);
    scroll(SB_LINEUP, 1, true);
    EXPECT_EQ(strayAt.y, posIn(stray, frame->client).y);
    EXPECT_EQ(kidAt.y + 2 * px_app()->fieldLineH, posIn(kids[0], frame->client).y);
    expectFresh("beside a window of its own");
}

// With the host's window manager kept, a child registers its own sink; one
// that asks for it is bracketed by the manager's notices; a level that
// becomes current again activates its frame with the manager.
TEST_F(Frame, ChildWindowsRegisterWithTheManagerAndLevelsActivate) {
    th::HostWmLog log;
    th::FakeWindowManager manager(log);
    th::FakeHostApp app(log, &manager);
    H().hostApp = static_cast<IPxHostApp *>(&app);
    px_registerHostSinks();
    openFrame();
    ASSERT_EQ(1u, manager.windows.size());
    auto calls = [&] {
        std::vector<std::string> v;
        for (const std::string &c : log.calls)
            if (c.compare(0, 3, "wm.") == 0 && c != "wm.activate") v.push_back(c);
        log.calls.clear();
        return v;
    };
    using Calls = std::vector<std::string>;
    struct Case {
        bool notify;
        Calls added, removed;
    } cases[] = {
        {false, {"wm.registerWindow"}, {"wm.unregisterWindow"}},
        {true, {"wm.notify(0)", "wm.registerWindow"}, {"wm.unregisterWindow", "wm.notify(1)"}},
    };
    for (const Case &c : cases) {
        calls();
        int object = 0;
        HWND w = childAt(10, 10);
        ASSERT_NE(nullptr, px_addChildWnd(w, &object, kPxChildPopup, c.notify));
        EXPECT_EQ(c.added, calls()) << c.notify;
        EXPECT_EQ(2u, manager.windows.size());
        EXPECT_TRUE(px_removeChildWnd(&object, kPxChildPopup));
        EXPECT_EQ(c.removed, calls()) << c.notify;
        DestroyWindow(w);
    }
    PxTopWnd *above = px_newTopWnd();
    log.calls.clear();
    px_dropTopWnd(above);
    EXPECT_EQ(std::vector<std::string>{"wm.activate"}, log.calls);
    log.calls.clear();
    px_unregisterHostSinks();
    EXPECT_EQ((Calls{"wm.unregisterWindow", "wm.registerModuleSink(null)"}), calls());
    EXPECT_TRUE(manager.windows.empty());
    EXPECT_EQ(1, manager.refs);
    H().hostApp = nullptr;
}

// The active dialog's tooltip stays at its dialog when the frame moves.
TEST_F(Frame, TheActiveDialogsTipFollowsTheFrame) {
    openFrame();
    HWND w = childAt(40, 30);
    int object = 0;
    ASSERT_NE(nullptr, px_addChildWnd(w, &object, kPxChildDialog));
    HWND tip = px_createToolTip(w, "tip", nullptr, 0, false);
    ASSERT_NE(nullptr, tip);
    H().pump();
    RECT before, after, f;
    GetWindowRect(tip, &before);
    GetWindowRect(frame->wnd, &f);
    SetWindowPos(frame->wnd, nullptr, f.left + 30, f.top + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    H().pump();
    GetWindowRect(tip, &after);
    EXPECT_EQ(before.left + 30, after.left);
    EXPECT_EQ(before.top + 20, after.top);
    DestroyWindow(tip);
    px_removeChildWnd(&object, kPxChildDialog);
    DestroyWindow(w);
}

TEST_F(Frame, GridCellsOfNestedDialogsBecomeClientPositions) {
    openFrame(80, 25);
    PxApp *app = px_app();
    int sx = app->stepX, sy = app->stepY;
    HWND outerWnd = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 5 * sx, 2 * sy, 40 * sx,
                                    15 * sy, frame->client, nullptr, nullptr, nullptr);
    HWND innerWnd = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 3 * sx, 3 * sy, 10 * sx, 5 * sy,
                                    outerWnd, nullptr, nullptr, nullptr);
    PxGridBox outer, inner;
    outer.wnd = outerWnd, outer.firstCol = 5, outer.lastCol = 45, outer.firstRow = 2, outer.lastRow = 17;
    outer.border = true;
    inner.wnd = innerWnd, inner.firstCol = 8, inner.lastCol = 18, inner.firstRow = 5, inner.lastRow = 10;
    inner.parent = &outer;
    RECT ow;
    GetWindowRect(outerWnd, &ow);
    MapWindowPoints(nullptr, frame->client, reinterpret_cast<POINT *>(&ow), 2);
    POINT oc = {0, 0};
    MapWindowPoints(outerWnd, frame->client, &oc, 1);
    RECT iw;
    GetWindowRect(innerWnd, &iw);
    MapWindowPoints(nullptr, frame->client, reinterpret_cast<POINT *>(&iw), 2);
    struct Case {
        const PxGridBox *box;
        int col, row, got;
        LONG x, y;
    } cases[] = {
        {&outer, 5, 2, kPxGridX | kPxGridY, ow.left, ow.top},
        {&outer, 10, 4, kPxGridX | kPxGridY, (10 - 5 - 1) * sx + oc.x, (4 - 2 - 1) * sy + oc.y},
        {&outer, 47, 19, kPxGridX | kPxGridY, (47 - 45 - 1) * sx + ow.right, (19 - 17 - 1) * sy + ow.bottom},
        {&outer, 45, 17, 0, -1, -1},
        {&outer, 4, 1, 0, -1, -1},
        // Found in the outer dialog: the asked dialog's own place is added.
        {&inner, 6, 3, kPxGridX | kPxGridY, (6 - 5 - 1) * sx + oc.x + iw.left, (3 - 2 - 1) * sy + oc.y + iw.top},
    };
    for (const Case &c : cases) {
        POINT p = {-1, -1};
        EXPECT_EQ(c.got, px_gridToClient(c.box, c.col, c.row, &p)) << c.col;
        EXPECT_EQ(c.x, p.x) << c.col;
        EXPECT_EQ(c.y, p.y) << c.row;
    }
    // An editor's cells: inside, before and beyond its client area.
    struct Cell {
        LONG x, y;
        int inside;
        LONG col, row;
    } cells[] = {{0, 0, 1, 0, 0}, {app->editorCharW * 3, app->editorLineH * 2, 1, 3, 2}, {-5, 3, 0, -1, 0},
                 {100000, 100000, 0, 80, 25}};
    for (const Cell &c : cells) {
        POINT p = {c.x, c.y};
        EXPECT_EQ(c.inside, px_editorCellAt(outerWnd, 80, 25, &p));
        EXPECT_EQ(c.col, p.x);
        EXPECT_EQ(c.row, p.y);
    }
    DestroyWindow(outerWnd);
}

// The frame is made with its rebar and the menu bar in it, showing the
// placeholder item " "; the size made for a grid leaves room for the bar,
// so the client window holds the grid asked for.
TEST_F(Frame, TheFrameIsMadeWithItsMenuBarAndHoldsItsGrid) {
    openFrame(60, 20);
    EXPECT_TRUE(IsWindowVisible(frame->rebar));
    HWND bar = GetDlgItem(frame->rebar, kPxMenuBarId);
    ASSERT_EQ(frame->menuBar, bar);
    char cls[32] = {}, text[8] = {};
    GetClassNameA(bar, cls, sizeof cls);
    EXPECT_STREQ("QVUI:MenuBar", cls);
    ASSERT_EQ(1, SendMessageA(bar, TB_BUTTONCOUNT, 0, 0));
    SendMessageA(bar, TB_GETBUTTONTEXTA, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(" ", text);
    RECT rb;
    GetWindowRect(frame->rebar, &rb);
    EXPECT_GE(rb.bottom - rb.top, GetSystemMetrics(SM_CYMENU));
    EXPECT_EQ(rb.bottom - rb.top, posIn(frame->client, frame->wnd).y);
    EXPECT_EQ(60, frame->columns);
    EXPECT_EQ(20, frame->rows);
}

// The menu bar's class registration reports a failure in a plain box
// without owner, even while a frame is there to own one.
TEST_F(Frame, AFailedMenuBarClassRegistrationBoxHasNoOwner) {
    openFrame();
    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = px_app()->instance;
    taken.lpszClassName = "PxTakenClass";
    ASSERT_TRUE(RegisterClassA(&taken));
    // A window of the class keeps it from being unregistered.
    HWND holder = CreateWindowExA(0, "PxTakenClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, taken.hInstance, nullptr);
    ASSERT_NE(nullptr, holder);
    static HWND s_owner;
    static int s_boxes;
    s_owner = reinterpret_cast<HWND>(1);
    s_boxes = 0;
    th::MessageBoxCatcher catcher;
    HHOOK hook = SetWindowsHookExA(WH_CBT, [](int code, WPARAM wParam, LPARAM lParam) CALLBACK -> LRESULT {
        if (code == HCBT_CREATEWND) {
            char c[16] = {};
            GetClassNameA(reinterpret_cast<HWND>(wParam), c, sizeof c);
            if (!lstrcmpA(c, "#32770")) {
                s_owner = reinterpret_cast<CBT_CREATEWNDA *>(lParam)->lpcs->hwndParent;
                ++s_boxes;
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }, nullptr, GetCurrentThreadId());
    WNDCLASSA again = taken;
    EXPECT_EQ(-1, px_regWndClassCaptioned(&again, "UnregisterClass('%s') failed!", "RegisterClass('%s') failed!"));
    UnhookWindowsHookEx(hook);
    ASSERT_EQ(1, s_boxes);
    EXPECT_EQ(nullptr, s_owner);
    ASSERT_EQ(1u, catcher.seen.size());
    EXPECT_EQ(L"UnregisterClass('PxTakenClass') failed!", catcher.seen[0].caption);
    DestroyWindow(holder);
    UnregisterClassA("PxTakenClass", taken.hInstance);
}

TEST_F(Frame, ModalLoopsAnswerTheEventWaitWith775) {
    openFrame();
    EXPECT_EQ(nullptr, px_modalLoopWindow());
    px_installHooks();
    SendMessageA(frame->wnd, WM_ENTERSIZEMOVE, 0, 0);
    EXPECT_EQ(frame->wnd, px_modalLoopWindow());
    PxEvent e;
    EXPECT_TRUE(px_readEvent(&e, -1));
    EXPECT_EQ(775, e.code);
    SendMessageA(frame->wnd, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ(nullptr, px_modalLoopWindow());
    px_removeHooks();
}

TEST_F(Frame, SizeEventsReachTheServerAsOnePostedUpcall) {
    px_postEvent3(500, 0, 0, 77, 33, kPxModeQueue);
    px_postEvent(27, 0, 1, kPxModeDirect);
    PxEvent e;
    EXPECT_EQ(500, px_hookWaitEvent(&e));
    EXPECT_EQ(0, e.p2);
    EXPECT_EQ(27, px_hookPollEvent(&e));
    EXPECT_EQ(0, px_hookPollEvent(&e));
    ASSERT_EQ(1u, H().upcalls.size());
    const th::Upcall &u = H().upcalls[0];
    EXPECT_EQ("PXTBL#0", u.table);
    EXPECT_EQ(104, u.code);
    EXPECT_FALSE(u.transact);
    EXPECT_EQ((th::ByteVec{0, 0, 0, 0, 77, 0, 33, 0, 0}), u.payload);
}

TEST_F(Frame, ScrollBarActionsBecomeScrollEvents) {
    HWND w = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VSCROLL | WS_HSCROLL, 0, 0, 200, 200, nullptr, nullptr,
                             nullptr, nullptr);
    SetScrollRange(w, SB_VERT, 0, 100, FALSE);
    SetScrollRange(w, SB_HORZ, 0, 100, FALSE);
    struct Row {
        bool vertical, track;
        int request, thumb, code, p2, pos;
    } rows[] = {
        {true, false, SB_LINEDOWN, 0, 504, 0, 0},      {true, false, SB_THUMBPOSITION, 40, 504, 40, 40},
        {true, false, SB_THUMBTRACK, 60, 504, 0, 40},  {true, true, SB_THUMBTRACK, 60, 504, 60, 60},
        {false, false, SB_PAGELEFT, 0, 503, 0, 0},     {false, false, SB_THUMBPOSITION, 7, 503, 7, 7},
    };
    for (const Row &r : rows) {
        int bar = r.vertical ? SB_VERT : SB_HORZ;
        px_scrollBarEvent(w, bar, r.vertical, MAKEWPARAM(r.request, r.thumb), r.track);
        const PxEvent &e = H().added.back().event;
        EXPECT_EQ(r.code, e.code);
        EXPECT_EQ(r.request, e.p1);
        EXPECT_EQ(r.p2, e.p2);
        EXPECT_EQ(r.pos, GetScrollPos(w, bar));
    }
    DestroyWindow(w);
}

TEST_F(Frame, CharactersReachTheServerInTheOemCodePage) {
    struct Row {
        unsigned char ansi, oem;
    } rows[] = {{'a', 'a'}, {0xC0, 0x80}, {0xE0, 0xA0}, {0xB8, 0xF1}, {0xFF, 0xEF}};
    for (const Row &r : rows) {
        px_postCharEvent(r.ansi, kPxModeDirect);
        EXPECT_EQ(r.oem, H().added.back().event.code) << int(r.ansi);
    }
}

TEST_F(Frame, MouseEventsCarryGridCellsAndButtonBits) {
    openFrame();
    PxApp *app = px_app();
    H().added.clear();
    struct Step {
        int code, x, y, col, row, buttons;
    } steps[] = {{513, 3, 2, 3, 2, 1}, {517, 4, 2, 4, 2, 3}, {515, 4, 2, 4, 2, 2}, {518, 0, 0, 0, 0, 0}};
    for (const Step &s : steps)
        px_postMouseEventAt(frame->client, s.code, POINT{s.x * app->stepX + 1, s.y * app->stepY + 1}, 9, kPxModeDirect);
    ASSERT_EQ(4u, H().added.size());
    for (size_t i = 0; i < 4; ++i) {
        const PxEvent &e = H().added[i].event;
        EXPECT_EQ(steps[i].col, e.p1);
        EXPECT_EQ(steps[i].row, e.p2);
        EXPECT_EQ(9, e.p3);
        EXPECT_EQ(steps[i].buttons, e.p4);
    }
    px_postMouseEventAt(frame->client, 517, POINT{0, 0}, 0, kPxModeDirect);
    px_postEvent(27, 0, 0, kPxModeDirect);  // any other event clears the buttons
    px_postMouseEventAt(frame->client, 513, POINT{0, 0}, 0, kPxModeDirect);
    EXPECT_EQ(1, H().added.back().event.p4);
    // A click on the frame's menu area: press and release at zero.
    H().added.clear();
    SendMessageA(frame->wnd, WM_NCLBUTTONDOWN, HTMENU, 0);
    ASSERT_EQ(2u, H().added.size());
    EXPECT_EQ(513, H().added[0].event.code);
    EXPECT_EQ(515, H().added[1].event.code);
    EXPECT_EQ(0, H().added[1].event.p1);
}

TEST_F(Frame, TypeAheadKeepsSixteenFirstPressesAndReplaysThem) {
    openFrame();
    HWND dlg = childAt(10, 10, 200, 100);
    int obj = 0;
    px_addChildWnd(dlg, &obj, kPxChildDialog);
    const int keys[17] = {VK_F2, VK_F3, VK_F4, VK_F5, VK_F6, VK_F7, VK_F8, VK_F9, VK_F10,
                          VK_F11, VK_F12, VK_PRIOR, VK_NEXT, VK_END, VK_HOME, VK_LEFT, VK_UP};
    SetKeyboardState(std::vector<BYTE>(256).data());
    H().added.clear();
    for (int i = 0; i < 17; ++i) {
        MSG m = keyMsg(dlg, static_cast<WPARAM>(keys[i]));
        EXPECT_EQ(1, px_msgFilter(&m));
        m.lParam |= 1L << 30;  // the key held down repeats: dropped
        EXPECT_EQ(1, px_msgFilter(&m));
    }
    EXPECT_EQ(16, px_typeAheadCount());
    EXPECT_TRUE(H().added.empty());

    int running = 0;
    px_firstTopWnd()->runningDlg = &running;
    H().added.clear();
    for (int i = 0; i < 20; ++i) px_replayTypeAhead(dlg);
    ASSERT_EQ(16u, H().added.size());
    EXPECT_EQ(316, H().added[0].event.code);
    EXPECT_EQ(331, H().added[15].event.code);
    EXPECT_EQ(0, px_typeAheadCount());

    // Ctrl+Break empties the ring and breaks even while the dialog is busy.
    px_firstTopWnd()->runningDlg = nullptr;
    MSG m = keyMsg(dlg, VK_F2);
    px_msgFilter(&m);
    EXPECT_EQ(1, px_typeAheadCount());
    BYTE ctrl[256] = {};
    ctrl[VK_CONTROL] = 0x80;
    SetKeyboardState(ctrl);
    MSG brk = keyMsg(dlg, VK_CANCEL);
    EXPECT_EQ(1, px_msgFilter(&brk));
    SetKeyboardState(std::vector<BYTE>(256).data());
    EXPECT_EQ(0, px_typeAheadCount());
    EXPECT_EQ(1, H().userBreaks);
    EXPECT_GE(H().flushInputs, 1);
    // A window outside the registry is not formkit's.
    MSG other = keyMsg(GetDesktopWindow(), VK_F2);
    EXPECT_EQ(0, px_msgFilter(&other));
}

TEST_F(Frame, UpcallsNameTheirTableAndTakeOnlyFourByteAnswers) {
    auto answer = [](int32_t v, size_t size = 4) {
        return [v, size](const th::Upcall &) {
            th::ByteVec b(size, 0);
            std::memcpy(b.data(), &v, 4);
            return std::optional<th::ByteVec>(b);
        };
    };
    H().respond("PXTBL#3", 102, answer(11));
    H().respond("PXTBL#3", 105, answer(12));
    H().respond("PXTBL#3", 106, answer(13, 6));
    H().respond("PXTBL#3", 107, answer(14));
    H().respond("PXTBL#0", 108, answer(15));
    H().respond("PXTBL#255", 103, answer(16));
    H().respond("PXTBL#5", 103, answer(17));
    H().respond("PXTBL#3", 104, answer(18));
    struct Case {
        int result, expected, code;
        th::ByteVec payload;
    } cases[] = {
        {px_upcallMenuQuery(3, 0x01020304, 7), 11, 102, {4, 3, 2, 1, 7, 0, 0, 0}},
        {px_upcallColumnShow(3, 9, 2, 1), 12, 105, {9, 0, 0, 0, 2, 0, 1, 0}},
        {px_upcallLayoutChanged(3, 9), -1, 106, {9, 0, 0, 0}},
        {px_upcallColumnMove(3, 9, 4, -1), 14, 107, {9, 0, 0, 0, 4, 0, 0xff, 0xff}},
        {px_upcallDlgCallback(66), 15, 108, {66, 0, 0, 0}},
        {px_upcallHelp(300), 16, 103, {0x2c, 1, 0, 0}},
        {(px_setCurObjNum(5), px_upcallHelp(1)), 17, 103, {1, 0, 0, 0}},
        {px_upcallNotify(3, 9, 80, 25, 1), 18, 104, {9, 0, 0, 0, 80, 0, 25, 0, 1}},
        {px_upcallMenuQuery(4, 1, 1), 0, 102, {1, 0, 0, 0, 1, 0, 0, 0}},
    };
    ASSERT_EQ(sizeof cases / sizeof cases[0], H().upcalls.size());
    for (size_t i = 0; i < H().upcalls.size(); ++i) {
        EXPECT_EQ(cases[i].expected, cases[i].result) << i;
        EXPECT_EQ(cases[i].code, H().upcalls[i].code) << i;
        EXPECT_EQ(cases[i].payload, H().upcalls[i].payload) << i;
        EXPECT_TRUE(H().upcalls[i].transact);
    }
    EXPECT_EQ("PXTBL#255", H().upcalls[5].table);
    EXPECT_EQ("PXTBL#5", H().upcalls[6].table);
    EXPECT_EQ("PXTBL#4", H().upcalls[8].table);
}

TEST_F(Frame, MenuDescriptionsArriveInBoundedChunks) {
    std::vector<unsigned char> desc(20000);
    for (size_t i = 0; i < desc.size(); ++i) desc[i] = static_cast<unsigned char>(i * 7);
    size_t sent = 0;
    int32_t claim = 0;  // when set, the server claims more than it sends
    H().respond("PXTBL#2", 100, [&](const th::Upcall &u) {
        WireReader r(u.payload.data(), u.payload.size());
        r.i32();
        size_t want = static_cast<size_t>(r.i32());
        size_t n = std::min(want, desc.size() - sent);
        th::ByteVec b(4 + n);
        int32_t said = claim ? claim : static_cast<int32_t>(n);
        std::memcpy(b.data(), &said, 4);
        std::memcpy(b.data() + 4, desc.data() + sent, n);
        sent += n;
        return std::optional<th::ByteVec>(b);
    });
    std::vector<unsigned char> out;
    ASSERT_TRUE(px_upcallMenuBlob(2, 44, 20000, &out));
    EXPECT_EQ(desc, out);
    ASSERT_EQ(3u, H().upcalls.size());
    for (const th::Upcall &u : H().upcalls)
        EXPECT_EQ((th::ByteVec{44, 0, 0, 0, 0x40, 0x1f, 0, 0}), u.payload);

    sent = 0;
    claim = 0x7fffffff;
    ASSERT_TRUE(px_upcallMenuBlob(2, 44, 20000, &out));
    EXPECT_EQ(desc, out);
    sent = 0;
    claim = -1;
    EXPECT_FALSE(px_upcallMenuBlob(2, 44, 20000, &out));
    EXPECT_FALSE(px_upcallMenuBlob(9, 44, 100, &out));  // nobody answers
}

TEST_F(Frame, StatusBarsLayTheirPanesOutAndKeepTheirLimits) {
    openFrame();
    HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 600, 100, nullptr, nullptr, nullptr, nullptr);
    PxPaneSpec panes[] = {{5, 4}, {2, 3}, {-1, 2}};
    HWND bar = px_createStatusBar(host, false, false, panes, 3);
    ASSERT_NE(nullptr, bar);
    // Dialog bar: 2, 5, the filler, then -1 at the right-hand end.
    EXPECT_EQ(0, px_statusPartOf(bar, 2));
    EXPECT_EQ(1, px_statusPartOf(bar, 5));
    EXPECT_EQ(3, px_statusPartOf(bar, -1));
    int edges[8] = {};
    ASSERT_EQ(4, SendMessageA(bar, SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges)));
    RECT rc;
    GetClientRect(bar, &rc);
    EXPECT_EQ(3 * px_app()->stepX + 6, edges[0]);
    EXPECT_EQ(rc.right, edges[3]);
    px_setStatusPane(bar, 5, "five", nullptr, 2);
    EXPECT_EQ("five", px_statusPaneText(bar, 5));
    // Pane 1 stays without borders through every later layout.
    ASSERT_EQ(0, px_addStatusPane(bar, 1, 3, -1));
    px_layoutStatusBar(bar);
    WPARAM part1 = static_cast<WPARAM>(px_statusPartOf(bar, 1));
    EXPECT_TRUE(HIWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, part1, 0)) & SBT_NOBORDERS);
    EXPECT_FALSE(HIWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, part1 + 1, 0)) & SBT_NOBORDERS);

    for (int id = 10; id < 80; ++id) px_addStatusPane(bar, id, 1, -1);
    EXPECT_EQ(kPxPaneLimit, px_statusPanesOf(bar)->count);
    EXPECT_EQ(kPxPaneLimit + 1, px_addStatusPane(bar, 200, 1, -1));
    EXPECT_EQ("five", px_statusPaneText(bar, 5));
    px_destroyStatusBar(bar);
    DestroyWindow(host);

    // Layout records: a size that disagrees with the record is refused.
    std::vector<unsigned char> all = px_getStatusLayout(frame->status, -1);
    ASSERT_EQ(2u + 5 * 4, all.size());
    EXPECT_FALSE(px_setStatusLayout(frame->status, -1, all.data(), 3));
    std::vector<unsigned char> longer = all;
    longer.resize(all.size() + 4);
    EXPECT_FALSE(px_setStatusLayout(frame->status, -1, longer.data(), longer.size()));
    EXPECT_EQ(5, px_statusPanesOf(frame->status)->count);
    std::vector<unsigned char> one = px_getStatusLayout(frame->status, 33);
    one[4] = 77;  // pane 33 gets width 77; the others keep theirs
    EXPECT_TRUE(px_setStatusLayout(frame->status, 33, one.data(), one.size()));
    EXPECT_EQ(77, px_statusPanesOf(frame->status)->widths[4]);
    EXPECT_EQ(1u, px_getStatusLayout(frame->status, 1).size() / 6);
    EXPECT_TRUE(px_getStatusLayout(frame->status, 99).empty());
}

TEST_F(Frame, TabClicksAskTheServerAndTooltipsShow) {
    openFrame();
    PxTab tab;
    ASSERT_TRUE(px_createTab(frame->client, RECT{10, 10, 400, 200}, "One\nTwo\nThree", &tab));
    EXPECT_EQ(3, SendMessageA(tab.wnd, TCM_GETITEMCOUNT, 0, 0));
    RECT item;
    SendMessageA(tab.wnd, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    POINT at = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    POINT screen = at;
    ClientToScreen(tab.wnd, &screen);
    H().added.clear();
    SetCursorPos(screen.x, screen.y);
    SendMessageA(tab.wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageA(tab.wnd, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    ASSERT_EQ(1u, H().added.size());
    EXPECT_EQ(377, H().added[0].event.code);
    EXPECT_EQ(0, SendMessageA(tab.wnd, TCM_GETCURSEL, 0, 0));
    // The cursor elsewhere: a miss refuses and tells the server nothing.
    SetCursorPos(0, 0);
    SendMessageA(tab.wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageA(tab.wnd, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    EXPECT_EQ(1u, H().added.size());
    EXPECT_EQ(0, SendMessageA(tab.wnd, TCM_GETCURSEL, 0, 0));
    px_selectTab(tab.wnd, 2);
    EXPECT_EQ(2, SendMessageA(tab.wnd, TCM_GETCURSEL, 0, 0));

    for (bool balloon : {true, false}) {
        HWND tip = px_createToolTip(frame->client, "A ~tip", "Title", 1, balloon);
        ASSERT_NE(nullptr, tip);
        H().pump();
        EXPECT_TRUE(IsWindowVisible(tip)) << balloon;
        EXPECT_EQ(balloon, (GetWindowLongA(tip, GWL_STYLE) & TTS_BALLOON) != 0);
        char text[64] = {};
        TOOLINFOA ti = {};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.hwnd = frame->client;
        ti.uId = kPxTipToolId;
        ti.lpszText = text;
        SendMessageA(tip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&ti));
        EXPECT_STREQ("A tip", text);
        DestroyWindow(tip);
    }
    px_destroyTab(&tab);
}

// With no terminal nobody can answer a popup or end an input: they end at
// once, a popup with the answer of one that could not be made.
TEST_F(Frame, ModalWaitsWithoutATerminalEndUnanswered) {
    openFrame();
    PxPanelPtr panel(px_allocPanel(0, 1, 0, 2, 2, 30, 8, 0, 255, 0));
    ASSERT_TRUE(panel);
    PxField *f = px_appendField(panel.get(), 1, 1, PXV_STRING, 20, 3, 2, 12, 1, 0);
    ASSERT_TRUE(f && px_fieldStoreText(f, "abc", 3));
    ASSERT_EQ(0, px_openDialog(panel.get()));
    panel->currentField = f;
    px_app()->appObj = nullptr;
    zam_host().app = nullptr;
    struct Case {
        int buttons;  // choice popups; -1 a message, -2 the field's input
        int expected;
    } cases[] = {{-1, -1}, {0, 27}, {2, 1}, {-2, -1}, {-3, 5}, {-4, 3}};
    for (const Case &c : cases) {
        PxEvent ev = {};
        // -3 and -4: choices whose default lies past the buttons answer it
        // as given (30 is button 3 with Escape allowed).
        int result = c.buttons == -2 ? px_editField(&ev, panel.get())
                     : c.buttons == -3 ? px_popupInput("Save?", "Yes\0No\0", 5, 6, 1, 0, "", "")
                     : c.buttons == -4 ? px_popupInput("Save?", "Yes\0No\0", 30, 6, 1, 0, "", "")
                     : c.buttons < 0 ? px_popupMessage("Note", 1, 0, "", "")
                                     : px_popupInput("Save?", c.buttons ? "Yes\0No\0" : "", 1, 6, 1, 0, "", "");
        EXPECT_EQ(c.expected, result) << c.buttons;
    }
    px_app()->appObj = zam_host().app = H().app();
    px_closeDialog(panel.get());
}

// One picture of a frame with its status bar and tabs, for people to look at.
TEST_F(Frame, ScreenshotOfAFrameWithStatusBarAndTabs) {
    openFrame(70, 18);
    PxTab tab;
    RECT c;
    GetClientRect(frame->client, &c);
    ASSERT_TRUE(px_createTab(frame->client, RECT{8, 40, c.right - 8, c.bottom - 8}, "General\nDetails\nHistory", &tab));
    px_setStatusText("Ready");
    px_addStatusPane(frame->status, 5, 80, -1);
    px_setStatusPane(frame->status, 5, "Pane 5", nullptr, 2);
    SetForegroundWindow(frame->wnd);
    RedrawWindow(frame->wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    H().pump();
    EXPECT_GT(th::saveWindowBitmap(frame->wnd, "frame_screenshot.bmp").size(), 4u);
    px_destroyTab(&tab);
}

}  // namespace
