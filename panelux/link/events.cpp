#include "events.h"

#include <cstring>
#include <string>

#include "app.h"
#include "celledit.h"
#include "dialog.h"
#include "lockdlg.h"
#include "popup.h"
#include "frame.h"
#include "menubar.h"
#include "menus.h"
#include "registry.h"
#include "status.h"
#include "upcalls.h"

namespace {

struct KeyRow {
    int16_t vk, plain, shift, ctrl, alt;
};

// Letters' Alt codes are 256 plus their scan codes.
const uint8_t kLetterScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                 0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

const KeyRow kFixedRows[] = {
    {219, -1, -1, 27, 282},   {221, -1, -1, 29, 283},   {220, -1, -1, 28, 299},   {186, -1, -1, -1, 295},
    {222, -1, -1, -1, 296},   {188, -1, -1, -1, 307},   {190, -1, -1, -1, 308},   {191, -1, -1, -1, 309},
    {192, -1, -1, -1, 297},   {189, -1, -1, 31, 386},   {187, -1, -1, -1, 387},   {8, 8, 8, 127, 270},
    {9, 9, 271, 404, 421},    {13, 13, 13, 10, 422},    {27, 27, 27, 27, -1},     {32, 32, 32, -1, -1},
    {33, 329, 329, 388, 409}, {34, 337, 337, 374, 417}, {35, 335, 335, 373, 415}, {36, 327, 327, 375, 407},
    {37, 331, 331, 371, 411}, {38, 328, 328, 397, 408}, {39, 333, 333, 372, 413}, {40, 336, 336, 401, 416},
    {45, 338, 338, 402, 418}, {46, 339, 339, 403, 419}, {106, -1, -1, 406, 311}, {107, -1, -1, 400, 334},
    {109, -1, -1, 398, 330},  {110, -1, -1, 339, 403},  {111, -1, -1, 405, 420},  {112, -1, 340, 350, 360},
    {122, 389, 391, 393, 395}, {123, 390, 392, 394, 396},
};

const int16_t kKeypadShift[10] = {338, 335, 336, 337, 331, 332, 333, 327, 328, 329};
const int16_t kKeypadCtrl[10] = {402, 373, 401, 374, 371, 399, 372, 375, 397, 388};

struct KeyTable {
    int16_t plain[512] = {}, shift[512] = {}, ctrl[512] = {}, alt[512] = {};
    int rows = 0;
    void put(const KeyRow &r) {
        auto v = [](int16_t c) { return static_cast<int16_t>(c < 0 ? 0 : c); };
        plain[r.vk] = v(r.plain), shift[r.vk] = v(r.shift), ctrl[r.vk] = v(r.ctrl), alt[r.vk] = v(r.alt);
        ++rows;
    }
    KeyTable() {
        static const int16_t digitCtrl[10] = {257, 258, 259, 260, 261, 262, 30, 263, 264, 265};
        for (int d = 0; d < 10; ++d)
            put({static_cast<int16_t>('0' + d), -1, -1, digitCtrl[d], static_cast<int16_t>(d == 0 ? 385 : 375 + d)});
        for (int l = 0; l < 26; ++l)
            put({static_cast<int16_t>('A' + l), -1, -1, static_cast<int16_t>(1 + l),
                 static_cast<int16_t>(256 + kLetterScan[l])});
        for (const KeyRow &r : kFixedRows) put(r);
        for (int k = 0; k < 10; ++k)
            put({static_cast<int16_t>(96 + k), -1, kKeypadShift[k], kKeypadCtrl[k], -1});
        for (int f = 0; f < 9; ++f)
            put({static_cast<int16_t>(113 + f), static_cast<int16_t>(316 + f), static_cast<int16_t>(341 + f),
                 static_cast<int16_t>(351 + f), static_cast<int16_t>(361 + f)});
    }
};

const KeyTable &keyTable() {
    static const KeyTable t;
    return t;
}

int g_buttons;
int g_pendingClick;
PxEvent g_last;

struct TypeAheadSlot {
    MSG msg;
    int shift;
    // The characters the key gave when it was typed (Windows code page):
    // made at replay time they would follow the keyboard state of then.
    char chars[4];
    int charCount;
};
struct TypeAhead {
    TypeAheadSlot slots[kPxTypeAheadSlots];
    int read = 0, write = 0;
    bool empty = true, full = false;
} g_ring;

TAppObj *appObj() {
    PxApp *app = px_app();
    return app && app->appObj ? app->appObj : zam_host().app;
}

bool hostHasFlushInput(TAppObj *a) { return a && a->fn->version(a) >= kAppIntfFlushInputVersion; }

void finishEvent() {
    g_buttons = 0;
    g_pendingClick = 0;
}

enum class Target { None, Frame, Dialog, Field, Editor };

Target classify(HWND wnd, PxTopWnd *entry) {
    if (!entry || !wnd) return Target::None;
    if (entry->frame && (wnd == entry->frame->wnd || wnd == entry->frame->client)) return Target::Frame;
    HWND dlg = entry->active && entry->active->kind == kPxChildDialog ? entry->active->wnd : nullptr;
    if (dlg && wnd == dlg) return Target::Dialog;
    if (!dlg) return Target::None;
    int id = GetDlgCtrlID(wnd);
    HWND parent = GetParent(wnd);
    // A dialog's list window takes its keys; the edit over a list cell is
    // one of its fields.
    if (parent == dlg && id == kPxListWndId) return Target::Dialog;
    if (parent && GetDlgCtrlID(parent) == kPxListWndId && GetParent(parent) == dlg) parent = dlg;
    if (parent == dlg && id >= 768 && id <= 1023) return Target::Field;
    if (parent == dlg && id == kPxEditorId) return Target::Editor;
    return Target::None;
}

void userBreak() {
    px_flushTypeAhead();
    ZamExtCallBacks *ext = zam_host().ext;
    if (ext && ext->SendChannel) ext->SendChannel(nullptr, 0, nullptr, 0);
}

}  // namespace

void px_userBreak() { userBreak(); }

namespace {

int mapCode(int code, int shift) {
    if (code >= 350 && code < 358 && (shift & 0xB)) return 762 + (code - 350);
    if (code >= 360 && code < 368 && (shift & 7)) return 762 + (code - 360);
    return code;
}

}  // namespace

int px_shiftState() {
    int s = 0;
    if (GetKeyState(VK_MENU) < 0) s |= kPxShiftAlt;
    if (GetKeyState(VK_SHIFT) < 0) s |= kPxShiftShift;
    if (GetKeyState(VK_CONTROL) < 0) s |= kPxShiftCtrl;
    return s;
}

int px_keyCode(int vk, int shift) {
    if (vk < 0 || vk > 511) return 0;
    const KeyTable &t = keyTable();
    if (shift & kPxShiftAlt) return t.alt[vk];
    if (shift & kPxShiftCtrl) return t.ctrl[vk];
    if (shift & kPxShiftShift) return t.shift[vk];
    return t.plain[vk];
}

int px_keyEventMode() {
    PxTopWnd *e = px_firstTopWnd();
    return e && e->eventMode ? kPxModeQueue : kPxModeDirect;
}

void px_writeEvent(const PxEvent &ev, int mode) {
    TAppObj *a = appObj();
    // The terminal's answer is not read: an event it refuses is lost.
    if (a) a->fn->addEvent(a, &ev, mode);
}

void px_postEvent3(int code, int shift, int p1, int p2, int p3, int mode) {
    px_writeEvent(PxEvent{code, shift, p1, p2, p3, 0}, mode);
    finishEvent();
}

void px_postEvent(int code, int shift, int p1, int mode) { px_postEvent3(code, shift, p1, 0, 0, mode); }

void px_postCharEvent(int ch, int mode) {
    // The server reads characters in the OEM code page.
    char c[2] = {static_cast<char>(ch), 0}, oem[2] = {};
    CharToOemBuffA(c, oem, 1);
    px_postEvent3(static_cast<unsigned char>(oem[0]), px_shiftState(), 0, 0, 0, mode);
}

void px_postScrollEvent(int code, int request, int position, int mode) {
    px_postEvent3(code, px_shiftState(), request, position, 0, mode);
}

void px_scrollBarEvent(HWND wnd, int bar, bool vertical, WPARAM wParam, bool track) {
    int request = LOWORD(wParam), position = 0;
    if (request == SB_THUMBPOSITION || (track && request == SB_THUMBTRACK)) {
        position = static_cast<short>(HIWORD(wParam));
        SetScrollPos(wnd, bar, position, TRUE);
    }
    px_postScrollEvent(vertical ? 504 : 503, request, position, px_keyEventMode());
}

void px_postMouseEvent(int code, int shift, int column, int row, int value, int mode) {
    switch (code) {
    case 513: g_buttons |= 1; break;
    case 515: g_buttons &= ~1; break;
    case 517: g_buttons |= 2; break;
    case 518: g_buttons &= ~2; break;
    default: break;
    }
    px_writeEvent(PxEvent{code, shift, column, row, value, g_buttons}, mode);
    g_pendingClick = 0;
}

void px_postMouseEventAt(HWND wnd, int code, POINT client, int value, int mode) {
    PxApp *app = px_app();
    int sx = app ? app->stepX : 1, sy = app ? app->stepY : 1;
    px_postMouseEvent(code, px_shiftState(), client.x / sx, client.y / sy, value, mode);
    // A press stays pending until the next event: a menu the server opens
    // for it comes up where the user clicked.
    if ((code == 513 || code == 517) && wnd && ClientToScreen(wnd, &client)) px_setPendingClick(client);
}

void px_setPendingClick(POINT screen) {
    g_pendingClick = static_cast<int>(MAKELONG(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y)));
}

bool px_takePendingClick(POINT *screen) {
    if (g_pendingClick == 0) return false;
    screen->x = static_cast<short>(LOWORD(g_pendingClick));
    screen->y = static_cast<short>(HIWORD(g_pendingClick));
    g_pendingClick = 0;
    return true;
}

int px_buttonBits() { return g_buttons; }

void px_setPendingClick(int packed) { g_pendingClick = packed; }
int px_pendingClick() { return g_pendingClick; }

bool px_readEvent(PxEvent *ev, int wait) {
    if (px_menuBarTracking()) {
        EndMenu();
        *ev = PxEvent{kPxEvMenuCancelled, 0, 0, 0, 0, 0};
        return true;
    }
    if (HWND loop = px_modalLoopWindow()) {
        PostMessageA(loop, WM_CANCELMODE, 0, 0);
        *ev = PxEvent{kPxEvMenuCancelled, 0, 0, 0, 0, 0};
        return true;
    }
    TAppObj *a = appObj();
    if (!a) return false;
    return a->fn->getEvent(a, ev, wait) != 0;
}

const PxEvent &px_lastEvent() { return g_last; }

bool px_hasTerminal() { return appObj() != nullptr; }

namespace {
// Request 5's reading: the kept fields, the code mapped.
int readAndKeep(PxEvent *ev, bool wait) {
    PxEvent e = {};
    if (wait) {
        // The terminal is asked again until it delivers; without one there
        // is nobody to wait for.
        while (!px_readEvent(&e, -1)) {
            if (!appObj()) {
                g_last.code = 0;
                *ev = g_last;
                return 0;
            }
        }
    } else if (!px_readEvent(&e, 0)) {
        g_last.code = 0;
        *ev = g_last;
        return 0;
    }
    e.code = mapCode(e.code, e.shift);
    g_last = e;
    *ev = e;
    return e.code;
}

int forwardSize(PxEvent *ev) {
    if (ev->code == kPxEvGridSize) {
        px_upcallNotify(0, 0, static_cast<int16_t>(g_last.p2), static_cast<int16_t>(g_last.p3), 0);
        g_last.p2 = g_last.p3 = 0;
        ev->p2 = ev->p3 = 0;
    }
    return ev->code;
}
}  // namespace

int px_hookWaitEvent(PxEvent *ev) {
    readAndKeep(ev, true);
    return forwardSize(ev);
}

int px_hookPollEvent(PxEvent *ev) {
    readAndKeep(ev, false);
    return forwardSize(ev);
}

const PxLoopServices &px_loopServices() {
    static const PxLoopServices services = {px_hookWaitEvent, px_hookPollEvent, px_upcallHelp};
    return services;
}

namespace {
// The characters a key message gives under the keyboard state of now.
int typedChars(const MSG &msg, char *out, int size) {
    if (msg.message != WM_KEYDOWN) return 0;
    BYTE state[256];
    if (!GetKeyboardState(state)) return 0;
    WCHAR wide[4];
    int n = ToUnicode(static_cast<UINT>(msg.wParam), static_cast<UINT>((msg.lParam >> 16) & 0xFF), state, wide, 4, 0);
    if (n <= 0) return 0;
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, n, out, size, nullptr, nullptr);
    return bytes > 0 ? bytes : 0;
}
}  // namespace

bool px_typeAheadPut(const MSG &msg, int shift) {
    if (g_ring.full) return false;
    if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && (msg.lParam & (1L << 30))) return false;
    TypeAheadSlot &slot = g_ring.slots[g_ring.write];
    slot = TypeAheadSlot{msg, shift, {}, 0};
    slot.charCount = typedChars(msg, slot.chars, sizeof slot.chars);
    g_ring.write = (g_ring.write + 1) % kPxTypeAheadSlots;
    g_ring.full = g_ring.write == g_ring.read;
    g_ring.empty = false;
    return true;
}

bool px_typeAheadTake(MSG *msg, int *shift, std::string *chars) {
    if (g_ring.empty) return false;
    const TypeAheadSlot &slot = g_ring.slots[g_ring.read];
    *msg = slot.msg;
    if (shift) *shift = slot.shift;
    if (chars) chars->assign(slot.chars, static_cast<size_t>(slot.charCount));
    msg->time = GetTickCount();
    g_ring.read = (g_ring.read + 1) % kPxTypeAheadSlots;
    g_ring.full = false;
    g_ring.empty = g_ring.read == g_ring.write;
    return true;
}

int px_typeAheadCount() {
    if (g_ring.empty) return 0;
    if (g_ring.full) return kPxTypeAheadSlots;
    return (g_ring.write - g_ring.read + kPxTypeAheadSlots) % kPxTypeAheadSlots;
}

void px_flushTypeAhead() {
    g_ring.read = g_ring.write = 0;
    g_ring.empty = true;
    g_ring.full = false;
    TAppObj *a = appObj();
    // Older terminals have no FlushInput slot.
    if (hostHasFlushInput(a)) a->fn->FlushInput(a);
}

void px_replayTypeAhead(HWND wnd) {
    MSG msg;
    int shift = 0;
    std::string chars;
    while (px_typeAheadTake(&msg, &shift, &chars)) {
        msg.hwnd = wnd;
        if (px_keyDispatch(msg, shift)) {
            InvalidateRect(wnd, nullptr, TRUE);
            UpdateWindow(wnd);
            return;
        }
        DispatchMessageA(&msg);
        // The key's characters go before the next key, which may end the
        // input as an event.
        for (char c : chars) {
            MSG ch = msg;
            ch.message = WM_CHAR;
            ch.wParam = static_cast<unsigned char>(c);
            if (!px_msgFilter(&ch)) DispatchMessageA(&ch);
        }
    }
}

bool px_keyDispatch(const MSG &msg, int shift) {
    PxTopWnd *entry = px_firstTopWnd();
    Target t = classify(msg.hwnd, entry);
    if (t == Target::None) return false;
    int vk = static_cast<int>(msg.wParam);
    if (vk == VK_CANCEL && shift == kPxShiftCtrl) {
        userBreak();
        return true;
    }
    // A key for a field or list scrolled out of sight brings it back first.
    if (t == Target::Field || GetDlgCtrlID(msg.hwnd) == kPxListWndId)
        px_showInputPlace(static_cast<PxDialog *>(entry->runningDlg));
    // The editor shows what the server wrote before the key is answered.
    if (t == Target::Editor) UpdateWindow(msg.hwnd);
    // Copy keys on a list window copy its focused cell at any time.
    if (t == Target::Dialog && msg.message == WM_KEYDOWN && GetDlgCtrlID(msg.hwnd) == kPxListWndId &&
        px_translateClipKey(msg.hwnd, 0x1001, vk, shift))
        return true;
    if (t == Target::Dialog && !entry->runningDlg && !entry->eventMode && !px_frameInMenuMode(entry->frame)) {
        px_typeAheadPut(msg, shift);
        return true;
    }
    if (t == Target::Field && msg.message == WM_KEYDOWN && px_fieldClipKey(msg.hwnd, vk, shift)) return true;
    int code = px_keyCode(vk, shift);
    if (code == 0) return false;
    // Editing keys belong to the edit control (and its Insert toggle).
    if (t == Target::Field && px_fieldEditsKey(msg.hwnd, code)) return false;
    px_writeEvent(PxEvent{code, shift, static_cast<int>((msg.lParam >> 16) & 0xff), 0, 0, 0},
                  px_keyEventMode());
    finishEvent();
    return true;
}

int ZAMCB px_msgFilter(MSG *msg) {
    try {
        if (!px_app() || !msg) return 0;
        if (px_lockDlgPreTranslate(msg)) return 1;
        if (px_menuBarPreTranslate(msg)) return 1;
        if (msg->message == WM_CHAR) return px_popupPreTranslate(*msg, 0) ? 1 : 0;
        if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return 0;
        int shift = px_shiftState();
        if (px_popupPreTranslate(*msg, shift)) return 1;
        if (msg->message == WM_SYSKEYDOWN && !(msg->lParam & (1L << 29))) {
            SetFocus(msg->hwnd);
            PostMessageA(msg->hwnd, WM_KEYDOWN, msg->wParam, msg->lParam);
            return 0;
        }
        return px_keyDispatch(*msg, shift) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void ZAMCB px_idleProc() {
    try {
        PxApp *app = px_app();
        if (!app) return;
        // A menu loop of the server's that ended without a choice.
        PxTopWnd *current = px_firstTopWnd();
        if (current && px_takeMenuDismissal(current->frame))
            px_postEvent(kPxEvMenuDismissed, 0, 0, kPxModeDirect);
        RingList *list = &app->topWindows;
        for (void *e = ring_first(list); e; e = ring_next(list, e)) {
            PxTopWnd *entry = static_cast<PxTopWnd *>(e);
            if (entry->frame && entry->frame->status) px_updateIndicators(entry->frame->status);
        }
    } catch (...) {
    }
}

int px_onEventMode(const PxRequest &req) {
    WireReader r = req.reader();
    int16_t value = r.i16();
    PxTopWnd *e = px_firstTopWnd();
    if (!r.ok() || !e) return 0;
    bool mode = value != 0;
    if (mode != e->eventMode) {
        e->eventMode = mode;
        px_flushTypeAhead();
    }
    return 0;
}

void px_writeEventReply(WireWriter &w, const PxEvent &e) {
    w.i16(static_cast<int16_t>(e.code));
    w.u8(static_cast<uint8_t>(e.shift));
    w.u8(static_cast<uint8_t>(e.p1));
    w.i16(static_cast<int16_t>(e.p2));
    w.i16(static_cast<int16_t>(e.p3));
    w.u8(static_cast<uint8_t>(e.p4));
}

int px_onReadEvent(const PxRequest &req) {
    WireReader r = req.reader();
    int16_t wait = r.i16();
    if (!r.ok()) return 0;
    PxEvent e;
    readAndKeep(&e, wait != 0);
    WireWriter w = req.writer();
    px_writeEventReply(w, e);
    return zam_replyLength(w);
}

int px_onQueueEvent(const PxRequest &req) {
    WireReader r = req.reader();
    PxEvent e = {};
    e.code = r.i16();
    e.shift = r.u8();
    e.p1 = r.u8();
    e.p2 = r.i16();
    e.p3 = r.i16();
    e.p4 = r.u8();
    if (r.ok()) px_writeEvent(e, kPxModeRequest);
    return 0;
}
