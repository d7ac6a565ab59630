// The popup window and its wait. Buttons queue Enter (13) and the wait
// answers the current button; Escape queues 27 when the popup allows it.
#include "popup.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "app.h"
#include "events.h"
#include "frame.h"
#include "registry.h"
#include "upcalls.h"
#include "wire.h"
#include "wndutil.h"
#include "zam_entry.h"

const char kPxPopupClass[] = "pxPopupWnd";

namespace {

enum : int { kButtonId = 1024, kTextId = 1280 };

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
    HWND owner = nullptr;
    HFONT font = nullptr;
    bool waitBox = false;  // its button is the user's break
};

PxPopup *g_waitBox = nullptr;

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

// The letter after '&' in a caption, upper-cased; 0 when none.
int hotKey(const std::string &caption) {
    size_t at = caption.find('&');
    if (at == std::string::npos || at + 1 >= caption.size()) return 0;
    return static_cast<int>(reinterpret_cast<uintptr_t>(
        CharUpperA(reinterpret_cast<char *>(static_cast<uintptr_t>(static_cast<unsigned char>(caption[at + 1]))))));
}

bool onChar(PxPopup *p, int ch) {
    int up = static_cast<int>(reinterpret_cast<uintptr_t>(
        CharUpperA(reinterpret_cast<char *>(static_cast<uintptr_t>(static_cast<unsigned char>(ch))))));
    for (size_t i = 0; i < p->buttons.size(); ++i) {
        if (hotKey(p->buttons[i]) == up) {
            p->current = static_cast<int>(i);
            queue(13);
            return true;
        }
    }
    return false;
}

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
            if (p && p->waitBox && id == kButtonId && HIWORD(wParam) == BN_CLICKED) {
                px_userBreak();
                return 0;
            }
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
        case WM_CLOSE:
            if (p && p->escape) queue(27);
            return 0;
        case WM_HELP:
            if (p) px_loopServices().help(p->helpContext);
            return TRUE;
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

std::vector<std::string> linesOf(const std::string &text) {
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

bool createPopup(PxPopup *p) {
    PxApp *app = px_app();
    if (!app || !registerPopupClass()) return false;
    int stepX = std::max(app->stepX, 1), stepY = std::max(app->stepY, 2);
    int a = 2 * stepX, h = stepY / 2;
    std::vector<std::string> lines = linesOf(p->text);
    size_t longest = 0;
    for (const std::string &l : lines) longest = std::max(longest, l.size());
    int textW = static_cast<int>(longest) * stepX, textH = static_cast<int>(lines.size()) * app->textLineH;
    int count = static_cast<int>(p->buttons.size());
    int buttonW = (p->width + 1) * stepX, buttonH = stepY + stepY / 2;
    int rowW = count ? count * buttonW + (count - 1) * a : 0, rowH = count ? buttonH : 0;
    RECT client = {0, 0, std::max(textW, rowW) + 2 * a, textH + rowH + (textH && rowH ? h : 0) + 2 * h};

    DWORD style = WS_POPUP | WS_CAPTION, exStyle = 0;
    p->owner = px_curFrameWnd();
    if (p->modal) exStyle = WS_EX_DLGMODALFRAME;
    if (!p->owner) style |= WS_MINIMIZEBOX;
    if (p->escape) style |= WS_SYSMENU;
    AdjustWindowRectEx(&client, style, FALSE, exStyle);
    std::string title = px_oemToAnsi(p->title.c_str());
    p->hwnd = CreateWindowExA(exStyle, kPxPopupClass, title.c_str(), style, 0, 0, client.right - client.left,
                              client.bottom - client.top, p->owner, nullptr, app->instance, p);
    if (!p->hwnd) return false;
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
    px_centerOver(p->hwnd, p->owner);
    ShowWindow(p->hwnd, SW_SHOW);
    if (p->modal) SetForegroundWindow(p->hwnd);
    UpdateWindow(p->hwnd);
    ReleaseCapture();
    return true;
}

void destroyPopup(PxPopup *p) {
    if (p->hwnd) {
        SetWindowLongPtrA(p->hwnd, GWLP_USERDATA, 0);
        DestroyWindow(p->hwnd);
    }
    if (p->font) DeleteObject(p->font);
}

// Reads events until Escape (when allowed), Enter (with buttons) or 775.
int waitPopup(PxPopup *p) {
    SetFocus(p->hwnd);
    std::vector<HWND> disabled;
    if (p->modal && p->owner && IsWindowEnabled(p->owner)) {
        EnableWindow(p->owner, FALSE);
        disabled.push_back(p->owner);
    }
    px_flushTypeAhead();
    PxPopup *outer = g_waiting;
    g_waiting = p;
    const PxLoopServices &svc = px_loopServices();
    PxEvent ev = {};
    for (;;) {
        if (!svc.wait(&ev)) continue;
        if ((ev.code == 27 && p->escape) || (ev.code == 13 && !p->buttons.empty()) || ev.code == kPxEvMenuCancelled)
            break;
    }
    g_waiting = outer;
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

}  // namespace

int px_popupMessage(const char *text, int kind, int32_t helpContext, const char *extra, const char *title) {
    cancelTopMode();
    PxPopup p;
    p.modal = !px_curFrameWnd() || kind >= 100;
    p.kind = kind >= 100 ? kind - 100 : kind;
    p.text = text ? text : "";
    p.extra = extra ? extra : "";
    p.title = title && *title ? title : defaultTitle(p.kind);
    p.helpContext = helpContext;
    p.escape = true;
    int result = -1;
    if (createPopup(&p)) result = waitPopup(&p);
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
    int result = count ? defaultButton : 27;
    if (createPopup(&p)) {
        int ended = waitPopup(&p);
        result = ended == 13 && count ? p.current : ended;
    }
    destroyPopup(&p);
    return result;
}

bool px_popupPreTranslate(const MSG &msg, int shift) {
    PxPopup *p = g_waiting;
    if (!p || !p->hwnd || (msg.hwnd != p->hwnd && !IsChild(p->hwnd, msg.hwnd))) return false;
    if (msg.message == WM_CHAR) return onChar(p, static_cast<int>(msg.wParam));
    if (msg.message != WM_KEYDOWN) return false;
    int vk = static_cast<int>(msg.wParam);
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) return false;
    bool plain = shift == 0;
    bool buttons = !p->buttons.empty();
    switch (vk) {
    case VK_TAB:
        if (!buttons) return true;
        moveButton(p, shift == kPxShiftShift ? -1 : 1);
        return true;
    case VK_RETURN:
    case VK_SPACE:
        if (plain && buttons) queue(13);
        return true;
    case VK_ESCAPE:
        if (plain) queue(27);
        return true;
    case VK_LEFT:
        moveButton(p, -1);
        return true;
    case VK_RIGHT:
        moveButton(p, 1);
        return true;
    case VK_F1:
        return plain;
    }
    return false;
}

void px_centerOver(HWND wnd, HWND owner) {
    RECT area, r, over;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    over = area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &over);
    GetWindowRect(wnd, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = over.left + (over.right - over.left - w) / 2, y = over.top + (over.bottom - over.top - h) / 2;
    x = std::max(static_cast<int>(area.left), std::min(x, static_cast<int>(area.right) - w));
    y = std::max(static_cast<int>(area.top), std::min(y, static_cast<int>(area.bottom) - h));
    SetWindowPos(wnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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

// Words wrapped to lines of at most width characters, at most max lines.
std::vector<std::string> wrap(const std::string &text, size_t width, size_t max) {
    std::vector<std::string> out;
    for (const std::string &para : linesOf(text)) {
        std::string line;
        size_t i = 0;
        while (i < para.size() && out.size() < max) {
            size_t end = para.find(' ', i);
            std::string word = para.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? para.size() : end + 1;
            while (word.size() > width) {  // a word longer than a line is cut
                if (!line.empty()) out.push_back(line), line.clear();
                out.push_back(word.substr(0, width));
                word.erase(0, width);
            }
            if (!line.empty() && line.size() + 1 + word.size() > width) out.push_back(line), line.clear();
            line += (line.empty() ? "" : " ") + word;
        }
        if (out.size() < max) out.push_back(line);
    }
    if (out.size() > max) out.resize(max);
    return out;
}

HWND cellChild(PxPopup *p, const char *cls, const char *text, DWORD style, int column, int row, int width, int id) {
    PxApp *app = px_app();
    HWND w = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, column * app->stepX, row * app->stepY,
                             width * app->stepX, app->stepY, p->hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             app->instance, nullptr);
    if (w && p->font) SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(p->font), 0);
    return w;
}

}  // namespace

void px_showWaitBox(const char *text, int32_t flags) {
    PxApp *app = px_app();
    if (g_waitBox || !app || !registerPopupClass()) return;
    std::string shown = text && *text ? text : "\x86\xa4\xa8\xe2\xa5...";  // "Ждите..." in 866
    std::vector<std::string> lines = wrap(shown, 40, 10);
    size_t longest = 20;
    for (const std::string &l : lines) longest = std::max(longest, l.size());
    int w = static_cast<int>(longest) + 6, h = static_cast<int>(lines.size()) + 7;
    int cols = 80, rows = 25;
    HWND owner = px_curFrameWnd();
    PxTopWnd *top = px_curTopWnd();
    if (top && top->frame) cols = top->frame->columns, rows = top->frame->rows;
    std::unique_ptr<PxPopup> p(new PxPopup);
    p->waitBox = true;
    p->owner = owner;
    RECT r = {0, 0, w * app->stepX, h * app->stepY};
    DWORD style = WS_POPUP | WS_BORDER;
    AdjustWindowRectEx(&r, style, FALSE, 0);
    p->hwnd = CreateWindowExA(0, kPxPopupClass, "", style, 0, 0, r.right - r.left, r.bottom - r.top, owner, nullptr,
                              app->instance, p.get());
    if (!p->hwnd) return;
    p->font = px_createFont(&app->fonts[kPxTextFont]);
    for (size_t i = 0; i < lines.size(); ++i)
        cellChild(p.get(), "Static", px_oemToAnsi(lines[i].c_str()).c_str(), SS_NOPREFIX, 3, static_cast<int>(i) + 2,
                  w - 6, kTextId + static_cast<int>(i));
    cellChild(p.get(), PROGRESS_CLASSA, "", PBS_MARQUEE, (w - 20) / 2, h - 5, 20, kTextId + 100);
    SendDlgItemMessageA(p->hwnd, kTextId + 100, PBM_SETMARQUEE, TRUE, 0);
    std::string cancel = px_ansi(L"Отменить");
    HWND b = cellChild(p.get(), "Button", cancel.c_str(), BS_PUSHBUTTON, (w - 10) / 2, h - 3, 10, kButtonId);
    if (b && (flags & 1)) EnableWindow(b, FALSE);
    // Centred in the top window's grid.
    POINT at = {std::max(0, (cols - w) / 2) * app->stepX, std::max(0, (rows - h - 1) / 2) * app->stepY};
    HWND client = top && top->frame && top->frame->client ? top->frame->client : owner;
    if (client) ClientToScreen(client, &at);
    SetWindowPos(p->hwnd, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(p->hwnd);
    g_waitBox = p.release();
}

void px_closeWaitBox() {
    if (!g_waitBox) return;
    destroyPopup(g_waitBox);
    delete g_waitBox;
    g_waitBox = nullptr;
}

HWND px_waitBoxWindow() { return g_waitBox ? g_waitBox->hwnd : nullptr; }

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
    // text and the title.
    std::string text(r.text()), buttons;
    while (r.ok() && r.left()) {
        std::string_view b = r.text();
        if (b.empty()) break;
        buttons.append(b).push_back('\0');
    }
    std::string extra = optText(r), title = optText(r);
    if (!r.ok()) return zam_replyInt(req, -1);
    int before = px_curObjNum();
    px_setCurObjNum(number);
    int result = px_popupInput(text.c_str(), buttons.c_str(), defaultButton, width, kind, help, extra.c_str(), title.c_str());
    px_setCurObjNum(before);
    return zam_replyInt(req, result);
}
