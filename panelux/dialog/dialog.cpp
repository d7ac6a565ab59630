#include "dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "app.h"
#include "celledit.h"
#include "errbox.h"
#include "events.h"
#include "frame.h"
#include "hostsinks.h"
#include "list.h"
#include "openstep.h"
#include "popup.h"
#include "registry.h"
#include "status.h"
#include "tabdlg.h"
#include "upcalls.h"
#include "wndutil.h"

const char kPxDialogClass[] = "pxDialogWnd";

namespace {

PxApp &app() { return *px_app(); }

std::string display(const std::string &oem, int font) {
    return app().oemFont[font] ? oem : px_oemToAnsi(oem.c_str());
}

int margin(const PxDialog *d) { return (d->flags & kPxDlgNoBorder) ? 0 : 1; }

// Whether an item lies on the panel's edge, which takes away the border cell.
bool touchesEdge(const PxPanel *p, const PxItems &items) {
    int w = p->right - p->left + 1, h = p->bottom - p->top + 1;
    for (int i = 0; i < p->fieldCount; ++i) {
        const PxField &f = p->fields[i];
        if (f.column == 0 || f.column + f.width == w || f.row == 0 || f.row + f.height == h) return true;
    }
    for (const PxItemBox &b : items.boxes)
        if (b.column == 0 || b.row == 0 || b.column + b.width == w || b.row + b.height - 1 == h - 1) return true;
    for (const PxItemText &t : items.texts)
        if (t.column == 0 || t.column + static_cast<int>(t.text.size()) == w || t.row == 0 || t.row == h - 1)
            return true;
    return false;
}

void layoutItems(PxDialog *d) {
    int sx = app().stepX, sy = app().stepY, b = margin(d);
    for (PxDialogText &t : d->texts) {
        int x = (t.item.column - b) * sx, y = (t.item.row - b) * sy;
        int cx = static_cast<int>(t.item.text.size()) * sx, cy = sy;
        px_centreInCells(&x, &y, &cx, &cy);
        t.px = RECT{x, y, x + cx, y + cy};
    }
    for (PxDialogBox &x : d->boxes) {
        int left = (x.item.column - b) * sx + sx / 4, top = (x.item.row - b) * sy;
        x.px = RECT{left, top, left + x.item.width * sx + sx / 2 - sx, top + x.item.height * sy - sy / 2};
    }
}

void paintLines(PxDialog *d, HDC dc) {
    int sx = app().stepX, sy = app().stepY, b2 = 2 * margin(d);
    auto draw = [&](COLORREF colour, int offset) {
        HPEN pen = CreatePen(PS_SOLID, 1, colour);
        HGDIOBJ old = SelectObject(dc, pen);
        for (const PxLine &l : d->lines) {
            MoveToEx(dc, (l.x1 - b2) * sx / 2 + offset, (l.y1 - b2) * sy / 2 + offset, nullptr);
            LineTo(dc, (l.x2 - b2) * sx / 2 + offset, (l.y2 - b2) * sy / 2 + offset);
        }
        SelectObject(dc, old);
        DeleteObject(pen);
    };
    draw(GetSysColor(COLOR_GRAYTEXT), 0);
    draw(GetSysColor(COLOR_SCROLLBAR), 1);
}

void paintDialog(PxDialog *d, HDC dc) {
    paintLines(d, dc);
    RECT focus;
    if (px_focusMarkRect(d, &focus)) DrawFocusRect(dc, &focus);
}

LRESULT onPaint(HWND wnd, PxDialog *d) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    if (d) paintDialog(d, dc);
    EndPaint(wnd, &ps);
    return 0;
}

bool isActiveChild(const PxDialog *d) {
    PxTopWnd *top = px_firstTopWnd();
    return top && top->active && top->active->object == d->panel;
}

// Plain dialogs keep the size their grid gives them; a list with a header
// and an editor that allows it may be resized.
bool canResize(const PxDialog *d) {
    if (d->list) return (d->list->flags & kPxListHeader) != 0;
    return d->editor && (d->editor->kind & kPxEditorResizable);
}

// Only while the list takes input, or the editor's dialog is the one at work.
bool resizable(const PxDialog *d) {
    if (!canResize(d)) return false;
    return d->list ? px_currentDialog() == d : isActiveChild(d);
}

LRESULT onMinMax(HWND wnd, const PxDialog *d, MINMAXINFO *mm) {
    RECT r;
    GetWindowRect(wnd, &r);
    if (d->fitting) return 0;
    if (!resizable(d)) {
        mm->ptMaxSize = mm->ptMinTrackSize = mm->ptMaxTrackSize = POINT{r.right - r.left, r.bottom - r.top};
        return 0;
    }
    if (!d->editor || !d->editor->wnd) return 0;
    // Two cells each way, and everything around them.
    RECT c, ew, ec;
    GetClientRect(wnd, &c);
    GetWindowRect(d->editor->wnd, &ew);
    GetClientRect(d->editor->wnd, &ec);
    SIZE cell = px_editorCellSize();
    int status = 0;
    if (d->statusBar) {
        RECT s;
        GetWindowRect(d->statusBar, &s);
        status = s.bottom - s.top;
    }
    mm->ptMinTrackSize.x = 2 * cell.cx + (ew.right - ew.left - ec.right) + (r.right - r.left - c.right);
    mm->ptMinTrackSize.y = 2 * cell.cy + (ew.bottom - ew.top - ec.bottom) + (r.bottom - r.top - c.bottom) + status;
    return 0;
}

void beginUserResize(HWND wnd, PxDialog *d) {
    d->userSizing = resizable(d);
    if (d->userSizing) GetWindowRect(wnd, &d->sizeStart);
}

// The list or editor takes the new size and the server hears of it; when
// either refuses, the window goes back to its size before the resize.
void endUserResize(HWND wnd, PxDialog *d) {
    if (!d->userSizing) return;
    d->userSizing = false;
    RECT now, was = d->sizeStart;
    GetWindowRect(wnd, &now);
    int w = was.right - was.left, h = was.bottom - was.top;
    if (now.right - now.left == w && now.bottom - now.top == h) return;
    int columns = 0, rows = 0;
    bool partial = false, ok = false;
    if (d->list) {
        ok = px_relayoutList(d->panel) == 0;
        px_listGridSize(d->list, &columns, &rows, &partial);
    } else if (d->editor) {
        px_fitEditor(d);
        ok = px_resizeEditorGrid(d->editor, -1);
        columns = d->editor->columns, rows = d->editor->rows, partial = d->editor->partial;
    }
    if (!ok) {
        SetWindowPos(wnd, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        px_fitEditor(d);
        return;
    }
    const PxPanelOwner *o = d->panel->owner;
    if (o)
        px_upcallNotify(o->objectNumber, o->serverHandle, static_cast<int16_t>(std::min(columns, 32767)),
                        static_cast<int16_t>(std::min(rows, 32767)), partial ? 1 : 0);
}

LRESULT onHitTest(HWND wnd, PxDialog *d, WPARAM wParam, LPARAM lParam) {
    LRESULT hit = DefWindowProcA(wnd, WM_NCHITTEST, wParam, lParam);
    if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT && !resizable(d)) return HTBORDER;
    if ((hit == HTMINBUTTON || hit == HTMAXBUTTON || hit == HTCLOSE || hit == HTHELP) && !isActiveChild(d))
        return HTCAPTION;
    return hit;
}

LRESULT onSetCursor(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LPCSTR cursor = nullptr;
    switch (LOWORD(lParam)) {
    case HTLEFT: case HTRIGHT: cursor = IDC_SIZEWE; break;
    case HTTOP: case HTBOTTOM: cursor = IDC_SIZENS; break;
    case HTTOPLEFT: case HTBOTTOMRIGHT: cursor = IDC_SIZENWSE; break;
    case HTTOPRIGHT: case HTBOTTOMLEFT: cursor = IDC_SIZENESW; break;
    default: return DefWindowProcA(wnd, msg, wParam, lParam);
    }
    SetCursor(LoadCursorA(nullptr, cursor));
    return TRUE;
}

void onPosChanging(HWND wnd, PxDialog *d, WINDOWPOS *pos) {
    bool inFrame = !(d->flags & (kPxDlgChild | kPxDlgTopLevel | kPxDlgOutside));
    // A dialog in the frame that is not the one at work stays where it is
    // in the z-order, and so does one with an outside dialog open.
    if (inFrame && (!isActiveChild(d) || (d->flags & kPxDlgHasOutside))) pos->flags |= SWP_NOZORDER;
    LONG style = GetWindowLongA(wnd, GWL_STYLE);
    if (!resizable(d) && (style & WS_MAXIMIZE)) {
        SetWindowLongA(wnd, GWL_STYLE, style & ~WS_MAXIMIZE);
        if (pos->flags & SWP_FRAMECHANGED) pos->flags |= SWP_NOMOVE | SWP_NOSIZE;
    }
}

LRESULT onHelp(PxDialog *d, const HELPINFO *info) {
    if (!info || info->iContextType != HELPINFO_WINDOW) return TRUE;
    if (GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0) return TRUE;
    const PxField *f = d->panel->currentField;
    int32_t context = f && f->helpContext ? f->helpContext : d->panel->helpContext;
    if (d->tip.balloon) context = d->tip.helpContext;
    px_loopServices().help(context);
    return TRUE;
}

// The panel's panes become the dialog's own status bar.
bool makeStatusBar(HWND wnd, PxDialog *d) {
    RingList *notes = d->panel->runtime ? d->panel->runtime->notes : nullptr;
    if ((d->flags & kPxDlgOutside) || !notes || !ring_first(notes)) return true;
    // Panes the panel keeps hidden stay off the bar.
    std::vector<PxPaneSpec> panes;
    for (void *n = ring_first(notes); n; n = ring_next(notes, n)) {
        const PxPanelNote *note = static_cast<const PxPanelNote *>(n);
        if (note->shown) panes.push_back(PxPaneSpec{static_cast<int16_t>(note->id), static_cast<int16_t>(note->width)});
    }
    d->statusBar = px_createStatusBar(wnd, true, canResize(d), panes.data(), static_cast<int>(panes.size()));
    if (!d->statusBar) return false;
    for (void *n = ring_first(notes); n; n = ring_next(notes, n)) {
        const PxPanelNote *note = static_cast<const PxPanelNote *>(n);
        if (note->shown && note->text) px_setStatusPane(d->statusBar, note->id, note->text, nullptr, 2);
    }
    return true;
}

void onSize(PxDialog *d, WPARAM wParam, LPARAM lParam) {
    if (d->statusBar) {
        SendMessageA(d->statusBar, WM_SIZE, wParam, lParam);
        px_layoutStatusBar(d->statusBar);
    }
    if (d->list) px_relayoutList(d->panel);
    if (d->userSizing) px_fitEditor(d);
}

LRESULT onSetFocus(PxDialog *d) {
    // An open field tip keeps the focus where it is.
    if (d->tip.balloon) return 0;
    if (d->editor && d->editor->active && d->editor->wnd) SetFocus(d->editor->wnd);
    else if (d->inputWnd && IsWindow(d->inputWnd)) SetFocus(d->inputWnd);
    else if ((d->flags & kPxDlgChild) && d->parent && d->parent->hwnd) SetFocus(d->parent->hwnd);
    return 0;
}

LRESULT onChar(WPARAM ch, LPARAM lParam) {
    if (ch == ',' && ((lParam >> 16) & 0xFF) == 0x53) ch = '.';
    px_postCharEvent(static_cast<int>(ch), px_keyEventMode());
    return 0;
}

LRESULT onClose(PxDialog *d) {
    PxTopWnd *top = px_firstTopWnd();
    if (top && top->active && top->active->object == d->panel) px_postEvent(27, 0, 1, px_keyEventMode());
    return 0;
}

// The host's window manager hears which level is in front: the level the
// dialog (or the dialog it sits in) belongs to, else the current one.
void tellHostActive(const PxDialog *d) {
    while (d->parent) d = d->parent;
    PxTopWnd *level = d->topEntry ? px_topWndByObject(d) : px_findTopWndOf(d->panel, kPxChildDialog);
    px_hostLevelActivated(level ? level : px_firstTopWnd());
}


LRESULT CALLBACK dialogProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        PxDialog *d = px_dialogOf(wnd);
        switch (msg) {
        case WM_CREATE: {
            PxDialog *made = static_cast<PxDialog *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams);
            SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(made));
            return made && makeStatusBar(wnd, made) ? 0 : -1;
        }
        case WM_DESTROY:
            if (d && d->statusBar) px_destroyStatusBar(d->statusBar);
            if (d) d->statusBar = nullptr;
            break;
        case WM_SIZE:
            if (d) onSize(d, wParam, lParam);
            if (d) px_placeFieldTip(d);
            break;
        case WM_MOVE:
            if (d) px_placeFieldTip(d);
            break;
        case WM_NCHITTEST:
            if (d) return onHitTest(wnd, d, wParam, lParam);
            break;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == wnd) return onSetCursor(wnd, msg, wParam, lParam);
            break;
        case WM_WINDOWPOSCHANGING:
            if (d) onPosChanging(wnd, d, reinterpret_cast<WINDOWPOS *>(lParam));
            break;
        case WM_SIZING:
        case WM_MOVING:
            // An outside dialog of this one holds it in place.
            if (d && (d->flags & kPxDlgHasOutside)) {
                GetWindowRect(wnd, reinterpret_cast<RECT *>(lParam));
                return TRUE;
            }
            break;
        case WM_HELP:
            if (d) return onHelp(d, reinterpret_cast<const HELPINFO *>(lParam));
            break;
        case WM_ACTIVATE:
            if (d && LOWORD(wParam) != WA_INACTIVE) tellHostActive(d);
            break;
        case WM_NCACTIVATE:
            if (d && wParam) tellHostActive(d);
            break;
        case WM_PAINT: return onPaint(wnd, d);
        case WM_PRINTCLIENT:
            // Pictures of the dialog (PrintWindow) show its lines and marks too.
            if (d) paintDialog(d, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SETFOCUS:
            if (d) return onSetFocus(d);
            break;
        case WM_CHAR: return onChar(wParam, lParam);
        case WM_CLOSE:
            if (d) return onClose(d);
            return 0;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            if (d) return px_dialogColor(d, msg, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            break;
        case WM_GETMINMAXINFO:
            if (d && d->hwnd) return onMinMax(wnd, d, reinterpret_cast<MINMAXINFO *>(lParam));
            break;
        case WM_ENTERSIZEMOVE:
            if (d) beginUserResize(wnd, d);
            break;
        case WM_EXITSIZEMOVE:
            if (d) endUserResize(wnd, d);
            break;
        case WM_NOTIFY:
            if (d && d->tab && reinterpret_cast<NMHDR *>(lParam)->idFrom == kPxTabId)
                return px_tabNotify(reinterpret_cast<NMHDR *>(lParam));
            break;
        case WM_QUERYNEWPALETTE: return px_onQueryNewPalette(wnd);
        case WM_PALETTECHANGED: return px_onPaletteChanged(wnd, reinterpret_cast<HWND>(wParam));
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

bool registerClass() {
    if (px_isClassRegistered(kPxDialogClass)) return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = dialogProc;
    wc.hInstance = app().instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPxDialogClass;
    return px_regWndClass(&wc) == 0;
}

void makeFonts(PxDialog *d) {
    d->textFont = px_createFont(&app().fonts[kPxTextFont]);
    d->fieldFont = px_createFont(&app().fonts[kPxFieldFont]);
    d->disableFont = px_createFont(&app().fonts[kPxDisableFont]);
}

void freeFonts(PxDialog *d) {
    for (HFONT *f : {&d->textFont, &d->fieldFont, &d->disableFont}) {
        if (*f) DeleteObject(*f);
        *f = nullptr;
    }
}

void createTexts(PxDialog *d) {
    bool right = (d->panel->options & kPxPanelRightAlign) != 0;
    for (size_t i = 0; i < d->texts.size(); ++i) {
        const PxDialogText &t = d->texts[i];
        DWORD style = WS_CHILD | WS_VISIBLE | SS_NOPREFIX;
        int align = t.item.align < 0 ? (right ? 1 : 0) : t.item.align;
        style |= align == 1 ? SS_RIGHT : align == 2 ? SS_CENTER : SS_LEFT;
        HWND c = CreateWindowExA(0, "Static", display(t.item.text, kPxTextFont).c_str(), style, t.px.left, t.px.top,
                                 t.px.right - t.px.left, t.px.bottom - t.px.top, d->hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxTextIdBase + i)), app().instance, nullptr);
        if (!c) {
            px_sysErrorBox(GetLastError(), "px_createTexts(%d): CreateWindowEx() failed!", static_cast<int>(i));
            continue;
        }
        SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(d->textFont), FALSE);
    }
}

void createBoxes(PxDialog *d) {
    for (size_t i = 0; i < d->boxes.size(); ++i) {
        const PxDialogBox &b = d->boxes[i];
        HWND c = CreateWindowExA(0, "Button", display(b.item.label, kPxHeaderFont).c_str(),
                                 WS_CHILD | WS_VISIBLE | BS_GROUPBOX, b.px.left, b.px.top, b.px.right - b.px.left,
                                 b.px.bottom - b.px.top, d->hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxBoxIdBase + i)), app().instance, nullptr);
        if (!c) {
            px_sysErrorBox(GetLastError(), "px_createBoxs(%d): CreateWindowEx() failed!", static_cast<int>(i));
            continue;
        }
        SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(d->textFont), FALSE);
    }
}

struct Placement {
    DWORD style = 0, exStyle = 0;
    HWND parent = nullptr;
    HMENU id = nullptr;
    int x = 0, y = 0;
};

// A dialog inside the frame sits on the same grid as the dialogs already
// there: it is moved as far as the frame's contents are scrolled. An empty
// frame starts its grid afresh.
POINT inFrameOrigin(const PxDialog *d, PxTopWnd *top) {
    const PxPanel *p = d->panel;
    POINT at = {p->left * app().stepX, (p->top - 1) * app().stepY};
    PxFrame *frame = top ? top->frame : nullptr;
    if (!frame) return at;
    bool empty = true;
    px_forEachChild(top, [&](PxChildWnd *c) { empty = empty && !(c->wnd && IsWindow(c->wnd)); });
    if (empty) frame->scrolledX = frame->scrolledY = 0;
    at.x -= frame->scrolledX;
    at.y -= frame->scrolledY;
    return at;
}

Placement place(PxDialog *d, PxTopWnd *top) {
    const PxPanel *p = d->panel;
    int sx = app().stepX, sy = app().stepY;
    Placement pl;
    if (d->flags & kPxDlgChild) {
        const PxPanel *pp = d->parent->panel;
        int pm = margin(d->parent);
        pl.style = WS_CHILD | WS_CLIPSIBLINGS | (d->parent->tab ? WS_TABSTOP : 0);
        pl.parent = d->parent->hwnd;
        pl.id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxDialogChildId));
        pl.x = (p->left - pp->left - pm) * sx;
        pl.y = (p->top - pp->top - pm) * sy;
    } else if (d->flags & kPxDlgTopLevel) {
        pl.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        if (d->parent && d->parent->hwnd) {
            pl.parent = d->parent->hwnd;
            pl.exStyle = WS_EX_DLGMODALFRAME;
        } else if (HWND child = px_curChildWnd()) {
            pl.parent = child;
            pl.exStyle = WS_EX_DLGMODALFRAME;
        } else if (top && top->frame) {
            pl.parent = top->frame->wnd;
        } else {
            pl.style |= WS_MINIMIZEBOX;
            pl.exStyle = WS_EX_APPWINDOW;
        }
        pl.x = p->left * sx;
        pl.y = p->top * sy;
    } else {
        pl.style = WS_CHILD | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        pl.parent = top && top->frame ? top->frame->client : nullptr;
        pl.id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxDialogChildId));
        POINT at = inFrameOrigin(d, top);
        pl.x = at.x;
        pl.y = at.y;
    }
    if (d->flags & kPxDlgOutside) {
        pl.exStyle &= ~static_cast<DWORD>(WS_EX_APPWINDOW | WS_EX_DLGMODALFRAME);
        pl.style &= ~static_cast<DWORD>(0x00CE0000);
        pl.style |= WS_BORDER | WS_CLIPSIBLINGS;
    }
    if (d->flags & kPxDlgNoSysMenu) pl.style &= ~static_cast<DWORD>(WS_SYSMENU);
    return pl;
}

void unlinkDialog(PxDialog *d) {
    if (d->parent) {
        auto &c = d->parent->children;
        c.erase(std::remove(c.begin(), c.end(), d), c.end());
        if (d->flags & kPxDlgOutside) d->parent->flags &= ~kPxDlgHasOutside;
    }
    for (PxDialog *child : d->children) child->parent = nullptr;
    d->children.clear();
    if (d->childEntry) px_removeChildWnd(d->panel, kPxChildDialog);
    d->childEntry = nullptr;
    // Its own level, looked up again: the levels may have been torn down.
    if (d->topEntry)
        if (PxTopWnd *own = px_topWndByObject(d)) px_dropTopWnd(own);
    d->topEntry = nullptr;
    if (PxApp *a = px_app())
        for (void *e = ring_first(&a->topWindows); e; e = ring_next(&a->topWindows, e))
            if (static_cast<PxTopWnd *>(e)->runningDlg == d) static_cast<PxTopWnd *>(e)->runningDlg = nullptr;
}

void destroyDialog(PxDialog *d) {
    unlinkDialog(d);
    px_destroyListWnd(d);
    if (d->hwnd && IsWindow(d->hwnd)) DestroyWindow(d->hwnd);
    d->hwnd = nullptr;
    freeFonts(d);
    px_freeEditor(d->editor);
    px_freeTabArea(d->tab);
    if (d->panel && d->panel->runtime) d->panel->runtime->dialogNode = nullptr;
    // A wait on the dialog still holds it: the record goes when that ends.
    if (d->holds > 0) {
        d->closed = true;
        d->panel = nullptr;
        return;
    }
    delete d;
}

}  // namespace

namespace {

PxFieldCtl *fieldCtlOf(PxDialog *d, HWND control) {
    int id = GetDlgCtrlID(control);
    size_t index = static_cast<size_t>(id - kPxFieldIdBase);
    return d && id >= kPxFieldIdBase && index < d->fields.size() ? &d->fields[index] : nullptr;
}

HBRUSH paint(HDC dc, COLORREF back, COLORREF text, HBRUSH brush) {
    SetBkColor(dc, back);
    SetTextColor(dc, text);
    return brush;
}

HBRUSH systemColours(HDC dc, int back, int text) {
    return paint(dc, GetSysColor(back), GetSysColor(text), GetSysColorBrush(back));
}

// Named colours 1-6 stand on the module's palette when there is one.
HBRUSH namedColour(HDC dc, int colour) {
    if (colour <= 0 || colour > kPxColorCount || !app().brushes[colour - 1]) return nullptr;
    COLORREF back = app().palette ? PALETTEINDEX(colour - 1) : app().colors[colour - 1];
    return paint(dc, back, GetSysColor(COLOR_WINDOWTEXT), app().brushes[colour - 1]);
}

// Kinds 1 and 4, and kind 2 away from input: a plain-text field and a field
// out of input on the 3-D face, others on the window colour.
HBRUSH inputColours(HDC dc, const PxFieldCtl &c) {
    if (HBRUSH b = namedColour(dc, c.colour)) return b;
    bool face = (c.options & kPxPlainText) || !c.enabled;
    return systemColours(dc, face ? COLOR_3DFACE : COLOR_WINDOW, COLOR_WINDOWTEXT);
}

}  // namespace

HBRUSH px_ctlColor(HWND dialog, HDC dc, HWND control) {
    PxDialog *d = px_dialogOf(dialog);
    PxFieldCtl *c = fieldCtlOf(d, control);
    if (!c) return nullptr;
    switch (c->kind) {
    case 1:
    case 4: return inputColours(dc, *c);
    case 2:
        if (d->panel && d->panel->currentField == c->field)
            return c->focused ? systemColours(dc, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT)
                              : systemColours(dc, COLOR_INACTIVECAPTION, COLOR_INACTIVECAPTIONTEXT);
        return inputColours(dc, *c);
    case 5:
    case 8:
        if (HBRUSH b = namedColour(dc, c->colour)) return b;
        return systemColours(dc, COLOR_3DFACE, COLOR_WINDOWTEXT);
    default: return nullptr;
    }
}

HBRUSH px_listCellColor(PxDialog *d, HDC dc, HWND control) {
    PxFieldCtl *c = fieldCtlOf(d, control);
    int kind = c ? c->field->kind & kPxKindMask : 0;
    if (kind == 1 || kind == 5)
        if (HBRUSH b = namedColour(dc, c->colour)) return b;
    return systemColours(dc, COLOR_WINDOW, COLOR_WINDOWTEXT);
}

LRESULT px_dialogColor(PxDialog *d, UINT msg, HDC dc, HWND control) {
    if (HBRUSH b = px_ctlColor(d->hwnd, dc, control)) return reinterpret_cast<LRESULT>(b);
    return DefWindowProcA(d->hwnd, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

PxDialog *px_dialogOf(HWND wnd) {
    if (!wnd) return nullptr;
    char cls[32] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (lstrcmpiA(cls, kPxDialogClass) != 0) return nullptr;
    return reinterpret_cast<PxDialog *>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
}

PxDialog *px_dialogOfPanel(const PxPanel *panel) {
    return panel && panel->runtime ? static_cast<PxDialog *>(panel->runtime->dialogNode) : nullptr;
}

PxDialog *px_currentDialog() {
    PxTopWnd *top = px_firstTopWnd();
    return top ? static_cast<PxDialog *>(top->runningDlg) : nullptr;
}

bool px_isTopDialog(const PxDialog *dialog) {
    const PxDialog *cur = px_currentDialog();
    return dialog && cur && (dialog == cur || dialog->parent == cur);
}

namespace {

// A list stands instead of the field controls; an editor or a tab area
// comes beside them.
bool createControls(PxDialog *d) {
    if (d->list) return px_createListWnd(d);
    if (!px_createFields(d)) return false;
    if (d->editor) return px_createEditor(d);
    if (d->tab) return px_createTabArea(d);
    return true;
}

struct DialogExtra {
    PxEditor *editor = nullptr;
    PxTabArea *tab = nullptr;
    PxScrollList *list = nullptr;
    bool any() const { return editor || tab || list; }
};

// Kinds 0, 6 and 9-15 exist only as plain texts; kind 7 only in one of
// its four forms.
bool hasControlClass(const PxFieldCtl &c) {
    if (c.options & kPxPlainText) return true;
    switch (c.kind) {
    case 1: case 2: case 3: case 4: case 5: case 8: return true;
    case 7: return (c.options & (kPxCheckBox | kPxRadio | kPxProgress | kPxEditForm)) != 0;
    default: return false;
    }
}

int openDialog(PxPanel *panel, const DialogExtra &extra) {
    PxApp *a = px_app();
    PxTopWnd *top = px_firstTopWnd();
    if (!a || !top || !panel || !panel->runtime || px_dialogOfPanel(panel) || !registerClass()) return -1;
    std::unique_ptr<PxDialog> d(new PxDialog);
    d->panel = panel;
    d->editor = extra.editor;
    d->tab = extra.tab;
    d->list = extra.list;
    PxItems items = px_buildItems(panel);
    int mode = (panel->id >> 8) & 0xFF;
    PxDialog *current = px_currentDialog();
    if (mode == 0xFE) d->flags |= kPxDlgOutside;
    if (mode != 0 || !current) {
        if (!top->frame) d->flags |= kPxDlgTopLevel;
    } else {
        d->flags |= kPxDlgChild | kPxDlgNoBorder;
    }
    // Only a child, and an outside dialog that holds its parent in place,
    // belong to the current dialog: they are closed with it. Any other
    // dialog opened during its input outlives it and keeps no link to it.
    if (d->flags & (kPxDlgChild | kPxDlgOutside)) d->parent = current;
    if (mode == 0xFF || (!extra.any() && touchesEdge(panel, items))) d->flags |= kPxDlgNoBorder;
    if (panel->options & kPxPanelNoSysMenu) d->flags |= kPxDlgNoSysMenu;
    if (!a->oemFont[kPxFieldFont]) d->flags |= kPxDlgAnsiTexts;

    for (const PxLine &l : items.lines) d->lines.push_back(l);
    for (const PxItemText &t : items.texts) d->texts.push_back({t, RECT{}});
    for (const PxItemBox &b : items.boxes) d->boxes.push_back({b, RECT{}});
    d->fields.resize(panel->fieldCount);
    for (int i = 0; i < panel->fieldCount; ++i) {
        PxFieldCtl &c = d->fields[static_cast<size_t>(i)];
        const PxItemField &it = items.fields[static_cast<size_t>(i)];
        c.field = &panel->fields[i];
        c.kindByte = c.field->kind;
        c.number = c.field->number;
        c.type = c.field->type;
        c.column = c.field->column;
        c.width = c.field->width;
        c.kind = it.kind;
        c.options = c.field->options | it.addOptions;
        c.readOnlyMark = it.readOnlyMark;
        c.label = display(it.label, kPxTextFont);
        c.buttonStyle = (it.labelLeft ? 4u : 0u) | ((panel->options & kPxPanelRightAlign) ? 1u : 0u);
        c.enabled = !(c.kindByte & (kPxKindSkip | kPxKindHidden)) && !(c.options & kPxPlainText);
        if ((d->flags & kPxDlgAnsiTexts) && (c.kind == 1 || c.kind == 2 || c.kind == 5) && c.width > 2 &&
            !(c.options & kPxPlainText))
            c.buttonStyle |= kPxShortenText;
        c.colour = px_fieldColour(panel->id, c.number);
        c.dialog = d.get();
        // A list shows its fields as columns; anywhere else each needs a control.
        if (!d->list && !hasControlClass(c)) return -1;
    }
    // A dialog inside the frame ends the frame's menu or move loop.
    if (!(d->flags & (kPxDlgChild | kPxDlgTopLevel)) && top->frame && IsWindowEnabled(top->frame->wnd))
        PostMessageA(top->frame->wnd, WM_CANCELMODE, 0, 0);
    layoutItems(d.get());

    Placement pl = place(d.get(), top);
    if (!(d->flags & (kPxDlgChild | kPxDlgTopLevel)) && !pl.parent) return -1;
    int g = (d->flags & kPxDlgNoBorder) ? 1 : -1;
    d->cx = (panel->right - panel->left + g) * a->stepX;
    d->cy = (panel->bottom - panel->top + g) * a->stepY;
    SIZE ws = px_clientToWindowSize(d->cx, d->cy, pl.style, pl.exStyle);
    // An editor inside the frame takes the frame's whole client area.
    if (d->editor && !(d->flags & (kPxDlgChild | kPxDlgTopLevel))) {
        RECT c;
        GetClientRect(pl.parent, &c);
        pl.x = pl.y = 0;
        ws = SIZE{c.right, c.bottom};
    }
    d->x = pl.x;
    d->y = pl.y;
    px_openStepDone(PxOpenStep::Layout);
    std::string caption = panel->caption ? px_oemToAnsi(panel->caption) : std::string();
    HWND wnd = CreateWindowExA(pl.exStyle, kPxDialogClass, caption.c_str(), pl.style, pl.x, pl.y, ws.cx, ws.cy,
                               pl.parent, pl.id, a->instance, d.get());
    if (!wnd) {
        px_sysErrorBox(GetLastError(), "px_createDialog: CreateWindowEx() failed!");
        return -1;
    }
    // The status bar goes below the grid rather than over its last row;
    // an editor filling the frame already has its whole client area.
    if (d->statusBar && !(d->editor && !(d->flags & (kPxDlgChild | kPxDlgTopLevel)))) {
        RECT bar, outer;
        GetWindowRect(d->statusBar, &bar);
        GetWindowRect(wnd, &outer);
        d->cy += bar.bottom - bar.top;
        SetWindowPos(wnd, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top + (bar.bottom - bar.top),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    d->hwnd = wnd;
    d->owner = pl.parent;
    px_openStepDone(PxOpenStep::Window);
    makeFonts(d.get());
    createBoxes(d.get());
    createTexts(d.get());
    panel->runtime->dialogNode = d.get();
    if (!createControls(d.get())) {
        panel->runtime->dialogNode = nullptr;
        DestroyWindow(wnd);
        freeFonts(d.get());
        return -1;
    }
    px_openStepDone(PxOpenStep::Controls);

    if (d->flags & kPxDlgChild) {
        px_placeTabPage(d->parent, wnd);
        d->parent->children.push_back(d.get());
        SetWindowPos(wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else if (d->flags & kPxDlgOutside) {
        if (d->parent) {
            d->parent->flags |= kPxDlgHasOutside;
            d->parent->children.push_back(d.get());
        }
        px_activateWnd(wnd, true);
    } else {
        if (d->flags & kPxDlgTopLevel) {
            // A frameless top-level dialog is a level of its own, so key
            // dispatch and the input loop find it.
            PxTopWnd *own = px_newTopWnd();
            if (!own) {
                panel->runtime->dialogNode = nullptr;
                DestroyWindow(wnd);
                freeFonts(d.get());
                return -1;
            }
            own->dialog = d.get();
            d->topEntry = own;
        }
        d->childEntry = px_addChildWnd(wnd, panel, kPxChildDialog);
        if (!d->childEntry) {
            if (d->topEntry) px_dropTopWnd(static_cast<PxTopWnd *>(d->topEntry));
            panel->runtime->dialogNode = nullptr;
            DestroyWindow(wnd);
            freeFonts(d.get());
            return -1;
        }
    }
    if ((pl.style & WS_POPUP) && !(pl.exStyle & WS_EX_DLGMODALFRAME)) {
        SendMessageA(wnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(a->largeIcon));
        SendMessageA(wnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(a->smallIcon));
    }
    if (d->flags & kPxDlgTopLevel) px_centerOver(wnd, pl.parent);
    ShowWindow(wnd, SW_SHOWNORMAL);
    if (!(d->flags & kPxDlgChild)) SetForegroundWindow(wnd);
    UpdateWindow(wnd);
    ReleaseCapture();
    px_openStepDone(PxOpenStep::Show);
    d.release();
    return 0;
}

}  // namespace

// A text font narrower or lower than the grid leaves its characters
// centred in their cells instead of at their top left.
void px_centreInCells(int *x, int *y, int *cx, int *cy) {
    const PxApp &a = app();
    if (a.textCharW > 0 && a.textCharW < a.stepX) {
        int inset = (a.stepX - a.textCharW) / 2;
        *x += inset;
        *cx -= 2 * inset;
    }
    if (a.textLineH > 0 && a.textLineH < a.stepY) {
        int inset = (a.stepY - a.textLineH) / 2;
        *y += inset;
        *cy -= 2 * inset;
    }
}

int px_openDialog(PxPanel *panel) { return openDialog(panel, {}); }

int px_openDialog(PxPanel *panel, PxEditor *editor) {
    DialogExtra extra;
    extra.editor = editor;
    return openDialog(panel, extra);
}

int px_openDialog(PxPanel *panel, PxTabArea *tab) {
    DialogExtra extra;
    extra.tab = tab;
    return openDialog(panel, extra);
}

int px_openDialog(PxPanel *panel, PxScrollList *list) {
    DialogExtra extra;
    extra.list = list;
    return openDialog(panel, extra);
}

PxDialogHold::PxDialogHold(PxDialog *d) : d_(d) { ++d_->holds; }

PxDialogHold::~PxDialogHold() {
    if (--d_->holds == 0 && d_->closed) delete d_;
}

void px_closeDialog(PxPanel *panel) {
    PxDialog *d = px_dialogOfPanel(panel);
    if (!d) return;
    // Children go first: their windows die with this one.
    std::vector<PxDialog *> children = d->children;
    for (PxDialog *c : children) {
        c->parent = nullptr;
        if (c->panel && c->panel->runtime) c->panel->runtime->dialogNode = nullptr;
    }
    d->children.clear();
    destroyDialog(d);
    for (PxDialog *c : children) {
        c->hwnd = IsWindow(c->hwnd) ? c->hwnd : nullptr;
        destroyDialog(c);
    }
}

void px_refreshFields(PxPanel *panel) {
    PxDialog *d = px_dialogOfPanel(panel);
    if (!d) return;
    if (d->list) {
        // The rows shown are counted again before the row's cells are.
        px_relayoutList(panel);
        return px_listShowFields(d, 0, static_cast<int>(d->fields.size()));
    }
    px_updateFieldCtls(d);
    px_showFieldValues(d, 0, static_cast<int>(d->fields.size()));
}

void px_refreshField(PxPanel *panel, int index) {
    PxDialog *d = px_dialogOfPanel(panel);
    if (!d || index < 0 || index >= static_cast<int>(d->fields.size())) return;
    if (d->list) return px_listShowFields(d, index, index + 1);
    px_updateFieldCtls(d);
    px_showFieldValues(d, index, index + 1);
}

void px_setDialogTexts(PxPanel *panel) {
    PxDialog *d = px_dialogOfPanel(panel);
    if (!d) return;
    for (size_t i = 0; i < d->texts.size(); ++i) {
        for (int k = 0; k < panel->textCount; ++k) {
            const PxText &t = panel->texts[k];
            if (t.isBox() || !t.text || t.column != d->texts[i].item.column || t.row != d->texts[i].item.row) continue;
            HWND c = GetDlgItem(d->hwnd, kPxTextIdBase + static_cast<int>(i));
            if (c) SetWindowTextA(c, display(t.text, kPxTextFont).c_str());
        }
    }
}

bool px_getFieldText(PxPanel *panel, int index, std::string *out) {
    PxDialog *d = px_dialogOfPanel(panel);
    if (!d || index < 0 || index >= static_cast<int>(d->fields.size()) || !d->fields[static_cast<size_t>(index)].hwnd)
        return false;
    const PxFieldCtl &c = d->fields[static_cast<size_t>(index)];
    // A shortened control still answers with the whole text.
    std::string text = c.shortened ? px_fieldShownText(c) : px_windowText(c.hwnd);
    *out = (c.options & kPxAnsiText) || c.oemFont ? text : px_ansiToOem(text.c_str());
    return true;
}

int px_waitDialog(PxEvent *ev, PxPanel *panel) {
    PxDialog *d = px_dialogOfPanel(panel);
    if (!d) return -1;
    PxDialogHold hold(d);
    return px_runInputLoop(ev, d, nullptr, d->list ? px_listInputWnd(d) : d->hwnd);
}

int px_editField(PxEvent *ev, PxPanel *panel) {
    PxDialog *d = px_dialogOfPanel(panel);
    // Without a terminal no event can end the input.
    if (!d || !d->hwnd || !px_hasTerminal()) return -1;
    PxDialogHold hold(d);
    px_showInputPlace(d);
    if (d->list) return px_editListCell(ev, d);
    return px_editCurrentField(ev, d);
}

void px_showInputPlace(PxDialog *dialog) {
    PxTopWnd *top = px_firstTopWnd();
    if (!dialog || !top || !top->frame) return;
    HWND place = nullptr;
    RECT r;
    if (dialog->list) {
        if (px_listInputRect(dialog, &r)) px_scrollIntoView(top->frame, r, 0);
        return;
    }
    if (const PxField *cur = dialog->panel->currentField) {
        long index = cur - dialog->panel->fields;
        if (index >= 0 && index < static_cast<long>(dialog->fields.size()))
            place = dialog->fields[static_cast<size_t>(index)].hwnd;
    }
    if (!place || !IsWindow(place)) return;
    GetWindowRect(place, &r);
    px_scrollIntoView(top->frame, r, 0);
}

void px_setScrollInfo(PxPanel *panel, int bar, int minimum, int maximum, int page, int position) {
    PxDialog *d = px_dialogOfPanel(panel);
    if (!d) return;
    if (d->list) return px_listScrollInfo(d, bar, minimum, maximum, page, position);
    // Editors bring their own bars; a plain dialog has none.
    HWND target = d->editor ? d->editor->wnd : nullptr;
    if (!target) return;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = minimum;
    si.nMax = maximum;
    si.nPage = static_cast<UINT>(page > 0 ? page : 0);
    si.nPos = position;
    int which = (bar == 'H' || bar == 'h') ? SB_HORZ : (bar == 'V' || bar == 'v') ? SB_VERT : SB_CTL;
    SetScrollInfo(target, which, &si, TRUE);
}

void *px_panelWindow(PxPanel *panel) {
    PxDialog *d = px_dialogOfPanel(panel);
    return d ? static_cast<void *>(d) : static_cast<void *>(panel);
}
