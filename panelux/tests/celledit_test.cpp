// Editor and tab dialogs through the loaded module: request 46 opens a
// character-cell editor over the frame's client area and 47-50 drive it;
// 51 opens a tab dialog whose tabs only ask the server, which selects with
// 52 and opens the pages as child dialogs.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "descbuilder.h"
#include "formkitfix.h"
#include "wire.h"
#include "wndfind.h"

namespace {

struct Cells : FormkitTest {
    void SetUp() override {
        startModule();
        openFrame(80, 25);
    }
    void TearDown() override {
        FormkitTest::TearDown();
        EXPECT_EQ(nullptr, findClass("pxDialogWnd"));
    }
    std::string statusText(int part) {
        HWND bar = GetDlgItem(GetAncestor(findClass("pxClientWnd"), GA_ROOT), 0x604);
        char buf[64] = {};
        SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(buf));
        return buf;
    }
    void idle() {
        for (PxIdleProc p : H().idles) p();
    }
    // A 10 x 5 editor dialog under the handle, the focus on its editor.
    HWND focusedEditor(int32_t handle) {
        Desc d;
        d.owner1 = handle;
        EXPECT_EQ(4, m.message(46, withDesc(th::Bytes().u8(0).u8(0).u8(10).u8(5), d)));
        HWND ed = findClass("pxEditorWnd");
        if (!ed) return nullptr;
        SetFocus(GetParent(ed));
        m.message(28, th::Bytes().i32(handle).i32(1));
        return ed;
    }
};

TEST_F(Cells, EditorPlacesTheCaretShowsChangesAndPaintsAttributes) {
    Desc d;
    d.owner1 = 61;
    d.left = 0, d.top = 0, d.right = 79, d.bottom = 24;
    ASSERT_EQ(4, m.message(46, withDesc(th::Bytes().u8(1).u8(2).u8(80).u8(25), d)));
    uint32_t packed = static_cast<uint32_t>(replyInt());
    HWND ed = findClass("pxEditorWnd");
    ASSERT_NE(nullptr, ed);
    HWND dlg = GetParent(ed);
    EXPECT_EQ(0x1003, GetDlgCtrlID(ed));

    // Focus moves to the editor with request 28; a block caret on cell (1, 1)
    // gives the cell size.
    SetFocus(dlg);
    m.message(28, th::Bytes().i32(61).i32(1));
    ASSERT_EQ(ed, GetFocus());
    m.message(47, th::Bytes().i32(61).i16(1).i16(1).i16(262));
    POINT cell = {};
    ASSERT_TRUE(GetCaretPos(&cell));
    int w = cell.x, h = cell.y;
    ASSERT_GT(w, 0);
    ASSERT_GT(h, 0);
    // The reply carries the grid the window holds: whole columns, and rows
    // with a cut last row counted.
    RECT c;
    GetClientRect(ed, &c);
    int columns = static_cast<int>(packed >> 24), rows = static_cast<int>((packed >> 16) & 0xFF);
    EXPECT_EQ(c.right / w, columns);
    EXPECT_EQ((c.bottom + h - 1) / h, rows);
    EXPECT_EQ(0u, packed & 0xFF);

    const struct {
        int column, row, kind;
        POINT at;
    } carets[] = {
        {3, 2, 262, {3 * w, 2 * h}},
        {500, 1, 262, {(columns - 1) * w, h}},
        {-5, 900, 1543, {0, rows * h - 2}},
        {2, 0, 775, {2 * w, h - w}},
        {2, 0, 1, {3 * w - 1, 0}},
    };
    for (const auto &k : carets) {
        m.message(47, th::Bytes().i32(61).i16(static_cast<int16_t>(k.column)).i16(static_cast<int16_t>(k.row))
                          .i16(static_cast<int16_t>(k.kind)));
        POINT p = {};
        GetCaretPos(&p);
        EXPECT_EQ(k.at.x, p.x) << k.column << "," << k.row;
        EXPECT_EQ(k.at.y, p.y) << k.column << "," << k.row;
    }

    // Rows written by 48 are shown only by 49, and only where they changed.
    auto put = [&](int row, int count, int from, int to, const std::string &text, std::vector<unsigned char> attrs) {
        m.message(48, th::Bytes().i32(61).i16(static_cast<int16_t>(row)).i16(static_cast<int16_t>(count))
                          .i16(static_cast<int16_t>(from)).i16(static_cast<int16_t>(to)).text(text)
                          .raw(attrs.data(), attrs.size()));
    };
    auto flushed = [&] {
        ValidateRect(ed, nullptr);
        m.message(49, th::Bytes().i32(61));
        RECT r = {};
        GetUpdateRect(ed, &r, FALSE);
        return r;
    };
    const struct {
        const char *name;
        int row, count, from, to;
        std::string text;
        std::vector<unsigned char> attrs;
        RECT region;
    } writes[] = {
        {"text and blanks of attribute 17", 2, 20, 0, 0, "hello", {19, 19, 19, 19, 19}, {0, 2 * h, 20 * w, 3 * h}},
        {"the same row again", 2, 20, 0, 0, "hello", {19, 19, 19, 19, 19}, {0, 0, 0, 0}},
        {"a marked range", 2, 20, 5, 10, "hello", {19, 19, 19, 19, 19}, {0, 2 * h, 10 * w, 3 * h}},
        {"a row below the grid", 900, 20, 0, 0, "x", {1}, {0, 0, 0, 0}},
        {"a negative row", -1, 20, 0, 0, "x", {1}, {0, 0, 0, 0}},
        {"a negative count", 3, -7, 0, 0, "x", {1}, {0, 0, 0, 0}},
        {"a count past the columns", 4, 30000, 0, 0, " ", {0}, {w, 4 * h, columns * w, 5 * h}},
        {"a range past the columns", 5, 0, -3, 30000, "", {}, {0, 5 * h, columns * w, 6 * h}},
    };
    for (const auto &x : writes) {
        put(x.row, x.count, x.from, x.to, x.text, x.attrs);
        RECT r = flushed();
        EXPECT_EQ(x.region.left, r.left) << x.name;
        EXPECT_EQ(x.region.top, r.top) << x.name;
        EXPECT_EQ(x.region.right, r.right) << x.name;
        EXPECT_EQ(x.region.bottom, r.bottom) << x.name;
    }

    // Cell colours come from the attribute tables; marked cells use 18.
    put(6, 8, 4, 6, "     ", {19, 19, 0, 247, 0});
    m.message(49, th::Bytes().i32(61));
    UpdateWindow(ed);
    HDC dc = GetDC(ed);
    const COLORREF window = GetSysColor(COLOR_WINDOW), red = RGB(224, 0, 0), grey = RGB(112, 112, 112);
    const COLORREF backs[] = {red, red, window, RGB(240, 240, 224), grey, grey, window};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(backs[i], GetPixel(dc, i * w + w / 2, 6 * h + h / 2) & 0xFFFFFF) << "cell " << i;
    ReleaseDC(ed, dc);

    m.message(29, th::Bytes().i32(61));
    EXPECT_EQ(nullptr, findClass("pxEditorWnd"));
}

TEST_F(Cells, EditorOverwriteShowsWhileItHasTheFocus) {
    ASSERT_NE(nullptr, focusedEditor(62));
    // Request 31's overwrite byte sets the editor's flag as 50 does.
    const struct {
        int request, flag, focus;
        const char *shown;
    } steps[] = {{50, 1, 1, "OVR"}, {50, 1, 0, "INS"}, {50, 1, 1, "OVR"}, {50, 0, 1, "INS"}, {31, 1, 1, "OVR"},
                 {31, 0, 1, "INS"}};
    for (const auto &s : steps) {
        if (s.request == 50) m.message(50, th::Bytes().i16(static_cast<int16_t>(s.flag)));
        else m.message(31, th::Bytes().i16(10).u8(1).u8(static_cast<uint8_t>(s.flag)).i16(0).i16(0).text(""));
        m.message(28, th::Bytes().i32(62).i32(s.focus));
        idle();
        EXPECT_EQ(s.shown, statusText(4)) << s.request << " " << s.flag << " " << s.focus;
    }
    m.message(29, th::Bytes().i32(62));
}

// Keys on the editor window become the server's key events; letters are
// left to become characters. The editor is repainted before a key is taken.
TEST_F(Cells, EditorKeysReachTheServerAfterARepaint) {
    HWND ed = focusedEditor(63);
    ASSERT_NE(nullptr, ed);
    ASSERT_EQ(ed, GetFocus());
    const struct {
        int vk, scan, mode;
        bool eventMode;
        std::vector<int> codes;
    } keys[] = {
        {VK_LEFT, 0x4B, 2, false, {331}},
        {VK_F2, 0x3C, 2, false, {316}},
        {VK_RETURN, 0x1C, 0, true, {13}},
        {'A', 0x1E, 2, false, {'a'}},
    };
    for (const auto &k : keys) {
        m.message(4, th::Bytes().i16(k.eventMode ? 1 : 0));
        H().added.clear();
        InvalidateRect(ed, nullptr, FALSE);
        MSG msg = {ed, WM_KEYDOWN, static_cast<WPARAM>(k.vk), static_cast<LPARAM>(1 | (k.scan << 16)), 0, {}};
        bool consumed = false;
        for (PxFilterProc f : H().filters) consumed = consumed || f(&msg) != 0;
        EXPECT_FALSE(GetUpdateRect(ed, nullptr, FALSE)) << k.vk;
        if (!consumed) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            H().pump();
        }
        std::vector<int> codes;
        for (const th::AddedEvent &a : H().added) {
            codes.push_back(a.event.code);
            EXPECT_EQ(k.mode, a.mode) << k.vk;
        }
        EXPECT_EQ(k.codes, codes) << k.vk;
        if (!codes.empty() && k.vk != 'A') {
            EXPECT_EQ(k.scan, H().added[0].event.p1) << k.vk;
        }
    }
    m.message(4, th::Bytes().i16(0));
    m.message(29, th::Bytes().i32(63));
}

TEST_F(Cells, TabDialogShowsItsLabelsAndTheServerSwitchesPages) {
    Desc d;
    d.owner1 = 71;
    d.left = 1, d.top = 1, d.right = 50, d.bottom = 18;
    // "Три" in code page 866 after two Latin labels.
    ASSERT_EQ(4, m.message(51, withDesc(th::Bytes().u8(2).u8(2).u8(30).u8(8), d).text("One\nTwo\n\x92\xe0\xa8")));
    ASSERT_EQ(0, replyInt());
    HWND tab = findClass(WC_TABCONTROLA);
    ASSERT_NE(nullptr, tab);
    HWND dlg = GetParent(tab);
    ASSERT_EQ(3, SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
    const char *labels[] = {"One", "Two", "\xd2\xf0\xe8"};
    for (int i = 0; i < 3; ++i) {
        char buf[32] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = buf;
        item.cchTextMax = sizeof buf;
        SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(labels[i], buf) << i;
    }

    // A click on the third tab asks the server (event 376 + 2) and keeps
    // the selection.
    RECT item;
    SendMessageA(tab, TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
    POINT at = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    POINT screen = at;
    ClientToScreen(tab, &screen);
    SetCursorPos(screen.x, screen.y);
    H().added.clear();
    SendMessageA(tab, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageA(tab, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    ASSERT_FALSE(H().added.empty());
    EXPECT_EQ(378, H().added.back().event.code);
    EXPECT_EQ(0, SendMessageA(tab, TCM_GETCURSEL, 0, 0));
    H().queue.clear();

    // While the dialog runs the server opens a page, switches the tab and
    // opens the next page in place of the first: each fills the display area.
    RECT display;
    GetClientRect(tab, &display);
    SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    MapWindowPoints(tab, dlg, reinterpret_cast<POINT *>(&display), 2);
    std::vector<RECT> pages;
    H().script.push_back([&] {
        for (int32_t page : {72, 73}) {
            Desc p;
            p.owner1 = page;
            p.id = 0;
            p.left = 3, p.top = 3, p.right = 20, p.bottom = 8;
            p.texts = {{{2, 1}, "Page"}};
            EXPECT_EQ(4, m.message(23, withDesc(th::Bytes(), p)));
            HWND w = FindWindowExA(dlg, nullptr, "pxDialogWnd", nullptr);
            if (w) pages.push_back(rectIn(w, dlg));
            if (page == 72) {
                m.message(29, th::Bytes().i32(72));
                m.message(52, th::Bytes().i32(71).i16(1));
            }
        }
        H().queue.push_back(PxEvent{27, 0, 1, 0, 0, 0});
    });
    EXPECT_EQ(9, m.message(26, th::Bytes().i32(71).i16(-1).i16(-1).i16(-1).u8(0)));
    EXPECT_EQ(1, SendMessageA(tab, TCM_GETCURSEL, 0, 0));
    ASSERT_EQ(2u, pages.size());
    for (const RECT &r : pages) EXPECT_TRUE(EqualRect(&r, &display));
    m.message(29, th::Bytes().i32(73));
    m.message(29, th::Bytes().i32(71));

    // A description cut short, or a handle in use, opens nothing.
    Desc cut = d;
    cut.fieldCount = 4;
    EXPECT_EQ(4, m.messageInBlock(51, withDesc(th::Bytes().u8(0).u8(0).u8(0).u8(0), cut)));
    EXPECT_EQ(-1, replyInt());
    EXPECT_EQ(nullptr, findClass(WC_TABCONTROLA));
}

}  // namespace
