// The popup window and its wait. Buttons queue Enter (13) and the wait
// answers the current button; Escape queues 27 when the popup allows it.
#include "popup.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "app.h"
#include "dialog.h"
#include "errbox.h"
#include "events.h"
#include "fieldtext.h"
#include "frame.h"
#include "registry.h"
#include "tabs.h"
#include "upcalls.h"
#include "wire.h"
#include "wndutil.h"
#include "zam_entry.h"

const char kPxPopupClass[] = "pxPopupWnd";

namespace {

enum : int { kButtonId = 1024, kTextId = 1280, kChildPopupId = 1792 };

struct PxPopup {
    std::string text;
    std::vector<std::string> buttons;
    std::string extra, title;
    int kind = 1;
    bool modal = false;
    int current = 0;
    int width = 0;
    int32_t helpContext = 0;
    bool escape = false;
    HWND hwnd = nullptr;
    HWND owners[2] = {};
    HFONT font = nullptr;
    bool listed = false;  // a child popup in the top window's child list
    // The field tip: the balloon over the current field of a dialog.
    PxDialog *tipDialog = nullptr;
    HWND balloon = nullptr;
};

PxPopup *g_waiting = nullptr;  // the popup whose wait is running

void focusButton(PxPopup *p) {
    if (p->buttons.empty()) return;
    if (HWND b = GetDlgItem(p->hwnd, kButtonId + p->current)) SetFocus(b);
}

void moveButton(PxPopup *p, int by) {
    int n = static_cast<int>(p->buttons.size());
    if (n == 0) return;
    p->current = ((p->current + by) % n + n) % n;
    focusButton(p);
}

void queue(int code) { px_postEvent(code, 0, 0, px_keyEventMode()); }

int upperChar(int ch) {
    return static_cast<int>(reinterpret_cast<uintptr_t>(
        CharUpperA(reinterpret_cast<char *>(static_cast<uintptr_t>(static_cast<unsigned char>(ch))))));
}

// The letter after '&' in a caption as the button shows it (the typed
// character is in the Windows code page), upper-cased; 0 when none.
int hotKey(const std::string &captionOem) {
    PxApp *app = px_app();
    std::string caption = app && app->oemFont[kPxTextFont] ? captionOem : px_oemToAnsi(captionOem.c_str());
    size_t at = caption.find('&');
    if (at == std::string::npos || at + 1 >= caption.size()) return 0;
    return upperChar(caption[at + 1]);
}

bool onChar(PxPopup *p, int ch) {
    int up = upperChar(ch);
    for (size_t i = 0; i < p->buttons.size(); ++i) {
        if (hotKey(p->buttons[i]) == up) {
            p->current = static_cast<int>(i);
            queue(13);
            return true;
        }
    }
    return false;
}

const char kDashes[] = "---------------------------";

// Ctrl+C over a popup: its title, text and buttons in dashed blocks.
void px_copyPopup(HWND hwnd, const PxPopup *p) {
    if (p->title.empty() && p->text.empty() && p->buttons.empty()) return;
    std::string out = std::string(kDashes) + "\r\n";
    if (!p->title.empty()) out += px_oemToAnsi(p->title.c_str()) + "\r\n" + kDashes + "\r\n";
    if (!p->text.empty()) {
        for (const std::string &line : px_popupLines(p->text)) out += px_oemToAnsi(line.c_str()) + "\r\n";
        out += std::string(kDashes) + "\r\n";
    }
    if (!p->buttons.empty()) {
        std::string row;
        for (const std::string &b : p->buttons) row += (row.empty() ? "" : "   ") + px_oemToAnsi(b.c_str());
        out += row + "\r\n" + kDashes + "\r\n";
    }
    px_copyText(hwnd, out.data(), out.size(), false);
}

bool ownsZOrder(const PxPopup *p) { return p->modal || px_isActiveChild(p, kPxChildPopup); }

LRESULT CALLBACK popupWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        PxPopup *p = reinterpret_cast<PxPopup *>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
        switch (msg) {
        case WM_CREATE:
            p = static_cast<PxPopup *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams);
            SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(p));
            return 0;
        case WM_SETFOCUS:
            if (!p) break;
            if (!p->buttons.empty()) focusButton(p);
            else if (HWND t = GetDlgItem(wnd, kTextId)) SetFocus(t);
            return 0;
        case WM_COMMAND: {
            int id = LOWORD(wParam);
            int count = p ? static_cast<int>(p->buttons.size()) : 0;
            if (!p || id < kButtonId || id >= kButtonId + count) break;
            if (HIWORD(wParam) == BN_CLICKED) {
                p->current = id - kButtonId;
                queue(13);
            } else if (HIWORD(wParam) == BN_SETFOCUS) {
                p->current = id - kButtonId;
            }
            return 0;
        }
        case WM_CHAR:
            if (p) onChar(p, static_cast<int>(wParam));
            return 0;
        case WM_COPY:
            if (p) px_copyPopup(wnd, p);
            return 0;
        case WM_CLOSE:
            if (p && p->escape) queue(27);
            return 0;
        case WM_HELP:
            if (p) px_loopServices().help(p->helpContext);
            return TRUE;
        case WM_WINDOWPOSCHANGING:
            // A child popup behind the active child stays where it is.
            if (p && !ownsZOrder(p)) reinterpret_cast<WINDOWPOS *>(lParam)->flags |= SWP_NOZORDER;
            break;
        }
    } catch (...) {
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

bool registerPopupClass() {
    if (px_isClassRegistered(kPxPopupClass)) return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = popupWndProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPxPopupClass;
    return px_regWndClass(&wc) == 0;
}

struct Shape {
    DWORD style = 0, exStyle = 0;
    HWND parent = nullptr;
    int id = 0;
};

// A modal popup is a top-level window over the current frame (or the
// active child window); the others sit in the frame's client window.
Shape shapeOf(PxPopup *p) {
    Shape s;
    PxTopWnd *top = px_firstTopWnd();
    HWND client = top && top->frame ? top->frame->client : nullptr;
    if (!client) p->modal = true;
    if (p->modal) {
        s.style = WS_POPUP | WS_CAPTION;
        s.parent = px_curFrameWnd();
        if (!s.parent) s.parent = px_curChildWnd();
        if (s.parent) s.exStyle = WS_EX_DLGMODALFRAME;
        else s.style |= WS_MINIMIZEBOX;
        p->owners[0] = s.parent;
    } else {
        s.style = WS_CHILD | WS_CLIPSIBLINGS | WS_CAPTION;
        s.exStyle = WS_EX_DLGMODALFRAME;
        s.parent = client;
        s.id = kChildPopupId;
        p->owners[0] = top->frame->wnd;
        p->owners[1] = client;
    }
    if (p->escape) s.style |= WS_SYSMENU;
    return s;
}

// A non-modal popup brings its frame forward unless another program has
// the foreground.
void bringOwnerForward(const PxPopup *p) {
    HWND fg = GetForegroundWindow();
    DWORD pid = 0;
    if (fg) GetWindowThreadProcessId(fg, &pid);
    if ((!fg || pid == GetCurrentProcessId()) && p->owners[0]) BringWindowToTop(p->owners[0]);
}

bool px_createPopup(PxPopup *p) {
    PxApp *app = px_app();
    if (!app || !registerPopupClass()) return false;
    int stepX = std::max(app->stepX, 1), stepY = std::max(app->stepY, 2);
    int a = 2 * stepX, h = stepY / 2;
    std::vector<std::string> lines = px_popupLines(p->text);
    size_t longest = 0;
    for (const std::string &l : lines) longest = std::max(longest, l.size());
    int textW = static_cast<int>(longest) * stepX, textH = static_cast<int>(lines.size()) * app->textLineH;
    int count = static_cast<int>(p->buttons.size());
    int buttonW = (p->width + 1) * stepX, buttonH = stepY + stepY / 2;
    int rowW = count ? count * buttonW + (count - 1) * a : 0, rowH = count ? buttonH : 0;
    int clientW = std::max(textW, rowW) + 2 * a, clientH = textH + rowH + (textH && rowH ? h : 0) + 2 * h;

    Shape s = shapeOf(p);
    SIZE ws = px_clientToWindowSize(clientW, clientH, s.style, s.exStyle);
    std::string title = px_oemToAnsi(p->title.c_str());
    p->hwnd = CreateWindowExA(s.exStyle, kPxPopupClass, title.c_str(), s.style, 0, 0, ws.cx, ws.cy, s.parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(s.id)), app->instance, p);
    if (!p->hwnd) {
        px_sysErrorBox(GetLastError(), "px_createPopup: CreateWindowEx() failed!");
        return false;
    }
    p->font = px_createFont(&app->fonts[kPxTextFont]);
    RECT cr;
    GetClientRect(p->hwnd, &cr);
    int y = h;
    if (textH) {
        std::string shown = px_oemToAnsi(p->text.c_str());
        HWND t = CreateWindowExA(0, "Static", shown.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER, (cr.right - textW) / 2, y,
                                 textW, textH, p->hwnd, reinterpret_cast<HMENU>(kTextId), app->instance, nullptr);
        if (t && p->font) SendMessageA(t, WM_SETFONT, reinterpret_cast<WPARAM>(p->font), 0);
        y += textH + h;
    }
    int x = (cr.right - rowW) / 2;
    for (int i = 0; i < count; ++i, x += buttonW + a) {
        std::string caption = app->oemFont[kPxTextFont] ? p->buttons[i] : px_oemToAnsi(p->buttons[i].c_str());
        HWND b = CreateWindowExA(0, "Button", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x, y,
                                 buttonW, buttonH, p->hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId + i)),
                                 app->instance, nullptr);
        if (b && p->font) SendMessageA(b, WM_SETFONT, reinterpret_cast<WPARAM>(p->font), 0);
    }
    px_centerOver(p->hwnd, nullptr);
    if (!p->modal) p->listed = px_addChildWnd(p->hwnd, p, kPxChildPopup) != nullptr;
    ShowWindow(p->hwnd, SW_SHOW);
    if (p->modal) SetForegroundWindow(p->hwnd);
    else bringOwnerForward(p);
    UpdateWindow(p->hwnd);
    ReleaseCapture();
    return true;
}

void destroyPopup(PxPopup *p) {
    if (p->balloon) DestroyWindow(p->balloon);
    p->balloon = nullptr;
    if (p->hwnd) {
        SetWindowLongPtrA(p->hwnd, GWLP_USERDATA, 0);
        DestroyWindow(p->hwnd);
        p->hwnd = nullptr;
    }
    // Gone from the list after its window, so that the next child takes the focus.
    if (p->listed) px_removeChildWnd(p, kPxChildPopup);
    p->listed = false;
    if (p->font) DeleteObject(p->font);
    p->font = nullptr;
}

bool ends(const PxPopup *p, int code) {
    if (code == kPxEvMenuCancelled || (code == 27 && p->escape)) return true;
    return code == 13 && !p->buttons.empty() && !p->tipDialog;
}

// Reads events until the popup's ending event; a modal popup keeps its
// owners disabled meanwhile.
int waitPopup(PxPopup *p) {
    HWND focus = p->tipDialog ? p->tipDialog->hwnd : p->hwnd;
    SetFocus(focus);
    std::vector<HWND> disabled;
    if (p->modal)
        for (HWND o : p->owners)
            if (o && IsWindowEnabled(o)) {
                EnableWindow(o, FALSE);
                disabled.push_back(o);
            }
    px_flushTypeAhead();
    // A press pending before the popup is not the popup's to replay.
    int click = px_pendingClick();
    px_setPendingClick(0);
    PxPopup *outer = g_waiting;
    g_waiting = p;
    const PxLoopServices &svc = px_loopServices();
    PxEvent ev = {};
    for (;;) {
        if (svc.wait(&ev) && ends(p, ev.code)) break;
        // Nobody is left to answer: the popup ends unanswered rather than
        // asking again and again without a message pumped.
        if (!px_hasTerminal()) {
            ev.code = -1;
            break;
        }
    }
    g_waiting = outer;
    px_setPendingClick(click);
    for (HWND w : disabled) EnableWindow(w, TRUE);
    return ev.code;
}

const char *defaultTitle(int kind) {
    static const std::string titles[] = {px_ansiToOem(px_ansi(L"Сообщение").c_str()),
                                         px_ansiToOem(px_ansi(L"Предупреждение").c_str()),
                                         px_ansiToOem(px_ansi(L"Ошибка").c_str())};
    return kind >= 1 && kind <= 3 ? titles[kind - 1].c_str() : "";
}

// A trailing text the request may leave out.
std::string optText(WireReader &r) { return r.left() ? std::string(r.text()) : std::string(); }

void cancelTopMode() {
    HWND top = px_curFrameWnd();
    if (top && IsWindowEnabled(top)) PostMessageA(top, WM_CANCELMODE, 0, 0);
}

void fillMessage(PxPopup *p, const char *text, int kind, int32_t helpContext, const char *extra, const char *title) {
    p->kind = kind >= 100 ? kind - 100 : kind;
    p->text = text ? text : "";
    p->extra = extra ? extra : "";
    p->title = title && *title ? title : defaultTitle(p->kind);
    p->helpContext = helpContext;
    p->escape = true;
}

// The dialog input runs in, or else the one the user sees: the active
// dialog of the top window.
PxDialog *shownDialog() {
    if (PxDialog *running = px_currentDialog()) return running;
    PxTopWnd *top = px_firstTopWnd();
    if (!top) return nullptr;
    if (const void *panel = px_activeChildObj(top, kPxChildDialog))
        return px_dialogOfPanel(static_cast<const PxPanel *>(panel));
    return static_cast<PxDialog *>(top->dialog);
}

PxFieldCtl *currentFieldCtl(PxDialog *d) {
    const PxField *cur = d->panel ? d->panel->currentField : nullptr;
    if (!cur) return nullptr;
    long index = cur - d->panel->fields;
    if (index < 0 || index >= static_cast<long>(d->fields.size())) return nullptr;
    PxFieldCtl *c = &d->fields[static_cast<size_t>(index)];
    return c->hwnd && IsWindowVisible(c->hwnd) ? c : nullptr;
}

// The balloon points at the centre of the field.
void placeBalloon(HWND balloon, HWND field) {
    RECT r;
    GetWindowRect(field, &r);
    SendMessageA(balloon, TTM_TRACKPOSITION, 0, MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
}

bool showBalloon(PxPopup *p, HWND field) {
    std::string text;
    for (char ch : p->text) text += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    p->balloon = px_createToolTip(field, text.c_str(), p->title.c_str(), p->kind >= 1 && p->kind <= 3 ? p->kind : 1,
                                  true);
    if (!p->balloon) return false;
    SendMessageA(p->balloon, TTM_SETMAXTIPWIDTH, 0, 400);
    placeBalloon(p->balloon, field);
    return true;
}

// A key over a field tip that is no popup key closes the tip; the key goes
// on to the dialog.
void closeTip(PxPopup *p, const MSG &msg) {
    DestroyWindow(p->balloon);
    p->balloon = nullptr;
    p->tipDialog->tip.balloon = nullptr;
    if (p->escape) queue(27);
    else if (!p->buttons.empty()) queue(13);
    if (p->tipDialog->hwnd) PostMessageA(p->tipDialog->hwnd, msg.message, msg.wParam, msg.lParam);
}

}  // namespace

std::vector<std::string> px_popupLines(const std::string &text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    return out;
}

void px_placeFieldTip(PxDialog *d) {
    if (!d || !d->tip.balloon) return;
    if (PxFieldCtl *c = currentFieldCtl(d)) placeBalloon(d->tip.balloon, c->hwnd);
}

int px_popupMessage(const char *text, int kind, int32_t helpContext, const char *extra, const char *title) {
    cancelTopMode();
    PxPopup p;
    p.modal = !px_curFrameWnd() || kind >= 100;
    fillMessage(&p, text, kind, helpContext, extra, title);
    int result = -1;
    if (px_createPopup(&p)) result = waitPopup(&p);
    destroyPopup(&p);
    return result;
}

int px_popupFieldTip(PxPanel *panel, const char *text, int kind, int32_t helpContext, const char *extra,
                     const char *title) {
    PxDialog *d = px_dialogOfPanel(panel);
    PxDialog *shown = shownDialog();
    PxFieldCtl *field = d ? currentFieldCtl(d) : nullptr;
    if (!field || !shown || (d != shown && d->parent != shown))
        return px_popupMessage(text, kind, helpContext, extra, title);
    PxPopup p;
    fillMessage(&p, text, kind, helpContext, extra, title);
    p.tipDialog = d;
    PxDialogHold hold(d);
    int result = -1;
    if (showBalloon(&p, field->hwnd)) {
        // The dialog's tip slot: it keeps its focus, answers help with the
        // tip's context and takes the balloon along while the tip is open.
        d->tip.balloon = p.balloon;
        d->tip.helpContext = p.helpContext;
        result = waitPopup(&p);
        d->tip.balloon = nullptr;
    }
    destroyPopup(&p);
    return result;
}

int px_popupInput(const char *text, const char *buttons, int defaultButton, int width, int kind,
                  int32_t helpContext, const char *extra, const char *title) {
    cancelTopMode();
    PxPopup p;
    p.modal = !px_curFrameWnd();
    p.kind = kind >= 100 ? kind - 100 : kind;
    p.text = text ? text : "";
    for (const char *b = buttons; b && *b; b += strlen(b) + 1) p.buttons.push_back(b);
    p.extra = extra ? extra : "";
    p.title = title ? title : "";
    p.helpContext = helpContext;
    p.width = std::max(width, 0);
    int count = static_cast<int>(p.buttons.size());
    int d = defaultButton;
    if (d >= 27) {
        d -= 27;
        p.escape = true;
    } else {
        p.escape = count == 0;
    }
    // A default outside the buttons starts on the first one.
    p.current = d >= 0 && d < count ? d : 0;
    // Without a popup the answer is the default button as given.
    int result = count ? d : 27;
    if (px_createPopup(&p)) {
        int ended = waitPopup(&p);
        // Unanswered, it answers as a popup that could not be made.
        if (ended >= 0) result = ended == 13 && count ? p.current : ended;
    }
    destroyPopup(&p);
    return result;
}

bool px_popupPreTranslate(const MSG &msg, int shift) {
    PxPopup *p = g_waiting;
    if (!p) return false;
    HWND w = msg.hwnd;
    bool tip = p->tipDialog != nullptr;
    if (tip) {
        HWND dlg = p->tipDialog->hwnd;
        if (!p->balloon || !dlg || (w != p->balloon && w != dlg && !IsChild(dlg, w))) return false;
    } else if (!p->hwnd || (w != p->hwnd && !IsChild(p->hwnd, w))) {
        return false;
    }
    if (msg.message == WM_CHAR) return tip || onChar(p, static_cast<int>(msg.wParam));
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    int vk = static_cast<int>(msg.wParam);
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) return false;
    if (px_clipKeyMessage(tip ? 0x1005 : 0x700, vk, shift) == WM_COPY) {
        px_copyPopup(tip ? p->balloon : p->hwnd, p);
        return true;
    }
    bool plain = shift == 0;
    bool buttons = !p->buttons.empty();
    switch (vk) {
    case VK_TAB:
        if (!buttons || (shift != 0 && shift != kPxShiftShift)) break;
        moveButton(p, shift == kPxShiftShift ? -1 : 1);
        return true;
    case VK_RETURN:
    case VK_SPACE:
        if (!plain || !buttons) break;
        queue(13);
        return true;
    case VK_ESCAPE:
        if (!plain) break;
        queue(27);
        return true;
    case VK_LEFT:
    case VK_RIGHT:
        if (!buttons) break;
        moveButton(p, vk == VK_LEFT ? -1 : 1);
        return true;
    case VK_F1:
        // Nothing below the popup sees the key, so the help is asked here.
        if (!plain) break;
        px_loopServices().help(p->helpContext);
        return true;
    }
    if (!tip) return false;
    closeTip(p, msg);
    return true;
}

namespace {

// A window's top left corner (screen) moved so that it lies on the work area.
POINT intoWorkArea(POINT at, int w, int h) {
    RECT area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    at.x = std::max(static_cast<int>(area.left), std::min(static_cast<int>(at.x), static_cast<int>(area.right) - w));
    at.y = std::max(static_cast<int>(area.top), std::min(static_cast<int>(at.y), static_cast<int>(area.bottom) - h));
    return at;
}

}  // namespace

void px_centerOver(HWND wnd, HWND owner) {
    RECT r, over;
    GetWindowRect(wnd, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    if (GetWindowLongA(wnd, GWL_STYLE) & WS_CHILD) {
        // Centred in the owner's client area, in the parent's co-ordinates.
        HWND parent = GetParent(wnd);
        if (!owner) owner = parent;
        if (!owner || !parent) return;
        GetClientRect(owner, &over);
        MapWindowPoints(owner, parent, reinterpret_cast<POINT *>(&over), 2);
        // Kept on the work area: the clamp is done on screen.
        POINT at{over.left + (over.right - over.left - w) / 2, over.top + (over.bottom - over.top - h) / 2};
        MapWindowPoints(parent, nullptr, &at, 1);
        at = intoWorkArea(at, w, h);
        MapWindowPoints(nullptr, parent, &at, 1);
        SetWindowPos(wnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    if (!owner) owner = GetWindow(wnd, GW_OWNER);
    RECT area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    over = area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &over);
    POINT at = intoWorkArea({over.left + (over.right - over.left - w) / 2, over.top + (over.bottom - over.top - h) / 2}, w, h);
    SetWindowPos(wnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int px_popupMessageFor(int32_t number, const char *text, int kind, int32_t helpContext, const char *extra,
                       const char *title) {
    int before = px_curObjNum();
    px_setCurObjNum(number);
    int result = px_popupMessage(text, kind, helpContext, extra, title);
    px_setCurObjNum(before);
    return result;
}

namespace {

// The wait box's text broken at new lines and '|', then at blanks, into
// at most max lines of at most width characters.
std::vector<std::string> wrap(const std::string &text, int width, int max) {
    const char *texts[] = {text.c_str()};
    int n = 0;
    char **lines = px_wrapLines(texts, 1, width, max, &n);
    std::vector<std::string> out;
    for (int i = 0; lines && i < n; ++i) out.push_back(lines[i]);
    px_freeLines(lines, n);
    return out;
}

enum : int { kWaitBoxPanelId = 515, kWaitBarField = 0, kWaitButtonField = 1 };

PxPanel *g_waitBox = nullptr;

// The cancel button keeps the standard button procedure; its press reaches
// the box's dialog window, which turns it into the user's break.
LRESULT CALLBACK waitBoxProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (msg == WM_COMMAND && LOWORD(wParam) == kPxFieldIdBase + kWaitButtonField && HIWORD(wParam) == BN_CLICKED) {
        try {
            px_userBreak();
        } catch (...) {
        }
        return 0;
    }
    return DefSubclassProc(wnd, msg, wParam, lParam);
}

PxPanel *buildWaitPanel(const std::vector<std::string> &lines, int32_t flags) {
    size_t longest = 20;
    for (const std::string &l : lines) longest = std::max(longest, l.size());
    int w = static_cast<int>(longest) + 6, h = static_cast<int>(lines.size()) + 7;
    int cols = 80, rows = 25;
    PxTopWnd *top = px_firstTopWnd();
    if (top && top->frame && top->frame->columns > 0 && top->frame->rows > 0)
        cols = top->frame->columns, rows = top->frame->rows;
    int left = std::max(0, (cols - w) / 2), topRow = std::max(0, (rows - h - 1) / 2);
    PxPanelPtr panel(px_allocPanel(kWaitBoxPanelId, 2, static_cast<int>(lines.size()), static_cast<int16_t>(left),
                                   static_cast<int16_t>(topRow), static_cast<int16_t>(left + w - 1),
                                   static_cast<int16_t>(topRow + h - 1), 0, 0, 0));
    if (!panel) return nullptr;
    panel->options = kPxPanelNoSysMenu;
    for (size_t i = 0; i < lines.size(); ++i)
        if (!px_appendText(panel.get(), 0, lines[i].c_str(), 3, static_cast<int16_t>(i + 2))) return nullptr;
    if (!px_appendField(panel.get(), 7, 0, PXV_STRING, 1, static_cast<int16_t>((w - 20) / 2),
                        static_cast<int16_t>(h - 5), 20, 1, kPxEditForm))
        return nullptr;
    uint8_t buttonKind = 3 | ((flags & 1) ? kPxKindSkip : 0);
    PxField *button = px_appendField(panel.get(), buttonKind, 0, PXV_STRING, 10, static_cast<int16_t>((w - 10) / 2),
                                     static_cast<int16_t>(h - 3), 10, 1, 0);
    static const std::string cancel = px_ansiToOem(px_ansi(L"Отменить").c_str());
    if (!button || !px_fieldStoreText(button, cancel.c_str(), cancel.size())) return nullptr;
    return panel.release();
}

}  // namespace

void px_showWaitBox(const char *text, int32_t flags) {
    if (g_waitBox || !px_app()) return;
    static const std::string waitText = px_ansiToOem(px_ansi(L"Ждите...").c_str());
    std::vector<std::string> lines = wrap(text && *text ? text : waitText, 40, 10);
    PxPanelPtr panel(buildWaitPanel(lines, flags));
    if (!panel || px_openDialog(panel.get()) != 0) return;
    PxDialog *d = px_dialogOfPanel(panel.get());
    PxFieldCtl &button = d->fields[kWaitButtonField];
    if (button.hwnd && button.oldProc) {
        SetWindowLongPtrA(button.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(button.oldProc));
        RemovePropA(button.hwnd, "pxField");
        SetWindowLongPtrA(button.hwnd, GWLP_USERDATA, 0);
        button.oldProc = nullptr;
    }
    if (!SetWindowSubclass(d->hwnd, waitBoxProc, 1, 0)) {
        px_closeDialog(panel.get());
        return;
    }
    g_waitBox = panel.release();
}

void px_closeWaitBox() {
    PxPanel *panel = g_waitBox;
    if (!panel) return;
    g_waitBox = nullptr;
    px_closeDialog(panel);
    px_freePanel(panel);
}

HWND px_waitBoxWindow() {
    PxDialog *d = px_dialogOfPanel(g_waitBox);
    return d ? d->hwnd : nullptr;
}

int px_onShowWaitBox(const PxRequest &req) {
    WireReader r = req.reader();
    r.skip(2);
    int32_t flags = r.i32();
    std::string text = optText(r);
    if (r.ok()) px_showWaitBox(text.c_str(), flags);
    return 0;
}

int px_onCloseWaitBox(const PxRequest &) {
    px_closeWaitBox();
    return 0;
}

int px_onPopupMessage(const PxRequest &req) {
    WireReader r = req.reader();
    int16_t kind = r.i16();
    int16_t value = r.i16();
    int32_t number = r.i32();
    std::string text(r.text());
    std::string extra = optText(r), title = optText(r);
    if (!r.ok()) return zam_replyInt(req, -1);
    return zam_replyInt(req, px_popupMessageFor(number, text.c_str(), kind, value, extra.c_str(), title.c_str()));
}

int px_onPopupInput(const PxRequest &req) {
    WireReader r = req.reader();
    int16_t defaultButton = r.i16();
    int16_t width = r.i16();
    int32_t number = r.i32();
    int16_t kind = r.i16();
    int16_t help = r.i16();
    // The message, the captions ending with an empty text, then the extra
    // text; this popup has no title of the server's. The extra text may be
    // left out: it is read only from a record of known length, and what
    // follows a shorter record in the host's block is not a reason to
    // refuse the popup.
    std::string text(r.text()), buttons;
    bool listEnded = false;
    while (r.ok() && r.left()) {
        std::string_view b = r.text();
        if (b.empty()) {
            listEnded = true;
            break;
        }
        buttons.append(b).push_back('\0');
    }
    std::string extra;
    if (listEnded && req.lengthKnown && r.left()) {
        WireReader rest = r;
        std::string_view e = rest.text();
        if (rest.ok()) extra = e;
    }
    if (!r.ok()) return zam_replyInt(req, -1);
    int before = px_curObjNum();
    px_setCurObjNum(number);
    int result = px_popupInput(text.c_str(), buttons.c_str(), defaultButton, width, kind, help, extra.c_str(), "");
    px_setCurObjNum(before);
    return zam_replyInt(req, result);
}
