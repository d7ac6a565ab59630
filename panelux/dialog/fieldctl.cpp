#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app.h"
#include "dialog.h"
#include "fmtedit.h"
#include "errbox.h"
#include "events.h"
#include "fieldtext.h"
#include "formats.h"
#include "inputfilter.h"
#include "labels.h"
#include "registry.h"
#include "wndutil.h"

namespace {

PxApp &app() { return *px_app(); }

constexpr int kPxMouseClick = 515;

bool isInputKind(int kind) { return kind == 1 || kind == 4; }
bool isReadOnlyKind(int kind) { return kind == 5 || kind == 8; }

struct ClipKey {
    int controlKind, shift, vk;
    UINT message;
};

const ClipKey kClipKeys[17] = {
    {0x200, kPxShiftCtrl, 'C', WM_COPY},        {0x200, kPxShiftCtrl, VK_INSERT, WM_COPY},
    {0x300, kPxShiftCtrl, 'X', WM_CUT},         {0x300, kPxShiftCtrl, 'C', WM_COPY},
    {0x300, kPxShiftCtrl, 'V', WM_PASTE},       {0x300, kPxShiftAlt, VK_BACK, WM_UNDO},
    {0x300, kPxShiftShift, VK_DELETE, WM_CUT},  {0x300, kPxShiftCtrl, VK_INSERT, WM_COPY},
    {0x300, kPxShiftShift, VK_INSERT, WM_PASTE}, {0x300, 7, 'C', WM_COPY},
    {0x300, 7, VK_INSERT, WM_COPY},             {0x1001, kPxShiftCtrl, 'C', WM_COPY},
    {0x1001, kPxShiftCtrl, VK_INSERT, WM_COPY}, {0x1005, kPxShiftCtrl, 'C', WM_COPY},
    {0x1005, kPxShiftCtrl, VK_INSERT, WM_COPY}, {0x700, kPxShiftCtrl, 'C', WM_COPY},
    {0x700, kPxShiftCtrl, VK_INSERT, WM_COPY},
};

// Any window may be asked about: only a field control has the property.
PxFieldCtl *ctlOf(HWND wnd) { return reinterpret_cast<PxFieldCtl *>(GetPropA(wnd, "pxField")); }

// The field procedure runs on its own controls only, and on every message
// they get: it finds the record in the control's user data, a read in the
// process where a property is a trip to the window server.
PxFieldCtl *subclassedCtl(HWND wnd) { return reinterpret_cast<PxFieldCtl *>(GetWindowLongPtrA(wnd, GWLP_USERDATA)); }

// The text a control shows for its field, in the Windows code page unless
// the font is OEM or the field is marked as Windows text.
std::string shownText(const PxFieldCtl &c, bool forEdit) {
    const PxField *f = c.field;
    if (!f->value) return std::string();
    int size = 0;
    PxTextPtr t(px_fieldText(f, &size, forEdit));
    if (!t) return std::string();
    std::string s(t.get());
    int base = f->type & ~kPxVariant;
    if (base == PXV_STRING || base == PXV_MASKSTR || base == PXV_CHAR) {
        if (c.kind == 3) {
            px_makeLabel(&s[0]);
            s.resize(std::strlen(s.c_str()));
        } else if (c.kind == 2) {
            std::string out;
            for (char ch : s)
                if (ch != '~') out += ch == '\n' ? ' ' : ch;
            s = out;
        } else if (f->height > 1) {
            std::string out;
            for (char ch : s) {
                if (ch == '\n') out += '\r';
                out += ch;
            }
            s = out;
        } else {
            for (char &ch : s)
                if (ch == '\n') ch = ' ';
        }
        if (!(f->options & kPxAnsiText) && !c.oemFont) s = px_oemToAnsi(s.c_str());
    }
    return s;
}

// The typed filter works on the module's one insert/overwrite toggle.
bool filterMsg(PxFieldCtl &c, UINT msg, WPARAM wParam) {
    uint8_t ov = app().overwrite;
    int used = px_inputFilterMsg(c.filter, c.hwnd, msg, wParam, ov);
    app().overwrite = ov;
    return used != 0;
}

bool copyAllowed(const PxFieldCtl &c) { return !(c.options & kPxPassword); }

void copySelection(PxFieldCtl &c) {
    if (!copyAllowed(c)) return;
    std::string text = px_windowText(c.hwnd);
    if (c.kind != 2 && c.kind != 3 && c.kind != 6 && c.kind != 7) {
        DWORD from = 0, to = 0;
        SendMessageA(c.hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        if (to > from && to <= text.size()) text = text.substr(from, to - from);
    }
    px_copyText(c.hwnd, text.data(), text.size(), c.oemFont);
}

// Clipboard messages, and the keys that would change a read-only field.
bool clipboardMessage(PxFieldCtl &c, UINT msg, LRESULT *result) {
    *result = 0;
    switch (msg) {
    case WM_COPY: copySelection(c); return true;
    case WM_CUT:
        if (!isInputKind(c.kind)) return true;
        copySelection(c);
        if (!copyAllowed(c)) return true;
        CallWindowProcA(c.oldProc, c.hwnd, WM_CLEAR, 0, 0);
        return true;
    case WM_PASTE:
        if (!isInputKind(c.kind)) return true;
        if (c.filter) {
            filterMsg(c, msg, 0);
            return true;
        }
        return false;
    case WM_CLEAR: return !isInputKind(c.kind);
    }
    return false;
}

bool isRunningBar(const PxFieldCtl &c) { return c.kind == 7 && (c.options & kPxEditForm); }
constexpr UINT_PTR kRunningBarTimer = 256;

// One channel moved from its caption value towards white by steps of its
// distance to white spread over the bar's cells.
BYTE towardsWhite(BYTE channel, int steps, int cells) {
    return static_cast<BYTE>(channel + (255 - channel) * steps / cells);
}

// A band of the caption colour runs over the bar: while the phase is in
// the first half its cell is the caption colour and the others fade to
// white with distance; in the second half the band is white and the others
// darken back towards the caption colour.
void paintRunningBar(const PxFieldCtl &c, HWND wnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    if (!dc) return;
    RECT rc;
    GetClientRect(wnd, &rc);
    COLORREF caption = GetSysColor(COLOR_ACTIVECAPTION);
    int cells = c.width > 0 ? c.width : 1;
    int stepX = app().stepX > 0 ? app().stepX : 1;
    if (GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) {
        FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        int span = rc.right - rc.left > 0 ? rc.right - rc.left : 1;
        RECT block = rc;
        block.left = rc.left + c.phase % span;
        block.right = block.left + cells;
        HBRUSH b = CreateSolidBrush(caption);
        FillRect(dc, &block, b);
        DeleteObject(b);
        EndPaint(wnd, &ps);
        return;
    }
    int p = c.phase % (2 * cells);
    bool darkening = p >= cells;
    int band = darkening ? p - cells : p;
    for (int k = 0; k * stepX < rc.right || k < cells; ++k) {
        int dist = k > band ? k - band : band - k;
        if (dist > cells) dist = cells;
        int toWhite = darkening ? cells - dist : dist;
        COLORREF colour = RGB(towardsWhite(GetRValue(caption), toWhite, cells),
                              towardsWhite(GetGValue(caption), toWhite, cells),
                              towardsWhite(GetBValue(caption), toWhite, cells));
        RECT cell = {rc.left + k * stepX, rc.top, rc.left + (k + 1) * stepX, rc.bottom};
        HBRUSH b = CreateSolidBrush(colour);
        FillRect(dc, &cell, b);
        DeleteObject(b);
        if (cell.right >= rc.right) break;
    }
    EndPaint(wnd, &ps);
}

DWORD edgeStyle(const PxFieldCtl &c);

bool isMark(const PxFieldCtl &c) { return c.kind == 7 && (c.options & (kPxCheckBox | kPxRadio)); }
bool isStaticForm(const PxFieldCtl &c) { return c.kind == 0 || c.kind == 6 || c.kind >= 9; }

int floorDiv(int v, int step) { return v >= 0 ? v / step : -((-v + step - 1) / step); }

PxMaskedInputFn g_maskedHook;
int g_lastPress;  // packed screen position of the last press on a field

// Mouse buttons on a field become events at the panel's grid cells; what
// the control would do with them is left to the server (a press is replayed
// when input starts there). Moves stay with the control.
bool fieldMouse(PxFieldCtl &c, HWND wnd, UINT msg, LPARAM lParam) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    int code = 0;
    switch (msg) {
    case WM_LBUTTONDOWN: SetCapture(wnd); code = 513; break;
    case WM_LBUTTONUP: {
        if (GetCapture() == wnd) ReleaseCapture();
        RECT r;
        GetClientRect(wnd, &r);
        if (!PtInRect(&r, pt)) return true;
        code = 515;
        break;
    }
    case WM_LBUTTONDBLCLK: code = 520; break;
    case WM_RBUTTONDOWN: SetCapture(wnd); code = 517; break;
    case WM_RBUTTONUP:
        if (GetCapture() == wnd) ReleaseCapture();
        code = 518;
        break;
    case WM_MBUTTONDOWN: code = 508; break;
    case WM_MBUTTONUP: code = 509; break;
    default: return false;
    }
    POINT screen = pt;
    ClientToScreen(wnd, &screen);
    MapWindowPoints(wnd, c.dialog->hwnd, &pt, 1);
    const PxPanel *p = c.dialog->panel;
    int b = (c.dialog->flags & kPxDlgNoBorder) ? 0 : 1;
    int column = p->left + b + floorDiv(pt.x, app().stepX), row = p->top + b + floorDiv(pt.y, app().stepY);
    if (code == 513) g_lastPress = static_cast<int>(MAKELONG(screen.x, screen.y));
    px_postMouseEvent(code, px_shiftState(), column, row, 0, kPxModeDirect);
    // The release belongs to the same click: the press stays to be replayed.
    if (code == 513 || code == 515) px_setPendingClick(g_lastPress);
    return true;
}

// Without EDGEDISABLE a disabled field loses its edge and gets it back when
// enabled; the client area stays where it was.
void setEdge(HWND wnd, DWORD edge) {
    RECT client;
    GetClientRect(wnd, &client);
    HWND parent = GetParent(wnd);
    MapWindowPoints(wnd, parent, reinterpret_cast<POINT *>(&client), 2);
    DWORD ex = static_cast<DWORD>(GetWindowLongA(wnd, GWL_EXSTYLE));
    DWORD edges = WS_EX_WINDOWEDGE | WS_EX_STATICEDGE | WS_EX_CLIENTEDGE;
    DWORD next = (ex & ~edges) | edge;
    if (next == ex) return;
    SetWindowLongA(wnd, GWL_EXSTYLE, static_cast<LONG>(next));
    RECT outer = client;
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(wnd, GWL_STYLE)), FALSE, next);
    SetWindowPos(wnd, nullptr, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// The engine draws the field in the colours its dialog gives an edit control.
void paintFormatted(const PxFieldCtl &c, HWND wnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    if (!dc) return;
    HBRUSH brush = reinterpret_cast<HBRUSH>(
        SendMessageA(GetParent(wnd), isInputKind(c.kind) ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC,
                     reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(wnd)));
    px_fmtEditPaint(c.fmtEdit, dc, brush);
    EndPaint(wnd, &ps);
}

LRESULT CALLBACK fieldProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    PxFieldCtl *c = subclassedCtl(wnd);
    if (!c) return DefWindowProcA(wnd, msg, wParam, lParam);
    WNDPROC old = c->oldProc;
    try {
        LRESULT result = 0;
        // The press that started the input, replayed: the control (or the
        // formatted edit) takes it, whoever consumes it.
        bool replayed = c->replay > 0 && (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP);
        if (replayed) --c->replay;
        if (msg == WM_CHAR && wParam == ',' && ((lParam >> 16) & 0xFF) == 0x53) wParam = '.';
        // Buttons and lists post their characters as events, formatted or not.
        bool posts = msg == WM_CHAR && (c->kind == 2 || c->kind == 3 || c->kind == 7);
        if (c->fmtEdit && !posts) {
            if (msg == WM_SETFOCUS || msg == WM_KILLFOCUS) c->focused = msg == WM_SETFOCUS;
            if (msg == WM_PAINT) {
                paintFormatted(*c, wnd);
                return 0;
            }
            if (px_fmtEditFilterMsg(c->fmtEdit, msg, wParam, lParam)) return 0;
        }
        if (isRunningBar(*c)) {
            switch (msg) {
            case WM_TIMER:
                if (wParam != kRunningBarTimer) break;
                ++c->phase;
                InvalidateRect(wnd, nullptr, FALSE);
                return 0;
            case WM_PAINT:
                paintRunningBar(*c, wnd);
                return 0;
            case WM_ERASEBKGND:
                return 1;
            case WM_SETCURSOR:
                SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
                return TRUE;
            case WM_NCDESTROY:
                KillTimer(wnd, kRunningBarTimer);
                break;
            }
        }
        switch (msg) {
        case WM_CHAR:
            if (posts) {
                px_postCharEvent(static_cast<int>(wParam), px_keyEventMode());
                return 0;
            }
            if (isReadOnlyKind(c->kind)) return 0;
            if (c->filter && filterMsg(*c, msg, wParam)) return 0;
            break;
        case WM_KEYDOWN:
            if (isReadOnlyKind(c->kind) && (wParam == VK_DELETE || wParam == VK_BACK)) return 0;
            if (c->filter && filterMsg(*c, msg, wParam)) return 0;
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            c->focused = !c->focused;
            if (c->kind == 2) InvalidateRect(wnd, nullptr, TRUE);
            if (isMark(*c) && c->label.empty() && c->dialog) {
                // The dialog draws the focus mark of a button without label.
                RECT r;
                GetWindowRect(wnd, &r);
                MapWindowPoints(nullptr, c->dialog->hwnd, reinterpret_cast<POINT *>(&r), 2);
                InflateRect(&r, 3, 3);
                InvalidateRect(c->dialog->hwnd, &r, TRUE);
            }
            break;
        case WM_ENABLE:
            if (isStaticForm(*c)) return 0;
            if (!app().edgeDisable) setEdge(wnd, wParam ? edgeStyle(*c) : 0);
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
            if (!replayed && c->dialog && fieldMouse(*c, wnd, msg, lParam)) return 0;
            break;
        case WM_CUT:
        case WM_COPY:
        case WM_PASTE:
        case WM_CLEAR:
            if (clipboardMessage(*c, msg, &result)) return result;
            break;
        case WM_SETTEXT:
            break;
        case WM_GETDLGCODE: {
            LRESULT r = CallWindowProcA(old, wnd, msg, wParam, lParam);
            const MSG *m = reinterpret_cast<const MSG *>(lParam);
            if (m && m->message == WM_CHAR) r |= DLGC_WANTALLKEYS;
            return r;
        }
        case BM_SETCHECK:
            if (c->readOnlyMark && wParam) wParam = BST_CHECKED;
            break;
        case WM_SETCURSOR:
            if (c->kind == 2) {
                SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
                return TRUE;
            }
            break;
        case WM_NCDESTROY:
            if (c->filter) px_freeInputFilter(c->filter);
            c->filter = nullptr;
            if (c->fmtEdit) px_fmtEditDetach(c->fmtEdit);
            c->fmtEdit = nullptr;
            // The user data goes with the window (setting it is a trip to the window server).
            RemovePropA(wnd, "pxField");
            SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
            c->hwnd = nullptr;
            break;
        }
    } catch (...) {
        return 0;
    }
    return CallWindowProcA(old, wnd, msg, wParam, lParam);
}

DWORD edgeStyle(const PxFieldCtl &c) {
    if (c.options & (kPxPlainText | kPxNoEdge)) return 0;
    if (c.kind == 7) return (c.options & (kPxProgress | kPxEditForm)) ? WS_EX_STATICEDGE : 0;
    bool edged = c.kind == 1 || c.kind == 2 || c.kind == 4 || c.kind == 8 || (c.kind == 5 && app().edgeReadOnly);
    if (!edged) return 0;
    switch (app().edgeType) {
    case 0: return WS_EX_WINDOWEDGE;
    case 1: return WS_EX_STATICEDGE;
    case 2: return WS_EX_CLIENTEDGE;
    default: return 0;
    }
}

// One device context measures the texts of a run of fields (getting one is
// a trip to the window server); each field's font is selected as it comes.
class TextMeasure {
public:
    explicit TextMeasure(HWND wnd) : wnd_(wnd) {}
    TextMeasure(const TextMeasure &) = delete;
    TextMeasure &operator=(const TextMeasure &) = delete;
    ~TextMeasure() {
        if (!dc_) return;
        SelectObject(dc_, initial_);
        ReleaseDC(wnd_, dc_);
    }
    // Null when there is no context; a null font measures in the context's own.
    HDC with(HFONT font) {
        if (!dc_) {
            if (failed_ || !(dc_ = GetDC(wnd_))) {
                failed_ = true;
                return nullptr;
            }
            initial_ = GetCurrentObject(dc_, OBJ_FONT);
            font_ = static_cast<HFONT>(initial_);
        }
        HFONT want = font ? font : static_cast<HFONT>(initial_);
        if (want != font_) {
            SelectObject(dc_, want);
            font_ = want;
        }
        return dc_;
    }

private:
    HWND wnd_;
    HDC dc_ = nullptr;
    HGDIOBJ initial_ = nullptr;
    HFONT font_ = nullptr;
    bool failed_ = false;
};

bool mayShorten(const PxFieldCtl &c, const std::string &text) {
    return (c.buttonStyle & kPxShortenText) && !c.oemFont && !text.empty();
}

// The width a control leaves its text: its client area less the margins.
int textRoom(HWND wnd) {
    RECT r;
    GetClientRect(wnd, &r);
    DWORD margins = static_cast<DWORD>(SendMessageA(wnd, EM_GETMARGINS, 0, 0));
    return r.right - r.left - LOWORD(margins) - HIWORD(margins);
}

// Texts too wide for a control end in an ellipsis while they are only shown.
std::string fitted(PxFieldCtl &c, const std::string &text, TextMeasure &measure, HFONT font, int room) {
    c.shortened = false;
    if (!mayShorten(c, text)) return text;
    HDC dc = measure.with(font);
    if (!dc) return text;
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    px_fitText(dc, buf.data(), room, nullptr, nullptr);
    std::string out(buf.data());
    c.shortened = out != text;
    return out;
}

bool isProgress(const PxFieldCtl &c) { return c.kind == 7 && (c.options & kPxProgress); }

// Check marks and progress show their value through messages, every
// other control as its text.
bool showsValueAsText(const PxFieldCtl &c) { return !isMark(c) && !isProgress(c); }

// A new control is unchecked already.
void showValue(PxFieldCtl &c, TextMeasure &measure, bool fresh = false) {
    const PxField *f = c.field;
    if (isMark(c)) {
        bool on = f->value && f->capacity > 0 && f->value[0] != 0 && f->value[0] != ' ';
        if (on || !fresh) SendMessageA(c.hwnd, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        if (c.readOnlyMark && c.enabled) SendMessageA(c.hwnd, BM_SETSTATE, TRUE, 0);
    } else if (isProgress(c)) {
        // An empty value is position 0; the text never runs past the buffer.
        size_t len = f->value ? strnlen(f->value, static_cast<size_t>(f->capacity)) : 0, filled = 0;
        while (filled < len && f->value[filled] != ' ') ++filled;
        SendMessageA(c.hwnd, PBM_SETPOS, len ? static_cast<WPARAM>(100 * filled / len) : 0, 0);
    } else {
        std::string text = shownText(c, false);
        HFONT font = nullptr;
        int room = 0;
        if (mayShorten(c, text)) {
            font = reinterpret_cast<HFONT>(SendMessageA(c.hwnd, WM_GETFONT, 0, 0));
            room = textRoom(c.hwnd);
        }
        SetWindowTextA(c.hwnd, fitted(c, text, measure, font, room).c_str());
    }
}

struct ControlShape {
    const char *cls = "Edit";
    DWORD style = 0, exStyle = 0;
    bool textFont = false;
};

ControlShape shapeOf(const PxFieldCtl &c, bool rightAlign) {
    ControlShape s;
    const PxField *f = c.field;
    if (c.options & kPxPlainText) {
        s.cls = "Static";
        s.style = SS_NOPREFIX | (rightAlign ? SS_RIGHT : 0);
        s.textFont = true;
        return s;
    }
    switch (c.kind) {
    case 1:
    case 4:
    case 5:
    case 8:
        s.style = (f->type == PXV_STRING && f->height > 1) ? ES_MULTILINE | ES_AUTOVSCROLL : ES_AUTOHSCROLL;
        if (isReadOnlyKind(c.kind)) s.style |= ES_READONLY;
        break;
    case 2: break;
    case 3:
        s.cls = "Button";
        s.style = BS_PUSHBUTTON | ((c.options & kPxFlat) ? BS_FLAT : 0);
        s.textFont = true;
        break;
    case 7:
        s.textFont = true;
        if (c.options & (kPxCheckBox | kPxRadio)) {
            s.cls = "Button";
            s.style = ((c.options & kPxCheckBox) ? BS_CHECKBOX : BS_RADIOBUTTON) | ((c.options & kPxFlat) ? BS_FLAT : 0) |
                      ((c.buttonStyle & 4) ? BS_LEFTTEXT : 0);
            int a = static_cast<int>(c.buttonStyle & 3);
            s.style |= a == 1 ? BS_RIGHT : a == 2 ? BS_CENTER : BS_LEFT;
        } else if (c.options & kPxProgress) {
            s.cls = PROGRESS_CLASSA;
            s.style = PBS_SMOOTH;
        }
        break;
    default:
        s.cls = "Static";
        s.style = SS_NOPREFIX;
        s.textFont = true;
        break;
    }
    if (c.options & kPxPassword) s.style |= ES_PASSWORD;
    if (c.kind == 1 || c.kind == 2 || c.kind == 4 || c.kind == 5 || c.kind == 8) {
        int a = px_fieldAlign(f);
        s.style |= a == 1 ? ES_RIGHT : a == 2 ? ES_CENTER : 0;
    }
    s.exStyle = edgeStyle(c);
    return s;
}

void fieldRect(const PxDialog *d, PxFieldCtl &c) {
    int sx = app().stepX, sy = app().stepY, b = (d->flags & kPxDlgNoBorder) ? 0 : 1;
    const PxField *f = c.field;
    c.x = (f->column - b) * sx;
    c.y = (f->row - b) * sy;
    c.cx = f->width * sx;
    c.cy = (f->height > 0 ? f->height : 1) * sy;
    if (c.kind == 3) {
        c.cx = f->width * sx + sx / 2;
        c.cy = sy + sy / 2;
        c.x -= sx / 4;
        c.y -= sy / 4;
    } else if (c.kind == 7 && (c.options & (kPxCheckBox | kPxRadio))) {
        // The mark is the system's menu-check size, centred in the brackets.
        int check = GetSystemMetrics(SM_CXMENUCHECK), len = static_cast<int>(c.label.size());
        c.cy = sy;
        if (c.label.empty()) {
            c.x += (sx - check) / 2;
            c.cx = check;
        } else if (c.buttonStyle & 4) {
            c.x -= (len + 1) * sx + 2;
            c.cx = (len + 3) * sx - (2 * sx - (sx + check) / 2) + 4;
        } else {
            int shift = (3 * sx - check) / 2;
            c.x += shift;
            c.cx = (len + 3) * sx - shift;
        }
    } else if (c.kind == 7 && (c.options & kPxEditForm)) {
        c.cy = sy / 2;
        c.y += sy / 4;
    } else if (std::strcmp(shapeOf(c, false).cls, "Static") == 0) {
        px_centreInCells(&c.x, &c.y, &c.cx, &c.cy);
    } else if (c.kind != 7) {
        c.x -= 2;
        c.cx += 4;
        if (app().fieldLineH < sy) {
            c.y += (sy - app().fieldLineH) / 2;
            c.cy -= sy - app().fieldLineH;
        }
    }
    DWORD ex = edgeStyle(c);
    if (ex & WS_EX_CLIENTEDGE) c.y -= 2, c.cy += 4;
    else if (ex & WS_EX_STATICEDGE) c.y -= 1, c.cy += 2;
}

int editMargin() { return app().edgeType == 2 ? 0 : 1; }

// An edit control takes the new font's own margins with it: ours follow.
void setFont(HWND wnd, HFONT font, bool edit) {
    SendMessageA(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (edit) SendMessageA(wnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(editMargin(), editMargin()));
}

// The control is made with the text of its field's value, as the platform
// takes it at creation; check marks and progress are set once it exists.
bool createField(PxDialog *d, size_t index, TextMeasure &measure) {
    PxFieldCtl &c = d->fields[index];
    c.oemFont = app().oemFont[kPxFieldFont] != 0;
    ControlShape s = shapeOf(c, (d->panel->options & kPxPanelRightAlign) != 0);
    fieldRect(d, c);
    DWORD style = WS_CHILD | WS_VISIBLE | s.style;
    HFONT font = s.textFont ? d->textFont : c.enabled ? d->fieldFont : d->disableFont;
    bool edit = std::strcmp(s.cls, "Edit") == 0;
    int margins = edit ? editMargin() : 0;
    std::string value, text;
    int room = 0;
    if (isMark(c)) {
        text = c.label;
    } else if (showsValueAsText(c)) {
        value = shownText(c, false);
        if (mayShorten(c, value)) {
            // The room the control will have: its size less its frame and margins.
            RECT frame = {0, 0, 0, 0};
            AdjustWindowRectEx(&frame, style, FALSE, s.exStyle);
            room = std::max(0, c.cx - static_cast<int>(frame.right - frame.left)) - 2 * margins;
        }
        text = fitted(c, value, measure, font, room);
    }
    c.hwnd = CreateWindowExA(s.exStyle, s.cls, text.c_str(), style, c.x, c.y, c.cx, c.cy, d->hwnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxFieldIdBase + index)), app().instance,
                             nullptr);
    if (!c.hwnd) return false;
    setFont(c.hwnd, font, edit);
    // Where the platform frames the control otherwise, the text is fitted
    // again (the margins are ours: asking the control costs a message).
    if (mayShorten(c, value)) {
        RECT r;
        GetClientRect(c.hwnd, &r);
        int actual = static_cast<int>(r.right - r.left) - 2 * margins;
        if (actual != room) SetWindowTextA(c.hwnd, fitted(c, value, measure, font, actual).c_str());
    }
    if (!(c.options & kPxPlainText)) {
        px_subclassField(&c);
        if (!c.enabled) EnableWindow(c.hwnd, FALSE);
        if (isRunningBar(c)) SetTimer(c.hwnd, kRunningBarTimer, 100, nullptr);
    }
    if (!showsValueAsText(c)) showValue(c, measure, true);
    return true;
}

bool sameClass(HWND wnd, const ControlShape &s) {
    char cls[32] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (lstrcmpiA(cls, s.cls) != 0) return false;
    // An edit control cannot change between one and several lines.
    DWORD style = static_cast<DWORD>(GetWindowLongA(wnd, GWL_STYLE));
    return lstrcmpiA(cls, "Edit") != 0 || (style & ES_MULTILINE) == (s.style & ES_MULTILINE);
}

// A control of another class is made anew in the same place of the grid.
void recreateField(PxDialog *d, size_t index) {
    PxFieldCtl &c = d->fields[index];
    HWND old = c.hwnd;
    DestroyWindow(old);
    if (c.filter) px_freeInputFilter(c.filter);
    c.filter = nullptr;
    c.hwnd = nullptr;
    c.oldProc = nullptr;
    c.shortened = false;
    TextMeasure measure(d->hwnd);
    if (!createField(d, index, measure))
        px_sysErrorBox(GetLastError(), "px_createFields(%d): CreateWindowEx() failed!", static_cast<int>(index));
}

// Styles that can change on a living control: read-only, password,
// alignment, flat look and the edge.
void restyle(PxFieldCtl &c, const ControlShape &s) {
    DWORD style = static_cast<DWORD>(GetWindowLongA(c.hwnd, GWL_STYLE)), next = style;
    if (lstrcmpiA(s.cls, "Edit") == 0) {
        SendMessageA(c.hwnd, EM_SETREADONLY, (s.style & ES_READONLY) != 0, 0);
        if ((style ^ s.style) & ES_PASSWORD) SendMessageA(c.hwnd, EM_SETPASSWORDCHAR, (s.style & ES_PASSWORD) ? '*' : 0, 0);
        style = static_cast<DWORD>(GetWindowLongA(c.hwnd, GWL_STYLE));
        next = (style & ~static_cast<DWORD>(ES_RIGHT | ES_CENTER)) | (s.style & (ES_RIGHT | ES_CENTER));
    } else if (lstrcmpiA(s.cls, "Button") == 0) {
        DWORD mask = BS_TYPEMASK | BS_FLAT | BS_LEFTTEXT | BS_CENTER;
        next = (style & ~mask) | (s.style & mask);
    } else if (lstrcmpiA(s.cls, "Static") == 0) {
        next = (style & ~static_cast<DWORD>(SS_TYPEMASK)) | (s.style & SS_TYPEMASK);
    }
    if (next != style) SetWindowLongA(c.hwnd, GWL_STYLE, static_cast<LONG>(next));
    setEdge(c.hwnd, c.enabled || app().edgeDisable ? s.exStyle : 0);
}

std::string readControl(HWND wnd) { return px_windowText(wnd); }

// A text value as the buffer holds it, never past its capacity.
std::string valueText(const PxField *f) {
    if (!f->value || f->capacity <= 0) return std::string();
    return std::string(f->value, strnlen(f->value, static_cast<size_t>(f->capacity)));
}

// The dialog an input loop goes back to: not one closed meanwhile (its
// own loop, which holds it, still has to end).
void *runnable(void *dialog) {
    return dialog && static_cast<PxDialog *>(dialog)->closed ? nullptr : dialog;
}

// The press that started the input lands the caret where it was made.
bool replayClick(PxFieldCtl *ctl, HWND hwnd) {
    int packed = px_pendingClick();
    px_setPendingClick(0);
    if (!packed) return false;
    POINT pt = {GET_X_LPARAM(packed), GET_Y_LPARAM(packed)};
    ScreenToClient(hwnd, &pt);
    RECT r;
    GetClientRect(hwnd, &r);
    if (!PtInRect(&r, pt)) return false;
    ctl->replay = 2;
    PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    PostMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    return true;
}

// The input through the formatted-edit engine: the formatter holds the
// text, so it says whether anything changed and gives the value.
int formattedLoop(PxEvent *ev, PxFieldCtl *ctl, PxFormatter *fmt, const PxLoopServices &svc) {
    px_fmtSetValue(fmt, ctl->field);
    px_fmtSetInsert(fmt, app().overwrite != 0);
    px_fmtStartEdit(fmt, true);
    replayClick(ctl, ctl->hwnd);
    InvalidateRect(ctl->hwnd, nullptr, TRUE);
    px_replayTypeAhead(ctl->hwnd);
    for (;;) {
        svc.wait(ev);
        // Closed meanwhile: the formatter went with the panel.
        if (ctl->dialog->closed) return -1;
        if (!isInputKind(ctl->kind) || !px_fmtIsChanged(fmt)) return ev->code;
        if (px_fmtGetValue(fmt, ctl->field)) return ev->code;
        if (ev->code == kPxEvMenuCancelled) {
            px_fmtSetValue(fmt, ctl->field);
            InvalidateRect(ctl->hwnd, nullptr, TRUE);
            return ev->code;
        }
        if (ev->code == 27) {
            px_fmtSetValue(fmt, ctl->field);
            px_fmtStartEdit(fmt, true);
            InvalidateRect(ctl->hwnd, nullptr, TRUE);
        }
        MessageBeep(MB_ICONHAND);
        px_flushTypeAhead();
    }
}

}  // namespace

void px_subclassField(PxFieldCtl *ctl) {
    SetPropA(ctl->hwnd, "pxField", ctl);
    SetWindowLongPtrA(ctl->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ctl));
    ctl->oldProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(ctl->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(fieldProc)));
    if (isInputKind(ctl->kind) && !px_fieldFormatter(ctl->field)) ctl->filter = px_makeFieldFilter(ctl->field, ctl->oemFont);
}

std::string px_windowText(HWND wnd) {
    int n = GetWindowTextLengthA(wnd);
    if (n <= 0) return std::string();
    std::string s(static_cast<size_t>(n) + 1, '\0');
    int got = GetWindowTextA(wnd, &s[0], n + 1);
    s.resize(static_cast<size_t>(got < 0 ? 0 : got));
    return s;
}

int px_fieldAlign(const PxField *field) {
    if (PxFormatter *f = px_fieldFormatter(field)) {
        int a = px_fmtGetAlign(f);
        if (a >= 0) return a;
    }
    switch (field->kind & kPxKindMask) {
    case 0: case 6: case 7: case 9: case 10: case 11: case 12: case 13: case 14: case 15: return 0;
    case 3: return 2;
    }
    switch (field->type & ~kPxVariant) {
    case PXV_STRING: case PXV_MASKSTR: return field->width == 1 ? 2 : 0;
    case PXV_DATE: case PXV_TIME: case PXV_SHORTTIME: return 0;
    case PXV_CHAR: return 2;
    default: return 1;
    }
}

bool px_createFields(PxDialog *dialog) {
    TextMeasure measure(dialog->hwnd);
    for (size_t i = 0; i < dialog->fields.size(); ++i) {
        if (!createField(dialog, i, measure)) {
            px_sysErrorBox(GetLastError(), "px_createFields(%d): CreateWindowEx() failed!", static_cast<int>(i));
            return false;
        }
    }
    return true;
}

void px_updateFieldCtls(PxDialog *dialog) {
    bool right = (dialog->panel->options & kPxPanelRightAlign) != 0;
    for (size_t i = 0; i < dialog->fields.size(); ++i) {
        PxFieldCtl &c = dialog->fields[i];
        if (!c.hwnd) continue;
        // Options come again from the field; a mark made from brackets stays one.
        bool mark = isMark(c);
        c.kindByte = c.field->kind;
        c.options = c.field->options | (mark ? c.options & (kPxCheckBox | kPxRadio) : 0);
        c.kind = mark ? 7 : c.field->kind & kPxKindMask;
        c.type = c.field->type;
        c.enabled = !(c.kindByte & (kPxKindSkip | kPxKindHidden)) && !(c.options & kPxPlainText);
        ControlShape s = shapeOf(c, right);
        if (!sameClass(c.hwnd, s) && c.hwnd != dialog->inputWnd) {
            recreateField(dialog, i);
            continue;
        }
        if (c.filter) px_freeInputFilter(c.filter);
        // The value type or format may have changed with the update.
        c.filter = isInputKind(c.kind) && c.oldProc && !px_fieldFormatter(c.field) ? px_makeFieldFilter(c.field, c.oemFont) : nullptr;
        restyle(c, s);
        // A field shown as plain text keeps its text colour.
        if (!(c.options & kPxPlainText)) EnableWindow(c.hwnd, c.enabled);
        HFONT font = s.textFont ? dialog->textFont : c.enabled ? dialog->fieldFont : dialog->disableFont;
        setFont(c.hwnd, font, std::strcmp(s.cls, "Edit") == 0);
        InvalidateRect(c.hwnd, nullptr, TRUE);
    }
}

void px_showFieldValues(PxDialog *dialog, int from, int to) {
    if (from < 0) from = 0;
    if (to > static_cast<int>(dialog->fields.size())) to = static_cast<int>(dialog->fields.size());
    TextMeasure measure(dialog->hwnd);
    for (int i = from; i < to; ++i) {
        PxFieldCtl &c = dialog->fields[static_cast<size_t>(i)];
        if (c.hwnd) showValue(c, measure);
    }
}

bool px_takeFieldValue(HWND hwnd, PxFieldCtl *ctl, bool check) {
    PxField *f = ctl->field;
    std::string text = readControl(hwnd);
    int base = f->type & ~kPxVariant;
    bool convert = !(f->options & kPxAnsiText) && !ctl->oemFont;
    if (base == PXV_STRING) {
        if (f->height > 1) {
            std::string lf;
            for (char ch : text)
                if (ch != '\r') lf += ch;
            text = lf;
        }
        size_t room = f->length > 0 ? static_cast<size_t>(f->length) - 1 : 0;
        if (text.size() > room) text.resize(room);
        while (!text.empty() && text.back() == ' ') text.pop_back();
        if (convert) text = px_ansiToOem(text.c_str());
        return px_storeFieldText(text.c_str(), f);
    }
    if (check && px_checkFieldText(text.c_str(), f) != 0) return false;
    if ((base == PXV_MASKSTR || base == PXV_CHAR) && convert) text = px_ansiToOem(text.c_str());
    return px_storeFieldText(text.c_str(), f);
}

int px_runInputLoop(PxEvent *ev, PxDialog *dialog, PxFieldCtl *ctl, HWND hwnd) {
    PxTopWnd *top = px_firstTopWnd();
    if (!top) return -1;
    PxDialogHold hold(dialog);
    // A frameless top-level dialog is its own level: closing it drops the level.
    bool ownLevel = dialog->topEntry == top;
    void *prevDialog = top->runningDlg;
    HWND prevInput = dialog->inputWnd;
    HWND hadFocus = GetFocus();
    top->runningDlg = dialog;
    dialog->inputWnd = hwnd;
    SetFocus(hwnd);
    const PxLoopServices &svc = px_loopServices();
    PxFormatter *fmt = ctl ? px_fieldFormatter(ctl->field) : nullptr;
    // An old formatter library is reported once and leaves a plain edit.
    if (fmt && !ctl->fmtEdit) ctl->fmtEdit = px_fmtEditAttach(hwnd, fmt);
    bool masked = ctl && g_maskedHook && (ctl->field->type & ~kPxVariant) == PXV_MASKSTR;
    std::string oldText = masked ? valueText(ctl->field) : std::string();
    int code;
    if (ctl && ctl->fmtEdit) {
        code = formattedLoop(ev, ctl, fmt, svc);
    } else if (!ctl) {
        px_replayTypeAhead(hwnd);
        svc.wait(ev);
        code = ev->code;
    } else {
        bool input = isInputKind(ctl->kind);
        // A check mark or progress keeps its label; others show the value
        // whole for the input.
        std::string shown = shownText(*ctl, true);
        if (showsValueAsText(*ctl)) SetWindowTextA(hwnd, shown.c_str());
        ctl->shortened = false;
        SendMessageA(hwnd, EM_SETMODIFY, FALSE, 0);
        auto selectStart = [&] {
            if ((ctl->field->type & ~kPxVariant) == PXV_CHAR) SendMessageA(hwnd, EM_SETSEL, 0, 0);
            else SendMessageA(hwnd, EM_SETSEL, 0, -1);
        };
        if (input && !replayClick(ctl, hwnd)) selectStart();
        px_replayTypeAhead(hwnd);
        for (;;) {
            svc.wait(ev);
            code = ev->code;
            if (hold.closed() || !input || !IsWindow(hwnd) || !SendMessageA(hwnd, EM_GETMODIFY, 0, 0)) break;
            if (px_takeFieldValue(hwnd, ctl, true)) break;
            // A system loop cancelled under a field that refuses its text:
            // the input ends and the edited text is not taken.
            if (code == kPxEvMenuCancelled) {
                SetWindowTextA(hwnd, shown.c_str());
                SendMessageA(hwnd, EM_SETMODIFY, FALSE, 0);
                break;
            }
            if (code == 27) {
                SetWindowTextA(hwnd, shown.c_str());
                SendMessageA(hwnd, EM_SETMODIFY, FALSE, 0);
                selectStart();
            }
            MessageBeep(MB_ICONHAND);
            px_flushTypeAhead();
        }
    }
    // Closed by a request that came during the wait: nothing of the dialog
    // but its record is left, and the level it was the running dialog of
    // may be gone with it.
    if (hold.closed()) {
        if (!ownLevel && px_firstTopWnd() == top && !top->runningDlg) top->runningDlg = runnable(prevDialog);
        return -1;
    }
    if (ctl && ctl->fmtEdit) {
        px_fmtEditDetach(ctl->fmtEdit);
        ctl->fmtEdit = nullptr;
    }
    if (masked) {
        std::string newText = valueText(ctl->field);
        code = g_maskedHook(oldText.c_str(), newText.c_str(), static_cast<int>(oldText.size()), code, dialog->panel);
    }
    if (IsWindow(dialog->hwnd)) dialog->inputWnd = prevInput;
    if (px_firstTopWnd() == top) top->runningDlg = runnable(prevDialog);
    if (hadFocus != GetFocus() && IsWindow(dialog->hwnd) && GetFocus() == hwnd) SetFocus(dialog->hwnd);
    return code;
}

int px_editCurrentField(PxEvent *ev, PxDialog *dialog) {
    PxField *cur = dialog->panel->currentField;
    if (!cur) return px_runInputLoop(ev, dialog, nullptr, dialog->hwnd);
    long index = cur - dialog->panel->fields;
    if (index < 0 || index >= static_cast<long>(dialog->fields.size())) return -1;
    PxFieldCtl &c = dialog->fields[static_cast<size_t>(index)];
    if (!c.hwnd) return -1;
    px_showFieldValues(dialog, static_cast<int>(index), static_cast<int>(index) + 1);
    int code = px_runInputLoop(ev, dialog, &c, c.hwnd);
    if (dialog->closed) return -1;
    // A click on a check box or radio button toggles it like the space bar.
    if (c.kind == 7 && (c.options & (kPxCheckBox | kPxRadio)) && code == kPxMouseClick &&
        px_fieldAtCell(dialog->panel, c.field, ev->p1, ev->p2))
        code = ' ';
    // The value as it is shown outside input (an input kind's new value; a
    // shortened text of kinds 2 and 5).
    if (showsValueAsText(c)) px_showFieldValues(dialog, static_cast<int>(index), static_cast<int>(index) + 1);
    return code;
}

bool px_copyText(HWND hwnd, const char *text, size_t length, bool oem) {
    if (!OpenClipboard(hwnd)) return false;
    EmptyClipboard();
    bool ok = false;
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, length + 1);
    if (mem) {
        char *p = static_cast<char *>(GlobalLock(mem));
        std::memcpy(p, text, length);
        p[length] = '\0';
        GlobalUnlock(mem);
        ok = SetClipboardData(oem ? CF_OEMTEXT : CF_TEXT, mem) != nullptr;
        if (!ok) GlobalFree(mem);
        HGLOBAL loc = GlobalAlloc(GMEM_MOVEABLE, sizeof(LCID));
        if (loc) {
            *static_cast<LCID *>(GlobalLock(loc)) = GetUserDefaultLCID();
            GlobalUnlock(loc);
            if (!SetClipboardData(CF_LOCALE, loc)) GlobalFree(loc);
        }
    }
    CloseClipboard();
    return ok;
}

UINT px_clipKeyMessage(int controlKind, int vk, int shift) {
    for (const ClipKey &k : kClipKeys)
        if (k.controlKind == controlKind && k.shift == shift && k.vk == vk) return k.message;
    return 0;
}

int px_translateClipKey(HWND hwnd, int controlKind, int vk, int shift) {
    UINT message = px_clipKeyMessage(controlKind, vk, shift);
    if (!message) return 0;
    SendMessageA(hwnd, message, 0, 0);
    return 1;
}

bool px_fieldClipKey(HWND hwnd, int vk, int shift) {
    PxFieldCtl *c = ctlOf(hwnd);
    if (!c) return false;
    return px_translateClipKey(hwnd, 0x300, vk, shift) != 0;
}

bool px_fieldEditsKey(HWND hwnd, int code) {
    PxFieldCtl *c = ctlOf(hwnd);
    if (!c || !(isInputKind(c->kind) || isReadOnlyKind(c->kind))) return false;
    switch (code) {
    case 8: case 32: case 327: case 331: case 333: case 335: case 338: case 339: return true;
    case 10: case 328: case 336: case 371: case 372: return c->field->height >= 2;
    }
    return false;
}

bool px_focusMarkRect(const PxDialog *dialog, RECT *out) {
    const PxField *cur = dialog && dialog->panel ? dialog->panel->currentField : nullptr;
    if (!cur) return false;
    long index = cur - dialog->panel->fields;
    if (index < 0 || index >= static_cast<long>(dialog->fields.size())) return false;
    const PxFieldCtl &c = dialog->fields[static_cast<size_t>(index)];
    if (!c.hwnd || !isMark(c) || !c.label.empty()) return false;
    GetWindowRect(c.hwnd, out);
    MapWindowPoints(nullptr, dialog->hwnd, reinterpret_cast<POINT *>(out), 2);
    InflateRect(out, 2, 2);
    return true;
}

PxMaskedInputFn px_setMaskedInputHook(PxMaskedInputFn hook) {
    PxMaskedInputFn previous = g_maskedHook;
    g_maskedHook = hook;
    return previous;
}

std::string px_fieldShownText(const PxFieldCtl &ctl) { return shownText(ctl, false); }
