// The formatted-edit engine against a host drawing into a memory DC, its
// private clipboard block, and the window host of a field control.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "child.h"
#include "dates.h"
#include "decimal96.h"
#include "dialog.h"
#include "fmtedit.h"
#include "formats.h"
#include "panel.h"

namespace {

template <class T> std::vector<unsigned char> binValue(const T &v) {
    std::vector<unsigned char> out(sizeof v);
    std::memcpy(out.data(), &v, sizeof v);
    return out;
}

// Holds modifier keys down for GetKeyState while it lives.
struct Keys {
    explicit Keys(std::initializer_list<int> down) {
        BYTE state[256] = {};
        for (int vk : down) state[vk] = 0x80;
        SetKeyboardState(state);
    }
    ~Keys() {
        BYTE state[256] = {};
        SetKeyboardState(state);
    }
};

struct MemHost : PxFmtEditHost {
    PxFmtEditModel m;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmap(200, 20, 1, 32, nullptr);
    HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    bool readOnly = false, password = false, captured = false;
    int invalidated = 0, changed = 0, caretH = 0, caretShownX = -1;

    explicit MemHost(PxFormatter *formatter = nullptr) : m(formatter) {
        SelectObject(dc, bmp);
        SelectObject(dc, GetStockObject(SYSTEM_FIXED_FONT));
        setRect(RECT{0, 0, 200, 20}, RECT{1, 1, 1, 1});
    }
    ~MemHost() override {
        DeleteDC(dc);
        DeleteObject(bmp);
        DestroyWindow(owner);
    }
    PxFmtEditModel &model() override { return m; }
    HFONT font() override { return static_cast<HFONT>(GetStockObject(SYSTEM_FIXED_FONT)); }
    HDC getDC() override { return dc; }
    void releaseDC(HDC) override {}
    void invalidate() override { ++invalidated; }
    void createCaret(int, int h) override { caretH = h; }
    void showCaretAt(int x, int) override { caretShownX = x; }
    void destroyCaret() override { caretH = 0; }
    void setCapture() override { captured = true; }
    bool hasCapture() override { return captured; }
    void releaseCapture() override { captured = false; }
    void textChanged() override { ++changed; }
    bool isPassword() override { return password; }
    bool isReadOnly() override { return readOnly; }
    HWND clipboardOwner() override { return owner; }

    void type(const char *s) {
        for (; *s; ++s) filterMsg(WM_CHAR, static_cast<unsigned char>(*s), 0);
    }
    void press(int vk, std::initializer_list<int> mods = {}) {
        Keys k(mods);
        filterMsg(WM_KEYDOWN, vk, 0);
    }
    std::string selected() {
        std::string t = m.text();
        return m.hasSelection() ? t.substr(m.selectionStart(), m.selectionEnd() - m.selectionStart()) : "";
    }
};

void putClipboard(HWND owner, UINT format, const void *data, size_t size, bool empty = true) {
    ASSERT_TRUE(OpenClipboard(owner));
    if (empty) EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(mem), data, size);
    GlobalUnlock(mem);
    SetClipboardData(format, mem);
    CloseClipboard();
}

std::string clipboardText(HWND owner) {
    std::string s;
    if (!OpenClipboard(owner)) return s;
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        s = static_cast<const char *>(GlobalLock(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return s;
}

TEST(FmtEdit, KeysEditThePlainModel) {
    struct Case {
        const char *name;
        void (*run)(MemHost &);
        const char *text;
        const char *selection;
        int caret;
    };
    const Case cases[] = {
        {"shift home selects back to the start, a char replaces it",
         [](MemHost &h) { h.type("hello"); h.press(VK_HOME, {VK_SHIFT}); }, "hello", "hello", 0},
        {"typed over the selection", [](MemHost &h) { h.type("hello"); h.press(VK_HOME, {VK_SHIFT}); h.type("X"); },
         "X", "", 1},
        {"ctrl right to the next word", [](MemHost &h) { h.type("ab cd ef"); h.press(VK_HOME); h.press(VK_RIGHT, {VK_CONTROL}); h.press(VK_RIGHT, {VK_CONTROL}); },
         "ab cd ef", "", 6},
        {"ctrl left to the word start", [](MemHost &h) { h.type("ab cd ef"); h.press(VK_LEFT, {VK_CONTROL}); h.press(VK_LEFT, {VK_CONTROL}); },
         "ab cd ef", "", 3},
        {"insert toggles overwrite", [](MemHost &h) { h.type("abc"); h.press(VK_HOME); h.press(VK_INSERT); h.type("XY"); },
         "XYc", "", 2},
        {"back and delete", [](MemHost &h) { h.type("abcd"); h.press(VK_BACK); h.press(VK_HOME); h.press(VK_DELETE); },
         "bc", "", 0},
        {"read-only refuses chars, back, delete and clear",
         [](MemHost &h) { h.type("ab"); h.readOnly = true; h.type("c"); h.press(VK_BACK); h.press(VK_HOME); h.press(VK_DELETE); h.filterMsg(WM_CLEAR, 0, 0); },
         "ab", "", 0},
        {"double click selects all", [](MemHost &h) { h.type("abc"); h.filterMsg(WM_LBUTTONDBLCLK, 0, 0); }, "abc", "abc", 3},
        {"click puts the caret under the point", [](MemHost &h) {
             h.type("abcdef");
             SIZE s{};
             GetTextExtentPoint32A(h.dc, "abc", 3, &s);
             h.filterMsg(WM_LBUTTONDOWN, 0, MAKELPARAM(s.cx + 1 + 1, 5));
             h.filterMsg(WM_LBUTTONUP, 0, 0);
         }, "abcdef", "", 3},
        {"drag selects", [](MemHost &h) {
             h.type("abcdef");
             h.filterMsg(WM_LBUTTONDOWN, 0, MAKELPARAM(0, 5));
             h.filterMsg(WM_MOUSEMOVE, 0, MAKELPARAM(190, 5));
             h.filterMsg(WM_LBUTTONUP, 0, 0);
         }, "abcdef", "abcdef", 6},
    };
    for (const Case &c : cases) {
        MemHost h;
        c.run(h);
        EXPECT_EQ(h.m.text(), c.text) << c.name;
        EXPECT_EQ(h.selected(), c.selection) << c.name;
        EXPECT_EQ(h.m.caret(), c.caret) << c.name;
        EXPECT_FALSE(h.captured) << c.name;
    }
}

// Without a formatter, typed values load as the text of their type.
TEST(FmtEdit, PlainModelLoadsTypedValues) {
    const Numeric96 dec = Numeric96_fromText("-12.5");
    const struct {
        int32_t type;
        std::vector<unsigned char> bytes;
        const char *text;
    } cases[] = {
        {13, {200}, "200"},
        {6, binValue<int64_t>(1234567), "123.46"},
        {19, binValue<int64_t>(-1234567), "-123.4567"},
        {9, binValue(bdate{9, 12, 2026}), "2026-12-09"},
        {10, binValue(btime{7, 5, 4, 23}), "23.04.05.07"},
        {25, binValue(dec), "-12.5"},
    };
    for (const auto &c : cases) {
        PxFmtEditModel m;
        std::vector<unsigned char> bytes = c.bytes;
        PxFmtValue v{c.type, bytes.data(), static_cast<int16_t>(bytes.size())};
        m.setValue(&v);
        EXPECT_EQ(c.text, m.text()) << c.type;
    }
}

TEST(FmtEdit, PaintsSelectionAndCaret) {
    MemHost h;
    h.filterMsg(WM_SETFOCUS, 0, 0);
    h.type("abc");
    h.paint(h.dc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SIZE s{};
    SelectObject(h.dc, h.font());
    GetTextExtentPoint32A(h.dc, "abc", 3, &s);
    EXPECT_GT(h.caretH, 0);
    EXPECT_EQ(h.caretShownX, 1 + s.cx);
    // The selection is drawn in the caption colours.
    h.filterMsg(WM_LBUTTONDBLCLK, 0, 0);
    h.paint(h.dc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    bool captionColour = false;
    for (int x = 1; x < 1 + s.cx; ++x)
        for (int y = 1; y < 19; ++y) captionColour |= GetPixel(h.dc, x, y) == GetSysColor(COLOR_ACTIVECAPTION);
    EXPECT_TRUE(captionColour);
    EXPECT_EQ(GetPixel(h.dc, 198, 10), RGB(255, 255, 255));
    // A password field shows stars only.
    h.password = true;
    EXPECT_EQ(h.displayText(), "***");
}

TEST(FmtEdit, ClipboardBlockNeedsItsValueAndTerminator) {
    struct Case {
        const char *name;
        std::vector<uint8_t> bytes;
        bool ok;
    };
    const Case cases[] = {
        {"long value", {1, 0, 0, 0, 0x2a, 0, 0, 0}, true},
        {"long value cut short", {1, 0, 0, 0, 0x2a, 0, 0}, false},
        {"decimal needs 16 bytes", {25, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, false},
        {"text terminated", {24, 0, 0, 0, 2, 'h', 'i', 0}, true},
        {"text unterminated", {24, 0, 0, 0, 2, 'h', 'i'}, false},
        {"text without its code page", {24, 0, 0, 0}, false},
        {"type cut short", {24, 0}, false},
        {"unknown type", {99, 0, 0, 0, 0}, false},
    };
    for (const Case &c : cases) {
        PxFmtEditClip clip;
        EXPECT_EQ(px_fmtEditReadBlock(c.bytes.data(), c.bytes.size(), &clip), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(px_fmtEditWriteBlock(clip), c.bytes) << c.name;
        }
    }
}

TEST(FmtEdit, ClipboardRoundTrip) {
    MemHost a, b;
    a.type("hello world");
    a.press(VK_LEFT, {VK_CONTROL});
    a.press(VK_END, {VK_SHIFT});
    a.press('C', {VK_CONTROL});
    EXPECT_EQ(clipboardText(a.owner), "world");
    // The private block carries the text and its code page.
    ASSERT_TRUE(OpenClipboard(a.owner));
    HANDLE h = GetClipboardData(RegisterClipboardFormatA("QVFmtEdit"));
    ASSERT_TRUE(h);
    PxFmtEditClip clip;
    EXPECT_TRUE(px_fmtEditReadBlock(GlobalLock(h), GlobalSize(h), &clip));
    GlobalUnlock(h);
    EXPECT_TRUE(GetClipboardData(CF_LOCALE) != nullptr);
    CloseClipboard();
    EXPECT_EQ(clip.type, 24);
    EXPECT_EQ(clip.text, "world");

    b.type("say ");
    b.press(VK_INSERT, {VK_SHIFT});
    EXPECT_EQ(b.m.text(), "say world");
    EXPECT_EQ(b.changed, 5);

    // Cut takes the selection away; a read-only field keeps its text.
    a.readOnly = true;
    a.press('X', {VK_CONTROL});
    EXPECT_EQ(a.m.text(), "hello world");
    a.readOnly = false;
    a.press(VK_DELETE, {VK_SHIFT});
    EXPECT_EQ(a.m.text(), "hello ");

    // No selection or a password field copies nothing.
    putClipboard(a.owner, CF_TEXT, "keep", 5);
    a.press(VK_INSERT, {VK_CONTROL});
    EXPECT_EQ(clipboardText(a.owner), "keep");
    a.filterMsg(WM_LBUTTONDBLCLK, 0, 0);
    a.password = true;
    a.press(VK_INSERT, {VK_CONTROL});
    EXPECT_EQ(clipboardText(a.owner), "keep");

    // A broken private block or one of another type falls back to the text.
    const uint8_t unterminated[] = {24, 0, 0, 0, 2, 'b', 'a', 'd'};
    const uint8_t typed[] = {1, 0, 0, 0, 7, 0, 0, 0};
    for (const auto &block : {std::vector<uint8_t>(unterminated, unterminated + 8), std::vector<uint8_t>(typed, typed + 8)}) {
        MemHost c;
        putClipboard(c.owner, CF_TEXT, "txt", 4);
        putClipboard(c.owner, RegisterClipboardFormatA("QVFmtEdit"), block.data(), block.size(), false);
        c.filterMsg(WM_PASTE, 0, 0);
        EXPECT_EQ(c.m.text(), "txt");
    }
    // A read-only field pastes nothing.
    MemHost d;
    d.readOnly = true;
    d.filterMsg(WM_PASTE, 0, 0);
    EXPECT_EQ(d.m.text(), "");
}

// A typed value travels exactly between formatters of its type; a text
// field takes the plain text instead.
TEST(FmtEdit, TypedValueRoundTrip) {
    SetDllDirectoryA((th::exeDir() + "qvformat\\full").c_str());
    PxFormatter *from = px_fmtCreate(kQvFmtKindTemplate), *to = px_fmtCreate(kQvFmtKindTemplate);
    ASSERT_TRUE(from && to);
    for (PxFormatter *f : {from, to}) {
        f->fn.setFormat(f, "FMT_NUMBER[10.0]");
        f->fn.bindType(f, 1, -1);
    }
    int32_t n = 123456789;
    PxFmtValue v{1, &n, 4};
    from->fn.setValue(from, &v);
    MemHost a(from), b(to), text;
    a.filterMsg(WM_LBUTTONDBLCLK, 0, 0);
    a.filterMsg(WM_COPY, 0, 0);
    ASSERT_TRUE(OpenClipboard(a.owner));
    HANDLE h = GetClipboardData(RegisterClipboardFormatA("QVFmtEdit"));
    PxFmtEditClip clip;
    EXPECT_TRUE(h && px_fmtEditReadBlock(GlobalLock(h), GlobalSize(h), &clip));
    if (h) GlobalUnlock(h);
    CloseClipboard();
    EXPECT_EQ(clip.type, 1);
    b.filterMsg(WM_PASTE, 0, 0);
    int32_t got = 0;
    PxFmtValue out{1, &got, 4};
    EXPECT_TRUE(to->fn.getValue(to, &out));
    EXPECT_EQ(got, n);
    text.filterMsg(WM_PASTE, 0, 0);
    EXPECT_EQ(text.m.text(), a.m.text());
    px_fmtRelease(from);
    px_fmtRelease(to);
    SetDllDirectoryA(nullptr);
}

LRESULT CALLBACK hostedProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto *host = reinterpret_cast<PxFmtEditHost *>(GetPropA(wnd, "host"));
    if (host && px_fmtEditFilterMsg(host, msg, wParam, lParam)) return 0;
    auto old = reinterpret_cast<WNDPROC>(GetPropA(wnd, "old"));
    return CallWindowProcA(old, wnd, msg, wParam, lParam);
}

TEST(FmtEdit, WindowHostAnswersFromTheField) {
    struct Case {
        const char *name;
        int kind;
        uint32_t options;
        const char *text, *shown;
    };
    const Case cases[] = {
        {"input field", 1, 0, "ab", "ab"},
        {"password field", 1, kPxPassword, "ab", "**"},
        {"read-only field", 5, 0, "", ""},
        {"display field", 2, 0, "", ""},
    };
    for (const Case &c : cases) {
        HWND wnd = CreateWindowExA(0, "Edit", "", WS_POPUP | WS_VISIBLE, 10, 10, 120, 24, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(wnd);
        PxFieldCtl ctl;
        ctl.kind = c.kind;
        ctl.options = c.options;
        ctl.hwnd = wnd;
        SetPropA(wnd, "pxField", &ctl);
        PxFmtEditWndHost host(wnd, nullptr);
        SetPropA(wnd, "host", &host);
        SetPropA(wnd, "old", reinterpret_cast<HANDLE>(SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hostedProc))));
        SendMessageA(wnd, WM_CHAR, 'a', 0);
        SendMessageA(wnd, WM_CHAR, 'b', 0);
        EXPECT_EQ(host.model().text(), c.text) << c.name;
        EXPECT_EQ(host.displayText(), c.shown) << c.name;
        // The control's own text is never touched.
        char buf[16] = "";
        GetWindowTextA(wnd, buf, sizeof buf);
        EXPECT_STREQ(buf, "") << c.name;
        if (c.options & kPxPassword) {
            putClipboard(wnd, CF_TEXT, "keep", 5);
            SendMessageA(wnd, WM_LBUTTONDBLCLK, 0, 0);
            SendMessageA(wnd, WM_COPY, 0, 0);
            EXPECT_EQ(clipboardText(wnd), "keep");
        }
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetPropA(wnd, "old")));
        RemovePropA(wnd, "host");
        RemovePropA(wnd, "old");
        RemovePropA(wnd, "pxField");
        DestroyWindow(wnd);
    }
}

TEST(FmtEdit, AttachNeedsAnEditingFormatter) {
    EXPECT_EQ(px_fmtEditAttach(nullptr, nullptr), nullptr);
    EXPECT_FALSE(px_fmtEditFilterMsg(nullptr, WM_CHAR, 'a', 0));
}

}  // namespace
