// List dialogs through the loaded module: requests 34/35 open a list, 36-45
// and 69 drive rows, columns and the column layout; the header answers the
// user's clicks and drags (SendInput) with events and upcalls 105-107.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "child.h"
#include "descbuilder.h"
#include "formkitfix.h"
#include "msgbox.h"
#include "screenshot.h"
#include "standin.h"
#include "wire.h"
#include "cliptext.h"
#include "wndfind.h"

namespace {

constexpr int32_t kHandle = 51;
constexpr uint32_t kHeaderMode = 0x40000;

DescField column(int at, int width, const std::string &header) {
    DescField f;
    f.kind = 1;
    f.type = 7;
    f.length = 20;
    f.column = static_cast<int8_t>(at), f.row = 1, f.width = static_cast<int8_t>(width);
    f.header = header;
    f.value = textValue("");
    return f;
}

Desc listDesc(uint32_t options = kHeaderMode, int fields = 3) {
    Desc d;
    d.owner1 = kHandle;
    d.owner2 = 3;
    d.id = 0x0100;
    d.left = 0, d.top = 1, d.right = 50, d.bottom = 16;
    d.options = options;
    for (int i = 0; i < fields; ++i) d.fields.push_back(column(1 + 12 * i, 10, "H" + std::to_string(i)));
    return d;
}

// Request 34 or 35: a, b (grid row), c, d (row height), the data rows, the
// description and a layout.
th::Bytes openRequest(const Desc &d, int16_t rows, const std::vector<unsigned char> &layout = {}, uint8_t rowHeight = 1,
                      uint8_t gridRow = 1) {
    ::Bytes desc = d.encode();
    th::Bytes b;
    b.u8(0).u8(gridRow).u8(0).u8(rowHeight).i16(rows).raw(desc.b.data(), desc.b.size());
    b.i32(static_cast<int32_t>(layout.size()));
    if (!layout.empty()) b.raw(layout.data(), layout.size());
    return b;
}

std::vector<unsigned char> layoutBytes(std::vector<int16_t> widths, std::vector<int16_t> order) {
    ::Bytes b;
    b.u8('w').u16(static_cast<uint16_t>(widths.size()));
    for (int16_t w : widths) b.u16(static_cast<uint16_t>(w));
    b.u8('o').u16(static_cast<uint16_t>(order.size()));
    for (int16_t o : order) b.u16(static_cast<uint16_t>(o));
    return b.b;
}

std::string headerText(HWND header, int item) {
    char buf[64] = {};
    HDITEMA it = {};
    it.mask = HDI_TEXT;
    it.pszText = buf;
    it.cchTextMax = sizeof buf;
    SendMessageA(header, HDM_GETITEMA, item, reinterpret_cast<LPARAM>(&it));
    return buf;
}

POINT screenPoint(HWND wnd, int x, int y) {
    POINT p{x, y};
    ClientToScreen(wnd, &p);
    return p;
}

void mouseTo(POINT p, DWORD flags = 0) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (p.x * 65535 + GetSystemMetrics(SM_CXSCREEN) / 2) / (GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = (p.y * 65535 + GetSystemMetrics(SM_CYSCREEN) / 2) / (GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &in, sizeof in);
    H().pump();
}

// Press at from, move in steps, release at to.
void drag(POINT from, POINT to) {
    mouseTo(from);
    mouseTo(from, MOUSEEVENTF_LEFTDOWN);
    for (int i = 1; i <= 4; ++i)
        mouseTo(POINT{from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4});
    mouseTo(to, MOUSEEVENTF_LEFTUP);
    H().pump();
}

// Pixels of a window's client area (read from the window, not the screen)
// in a band of rows, that have (or, with other, do not have) a colour.
int countPixels(HWND wnd, int top, int bottom, COLORREF colour, bool other = false) {
    HDC dc = GetDC(wnd);
    RECT c;
    GetClientRect(wnd, &c);
    int n = 0;
    for (int y = std::max(0, top); y < std::min<int>(bottom, c.bottom); ++y)
        for (int x = 0; x < c.right; ++x) n += (GetPixel(dc, x, y) == colour) != other;
    ReleaseDC(wnd, dc);
    return n;
}

th::Host::Responder answer(int32_t v) {
    return [v](const th::Upcall &) {
        th::ByteVec b(4);
        std::memcpy(b.data(), &v, 4);
        return std::optional<th::ByteVec>(b);
    };
}

struct Lists : FormkitTest {
    void SetUp() override {
        startModule();
        openFrame(60, 25);
    }
    void TearDown() override {
        FormkitTest::TearDown();
        EXPECT_EQ(nullptr, findClass("pxScrollWnd"));
    }
    int32_t open(int code, const th::Bytes &req) {
        EXPECT_EQ(4, m.message(code, req));
        return replyInt();
    }
    // Request 44 for n columns: the result, then widths and order.
    std::pair<std::vector<int16_t>, std::vector<int16_t>> layout(int n) {
        int16_t size = static_cast<int16_t>(4 * n + 6);
        EXPECT_EQ(size + 4, m.message(44, th::Bytes().i32(kHandle).i16(size)));
        WireReader r(m.reply(), static_cast<size_t>(size) + 4);
        EXPECT_EQ(0, r.i32());
        EXPECT_EQ('w', r.u8());
        int16_t wn = r.i16();
        std::vector<int16_t> w, o;
        for (int i = 0; i < wn; ++i) w.push_back(r.i16());
        EXPECT_EQ('o', r.u8());
        int16_t on = r.i16();
        for (int i = 0; i < on; ++i) o.push_back(r.i16());
        return {w, o};
    }
    std::vector<unsigned char> saved() {
        int n = m.message(40, th::Bytes().i32(kHandle));
        EXPECT_GT(n, 4);
        EXPECT_EQ(0, replyInt());
        return std::vector<unsigned char>(m.reply() + 4, m.reply() + (n > 4 ? n : 4));
    }
    // Request 26 on a field of a row, ended by the script's last step.
    std::vector<unsigned char> run(int16_t field, int16_t row, th::Bytes update = th::Bytes().u8(0)) {
        int n = m.message(26, th::Bytes().i32(kHandle).i16(-1).i16(field).i16(row).raw(update));
        return std::vector<unsigned char>(m.reply(), m.reply() + (n > 0 ? n : 0));
    }
    static void endWith(int code) {
        H().script.push_back([code] { H().queue.push_back(PxEvent{code, 0, 0, 0, 0, 0}); });
    }
};

TEST_F(Lists, OpenAnswersRowsAndKeepsOnlyLayoutsThatFit) {
    struct Case {
        int code;
        std::vector<unsigned char> layout;
        std::vector<int16_t> order;  // expected column order
    } cases[] = {
        {34, {}, {0, 1, 2}},
        {35, layoutBytes({80, 40, 120}, {2, 0, 1}), {2, 0, 1}},
        // Not a permutation, another field count, a short record, bad marks.
        {35, layoutBytes({80, 40, 120}, {2, 2, 1}), {0, 1, 2}},
        {35, layoutBytes({80, 40, 120}, {0, 1, 7}), {0, 1, 2}},
        {35, layoutBytes({80, 40}, {1, 0}), {0, 1, 2}},
        {35, std::vector<unsigned char>{'w', 3, 0, 1}, {0, 1, 2}},
        {35, std::vector<unsigned char>(18, 'x'), {0, 1, 2}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " layout " << c.layout.size());
        int32_t reply = open(c.code, openRequest(listDesc(), 40, c.layout));
        EXPECT_EQ(40, reply >> 16);
        EXPECT_GT((reply >> 8) & 0xFF, 5);
        EXPECT_EQ(0, reply & 0xFF);
        ASSERT_NE(nullptr, findClass("pxScrollWnd"));
        EXPECT_EQ(c.order, layout(3).second);
        m.message(29, th::Bytes().i32(kHandle));
    }
    // The widths of a saved layout come back with it; a refused open
    // leaves no window behind.
    open(35, openRequest(listDesc(), 40, layoutBytes({80, 0, 120}, {1, 2, 0})));
    std::vector<unsigned char> bytes = saved();
    ASSERT_EQ(18u, bytes.size());
    auto before = layout(3);
    EXPECT_EQ(0, before.first[1]);
    m.message(29, th::Bytes().i32(kHandle));
    open(35, openRequest(listDesc(), 40, bytes));
    EXPECT_EQ(bytes, saved());
    EXPECT_EQ(before, layout(3));
    EXPECT_EQ(-1, open(34, openRequest(listDesc(), 40)));  // the handle is taken
    m.message(29, th::Bytes().i32(kHandle));
    EXPECT_EQ(-1, open(34, openRequest(listDesc(0, 0), 4)));  // no column
    EXPECT_EQ(4, m.messageInBlock(34, th::Bytes().u8(0).u8(1)));
    EXPECT_EQ(-1, replyInt());
    EXPECT_EQ(nullptr, findClass("pxScrollWnd"));
}

TEST_F(Lists, RequestsOnRowsAndColumnsStayInsideTheList) {
    // Row height 0 and a list window lower than its header.
    Desc tiny = listDesc();
    tiny.bottom = 2;
    open(34, openRequest(tiny, 5, {}, 0));
    EXPECT_EQ(0, m.message(36, th::Bytes().i32(kHandle).i16(0).i16(3).i16(1)));
    EXPECT_EQ(4, m.message(39, th::Bytes().i32(kHandle).i16(0).i16(0)));
    EXPECT_EQ(0, replyInt());
    m.message(29, th::Bytes().i32(kHandle));

    ASSERT_EQ(40, open(34, openRequest(listDesc(), 40)) >> 16);
    HWND header = findClass("SysHeader32");
    ASSERT_NE(nullptr, header);
    EXPECT_TRUE(IsWindowVisible(header));
    // Rows, counts and columns far outside the list change nothing or only
    // what lies inside.
    const th::Bytes wild[] = {
        th::Bytes().i32(kHandle).i16(-30000).i16(32000).i16(1),
        th::Bytes().i32(kHandle).i16(2).i16(32000).i16(-32000),
        th::Bytes().i32(kHandle).i16(32000).i16(5).i16(3),
        th::Bytes().i32(kHandle).i16(0).i16(-5).i16(2),
    };
    for (const th::Bytes &b : wild) EXPECT_EQ(0, m.message(36, b));
    for (int16_t row : {-1, 0, 500, 32767}) EXPECT_EQ(0, m.message(37, th::Bytes().i32(kHandle).i16(row)));
    for (int16_t f : {-1, 2, 99}) EXPECT_EQ(0, m.message(38, th::Bytes().i32(kHandle).i16(f)));
    for (int16_t c : {-1, 3, 300})
        EXPECT_EQ(0, m.message(43, th::Bytes().i32(kHandle).i16(c).i32(1).u8(1)));
    H().pump();

    // 41: width 0 hides, -1 brings the stored width back, characters
    // otherwise; fields outside the panel and bad widths are ignored.
    enum { kHidden, kNarrower, kStored };
    struct Width {
        uint8_t field;
        int8_t width;
        int expect;  // of field 1's width
    } widths[] = {
        {1, 0, kHidden}, {1, 3, kNarrower}, {1, -1, kStored}, {9, 0, kStored}, {1, -100, kStored},
    };
    auto first = layout(3).first;
    ASSERT_GT(first[1], 3);
    for (const Width &w : widths) {
        m.message(41, th::Bytes().i32(kHandle).u8(w.field).u8(static_cast<uint8_t>(w.width)));
        auto got = layout(3).first;
        EXPECT_EQ(first[0], got[0]) << int(w.width);
        int expected = w.expect == kHidden ? 0 : w.expect == kStored ? first[1] : -1;
        if (expected >= 0) {
            EXPECT_EQ(expected, got[1]) << int(w.width);
        } else {
            EXPECT_TRUE(got[1] > 0 && got[1] < first[1]) << got[1];
        }
    }

    // 44 with the wrong size writes nothing; unknown handles answer -1.
    for (int16_t size : {0, 17, 19, 200}) {
        EXPECT_EQ(size + 4, m.message(44, th::Bytes().i32(kHandle).i16(size)));
        EXPECT_EQ(-1, replyInt());
        for (int i = 0; i < size; ++i) EXPECT_EQ(0, m.reply()[4 + i]);
    }
    for (int code : {39, 40, 44}) {
        EXPECT_EQ(code == 44 ? 22 : 4, m.message(code, th::Bytes().i32(999).i16(18).i16(0))) << code;
        EXPECT_EQ(-1, replyInt()) << code;
    }

    // 42 renames the headers (866 to 1251); 69 undoes a moved order.
    m.message(42, th::Bytes().i32(kHandle).text("\x88\xac\xef").text("B").text("C"));
    EXPECT_EQ("\xc8\xec\xff", headerText(header, 0));
    EXPECT_EQ("C", headerText(header, 2));
    m.message(29, th::Bytes().i32(kHandle));
    open(35, openRequest(listDesc(), 40, layoutBytes({80, 40, 120}, {2, 0, 1})));
    m.message(69, th::Bytes().i32(kHandle));
    EXPECT_EQ((std::vector<int16_t>{0, 1, 2}), layout(3).second);
    // 45 without a click on the scroll bar does nothing.
    EXPECT_EQ(0, m.message(45, th::Bytes().i32(kHandle)));
}

TEST_F(Lists, HeaderClicksAndDragsAskTheServer) {
    open(34, openRequest(listDesc(), 40));
    m.message(28, th::Bytes().i32(kHandle).i32(1));
    HWND header = findClass("SysHeader32");
    ASSERT_NE(nullptr, header);
    auto itemRect = [&](int item) {
        RECT r{};
        SendMessageA(header, HDM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r));
        return r;
    };
    // A click on an item, and a right click, while the dialog runs.
    struct Click {
        DWORD down, up;
        int item, button;
    } clicks[] = {{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 1, 1}, {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 2, 2}};
    for (const Click &c : clicks) {
        RECT r = itemRect(c.item);
        POINT p = screenPoint(header, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        H().script.push_back([p, c] {
            mouseTo(p, c.down);
            mouseTo(p, c.up);
        });
        endWith(27);
        std::vector<unsigned char> reply = run(-1, -1);
        ASSERT_EQ(9u, reply.size());
        EXPECT_EQ(505, reply[0] | reply[1] << 8);
        EXPECT_EQ(c.item, reply[3]);
        EXPECT_EQ(c.button, reply[8]);
        H().script.clear();
        H().queue.clear();
    }

    // The divider between items 0 and 1 dragged past item 0's left edge:
    // the column hides when upcall 105 answers 0, stays otherwise. The
    // layout change is announced (106) once.
    // A click far from the header between drags, so that no press is taken
    // for a double click on the divider.
    HWND list = findClass("pxScrollWnd");
    auto clickAway = [&] {
        RECT c;
        GetClientRect(list, &c);
        POINT p = screenPoint(list, c.right - 3, c.bottom - 3);
        mouseTo(p, MOUSEEVENTF_LEFTDOWN);
        mouseTo(p, MOUSEEVENTF_LEFTUP);
        H().queue.clear();
    };
    H().respond("PXTBL#3", 106, answer(0));
    for (int32_t verdict : {1, 0}) {
        H().respond("PXTBL#3", 105, answer(verdict));
        clickAway();
        H().upcalls.clear();
        RECT r = itemRect(0);
        drag(screenPoint(header, r.right - 1, 5), screenPoint(header, r.left + 1, 5));
        std::vector<int> codes;
        for (const th::Upcall &u : H().upcalls) codes.push_back(u.code);
        ASSERT_FALSE(codes.empty()) << verdict;
        EXPECT_EQ(105, codes[0]);
        EXPECT_EQ((th::ByteVec{kHandle, 0, 0, 0, 0, 0, 0, 0}), H().upcalls[0].payload);
        EXPECT_EQ(verdict == 0, layout(3).first[0] == 0) << verdict;
        EXPECT_EQ(verdict ? 1u : 2u, codes.size());
    }
    // Restore it, then drag item 2 onto item 0: refused, then allowed.
    m.message(41, th::Bytes().i32(kHandle).u8(0).u8(10));
    H().pump();
    for (int32_t verdict : {5, 0}) {
        H().respond("PXTBL#3", 107, answer(verdict));
        clickAway();
        H().upcalls.clear();
        RECT from = itemRect(2), to = itemRect(0);
        drag(screenPoint(header, (from.left + from.right) / 2, 5), screenPoint(header, to.left + 3, 5));
        H().pump();
        ASSERT_EQ(1u, H().upcalls.size()) << verdict;
        EXPECT_EQ(107, H().upcalls[0].code);
        EXPECT_EQ((th::ByteVec{kHandle, 0, 0, 0, 2, 0, 0, 0}), H().upcalls[0].payload);
        std::vector<int16_t> order = layout(3).second;
        std::vector<int16_t> expected = verdict ? std::vector<int16_t>{0, 1, 2} : std::vector<int16_t>{2, 0, 1};
        EXPECT_EQ(expected, order);
        int expectFirst = verdict ? 0 : 2;
        EXPECT_EQ(expectFirst, static_cast<int>(SendMessageA(header, HDM_ORDERTOINDEX, 0, 0)));
    }

    // A column widened while its cell is edited in place: the edit follows.
    clickAway();
    int widths[2] = {};
    H().script.push_back([&] {
        HWND edit = findClass("Edit");
        ASSERT_NE(nullptr, edit);
        RECT e, r = itemRect(0);
        GetWindowRect(edit, &e);
        widths[0] = e.right - e.left;
        drag(screenPoint(header, r.right - 1, 5), screenPoint(header, r.right + 29, 5));
        H().pump();
        GetWindowRect(edit, &e);
        widths[1] = e.right - e.left;
        PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
    });
    run(0, 3, th::Bytes().u8(0x10).text("old"));
    EXPECT_GT(widths[0], 0);
    EXPECT_NEAR(widths[0] + 30, widths[1], 2);
}

TEST_F(Lists, CurrentCellIsHighlightedEditedInPlaceAndEmptyListSaysSo) {
    Desc d = listDesc(8);
    d.fields[1].kind = 2;  // shown on the list itself, not in an edit
    d.fields[0].number = 0x0301;  // a field of another colour class: module colour 3
    open(34, openRequest(d, 0));
    HWND list = findClass("pxScrollWnd");
    ASSERT_NE(nullptr, list);
    // Only the active list writes its text.
    RECT c;
    GetClientRect(list, &c);
    for (int active : {0, 1}) {
        m.message(28, th::Bytes().i32(kHandle).i32(active));
        UpdateWindow(list);
        int written = countPixels(list, c.bottom / 2 - 10, c.bottom / 2 + 10, GetSysColor(COLOR_WINDOW), true);
        EXPECT_EQ(active == 1, written > 20) << active << " " << written;
    }
    m.message(29, th::Bytes().i32(kHandle));

    open(34, openRequest(d, 40));
    list = findClass("pxScrollWnd");
    m.message(28, th::Bytes().i32(kHandle).i32(1));
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    // Row 2, field 1 becomes current with a value; the picture is taken
    // while the list has the focus.
    int rowsWithHighlight = 0;
    H().script.push_back([&] {
        UpdateWindow(list);
        th::saveWindowBitmap(list, "list_current.bmp");
        HDC dc = GetDC(list);
        RECT c;
        GetClientRect(list, &c);
        for (int k = 1; k < 10; ++k) {
            int n = 0;
            for (int y = 0; y < c.bottom; ++y) n += GetPixel(dc, c.right * k / 10, y) == highlight;
            rowsWithHighlight = std::max(rowsWithHighlight, n);
        }
        ReleaseDC(list, dc);
    });
    endWith(13);
    std::vector<unsigned char> reply = run(1, 2, th::Bytes().u8(0x10).text("abc"));
    EXPECT_EQ(13, reply.size() >= 2 ? reply[0] | reply[1] << 8 : 0);
    // One row of cells, less the frame.
    EXPECT_GT(rowsWithHighlight, 4);
    EXPECT_LT(rowsWithHighlight, 40);

    // An input field's cell is edited in an edit control over it, in its
    // field's colours; the reply carries the new value, and the edit is gone
    // afterwards.
    H().script.push_back([] {
        HWND edit = findClass("Edit");
        ASSERT_NE(nullptr, edit);
        EXPECT_EQ(findClass("pxScrollWnd"), GetParent(edit));
        HDC dc = GetDC(edit);
        HBRUSH brush = reinterpret_cast<HBRUSH>(
            SendMessageA(GetParent(edit), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit)));
        LOGBRUSH lb = {};
        EXPECT_NE(GetSysColorBrush(COLOR_WINDOW), brush);
        EXPECT_EQ(static_cast<int>(sizeof lb), GetObjectA(brush, sizeof lb, &lb));
        EXPECT_EQ(GetBkColor(dc), lb.lbColor);
        ReleaseDC(edit, dc);
        for (char ch : std::string("xy")) PostMessageA(edit, WM_CHAR, static_cast<WPARAM>(ch), 1);
        PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
    });
    reply = run(0, 3, th::Bytes().u8(0x10).text("old"));
    ASSERT_EQ(12u, reply.size());
    EXPECT_EQ(13, reply[0] | reply[1] << 8);
    EXPECT_STREQ("xy", reinterpret_cast<const char *>(reply.data() + 9));
    EXPECT_EQ(nullptr, findClass("Edit"));
}

TEST_F(Lists, TreeCellsDrawTheirConnectors) {
    Desc d = listDesc(8);
    d.fields[0].kind = 2;
    d.fields[0].options = 0x200000;
    open(34, openRequest(d, 40));
    HWND list = findClass("pxScrollWnd");
    ASSERT_NE(nullptr, list);
    COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
    // A collapsed node under two ancestor levels, then a leaf without any.
    struct Case {
        const char *attr;
        bool lines;
    } cases[] = {{"+|L,0", true}, {"x", false}};
    for (const Case &c : cases) {
        endWith(13);
        run(0, 0, th::Bytes().u8(0x50).text("node").text(c.attr));
        UpdateWindow(list);
        // The first row: the tree's lines are grey, the dotted grid is not.
        EXPECT_EQ(c.lines, countPixels(list, 0, 12, grey) > 4) << c.attr;
    }
}

// A user resize of a dialog window: the moves the system makes while the
// frame is dragged, by dx, dy pixels.
void userResize(HWND dlg, int dx, int dy) {
    RECT r;
    GetWindowRect(dlg, &r);
    SendMessageA(dlg, WM_ENTERSIZEMOVE, 0, 0);
    SetWindowPos(dlg, nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(dlg, WM_EXITSIZEMOVE, 0, 0);
}

SIZE windowSize(HWND wnd) {
    RECT r;
    GetWindowRect(wnd, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

LRESULT rightEdgeHit(HWND dlg) {
    RECT r;
    GetWindowRect(dlg, &r);
    return SendMessageA(dlg, WM_NCHITTEST, 0, MAKELPARAM(r.right - 2, (r.top + r.bottom) / 2));
}

TEST_F(Lists, UnstretchedColumnsNarrowTheirDialog) {
    // With options 0x10000 and 0x20000 the last column keeps its width and
    // the dialog and list shrink to the columns; otherwise it is stretched.
    struct Case {
        uint32_t options;
        bool narrower;
    } cases[] = {{kHeaderMode, false}, {kHeaderMode | 0x30000, true}};
    LONG wide = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options);
        open(34, openRequest(listDesc(c.options), 40));
        HWND dlg = findClass("pxDialogWnd"), list = findClass("pxScrollWnd"), header = findClass("SysHeader32");
        ASSERT_TRUE(dlg && list && header);
        LONG width = windowSize(dlg).cx;
        if (!c.narrower) wide = width;
        EXPECT_EQ(c.narrower, width < wide) << width << " " << wide;
        // The last header item ends at the list's right edge either way.
        RECT item{}, client;
        SendMessageA(header, HDM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
        GetClientRect(list, &client);
        EXPECT_EQ(client.right, item.right);
        m.message(29, th::Bytes().i32(kHandle));
    }
}

TEST_F(Lists, DrawnLinesBorderTheColumnsAndAHeldButtonKeepsReporting) {
    // Columns 1-10 and 13-22; a line drawn through column 11 on the list's
    // row moves their border left of the middle of the gap. A click just
    // right of the line lands in the second column only with the line.
    struct Case {
        bool line;
        int column;
    } cases[] = {{false, 0}, {true, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        Desc d = listDesc(0);
        if (c.line) d.texts.push_back({{11, 1}, "\xb3"});
        open(34, openRequest(d, 40));
        HWND list = findClass("pxScrollWnd");
        ASSERT_NE(nullptr, list);
        m.message(28, th::Bytes().i32(kHandle).i32(1));
        RECT dc;
        GetClientRect(GetParent(list), &dc);
        int x = dc.right * 43 / (4 * 49);  // 10.75 of the dialog's 49 cells
        H().script.push_back([list, x] { PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 4)); });
        endWith(27);
        std::vector<unsigned char> reply = run(-1, -1);
        ASSERT_EQ(9u, reply.size());
        EXPECT_EQ(513, reply[0] | reply[1] << 8);
        EXPECT_EQ(c.column, reply[3]);
        // The press holds the mouse: the capture timer reports its place as
        // a move (seen after the server's own event); letting go stops it.
        H().script.push_back([list] { SendMessageA(list, WM_TIMER, 257, 0); });
        endWith(27);
        run(-1, -1);
        endWith(27);
        reply = run(-1, -1);
        ASSERT_EQ(9u, reply.size());
        EXPECT_EQ(516, reply[0] | reply[1] << 8);
        SendMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(x, 4));
        EXPECT_FALSE(KillTimer(list, 257));
        H().script.clear();
        H().queue.clear();
        m.message(29, th::Bytes().i32(kHandle));
    }
}

TEST_F(Lists, UserResizeReachesTheServer) {
    // A list with a header takes a resize while it takes input; an editor
    // when its kind allows it. The server hears of the new grid (upcall 104:
    // handle, columns, rows, cut last row); others keep their size.
    enum Window { kList, kEditor };
    struct Case {
        Window window;
        uint32_t option;  // list options, editor kind
        int dx, dy;
        bool reported;
    } cases[] = {
        {kList, kHeaderMode, 0, 60, true},
        {kList, 0, 0, 60, false},
        {kEditor, 1, -60, -60, true},
        {kEditor, 0, -60, -60, false},
        {kEditor, 1, -2000, -2000, true},  // held at two cells each way
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.window << " " << c.option << " " << c.dx);
        int before = 0, beforeColumns = 0;
        if (c.window == kList) {
            before = (open(34, openRequest(listDesc(c.option), 40)) >> 8) & 0xFF;
        } else {
            Desc d;
            d.owner1 = kHandle;
            d.left = 0, d.top = 0, d.right = 59, d.bottom = 24;
            ::Bytes desc = d.encode();
            uint8_t kind = static_cast<uint8_t>(c.option);
            uint32_t packed = static_cast<uint32_t>(open(46, th::Bytes().u8(kind).u8(0).u8(60).u8(25).raw(desc.b.data(), desc.b.size())));
            beforeColumns = static_cast<int>(packed >> 24), before = static_cast<int>((packed >> 16) & 0xFF);
        }
        HWND dlg = findClass("pxDialogWnd");
        ASSERT_NE(nullptr, dlg);
        SIZE was = windowSize(dlg);
        LRESULT hit = 0;
        H().upcalls.clear();
        auto resize = [&] {
            hit = rightEdgeHit(dlg);
            userResize(dlg, c.dx, c.dy);
        };
        if (c.window == kList) {
            H().script.push_back(resize);
            endWith(13);
            run(-1, -1);
        } else {
            resize();
        }
        EXPECT_EQ(c.option ? HTRIGHT : HTBORDER, hit);
        std::vector<th::Upcall> got;
        for (const th::Upcall &u : H().upcalls)
            if (u.code == 104) got.push_back(u);
        ASSERT_EQ(c.reported ? 1u : 0u, got.size());
        if (c.reported) {
            WireReader r(got[0].payload.data(), got[0].payload.size());
            EXPECT_EQ(kHandle, r.i32());
            int columns = r.i16(), rows = r.i16();
            if (c.window == kList) {
                EXPECT_GT(rows, before);
            } else {
                EXPECT_LT(columns, beforeColumns);
                EXPECT_LT(rows, before);
            }
            EXPECT_GE(std::min(columns, rows), 2);
        } else {
            SIZE now = windowSize(dlg);
            EXPECT_EQ(was.cx, now.cx);
            EXPECT_EQ(was.cy, now.cy);
        }
        H().script.clear();
        H().queue.clear();
        m.message(29, th::Bytes().i32(kHandle));
    }
}

TEST_F(Lists, CopyTakesTheFocusedCell) {
    // WM_COPY (what Ctrl+C and Ctrl+Insert on the list become) copies the
    // current cell as the list shows it; without a current cell the
    // clipboard keeps what it had.
    struct Case {
        const char *value;  // null: no current cell
        const char *copied;
    } cases[] = {{"abc", "abc"}, {"\x88\xac\xef", "\xc8\xec\xff"}, {"", ""}, {nullptr, "kept"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.copied);
        Desc d = listDesc();
        d.fields[1].kind = 2;
        open(34, openRequest(d, 40));
        HWND list = findClass("pxScrollWnd");
        ASSERT_NE(nullptr, list);
        m.message(28, th::Bytes().i32(kHandle).i32(1));
        putClipText("kept");
        if (c.value) {
            endWith(13);
            run(1, 2, th::Bytes().u8(0x10).text(c.value));
        }
        SendMessageA(list, WM_COPY, 0, 0);
        EXPECT_EQ(c.copied, clipText());
        m.message(29, th::Bytes().i32(kHandle));
    }
}

TEST_F(Lists, ListsWithoutHeaderGrowToHoldWholeRows) {
    // The panel gives 14 grid rows below its border; the list starts on its
    // grid row and shows whole records only. When one record or a cut last
    // one does not fit, the list grows upwards by the difference, or by half
    // of it where the rows above hold only that; the dialog grows downwards
    // by what is left (all of it for a list on the first row).
    struct Case {
        uint8_t rowHeight, gridRow;
        int rows;
    } cases[] = {{1, 1, 14}, {7, 1, 2}, {3, 1, 5}, {20, 1, 1}, {4, 5, 3}, {5, 3, 3}};
    int stepY = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.rowHeight) << " from row " << int(c.gridRow));
        int32_t reply = open(34, openRequest(listDesc(0), 40, {}, c.rowHeight, c.gridRow));
        HWND list = findClass("pxScrollWnd");
        ASSERT_NE(nullptr, list);
        RECT lc, dc;
        GetClientRect(list, &lc);
        GetClientRect(GetParent(list), &dc);
        if (!stepY) stepY = lc.bottom / 14;
        int above = (c.gridRow - 1) * stepY, need = c.rows * c.rowHeight * stepY;
        int diff = std::max(0, need - (14 - (c.gridRow - 1)) * stepY);
        int raised = above >= diff ? diff : above >= diff / 2 ? diff / 2 : 0;
        EXPECT_EQ(c.rows, (reply >> 8) & 0xFF);
        EXPECT_EQ(0, reply & 0xFF);
        EXPECT_EQ(need, lc.bottom);
        RECT at = rectIn(list, GetParent(list));
        EXPECT_EQ(above - raised, at.top);
        EXPECT_EQ(dc.bottom, at.bottom);
        EXPECT_EQ(14 * stepY + diff - raised, dc.bottom);
        // Request 24 counts the rows again where the list stands.
        SetWindowPos(list, nullptr, 0, 0, lc.right, stepY, SWP_NOMOVE | SWP_NOZORDER);
        m.message(24, th::Bytes().i32(kHandle).i16(0).u8(0).u8(0).u8(0));
        GetClientRect(list, &lc);
        EXPECT_EQ(need, lc.bottom);
        // Request 28 gives the list the focus and takes it again.
        m.message(28, th::Bytes().i32(kHandle).i32(1));
        EXPECT_EQ(list, GetFocus());
        m.message(28, th::Bytes().i32(kHandle).i32(0));
        EXPECT_NE(list, GetFocus());
        m.message(29, th::Bytes().i32(kHandle));
    }
}

TEST_F(Lists, TheDialogsStatusBarStaysBelowTheList) {
    // A panel with a status pane: the list ends where the bar begins, with
    // and without header; without header it still shows whole rows.
    for (uint32_t options : {0u, kHeaderMode}) {
        SCOPED_TRACE(options);
        Desc d = listDesc(options);
        d.panes = {{1, 10, 1, 0, "Pane"}};
        int32_t reply = open(34, openRequest(d, 40, {}, 3));
        HWND list = findClass("pxScrollWnd");
        ASSERT_NE(nullptr, list);
        HWND dlg = GetParent(list), bar = FindWindowExA(dlg, nullptr, STATUSCLASSNAMEA, nullptr);
        ASSERT_NE(nullptr, bar);
        RECT at = rectIn(list, dlg), below = rectIn(bar, dlg), dc;
        GetClientRect(dlg, &dc);
        EXPECT_EQ(below.top, at.bottom);
        EXPECT_EQ(dc.bottom, below.bottom);
        if (!options) EXPECT_EQ(0, reply & 0xFF);  // no row cut
        m.message(29, th::Bytes().i32(kHandle));
    }
}

TEST_F(Lists, InputBringsTheCurrentCellIntoView) {
    // A list below the frame's view: input on row 2 scrolls the frame so the
    // cell (its in-place edit, or the cell on the list) is seen from the start.
    for (int16_t field : {0, 1}) {
        SCOPED_TRACE(field);
        Desc d = listDesc(0);
        d.top = 30, d.bottom = 45;
        d.fields[1].kind = 2;
        open(34, openRequest(d, 40));
        HWND list = findClass("pxScrollWnd"), client = findClass("pxClientWnd");
        ASSERT_NE(nullptr, list);
        m.message(28, th::Bytes().i32(kHandle).i32(1));
        RECT view, lc;
        GetClientRect(client, &view);
        GetClientRect(list, &lc);
        ASSERT_GT(rectIn(list, client).top, view.bottom);
        int stepY = lc.bottom / 14;
        RECT seen = {};
        H().script.push_back([&] {
            HWND edit = findClass("Edit");
            RECT l = rectIn(list, client);
            seen = edit ? rectIn(edit, client) : RECT{l.left, l.top + 2 * stepY, l.right, l.top + 3 * stepY};
            EXPECT_EQ(field == 0, edit != nullptr);
        });
        endWith(27);
        run(field, 2, th::Bytes().u8(0x10).text("abc"));
        EXPECT_GE(seen.top, view.top);
        EXPECT_LE(seen.bottom, view.bottom);
        EXPECT_GT(seen.bottom, seen.top);
        m.message(29, th::Bytes().i32(kHandle));
    }
}

// The edit over a cell is the field's control: with a formatter that drives
// the formatted edit, with an old one (reported once, as a plain edit that
// still takes what was typed) and through the typed filter, the editing keys
// stay with it and request 26 answers the edited value.
TEST_F(Lists, InPlaceEditTakesTheTypedValueThroughFormatterOrFilter) {
    SetDllDirectoryA((th::exeDir() + "qvformat\\full").c_str());
    HMODULE lib = LoadLibraryA("qvformat.dll");
    ASSERT_NE(nullptr, lib);
    auto setVersion = reinterpret_cast<QVTestSetVersionFn>(GetProcAddress(lib, "QVTestSetVersion"));
    Desc d = listDesc(0, 2);
    for (DescField &f : d.fields) {
        f.type = 1;  // int32
        f.length = 0;
        f.value = binValue<int32_t>(7);
    }
    d.fields[0].format = "Name:FMT_NUMBER[10.0]";
    ASSERT_EQ(0, open(34, openRequest(d, 40)) & 0xFF);
    m.message(28, th::Bytes().i32(kHandle).i32(1));
    th::MessageBoxCatcher boxes;
    SetKeyboardState(std::vector<BYTE>(256).data());
    // "123" with an 'X' that the formatter or filter refuses; Backspace,
    // two lefts, '9' in front, End, '5', Home and Delete: 125.
    const std::vector<int> edits = {'1', '2', '3', 'X', VK_BACK, VK_LEFT, VK_LEFT, '9',
                                    VK_END, '5', VK_HOME, VK_DELETE, VK_RETURN};
    struct Row {
        uint32_t version;  // 0: the column without a formatter
        size_t boxesAfter;
    } rows[] = {{5, 0}, {4, 1}, {4, 1}, {0, 1}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.version);
        setVersion(row.version ? row.version : 5);
        for (int vk : edits) {
            // A plain edit with a formatter has no filter: it is given no 'X'.
            if (vk == 'X' && row.version == 4) continue;
            H().script.push_back([vk] {
                HWND edit = findClass("Edit");
                ASSERT_NE(nullptr, edit);
                if (vk == '1') {
                    // The cell's value is shown (selected) before anything is typed.
                    RECT c;
                    GetClientRect(edit, &c);
                    UpdateWindow(edit);
                    EXPECT_GT(countPixels(edit, 0, c.bottom, GetSysColor(COLOR_WINDOW), true), 40);
                }
                UINT scan = MapVirtualKeyA(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
                PostMessageA(edit, WM_KEYDOWN, static_cast<WPARAM>(vk), 1 | static_cast<LPARAM>(scan) << 16);
            });
        }
        H().added.clear();
        std::vector<unsigned char> reply = run(row.version ? 0 : 1, 2, th::Bytes().u8(0x10).i32(7));
        ASSERT_EQ(13u, reply.size());
        EXPECT_EQ(13, reply[0] | reply[1] << 8);
        EXPECT_EQ(125, WireReader(reply.data() + 9, 4).i32());
        ASSERT_EQ(1u, H().added.size());  // only Enter became an event
        EXPECT_EQ(row.boxesAfter, boxes.seen.size());
        EXPECT_EQ(nullptr, findClass("Edit"));
    }
    ASSERT_EQ(1u, boxes.seen.size());
    EXPECT_EQ(L"Требуется библиотека форматных шаблонов версии 3.13.013.0 или выше", boxes.seen[0].text);
    EXPECT_NE(std::wstring::npos, boxes.seen[0].caption.find(L"qvformat.dll"));
    m.message(29, th::Bytes().i32(kHandle));
    setVersion(5);
    FreeLibrary(lib);
    SetDllDirectoryA(nullptr);
}

}  // namespace
