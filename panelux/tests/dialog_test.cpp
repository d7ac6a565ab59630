// Dialogs through the loaded module: request 23 opens a panel on the grid,
// 26 runs the input loop on keys from the input script, 24, 25, 27 and 32
// update and read fields, 29 frees; bad requests leave nothing behind.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "child.h"
#include "descbuilder.h"
#include "formkitfix.h"
#include "hostwm.h"
#include "screenshot.h"
#include "wire.h"
#include "cliptext.h"
#include "freedtrap.h"
#include "wndfind.h"

namespace {

th::Bytes bytesOf(const Desc &d) {
    ::Bytes b = d.encode();
    return th::Bytes().raw(b.b.data(), b.b.size());
}

DescField textField(int column, int row, int width, const std::string &value, int length = 20) {
    DescField f;
    f.kind = 1;
    f.type = 7;
    f.length = static_cast<int16_t>(length);
    f.column = static_cast<int8_t>(column), f.row = static_cast<int8_t>(row), f.width = static_cast<int8_t>(width);
    f.value = textValue(value);
    return f;
}

// An int32 input field.
DescField int32Field(int column, int row, int width, int32_t value) {
    DescField f = textField(column, row, width, "");
    f.type = 1;
    f.length = 0;
    f.value = binValue<int32_t>(value);
    return f;
}

// A field that only shows its text (kind 2).
DescField shownField(int column, int row, int width, const std::string &value, int length) {
    DescField f = textField(column, row, width, value, length);
    f.kind = 2;
    return f;
}

int dialogCount() {
    int n = 0;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) CALLBACK -> BOOL {
        EnumChildWindows(w, [](HWND c, LPARAM q) CALLBACK -> BOOL {
            char cls[32];
            GetClassNameA(c, cls, sizeof cls);
            if (!lstrcmpA(cls, "pxDialogWnd")) ++*reinterpret_cast<int *>(q);
            return TRUE;
        }, p);
        char cls[32];
        GetClassNameA(w, cls, sizeof cls);
        if (!lstrcmpA(cls, "pxDialogWnd")) ++*reinterpret_cast<int *>(p);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&n));
    return n;
}

std::string textOf(HWND w) {
    char buf[256] = {};
    GetWindowTextA(w, buf, sizeof buf);
    return buf;
}

// Numbers are shown right-aligned in the field's width.
std::string trimmed(const std::string &s) {
    size_t b = s.find_first_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b);
}

struct Dialogs : FormkitTest {
    void SetUp() override { startModule(); }
    void TearDown() override {
        FormkitTest::TearDown();
        EXPECT_EQ(0, dialogCount());
    }
    void frame() { openFrame(60, 20); }
    int32_t open(const Desc &d) {
        EXPECT_EQ(4, m.message(23, bytesOf(d)));
        return replyInt();
    }
    HWND dialogWnd(int32_t handle) {
        int n = m.message(12, th::Bytes().i32(handle).i16(0));
        (void)n;
        HWND found = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) CALLBACK -> BOOL {
            HWND *out = reinterpret_cast<HWND *>(p);
            HWND d = FindWindowExA(nullptr, nullptr, "pxDialogWnd", nullptr);
            if (d) *out = d;
            HWND client = FindWindowExA(w, nullptr, "pxClientWnd", nullptr);
            if (client && !*out) *out = FindWindowExA(client, nullptr, "pxDialogWnd", nullptr);
            return TRUE;
        }, reinterpret_cast<LPARAM>(&found));
        return found;
    }
    // A framed dialog with one text field at (3, 2); its window.
    HWND openOneField(int32_t handle, const std::string &value) {
        frame();
        Desc d;
        d.owner1 = handle;
        d.fields = {textField(3, 2, 10, value)};
        EXPECT_EQ(0, open(d));
        return dialogWnd(handle);
    }
    // Request 26 on one field with an empty update record.
    std::vector<unsigned char> run(int32_t handle, int16_t field, th::Bytes update = th::Bytes().u8(0),
                                   int16_t extra = -1) {
        int n = m.message(26, th::Bytes().i32(handle).i16(extra).i16(field).i16(-1).raw(update));
        return std::vector<unsigned char>(m.reply(), m.reply() + (n > 0 ? n : 0));
    }
    static void post(HWND w, std::vector<int> chars) {
        H().script.push_back([w, chars] {
            for (int c : chars) PostMessageA(w, WM_CHAR, static_cast<WPARAM>(c), 1);
        });
    }
    static void key(HWND w, int vk) {
        H().script.push_back([w, vk] { PostMessageA(w, WM_KEYDOWN, static_cast<WPARAM>(vk), 1); });
    }
};

// A dialog window by its caption, top-level or inside the frame.
HWND dialogByCaption(const char *caption) {
    struct Find {
        const char *caption;
        HWND found;
    } f{caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) CALLBACK -> BOOL {
        Find *f = reinterpret_cast<Find *>(p);
        if (HWND d = FindWindowExA(w, nullptr, "pxDialogWnd", f->caption)) f->found = d;
        char cls[32];
        GetClassNameA(w, cls, sizeof cls);
        if (!lstrcmpA(cls, "pxDialogWnd") && textOf(w) == f->caption) f->found = w;
        if (HWND client = FindWindowExA(w, nullptr, "pxClientWnd", nullptr))
            if (HWND d = FindWindowExA(client, nullptr, "pxDialogWnd", f->caption)) f->found = d;
        return !f->found;
    }, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

int16_t eventCode(const std::vector<unsigned char> &reply) {
    return reply.size() >= 2 ? static_cast<int16_t>(reply[0] | reply[1] << 8) : 0;
}

TEST_F(Dialogs, OpenRunUpdateAndCloseOnTheGrid) {
    frame();
    Desc d;
    d.owner1 = 41;
    d.id = 0;
    d.caption = "Input \x82\xa2\xae\xa4";  // "Ввод" in code page 866
    d.texts = {{{2, 2}, "Name:"}, {{2, 4}, "\x88\xac\xef"}};
    d.fields = {textField(8, 2, 15, "")};
    ASSERT_EQ(0, open(d));
    HWND dlg = dialogWnd(41);
    ASSERT_NE(nullptr, dlg);
    EXPECT_TRUE(IsWindowVisible(dlg));
    // Server texts in code page 866 are shown in 1251.
    EXPECT_EQ("Input \xc2\xe2\xee\xe4", textOf(dlg));
    EXPECT_EQ("\xc8\xec\xff", textOf(GetDlgItem(dlg, 513)));
    HWND text = GetDlgItem(dlg, 512), edit = GetDlgItem(dlg, 768);
    ASSERT_NE(nullptr, text);
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ("Name:", textOf(text));
    // The text is five cells wide; the edit starts six cells right of it,
    // two pixels further left for its frame.
    // A narrower text font leaves the text inset by the same margin each side.
    RECT t = rectIn(text, dlg), e = rectIn(edit, dlg);
    int stepX = (e.right - e.left - 4) / 15;
    EXPECT_EQ(15 * stepX + 4, e.right - e.left);
    int inset = (5 * stepX - (t.right - t.left)) / 2;
    EXPECT_EQ(5 * stepX - 2 * inset, t.right - t.left);
    EXPECT_EQ(6 * stepX - 2 - inset, e.left - t.left);

    // Typed text and Enter: the event and the new value.
    post(edit, {'a', 'b', 'c'});
    key(edit, VK_RETURN);
    std::vector<unsigned char> r = run(41, 0);
    EXPECT_EQ("abc", textOf(edit));
    ASSERT_EQ(13u, r.size());
    EXPECT_EQ(13, eventCode(r));
    EXPECT_EQ("abc", std::string(reinterpret_cast<const char *>(r.data() + 9)));
    // Unchanged: the event alone.
    key(edit, VK_RETURN);
    EXPECT_EQ(9u, run(41, 0).size());

    // 24 updates every field, 27 one, 32 reads one back; indexes outside
    // the panel change nothing.
    m.message(24, th::Bytes().i32(41).i16(0).u8(0x10).text("xyz"));
    EXPECT_EQ("xyz", textOf(edit));
    m.message(27, th::Bytes().i32(41).i16(0).u8(0x10).text("q"));
    EXPECT_EQ("q", textOf(edit));
    for (int16_t bad : {1, -1, 300}) {
        m.message(27, th::Bytes().i32(41).i16(bad).u8(0x10).text("bad"));
        EXPECT_EQ(4, m.message(32, th::Bytes().i32(41).i16(bad))) << bad;
        EXPECT_EQ(-1, replyInt());
        if (bad >= 0) {
            EXPECT_EQ(4, m.message(26, th::Bytes().i32(41).i16(-1).i16(bad).i16(-1).u8(0))) << bad;
        }
    }
    EXPECT_EQ(6, m.message(32, th::Bytes().i32(41).i16(0)));
    EXPECT_EQ(1, replyInt());
    EXPECT_STREQ("q", reinterpret_cast<const char *>(m.reply() + 4));
    // 25 replaces the texts; 12 reads the dialog's caption within its size.
    m.message(25, th::Bytes().i32(41).u16(0).u8(2).u8(2).text("Nick:").u16(0).u8(2).u8(4).text("\x88\xac\xef"));
    EXPECT_EQ("Nick:", textOf(text));
    EXPECT_EQ(24, m.message(12, th::Bytes().i32(41).i16(20)));
    EXPECT_STREQ("Input \x82\xa2\xae\xa4", reinterpret_cast<const char *>(m.reply() + 4));  // back in 866
    // The size asked for, within the reply area the host gives.
    EXPECT_EQ(30004, m.message(12, th::Bytes().i32(41).i16(30000)));
    EXPECT_EQ(H().maxBlockSize, m.message(12, th::Bytes().i32(41).i16(32767)));
    EXPECT_EQ(static_cast<int>(std::strlen("Input \x82\xa2\xae\xa4")), replyInt());

    // Closing the window asks the server with Escape.
    H().added.clear();
    SendMessageA(dlg, WM_CLOSE, 0, 0);
    ASSERT_EQ(1u, H().added.size());
    EXPECT_EQ(27, H().added[0].event.code);
    EXPECT_TRUE(IsWindow(dlg));

    m.message(29, th::Bytes().i32(41));
    EXPECT_FALSE(IsWindow(dlg));
    EXPECT_EQ(4, m.message(26, th::Bytes().i32(41).i16(-1).i16(0).i16(-1).u8(0)));
    EXPECT_EQ(-1, replyInt());
}

TEST_F(Dialogs, InputLoopKeepsAnInvalidFieldUntilEscapeAndEndsOnACancelledLoop) {
    frame();
    Desc d;
    d.owner1 = 5;
    d.fields = {int32Field(3, 2, 12, 7)};
    ASSERT_EQ(0, open(d));
    HWND edit = GetDlgItem(dialogWnd(5), 768);
    auto invalid = [edit] {
        H().script.push_back([edit] {
            SetWindowTextA(edit, "12x");
            SendMessageA(edit, EM_SETMODIFY, TRUE, 0);
        });
    };
    // Enter on an invalid text beeps and flushes; Escape restores; the
    // unchanged field then ends on the next key.
    invalid();
    key(edit, VK_RETURN);
    key(edit, VK_ESCAPE);
    key(edit, VK_RETURN);
    std::vector<unsigned char> r = run(5, 0);
    ASSERT_EQ(9u, r.size());
    EXPECT_EQ(13, eventCode(r));
    EXPECT_EQ(2, H().flushInputs);
    EXPECT_EQ("7", trimmed(textOf(edit)));
    // A valid number is taken and sent back as the binary value.
    H().script.push_back([edit] {
        SetWindowTextA(edit, "-123456789");
        SendMessageA(edit, EM_SETMODIFY, TRUE, 0);
    });
    key(edit, VK_RETURN);
    r = run(5, 0);
    ASSERT_EQ(13u, r.size());
    EXPECT_EQ(-123456789, WireReader(r.data() + 9, 4).i32());
    // A cancelled system loop under a changed, invalid field ends the input
    // and takes nothing.
    invalid();
    H().script.push_back([] { H().queue.push_back(PxEvent{775, 0, 0, 0, 0, 0}); });
    r = run(5, 0);
    ASSERT_EQ(9u, r.size());
    EXPECT_EQ(775, eventCode(r));
    EXPECT_EQ("-123456789", trimmed(textOf(edit)));
    // A valid one is taken and sent back with the cancelled loop's event.
    H().script.push_back([edit] {
        SetWindowTextA(edit, "42");
        SendMessageA(edit, EM_SETMODIFY, TRUE, 0);
        H().queue.push_back(PxEvent{775, 0, 0, 0, 0, 0});
    });
    r = run(5, 0);
    ASSERT_EQ(13u, r.size());
    EXPECT_EQ(775, eventCode(r));
    EXPECT_EQ(42, WireReader(r.data() + 9, 4).i32());
}

// Keys typed into a dialog that is not reading wait in the type-ahead ring,
// sixteen at most; the next input replays them in order, characters and
// keys alike, each run stopping at the key that became an event.
TEST_F(Dialogs, TypeAheadComesBackInOrderWhenTheDialogReads) {
    HWND dlg = openOneField(62, "abc");
    SetKeyboardState(std::vector<BYTE>(256).data());
    const int keys[17] = {'A', 'B', VK_F2, 'C', 'D', VK_F3, 'E', 'F', VK_F4,
                          'G', 'H', VK_F5, 'I', 'J', VK_F6, 'K', VK_F7};
    for (int vk : keys) {
        UINT scan = MapVirtualKeyA(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
        PostMessageA(dlg, WM_KEYDOWN, static_cast<WPARAM>(vk), 1 | static_cast<LPARAM>(scan) << 16);
    }
    H().pump();
    EXPECT_TRUE(H().added.empty());
    std::vector<int> events;
    for (int runs = 0; runs < 16 && events.size() < 16; ++runs) {
        events.push_back(eventCode(run(62, -1)));
        for (;;) {
            m.message(5, th::Bytes().i16(0));
            int16_t code = WireReader(m.reply(), 2).i16();
            if (code == 0) break;
            events.push_back(code);
        }
    }
    EXPECT_EQ((std::vector<int>{'a', 'b', 316, 'c', 'd', 317, 'e', 'f', 318, 'g', 'h', 319, 'i', 'j', 320, 'k'}),
              events);
    // The seventeenth key was dropped: the next run waits for the terminal.
    H().script.push_back([] { H().queue.push_back(PxEvent{27, 0, 0, 0, 0, 0}); });
    EXPECT_EQ(27, eventCode(run(62, -1)));
}

TEST_F(Dialogs, PasswordNeverCopiedAndReadOnlyFieldsRefuseChanges) {
    frame();
    Desc d;
    d.owner1 = 9;
    DescField pw = textField(3, 2, 10, "secret");
    pw.options = 0x00080000;
    DescField ro = textField(3, 4, 10, "fixed");
    ro.kind = 5;
    d.fields = {pw, ro};
    ASSERT_EQ(0, open(d));
    HWND dlg = dialogWnd(9), p = GetDlgItem(dlg, 768), r = GetDlgItem(dlg, 769);
    EXPECT_NE(0, GetWindowLongA(p, GWL_STYLE) & ES_PASSWORD);
    for (UINT msg : {WM_COPY, WM_CUT}) {
        putClipText("before");
        SendMessageA(p, EM_SETSEL, 0, -1);
        SendMessageA(p, msg, 0, 0);
        EXPECT_EQ("before", clipText()) << msg;
    }
    SendMessageA(r, EM_SETSEL, 0, -1);
    for (UINT msg : {WM_CLEAR, WM_PASTE, WM_CUT}) SendMessageA(r, msg, 0, 0);
    for (int vk : {VK_DELETE, VK_BACK}) SendMessageA(r, WM_KEYDOWN, static_cast<WPARAM>(vk), 0);
    SendMessageA(r, WM_CHAR, 'z', 0);
    EXPECT_EQ("fixed", textOf(r));
    // Copy of a read-only field is allowed.
    SendMessageA(r, WM_COPY, 0, 0);
    EXPECT_EQ("fixed", clipText());

    // The clipboard keys reach the field through the terminal's filter
    // before the key table would make them events. Outside input a password
    // control holds only stars.
    struct Key {
        HWND field;
        int shiftVk, vk;
        const char *clipboard, *text;
    } keys[] = {
        {p, VK_CONTROL, VK_INSERT, "before", "******"},
        {r, VK_CONTROL, VK_INSERT, "fixed", "fixed"},
        {r, VK_SHIFT, VK_DELETE, "before", "fixed"},
        {r, VK_SHIFT, VK_INSERT, "before", "fixed"},
    };
    for (const Key &k : keys) {
        putClipText("before");
        SendMessageA(k.field, EM_SETSEL, 0, -1);
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[k.shiftVk] = 0x80;
        SetKeyboardState(state);
        PostMessageA(k.field, WM_KEYDOWN, static_cast<WPARAM>(k.vk), 1);
        H().pump();
        state[k.shiftVk] = 0;
        SetKeyboardState(state);
        EXPECT_EQ(k.clipboard, clipText()) << k.vk;
        EXPECT_EQ(k.text, textOf(k.field)) << k.vk;
    }
    EXPECT_TRUE(H().added.empty());

    // Request 32 gives at most 7999 bytes of text with its NUL.
    m.message(27, th::Bytes().i32(9).i16(1).u8(0x12).u8(7).i16(9000).text(std::string(8500, 'w')));
    EXPECT_EQ(4 + 7999, m.message(32, th::Bytes().i32(9).i16(1)));
    EXPECT_EQ(7998, replyInt());
    EXPECT_EQ(0, m.reply()[4 + 7998]);
}

TEST_F(Dialogs, RefusedDescriptionsLeaveNothingAndFramelessDialogsStandAlone) {
    // No frame: a top-level dialog with a level of its own; mode 0xFE
    // without any parent is shown outside the list.
    Desc top;
    top.owner1 = 3;
    top.caption = "Alone";
    top.fields = {textField(2, 2, 5, "x")};
    ASSERT_EQ(0, open(top));
    // Centred on the work area, with the frame's icons.
    HWND alone = dialogByCaption("Alone");
    ASSERT_NE(nullptr, alone);
    RECT area, r;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(alone, &r);
    EXPECT_NEAR((area.left + area.right) / 2, (r.left + r.right) / 2, 1);
    EXPECT_NEAR((area.top + area.bottom) / 2, (r.top + r.bottom) / 2, 1);
    EXPECT_NE(0, SendMessageA(alone, WM_GETICON, ICON_BIG, 0));
    Desc outside;
    outside.owner1 = 4;
    outside.id = 0xFE00;
    ASSERT_EQ(0, open(outside));
    EXPECT_EQ(2, dialogCount());

    Desc dup;
    dup.owner1 = 3;
    Desc zero;
    zero.owner1 = 0;
    Desc cut;
    cut.owner1 = 20;
    cut.fieldCount = 9;
    // Within the host's block: a cut description reads no further.
    for (const Desc *bad : {&dup, &zero, &cut}) {
        EXPECT_EQ(4, m.messageInBlock(23, bytesOf(*bad)));
        EXPECT_EQ(-1, replyInt());
    }
    EXPECT_EQ(2, dialogCount());
    m.message(29, th::Bytes().i32(4));
    m.message(29, th::Bytes().i32(3));
    EXPECT_EQ(0, dialogCount());
    // The handles are free again.
    EXPECT_EQ(0, open(top));
}

// A mode-0 panel opened while another dialog runs its input becomes that
// dialog's child window; closing the parent first leaves the child's
// handle to be freed on its own.
TEST_F(Dialogs, PanelOpenedDuringInputBecomesTheRunningDialogsChild) {
    frame();
    Desc outer;
    outer.owner1 = 50;
    outer.left = 1, outer.top = 1, outer.right = 40, outer.bottom = 15;
    outer.texts = {{{2, 2}, "Outer"}};
    ASSERT_EQ(0, open(outer));
    HWND a = dialogWnd(50);
    HWND inner = nullptr;
    H().script.push_back([&] {
        Desc d;
        d.owner1 = 51;
        d.id = 0;
        d.left = 5, d.top = 4, d.right = 20, d.bottom = 8;
        d.fields = {textField(2, 1, 6, "in")};
        EXPECT_EQ(0, open(d));
        HWND c = FindWindowExA(a, nullptr, "pxDialogWnd", nullptr);
        inner = c;
        ASSERT_NE(nullptr, c);
        // Above the parent's own controls, at its grid place (no border cell).
        EXPECT_EQ(c, GetWindow(a, GW_CHILD));
        RECT r = rectIn(c, a), t = rectIn(GetDlgItem(a, 512), a);
        int stepX = (t.right - t.left) / 5;
        EXPECT_EQ((5 - 1 - 1) * stepX, r.left);
        H().queue.push_back(PxEvent{27, 0, 1, 0, 0, 0});
    });
    EXPECT_EQ(27, eventCode(run(50, -1)));
    ASSERT_NE(nullptr, inner);
    m.message(29, th::Bytes().i32(50));
    EXPECT_FALSE(IsWindow(inner));
    EXPECT_EQ(4, m.message(32, th::Bytes().i32(51).i16(0)));
    m.message(29, th::Bytes().i32(51));
    EXPECT_EQ(4, m.message(26, th::Bytes().i32(51).i16(-1).i16(-1).i16(-1).u8(0)));
    EXPECT_EQ(-1, replyInt());
}

// A panel of another mode opened during a dialog's input is no child of
// it: closing the running dialog first leaves the other one nothing of it
// to reach when it is activated or closed (freed memory is unreadable
// here), in the frame and as frameless top-level dialogs alike.
TEST_F(Dialogs, ADialogOfAnotherModeOpenedDuringInputOutlivesTheRunningOne) {
    FreedMemoryTrap trap(m.handle());
    ASSERT_TRUE(trap.redirected());
    for (bool framed : {true, false}) {
        if (framed) frame();
        Desc outer;
        outer.owner1 = 52;
        outer.caption = "Outer";
        outer.left = 1, outer.top = 1, outer.right = 40, outer.bottom = 15;
        ASSERT_EQ(0, open(outer));
        H().script.push_back([&] {
            Desc d;
            d.owner1 = 53;
            d.id = 0x0100;
            d.caption = "Other";
            d.left = 5, d.top = 4, d.right = 20, d.bottom = 8;
            d.fields = {textField(2, 1, 6, "in")};
            EXPECT_EQ(0, open(d));
            H().queue.push_back(PxEvent{27, 0, 1, 0, 0, 0});
        });
        EXPECT_EQ(27, eventCode(run(52, -1))) << framed;
        HWND other = dialogByCaption("Other");
        ASSERT_NE(nullptr, other) << framed;
        EXPECT_FALSE(IsChild(dialogByCaption("Outer"), other)) << framed;
        m.message(29, th::Bytes().i32(52));
        if (IsWindow(other)) {
            SendMessageA(other, WM_NCACTIVATE, TRUE, 0);
            SendMessageA(other, WM_ACTIVATE, WA_ACTIVE, 0);
        }
        // A frameless one went with its owner's window; its record stays.
        EXPECT_EQ(framed ? 7 : 4, m.message(32, th::Bytes().i32(53).i16(0))) << framed;
        m.message(29, th::Bytes().i32(53));
        EXPECT_EQ(0, dialogCount()) << framed;
        if (framed) m.message(8);
    }
    EXPECT_GT(FreedMemoryTrap::freed(), 0u);
}

// Request 29 for the dialog whose input runs, sent while the input waits:
// the run ends with int32 -1 and reads nothing of the freed dialog, for a
// field, for the whole dialog and for a field tip over it.
TEST_F(Dialogs, ClosingTheDialogWhoseInputWaitsEndsTheRunCleanly) {
    FreedMemoryTrap trap(m.handle());
    ASSERT_TRUE(trap.redirected());
    frame();
    struct Case {
        const char *what;
        int16_t field;  // request 26 on it, -1 the whole dialog; 99 a field tip
    } cases[] = {{"field", 0}, {"whole dialog", -1}, {"field tip", 99}};
    int32_t handle = 56;
    for (const Case &c : cases) {
        Desc d;
        d.owner1 = handle;
        d.fields = {textField(3, 2, 10, "abc"), shownField(3, 4, 10, "shown", 20)};
        ASSERT_EQ(0, open(d)) << c.what;
        H().script.push_back([&, handle] {
            m.message(29, th::Bytes().i32(handle));
            EXPECT_EQ(0, dialogCount());
            // Any event ends the wait.
            H().queue.push_back(PxEvent{c.field == 99 ? 27 : 13, 0, 28, 0, 0, 0});
        });
        if (c.field == 99) {
            int n = m.message(14, th::Bytes().i16(1).i16(0).i32(handle).i32(3).i16(0).text("Tip").text("").text(""));
            EXPECT_EQ(4, n) << c.what;
            EXPECT_EQ(27, replyInt()) << c.what;
        } else {
            std::vector<unsigned char> r = run(handle, c.field);
            ASSERT_EQ(4u, r.size()) << c.what;
            EXPECT_EQ(-1, WireReader(r.data(), 4).i32()) << c.what;
        }
        EXPECT_TRUE(H().script.empty()) << c.what;
        // The handle is free: the server may open it again.
        ASSERT_EQ(0, open(d)) << c.what;
        m.message(29, th::Bytes().i32(handle++));
    }
}

// Buttons pressed on a field become mouse events at the panel's grid cells
// (moves stay with the control); the press that ends one input is replayed
// when input starts in that field, so the caret lands where it was made.
TEST_F(Dialogs, FieldClicksBecomeEventsAndThePressIsReplayed) {
    frame();
    Desc d;
    d.owner1 = 60;
    d.left = 4, d.top = 3;
    d.texts = {{{2, 2}, "Name:"}};
    d.fields = {textField(8, 2, 15, "abcdefgh")};
    ASSERT_EQ(0, open(d));
    HWND dlg = dialogWnd(60), edit = GetDlgItem(dlg, 768);
    RECT t = rectIn(GetDlgItem(dlg, 512), dlg);
    int stepX = (t.right - t.left) / 5, stepY = t.bottom - t.top;
    // Three and a half cells into the field, half a row down.
    LPARAM at = MAKELPARAM(3 * stepX + stepX / 2, stepY / 2);
    struct Case {
        UINT msg;
        int code, buttons;
    } cases[] = {
        {WM_MOUSEMOVE, 0, 0},     {WM_LBUTTONDOWN, 513, 1}, {WM_LBUTTONUP, 515, 0}, {WM_LBUTTONDBLCLK, 520, 0},
        {WM_RBUTTONDOWN, 517, 2}, {WM_RBUTTONUP, 518, 0},   {WM_MBUTTONDOWN, 508, 0}, {WM_MBUTTONUP, 509, 0},
    };
    for (const Case &c : cases) {
        H().added.clear();
        SendMessageA(edit, c.msg, 0, at);
        ASSERT_EQ(c.code ? 1u : 0u, H().added.size()) << c.msg;
        if (!c.code) continue;
        const PxEvent &e = H().added[0].event;
        EXPECT_EQ(2, H().added[0].mode) << c.msg;
        // Panel left + field column + 3, panel top + field row.
        EXPECT_EQ((std::vector<int>{c.code, 4 + 8 + 3, 3 + 2, c.buttons}), (std::vector<int>{e.code, e.p1, e.p2, e.p4}));
    }
    EXPECT_EQ("abcdefgh", textOf(edit));

    // After a click the input puts the caret there; without one it selects
    // the whole text.
    DWORD from = 99, to = 99;
    auto selectionDuringInput = [&] {
        H().queue.clear();
        H().script.push_back([&] {
            SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
            H().queue.push_back(PxEvent{13, 0, 0, 0, 0, 0});
        });
        EXPECT_EQ(13, eventCode(run(60, 0)));
    };
    SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(edit, WM_LBUTTONUP, 0, at);
    selectionDuringInput();
    EXPECT_EQ(from, to);
    EXPECT_TRUE(from > 0 && from < 8) << from;
    selectionDuringInput();
    EXPECT_EQ(0u, from);
    EXPECT_EQ(8u, to);
}

// Input on a field that is not edited keeps what the control shows: a
// check box its label, a kind-2 or kind-5 field its shortened text once the
// input is over (it shows the whole text meanwhile).
TEST_F(Dialogs, InputKeepsTheLabelOfAMarkAndTheShownTextOfOtherFields) {
    frame();
    Desc d;
    d.owner1 = 66;
    d.texts = {{{3, 2}, "[ ] Active"}};
    DescField kind5 = shownField(9, 6, 6, "A rather long remark", 30);
    kind5.kind = 5;
    d.fields = {shownField(3, 2, 1, "X", 2), shownField(9, 4, 6, "A rather long remark", 30), kind5};
    ASSERT_EQ(0, open(d));
    HWND dlg = dialogWnd(66);
    for (int16_t field : {0, 1, 2}) {
        HWND c = GetDlgItem(dlg, 768 + field);
        std::string before = textOf(c), during;
        ASSERT_FALSE(before.empty()) << field;
        H().script.push_back([&] {
            during = textOf(c);
            H().queue.push_back(PxEvent{13, 0, 0, 0, 0, 0});
        });
        EXPECT_EQ(13, eventCode(run(66, field))) << field;
        EXPECT_EQ(field == 0 ? "Active" : "A rather long remark", during) << field;
        EXPECT_EQ(before, textOf(c)) << field;
    }
    EXPECT_EQ("Active", textOf(GetDlgItem(dlg, 768)));
}

// Keys typed ahead come back with the characters they gave when typed,
// not with those of the keyboard state at the replay.
TEST_F(Dialogs, TypedAheadKeysGiveTheCharactersTypedWithShift) {
    HWND dlg = openOneField(68, "");
    BYTE state[256] = {};
    state[VK_SHIFT] = 0x80;
    SetKeyboardState(state);
    for (int vk : {'A', '1', 'B'}) {
        UINT scan = MapVirtualKeyA(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
        PostMessageA(dlg, WM_KEYDOWN, static_cast<WPARAM>(vk), 1 | static_cast<LPARAM>(scan) << 16);
    }
    H().pump();
    SetKeyboardState(std::vector<BYTE>(256).data());
    H().script.push_back([] { H().queue.push_back(PxEvent{13, 0, 0, 0, 0, 0}); });
    std::vector<unsigned char> r = run(68, 0);
    ASSERT_EQ(13u, r.size());
    EXPECT_STREQ("A!B", reinterpret_cast<const char *>(r.data() + 9));
}

// Request 31 sets the editor's overwrite flag; the user's Insert choice for
// the fields stays as it was.
TEST_F(Dialogs, ModuleOptionsLeaveTheFieldsOverwriteChoice) {
    HWND edit = GetDlgItem(openOneField(69, "abc"), 768);
    SendMessageA(edit, EM_SETSEL, 0, 0);
    PostMessageA(edit, WM_KEYDOWN, VK_INSERT, 1);
    H().pump();
    m.message(31, th::Bytes().i16(50).u8(0).u8(0).i16(0).i16(0).text(""));
    PostMessageA(edit, WM_CHAR, 'x', 1);
    H().pump();
    EXPECT_EQ("xbc", textOf(edit));
}

// A click that starts input on a field with a formatted edit: the press is
// replayed into the edit, and later clicks on the field are events again.
TEST_F(Dialogs, ClicksOnAFormattedFieldAreEventsAfterItsReplayedPress) {
    SetDllDirectoryA((th::exeDir() + "qvformat\\full").c_str());
    frame();
    Desc d;
    d.owner1 = 71;
    DescField f = int32Field(3, 2, 12, 1234);
    f.format = "Name:FMT_NUMBER[10.0]";
    d.fields = {f};
    ASSERT_EQ(0, open(d));
    HWND edit = GetDlgItem(dialogWnd(71), 768);
    LPARAM at = MAKELPARAM(5, 5);
    for (int round = 0; round < 2; ++round) {
        H().added.clear();
        SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(edit, WM_LBUTTONUP, 0, at);
        ASSERT_EQ(2u, H().added.size()) << round;
        EXPECT_EQ(513, H().added[0].event.code) << round;
        EXPECT_EQ(515, H().added[1].event.code) << round;
        H().queue.clear();
        H().script.push_back([] { H().queue.push_back(PxEvent{13, 0, 0, 0, 0, 0}); });
        EXPECT_EQ(13, eventCode(run(71, 0))) << round;
    }
    SetDllDirectoryA(nullptr);
}

// Keys an edit field edits itself stay with it instead of becoming events:
// Insert reaches the typed filter and toggles overwrite.
TEST_F(Dialogs, EditingKeysStayWithTheFieldAndInsertTogglesOverwrite) {
    HWND edit = GetDlgItem(openOneField(61, "abc"), 768);
    ASSERT_NE(nullptr, edit);
    auto press = [&](int vk) {
        PostMessageA(edit, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
        H().pump();
    };
    auto type = [&](char c) {
        PostMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 1);
        H().pump();
    };
    struct Key {
        int vk, event;
    } keys[] = {{VK_HOME, 0}, {VK_LEFT, 0}, {VK_DELETE, 0}, {VK_BACK, 0}, {VK_F2, 316}, {VK_UP, 328}};
    for (const Key &k : keys) {
        H().added.clear();
        press(k.vk);
        EXPECT_EQ(k.event ? 1u : 0u, H().added.size()) << k.vk;
        EXPECT_EQ(k.event, H().added.empty() ? 0 : H().added[0].event.code) << k.vk;
    }
    H().added.clear();
    SetWindowTextA(edit, "abc");
    SendMessageA(edit, EM_SETSEL, 0, 0);
    press(VK_INSERT);
    type('x');
    EXPECT_EQ("xbc", textOf(edit));
    press(VK_INSERT);
    type('y');
    EXPECT_EQ("xybc", textOf(edit));
    EXPECT_TRUE(H().added.empty());
}

// Help asked in a dialog goes to the server as upcall 103 with the current
// field's context, else the panel's; not while Shift or Ctrl is held.
TEST_F(Dialogs, HelpReachesTheServerWithTheFieldsOrThePanelsContext) {
    frame();
    Desc d;
    d.owner1 = 62;
    d.owner2 = 9;
    d.help = 55;
    DescField f = textField(3, 2, 10, "x");
    f.help = 77;
    DescField g = textField(3, 4, 10, "y");
    d.fields = {f, g};
    ASSERT_EQ(0, open(d));
    HWND dlg = dialogWnd(62);
    auto help = [&](int shiftVk) {
        BYTE state[256] = {};
        GetKeyboardState(state);
        if (shiftVk) state[shiftVk] = 0x80;
        SetKeyboardState(state);
        H().upcalls.clear();
        sendWindowHelp(dlg);
        if (shiftVk) state[shiftVk] = 0;
        SetKeyboardState(state);
        if (H().upcalls.size() != 1 || H().upcalls[0].code != 103 || H().upcalls[0].payload.size() != 4) return -1;
        EXPECT_EQ("PXTBL#9", H().upcalls[0].table);
        return WireReader(H().upcalls[0].payload.data(), 4).i32();
    };
    struct Case {
        int16_t field;  // the field a run made current, -1 none
        int shiftVk, context;
    } cases[] = {{-1, 0, 55}, {0, 0, 77}, {1, 0, 55}, {0, VK_SHIFT, -1}, {0, VK_CONTROL, -1}};
    for (const Case &c : cases) {
        H().queue.push_back(PxEvent{27, 0, 1, 0, 0, 0});
        run(62, c.field);
        EXPECT_EQ(c.context, help(c.shiftVk)) << c.field << " " << c.shiftVk;
    }
}

// Request 26 on the whole dialog with an extra field count runs as usual
// and never reaches past the fields that exist; 28 and 30 answer nothing.
TEST_F(Dialogs, WholeDialogRunWithAnExtraFieldCount) {
    ASSERT_NE(nullptr, openOneField(63, "x"));
    for (int16_t extra : {-1, 0, 3, 200}) {
        H().queue.push_back(PxEvent{27, 0, 1, 0, 0, 0});
        std::vector<unsigned char> r = run(63, -1, th::Bytes().u8(0), extra);
        ASSERT_EQ(9u, r.size()) << extra;
        EXPECT_EQ(27, eventCode(r)) << extra;
    }
    for (int32_t handle : {63, 999}) {
        EXPECT_EQ(0, m.message(28, th::Bytes().i32(handle).i32(1)));
        EXPECT_EQ(0, m.message(30, th::Bytes().i32(handle)));
    }
    EXPECT_TRUE(IsWindow(dialogWnd(63)));
}

// A dialog keeps the size its grid gives it, and a dialog opened in a
// scrolled frame lines up with the ones already there. Its panes make a
// status bar of its own that requests 62-64 address by the dialog's handle.
TEST_F(Dialogs, DialogsKeepTheGridWhenResizedOrScrolledAndCarryTheirPanes) {
    frame();
    Desc a;
    a.owner1 = 64;
    a.caption = "First";
    a.left = 2, a.top = 3, a.right = 30, a.bottom = 40;
    a.texts = {{{2, 2}, "Tall"}};
    a.panes = {{2, 10, 1, 0, "Ready"}, {-1, 5, 1, 0, "R"}};
    ASSERT_EQ(0, open(a));
    HWND first = dialogByCaption("First");
    ASSERT_NE(nullptr, first);
    RECT before;
    GetWindowRect(first, &before);
    SetWindowPos(first, nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT after;
    GetWindowRect(first, &after);
    EXPECT_EQ(before.right - before.left, after.right - after.left);
    EXPECT_EQ(before.bottom - before.top, after.bottom - after.top);
    // Its sizing borders answer as plain border.
    EXPECT_EQ(HTBORDER, SendMessageA(first, WM_NCHITTEST, 0, MAKELPARAM(before.left + 1, (before.top + before.bottom) / 2)));

    HWND bar = GetDlgItem(first, 0x604);
    ASSERT_NE(nullptr, bar);
    auto part = [&](int i) {
        char buf[128] = {};
        SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
        return std::string(buf);
    };
    EXPECT_EQ("Ready", part(0));
    m.message(62, th::Bytes().i32(64).i16(2).text("Busy"));
    EXPECT_EQ("Busy", part(0));
    m.message(63, th::Bytes().i32(64).i16(1).i16(4).text("New"));
    EXPECT_EQ("New", part(0));
    EXPECT_EQ("Busy", part(1));
    // A pane that exists takes the width the request gives.
    auto partWidth = [&](int i) {
        int edges[8] = {};
        SendMessageA(bar, SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges));
        return edges[i] - (i ? edges[i - 1] : 0);
    };
    int tallStepX = (rectIn(GetDlgItem(first, 512), first).right - rectIn(GetDlgItem(first, 512), first).left) / 4;
    int wasWidth = partWidth(1);
    m.message(63, th::Bytes().i32(64).i16(2).i16(20).text("Wide"));
    EXPECT_EQ("Wide", part(1));
    EXPECT_EQ(wasWidth + 10 * tallStepX, partWidth(1));
    m.message(64, th::Bytes().i32(64).i16(1));
    EXPECT_EQ("Wide", part(0));

    // Scrolled down, a second dialog on the same rows sits where the first does.
    HWND client = GetParent(first);
    RECT unscrolled = rectIn(first, client);
    for (int request : {SB_LINEDOWN, SB_LINEDOWN, SB_ENDSCROLL}) SendMessageA(client, WM_VSCROLL, request, 0);
    H().pump();
    ASSERT_LT(rectIn(first, client).top, unscrolled.top);
    Desc b = a;
    b.owner1 = 65;
    b.caption = "Second";
    b.panes.clear();
    b.left = 34, b.right = 50;
    ASSERT_EQ(0, open(b));
    HWND second = dialogByCaption("Second");
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(nullptr, GetDlgItem(second, 0x604));
    RECT r1 = rectIn(first, client), r2 = rectIn(second, client), t = rectIn(GetDlgItem(first, 512), first);
    EXPECT_EQ(r1.top, r2.top);
    EXPECT_EQ((34 - 2) * ((t.right - t.left) / 4), r2.left - r1.left);
    // The dialog at work stays on top: the other one cannot be raised over it.
    EXPECT_EQ(second, GetWindow(client, GW_CHILD));
    SetWindowPos(first, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(second, GetWindow(client, GW_CHILD));

    // Input on a field below the view scrolls it into the view first.
    m.message(29, th::Bytes().i32(65));
    Desc c = a;
    c.owner1 = 67;
    c.caption = "Deep";
    c.panes.clear();
    c.left = 34, c.right = 50;
    c.fields = {textField(3, 35, 8, "deep")};
    ASSERT_EQ(0, open(c));
    HWND deep = GetDlgItem(dialogByCaption("Deep"), 768);
    ASSERT_NE(nullptr, deep);
    RECT view;
    GetClientRect(client, &view);
    ASSERT_GT(rectIn(deep, client).bottom, view.bottom);
    // Scrolled away during the input, a key for the field brings it back.
    RECT during = {}, away = {}, back = {};
    H().script.push_back([&] {
        during = rectIn(deep, client);
        for (int request : {SB_TOP, SB_ENDSCROLL}) SendMessageA(client, WM_VSCROLL, request, 0);
        away = rectIn(deep, client);
        PostMessageA(deep, WM_KEYDOWN, VK_HOME, 1);
    });
    H().script.push_back([&] {
        back = rectIn(deep, client);
        H().queue.push_back(PxEvent{27, 0, 1, 0, 0, 0});
    });
    run(67, 0);
    for (const RECT &r : {during, back}) {
        EXPECT_GE(r.top, view.top);
        EXPECT_LE(r.bottom, view.bottom);
    }
    EXPECT_GT(away.bottom, view.bottom);
}

// The dialog draws a focus mark around a check box without label while it
// is the current field, and texts too wide for their field end in an
// ellipsis while request 32 still reads them whole.
TEST_F(Dialogs, ScreenshotOfTheFocusMarkAndShortenedTexts) {
    frame();
    Desc d;
    d.owner1 = 78;
    d.caption = "Marks";
    d.texts = {{{3, 2}, "[ ]"}, {{3, 5}, "Note:"}};
    d.fields = {shownField(3, 2, 1, " ", 2), shownField(9, 5, 6, "A rather long remark", 30),
                shownField(9, 7, 2, "Wide", 30)};
    ASSERT_EQ(0, open(d));
    HWND dlg = dialogWnd(78), box = GetDlgItem(dlg, 768);
    ASSERT_EQ("", textOf(box));
    // Without a label the control is just the system's check mark.
    RECT mark = rectIn(box, dlg);
    EXPECT_EQ(GetSystemMetrics(SM_CXMENUCHECK), mark.right - mark.left);
    std::string shown = textOf(GetDlgItem(dlg, 769));
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ('\x85', shown.back());
    EXPECT_LT(shown.size(), 20u);
    EXPECT_EQ(4 + 21, m.message(32, th::Bytes().i32(78).i16(1)));
    EXPECT_STREQ("A rather long remark", reinterpret_cast<const char *>(m.reply() + 4));
    // Two cells wide: never shortened.
    EXPECT_EQ("Wide", textOf(GetDlgItem(dlg, 770)));

    // Pixels of the mark's focus rectangle in the dialog's own picture of
    // its client area, drawn on its face colour.
    auto marked = [&] {
        RECT c, r = rectIn(box, dlg);
        GetClientRect(dlg, &c);
        InflateRect(&r, 2, 2);
        HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
        HBITMAP bmp = CreateCompatibleBitmap(screen, c.right, c.bottom);
        HGDIOBJ old = SelectObject(mem, bmp);
        FillRect(mem, &c, GetSysColorBrush(COLOR_BTNFACE));
        SendMessageA(dlg, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
        int n = 0;
        for (int x = r.left; x < r.right; ++x) n += GetPixel(mem, x, r.top) != GetSysColor(COLOR_BTNFACE);
        SelectObject(mem, old);
        DeleteObject(bmp);
        DeleteDC(mem);
        ReleaseDC(nullptr, screen);
        return n;
    };
    EXPECT_EQ(0, marked());
    int during = 0;
    H().script.push_back([&] {
        during = marked();
        th::saveWindowBitmap(dlg, "dialog_marks.bmp");
        H().queue.push_back(PxEvent{27, 0, 1, 0, 0, 0});
    });
    EXPECT_EQ(27, eventCode(run(78, 0)));
    EXPECT_GT(during, 0);
}

// A text shortened as the dialog opens is the one the field shows when its
// value is set again later, under every edge type (edges and margins change
// the room, and an update keeps the margins), with the field and the disable
// font; it fits its control.
TEST_F(Dialogs, TextsShortenedAtOpeningMatchLaterUpdates) {
    const std::string remark = "A rather long remark";
    for (int edgeType = 0; edgeType <= 3; ++edgeType) {
        ASSERT_EQ(4, m.message(2, th::Bytes().i16(0).i32(0)));
        FILE *ini = std::fopen("panelux.ini", "wb");
        ASSERT_NE(nullptr, ini);
        std::fprintf(ini, "EDGETYPE=%d\n", edgeType);
        std::fclose(ini);
        m.message(1, th::Bytes().i16(0).i16(0).i32(313130));
        DeleteFileA("panelux.ini");
        frame();
        Desc d;
        d.owner1 = 79;
        DescField readOnly = textField(3, 6, 8, remark, 30), disabled = textField(3, 8, 6, remark, 30);
        readOnly.kind = 5;
        disabled.kind = 0x11;
        d.fields = {textField(3, 2, 6, remark, 30), shownField(3, 4, 5, remark, 30), readOnly, disabled};
        ASSERT_EQ(0, open(d));
        HWND dlg = dialogWnd(79);
        ASSERT_NE(nullptr, dlg);
        for (int16_t i = 0; i < 4; ++i) {
            HWND w = GetDlgItem(dlg, 768 + i);
            std::string opened = textOf(w);
            ASSERT_FALSE(opened.empty()) << edgeType << " " << i;
            EXPECT_EQ('\x85', opened.back()) << edgeType << " " << i;
            RECT r;
            GetClientRect(w, &r);
            DWORD margins = static_cast<DWORD>(SendMessageA(w, EM_GETMARGINS, 0, 0));
            HDC dc = GetDC(w);
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0)));
            SIZE size = {};
            GetTextExtentPoint32A(dc, opened.c_str(), static_cast<int>(opened.size()), &size);
            SelectObject(dc, old);
            ReleaseDC(w, dc);
            EXPECT_LE(size.cx, r.right - r.left - LOWORD(margins) - HIWORD(margins)) << edgeType << " " << i;
            m.message(27, th::Bytes().i32(79).i16(i).u8(0x10).text(remark));
            EXPECT_EQ(opened, textOf(w)) << edgeType << " " << i;
        }
        m.message(29, th::Bytes().i32(79));
    }
}

// Without EDGEDISABLE a field disabled by an update loses its edge and gets
// it back when enabled again; its client area stays in place.
TEST_F(Dialogs, DisabledFieldsDropTheirEdgeWithoutEdgeDisable) {
    // A fresh client that reads a panelux.ini with the setting off.
    ASSERT_EQ(4, m.message(2, th::Bytes().i16(0).i32(0)));
    FILE *ini = std::fopen("panelux.ini", "wb");
    ASSERT_NE(nullptr, ini);
    std::fputs("EDGEDISABLE=0\n", ini);
    std::fclose(ini);
    m.message(1, th::Bytes().i16(0).i16(0).i32(313130));
    DeleteFileA("panelux.ini");
    HWND dlg = openOneField(66, "x"), edit = GetDlgItem(dlg, 768);
    ASSERT_NE(nullptr, edit);
    auto client = [&] {
        RECT r;
        GetClientRect(edit, &r);
        MapWindowPoints(edit, dlg, reinterpret_cast<POINT *>(&r), 2);
        return r;
    };
    RECT start = client();
    ASSERT_NE(0, GetWindowLongA(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    for (uint8_t kind : {0x11, 0x01}) {
        m.message(27, th::Bytes().i32(66).i16(0).u8(0x01).u8(kind).i16(1));
        bool enabled = kind == 0x01;
        EXPECT_EQ(enabled, IsWindowEnabled(edit) != 0);
        EXPECT_EQ(enabled, (GetWindowLongA(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0) << int(kind);
        RECT now = client();
        EXPECT_EQ(start.left, now.left) << int(kind);
        EXPECT_EQ(start.top, now.top) << int(kind);
        EXPECT_EQ(start.right, now.right) << int(kind);
    }
}

// Updates bring each control in line with its field: kind and options
// restyle it or make it anew, buttons and plain texts keep the text font,
// and a plain text is never greyed.
TEST_F(Dialogs, UpdatedFieldsTakeTheirKindOptionsAndFonts) {
    frame();
    Desc d;
    d.owner1 = 67;
    d.texts = {{{3, 6}, "Note"}};
    DescField button = textField(3, 4, 6, " OK ");
    button.kind = 3;
    DescField plain = textField(3, 7, 4, "Info");
    plain.options = 0x01000000;
    d.fields = {textField(3, 2, 10, "abc"), button, textField(20, 2, 10, "x"), plain};
    ASSERT_EQ(0, open(d));
    HWND dlg = dialogWnd(67);
    ASSERT_NE(nullptr, dlg);
    auto font = [](HWND w) { return SendMessageA(w, WM_GETFONT, 0, 0); };
    LRESULT textFont = font(GetDlgItem(dlg, 512)), fieldFont = font(GetDlgItem(dlg, 770));
    ASSERT_NE(textFont, fieldFont);
    // A plain-text field sits on its cells exactly like a text of its length.
    RECT note = rectIn(GetDlgItem(dlg, 512), dlg), shown = rectIn(GetDlgItem(dlg, 771), dlg);
    EXPECT_EQ(note.left, shown.left);
    EXPECT_EQ(note.right, shown.right);
    EXPECT_EQ(note.bottom - note.top, shown.bottom - shown.top);
    struct Row {
        int16_t field;
        th::Bytes update;
        const char *cls;
        LONG mask, style, exMask, ex;
        bool textFont;
    };
    const Row rows[] = {
        {0, th::Bytes().u8(0x08).i32(0x00080000), "Edit", ES_PASSWORD, ES_PASSWORD, 0, 0, false},
        {0, th::Bytes().u8(0x08).i32(0), "Edit", ES_PASSWORD, 0, 0, 0, false},
        {0, th::Bytes().u8(0x01).u8(5).i16(1), "Edit", ES_READONLY, ES_READONLY, 0, 0, false},
        {0, th::Bytes().u8(0x01).u8(1).i16(1), "Edit", ES_READONLY, 0, 0, 0, false},
        {0, th::Bytes().u8(0x08).i32(0x02000000), "Edit", 0, 0, WS_EX_CLIENTEDGE | WS_EX_STATICEDGE, 0, false},
        {0, th::Bytes().u8(0x08).i32(0x01000000), "Static", 0, 0, 0, 0, true},
        {0, th::Bytes().u8(0x08).i32(0), "Edit", ES_READONLY, 0, 0, 0, false},
        {1, th::Bytes().u8(0x08).i32(0x08000000), "Button", BS_FLAT, BS_FLAT, 0, 0, true},
        {1, th::Bytes().u8(0x10).text(" Go "), "Button", BS_FLAT, BS_FLAT, 0, 0, true},
        {3, th::Bytes().u8(0x10).text("More"), "Static", 0, 0, 0, 0, true},
    };
    for (const Row &r : rows) {
        m.message(27, th::Bytes().i32(67).i16(r.field).raw(r.update));
        HWND c = GetDlgItem(dlg, 768 + r.field);
        ASSERT_NE(nullptr, c) << r.field;
        char cls[32] = {};
        GetClassNameA(c, cls, sizeof cls);
        EXPECT_STRCASEEQ(r.cls, cls) << r.field;
        EXPECT_EQ(r.style, GetWindowLongA(c, GWL_STYLE) & r.mask) << r.field;
        EXPECT_EQ(r.ex, GetWindowLongA(c, GWL_EXSTYLE) & r.exMask) << r.field;
        EXPECT_EQ(r.textFont ? textFont : fieldFont, font(c)) << r.field;
        EXPECT_TRUE(IsWindowEnabled(c)) << r.field;
    }
    EXPECT_EQ("abc", textOf(GetDlgItem(dlg, 768)));
}

// One picture of a dialog with every field kind, for people to look at.
TEST_F(Dialogs, ScreenshotOfADialogWithEveryFieldKind) {
    frame();
    Desc d;
    d.owner1 = 77;
    d.left = 2, d.top = 2, d.right = 44, d.bottom = 14;
    d.caption = "Every field";
    d.boxes = {{1, 1, 41, 6}};
    d.texts = {{{3, 1}, " Person "},
               {{3, 2}, "Name:"},
               {{3, 3}, "Code:"},
               {{3, 4}, "[ ] Active"},
               {{20, 4}, "( ) Archived"},
               {{3, 8}, "\xDA\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xBF"},
               {{3, 9}, "\xC0\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xD9"}};
    DescField name = textField(10, 2, 20, "Ivanov");
    DescField code = textField(10, 3, 8, "RO-17");
    code.kind = 5;
    DescField check = textField(3, 4, 1, "X", 2);
    check.kind = 2;
    DescField radio = textField(20, 4, 1, " ", 2);
    radio.kind = 2;
    DescField progress = textField(17, 8, 20, "XXXXXXXXXX          ", 22);
    progress.kind = 7;
    progress.options = 0x00100000;
    DescField button = textField(30, 11, 8, " ~OK ");
    button.kind = 3;
    d.fields = {name, code, check, radio, progress, button};
    ASSERT_EQ(0, open(d));
    HWND dlg = dialogWnd(77);
    ASSERT_NE(nullptr, dlg);
    HWND box = GetDlgItem(dlg, 256), chk = GetDlgItem(dlg, 770), rad = GetDlgItem(dlg, 771),
         bar = GetDlgItem(dlg, 772), btn = GetDlgItem(dlg, 773);
    EXPECT_EQ("Person", textOf(box));
    EXPECT_EQ("Active", textOf(chk));
    EXPECT_EQ(BST_CHECKED, SendMessageA(chk, BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, SendMessageA(rad, BM_GETCHECK, 0, 0));
    EXPECT_EQ(BS_RADIOBUTTON, GetWindowLongA(rad, GWL_STYLE) & BS_TYPEMASK);
    EXPECT_EQ(50, SendMessageA(bar, PBM_GETPOS, 0, 0));
    EXPECT_EQ("&OK", textOf(btn));
    EXPECT_NE(0, GetWindowLongA(GetDlgItem(dlg, 769), GWL_STYLE) & ES_READONLY);
    // No Static control for the texts that became labels or lines.
    for (int id = 512; id < 520; ++id)
        if (HWND s = GetDlgItem(dlg, id)) {
            EXPECT_EQ(std::string::npos, textOf(s).find("Active")) << id;
        }
    // A click on the check box answers as the space bar; elsewhere it stays a click.
    for (int column : {5, 30}) {
        H().script.push_back([column] { H().queue.push_back(PxEvent{515, 0, column, 6, 0, 1}); });
        EXPECT_EQ(column == 5 ? ' ' : 515, eventCode(run(77, 2))) << column;
    }
    // An empty progress value stands at 0.
    m.message(27, th::Bytes().i32(77).i16(4).u8(0x10).text(""));
    EXPECT_EQ(0, SendMessageA(bar, PBM_GETPOS, 0, 0));
    m.message(27, th::Bytes().i32(77).i16(4).u8(0x10).text("XXXXXXXXXXXXXXX     "));
    SetForegroundWindow(GetAncestor(dlg, GA_ROOT));
    RedrawWindow(GetAncestor(dlg, GA_ROOT), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    H().pump();
    EXPECT_GT(th::saveWindowBitmap(dlg, "dialog_screenshot.bmp").size(), 4u);
}

// A dialog's status bar sits below its grid, bordered or not, and shows
// only the panes the panel marks as shown.
TEST_F(Dialogs, StatusBarGoesBelowTheGridWithItsShownPanes) {
    frame();
    struct Case {
        uint16_t id;
        int8_t lastRow;  // the grid's last row inside the border
        int8_t secondShown;
        int parts;  // panes shown and the filler
    } cases[] = {{0x0102, 6, 1, 3}, {0xFF02, 7, 0, 2}};
    int32_t handle = 80;
    for (const Case &c : cases) {
        Desc d;
        d.owner1 = handle;
        d.id = c.id;
        d.left = 2, d.top = 1, d.right = 30, d.bottom = 8;
        d.texts = {{{2, c.lastRow}, "Last"}};
        d.panes = {{2, 10, 1, 0, "Ready"}, {3, 6, c.secondShown, 0, "Aux"}};
        ASSERT_EQ(0, open(d));
        HWND dlg = dialogWnd(handle), bar = GetDlgItem(dlg, 0x604);
        ASSERT_NE(nullptr, bar) << c.id;
        RECT text = rectIn(GetDlgItem(dlg, 512), dlg), b = rectIn(bar, dlg), client;
        GetClientRect(dlg, &client);
        EXPECT_EQ(text.bottom, b.top) << c.id;
        EXPECT_EQ(client.bottom, b.bottom) << c.id;
        EXPECT_EQ(c.parts, SendMessageA(bar, SB_GETPARTS, 0, 0)) << c.id;
        m.message(29, th::Bytes().i32(handle++));
    }
}

// With the host's window manager kept, an activated dialog tells it which
// of formkit's windows is in front: the dialog's own sink, in a frame or
// on its own level.
struct DialogsWithManager : Dialogs {
    th::HostWmLog log;
    th::FakeWindowManager manager{log};
    th::FakeHostApp host{log, &manager};
    DialogsWithManager() { hostApp = static_cast<IPxHostApp *>(&host); }
    void TearDown() override {
        Dialogs::TearDown();
        H().hostApp = nullptr;
    }
};

TEST_F(DialogsWithManager, ActivatedDialogsTellTheManager) {
    struct Case {
        bool framed;
        UINT msg;
        WPARAM wParam;
        bool told;
    } cases[] = {
        {true, WM_NCACTIVATE, TRUE, true},  {true, WM_NCACTIVATE, FALSE, false},
        {false, WM_ACTIVATE, WA_ACTIVE, true}, {false, WM_ACTIVATE, WA_INACTIVE, false},
    };
    int32_t handle = 90;
    for (const Case &c : cases) {
        if (c.framed) frame();
        Desc d;
        d.owner1 = handle;
        d.caption = "Told";
        ASSERT_EQ(0, open(d));
        HWND dlg = dialogByCaption("Told");
        ASSERT_NE(nullptr, dlg);
        ASSERT_FALSE(manager.windows.empty());
        IUnknown *own = manager.windows.back();
        manager.activated.clear();
        SendMessageA(dlg, c.msg, c.wParam, 0);
        EXPECT_EQ(c.told ? std::vector<IUnknown *>{own} : std::vector<IUnknown *>{}, manager.activated)
            << c.framed << " " << c.msg << " " << c.wParam;
        m.message(29, th::Bytes().i32(handle++));
        if (c.framed) m.message(8);
    }
}

}  // namespace
