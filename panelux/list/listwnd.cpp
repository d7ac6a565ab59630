// The list window (pxScrollWnd): creation, painting of cells, tree
// connectors and grid lines, mouse and scroll events, and its place in the
// dialog.
#include "list.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "dialog.h"
#include "events.h"
#include "listparts.h"
#include "registry.h"

using namespace pxlist;

namespace {

const char kListClass[] = "pxScrollWnd";

// "Нет записей" in the Windows code page.
const char kNoRecords[] = "\xcd\xe5\xf2 \xe7\xe0\xef\xe8\xf1\xe5\xe9";

PxScrollList *listOf(HWND wnd) { return reinterpret_cast<PxScrollList *>(GetWindowLongPtrA(wnd, GWLP_USERDATA)); }

COLORREF cellBack(const PxScrollList *l, const PxListCell &cell, bool current) {
    if (current) return GetSysColor(l->focus ? COLOR_HIGHLIGHT : COLOR_INACTIVECAPTION);
    // With a module palette the colour is its entry, as for the brushes.
    if (cell.colour > 0 && cell.colour <= kPxColorCount)
        return app().palette ? PALETTEINDEX(cell.colour - 1) : app().colors[cell.colour - 1];
    return GetSysColor(COLOR_WINDOW);
}

// A tree cell: the attribute text holds the expand mark, one connector per
// ancestor level and the node's own connector; the text follows the tree.
void drawTreeCell(PxScrollList *l, HDC dc, int row, int k, const PxListCell &cell) {
    const PxListColumn &col = l->columns[k];
    RECT r = cellRect(l, row, k);
    bool current = l->active && row == l->curRow && k == l->curColumn;
    HBRUSH back = CreateSolidBrush(cellBack(l, cell, current));
    FillRect(dc, &r, back);
    DeleteObject(back);
    int sx = stepX(), sy = stepY(), x0 = r.left - col.textOffset, mid = (r.top + r.bottom) / 2;
    const std::string &a = cell.attr;
    int levels = a.size() >= 2 ? static_cast<int>(a.size()) - 2 : 0;
    HRGN clip = CreateRectRgnIndirect(&r);
    SelectClipRgn(dc, clip);
    HPEN grey = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ oldPen = SelectObject(dc, grey);
    auto connector = [&](int level, char c) {
        int x = x0 + level * 3 * sx + 3 * sx / 2;
        if (c == 'L') line(dc, x, r.top, x, mid);
        else if (c == '|') line(dc, x, r.top, x, r.bottom);
    };
    for (int i = 0; i < levels; ++i) connector(i, a[static_cast<size_t>(i) + 1]);
    if (a.size() >= 2) {
        connector(levels, a.back());
        int x = x0 + levels * 3 * sx;
        line(dc, x + 3 * sx / 2, mid, x + 4 * sx - 2, mid);
        if (a[0] == '+' || a[0] == '-') {
            int side = std::min(sx, sy) + 1, bx = x + 3 * sx / 2 - side / 2, by = mid - side / 2;
            RECT box{bx, by, bx + side, by + side};
            FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
            FrameRect(dc, &box, GetSysColorBrush(COLOR_WINDOWTEXT));
            HPEN text = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
            SelectObject(dc, text);
            line(dc, bx + 2, by + side / 2, bx + side - 2, by + side / 2);
            if (a[0] == '+') line(dc, bx + side / 2, by + 2, bx + side / 2, by + side - 2);
            SelectObject(dc, grey);
            DeleteObject(text);
        }
    }
    SelectObject(dc, oldPen);
    DeleteObject(grey);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(current ? (l->focus ? COLOR_HIGHLIGHTTEXT : COLOR_INACTIVECAPTIONTEXT) : COLOR_WINDOWTEXT));
    SIZE s{};
    GetTextExtentPoint32A(dc, cell.text.c_str(), static_cast<int>(cell.text.size()), &s);
    ExtTextOutA(dc, x0 + (3 * levels + 4) * sx, r.top + (r.bottom - r.top - s.cy) / 2, 0, nullptr, cell.text.c_str(),
                static_cast<UINT>(cell.text.size()), nullptr);
    SetBkMode(dc, OPAQUE);
    SelectClipRgn(dc, nullptr);
    DeleteObject(clip);
}

void drawCell(PxScrollList *l, HDC dc, int row, int k, const PxListCell &cell) {
    const PxListColumn &col = l->columns[k];
    RECT r = cellRect(l, row, k);
    bool current = l->active && row == l->curRow && k == l->curColumn;
    COLORREF back = cellBack(l, cell, current);
    COLORREF fore = current ? GetSysColor(l->focus ? COLOR_HIGHLIGHTTEXT : COLOR_INACTIVECAPTIONTEXT)
                            : GetSysColor(COLOR_WINDOWTEXT);
    SIZE s{};
    int len = static_cast<int>(cell.text.size());
    GetTextExtentPoint32A(dc, cell.text.c_str(), len, &s);
    int inner = r.right - r.left - col.marginLeft - col.marginRight;
    int x = r.left + col.marginLeft;
    if (cell.align == 1) x += inner - s.cx;
    else if (cell.align == 2) x += (inner - s.cx) / 2;
    int y = r.top + (r.bottom - r.top - s.cy) / 2;
    SetBkColor(dc, back);
    SetTextColor(dc, fore);
    if ((col.options & kPxColumnTextBack) && !current) {
        HBRUSH window = GetSysColorBrush(COLOR_WINDOW);
        FillRect(dc, &r, window);
        ExtTextOutA(dc, x, y, ETO_CLIPPED, &r, cell.text.c_str(), static_cast<UINT>(len), nullptr);
        return;
    }
    ExtTextOutA(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &r, cell.text.c_str(), static_cast<UINT>(len), nullptr);
    if (current || len == 0 || cell.markFirst == 0) return;
    // The marked range, clamped to the text; -1, -1 marks all of it.
    int first = cell.markFirst < 0 ? 1 : std::clamp(cell.markFirst, 1, len);
    int last = cell.markLast < 0 ? len : std::clamp(cell.markLast, first, len);
    SIZE before{};
    GetTextExtentPoint32A(dc, cell.text.c_str(), first - 1, &before);
    SetTextColor(dc, RGB(255, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    ExtTextOutA(dc, x + before.cx, y, ETO_CLIPPED, &r, cell.text.c_str() + first - 1, static_cast<UINT>(last - first + 1),
                nullptr);
    SetBkMode(dc, OPAQUE);
}

// The line under a row leaves the tree columns open, so that their
// connectors run on from row to row.
void rowLine(const PxScrollList *l, HDC dc, int y, int right) {
    int from = 0;
    for (int k = 0; k < columnCount(l); ++k) {
        if (!(l->columns[k].options & kPxColumnTree)) continue;
        if (columnLeft(l, k) > from) line(dc, from, y, columnLeft(l, k), y);
        from = l->columns[k].right + 1;
    }
    if (right > from) line(dc, from, y, right, y);
}

void drawGrid(PxScrollList *l, HDC dc, int bottom) {
    RECT c = clientRect(l);
    int rp = rowPixels(l);
    if (l->flags & (kPxListRowLines | kPxListColumnLines)) {
        HPEN grey = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_GRAYTEXT));
        HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
        HGDIOBJ old = SelectObject(dc, grey);
        if (l->flags & kPxListColumnLines)
            for (int k = 0; k < columnCount(l); ++k) {
                bool marked = l->columns[k].mark || (k + 1 < columnCount(l) && l->columns[k + 1].mark);
                SelectObject(dc, marked ? red : grey);
                line(dc, l->columns[k].right, l->headerHeight, l->columns[k].right, bottom);
            }
        SelectObject(dc, grey);
        if (l->flags & kPxListRowLines)
            for (int r = 1; r <= l->visibleRows; ++r) rowLine(l, dc, l->headerHeight + r * rp - 1, c.right);
        SelectObject(dc, old);
        DeleteObject(grey);
        DeleteObject(red);
    } else if (l->flags & kPxListDotted) {
        COLORREF dot = RGB(0x5A, 0x5A, 0x5A);
        for (int k = 0; k < columnCount(l); ++k) {
            int x = l->columns[k].right;
            for (int y = l->headerHeight; y < bottom; ++y)
                if (l->columns[k].mark) SetPixel(dc, x, y, RGB(255, 0, 0));
                else if ((x + y) % 2 == 0) SetPixel(dc, x, y, dot);
        }
        for (int r = 1; r <= l->visibleRows; ++r) {
            int y = l->headerHeight + r * rp - 1;
            for (int x = 0; x < c.right; x += 1)
                if ((x + y) % 2 == 0) SetPixel(dc, x, y, dot);
        }
        if (!(l->dialog->flags & kPxDlgOutside)) {
            HGDIOBJ old = SelectObject(dc, GetStockObject(WHITE_PEN));
            line(dc, 0, l->headerHeight, c.right, l->headerHeight);
            SelectObject(dc, old);
        }
    }
}

void drawCurrent(PxScrollList *l, HDC dc) {
    if (!l->active || l->curRow < 0 || l->curRow >= l->visibleRows) return;
    RECT r = rowRect(l, l->curRow);
    HBRUSH text = GetSysColorBrush(COLOR_WINDOWTEXT);
    bool rowLines = (l->flags & kPxListRowLines) != 0;
    // A dialog outside the window list has its own thin border: the marks
    // leave the first and last row's edges to it.
    bool outside = (l->dialog->flags & kPxDlgOutside) != 0;
    int w = rowLines ? 2 : 1;
    RECT top{r.left, r.top, r.right, r.top + w}, bottom{r.left, r.bottom - w, r.right, r.bottom};
    if (rowLines || !outside || l->curRow != 0) FillRect(dc, &top, text);
    if (rowLines || !outside || l->curRow != l->visibleRows - 1) FillRect(dc, &bottom, text);
    if (l->curColumn >= 0 && l->curColumn < columnCount(l)) {
        RECT cell = cellRect(l, l->curRow, l->curColumn);
        if (outside && l->curRow == 0) --cell.top;
        if (outside && l->curColumn == 0) --cell.left;
        FrameRect(dc, &cell, text);
    }
}

void onPaint(HWND wnd, PxScrollList *l) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    RECT c = clientRect(l);
    HGDIOBJ oldFont = SelectObject(dc, l->font ? l->font : GetStockObject(SYSTEM_FONT));
    HBRUSH window = GetSysColorBrush(COLOR_WINDOW);
    if (l->dataRows <= 0) {
        RECT area{0, l->headerHeight, c.right, c.bottom};
        FillRect(dc, &area, window);
        if (l->active) {
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            DrawTextA(dc, kNoRecords, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
    } else {
        int bottom = l->headerHeight + l->visibleRows * rowPixels(l);
        for (int row = 0; row < l->visibleRows; ++row)
            for (int k = 0; k < columnCount(l); ++k) {
                RECT r = cellRect(l, row, k), hit;
                if (r.right <= r.left || !IntersectRect(&hit, &r, &ps.rcPaint)) continue;
                if (l->columns[k].options & kPxColumnTree) drawTreeCell(l, dc, row, k, *cellAt(l, row, k));
                else drawCell(l, dc, row, k, *cellAt(l, row, k));
            }
        int right = l->columns.empty() ? 0 : l->columns.back().right + 1;
        RECT side{right, l->headerHeight, c.right, c.bottom}, below{0, bottom, c.right, c.bottom};
        if (side.right > side.left) FillRect(dc, &side, window);
        if (below.bottom > below.top) FillRect(dc, &below, window);
        drawGrid(l, dc, bottom);
        drawCurrent(l, dc);
    }
    SelectObject(dc, oldFont);
    EndPaint(wnd, &ps);
}

int mouseCode(UINT msg, WPARAM wParam) {
    switch (msg) {
    case WM_LBUTTONDOWN: return 513;
    case WM_LBUTTONUP: return 515;
    case WM_MOUSEMOVE: return (wParam & (MK_LBUTTON | MK_RBUTTON)) ? 516 : 0;
    case WM_RBUTTONDOWN: return 517;
    case WM_RBUTTONUP: return 518;
    case WM_LBUTTONDBLCLK: return 520;
    case WM_MBUTTONDOWN: return 508;
    case WM_MBUTTONUP: return 509;
    case WM_MOUSEWHEEL: return GET_WHEEL_DELTA_WPARAM(wParam) < 0 ? 511 : 521;
    }
    return 0;
}

// While a button holds the mouse, this timer keeps reporting where it is,
// so that the server scrolls when it is held above or below the rows.
constexpr UINT_PTR kCaptureTimer = 257;

constexpr UINT kCaptureTick = 100;

void postMouseAt(PxScrollList *l, int code, POINT pt) {
    int y = pt.y - l->headerHeight, rp = rowPixels(l);
    // Rows above the first count down from -1.
    int row = y >= 0 ? y / rp : -1 + (y + 1) / rp, column = -1;
    for (int k = 0; k < columnCount(l); ++k)
        if (pt.x >= columnLeft(l, k) && pt.x <= l->columns[k].right) column = k;
    int field = column >= 0 ? l->columns[column].fieldIndex : -1;
    px_postMouseEvent(code, px_shiftState(), column, row, field, px_keyEventMode());
}

void onMouse(HWND wnd, PxScrollList *l, UINT msg, WPARAM wParam, LPARAM lParam) {
    int code = mouseCode(msg, wParam);
    if (!code) return;
    POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (msg == WM_MOUSEWHEEL) ScreenToClient(wnd, &pt);
    if (code == 513 || code == 517) {
        SetCapture(wnd);
        SetTimer(wnd, kCaptureTimer, kCaptureTick, nullptr);
    }
    if ((code == 515 || code == 518) && GetCapture() == wnd) ReleaseCapture();
    postMouseAt(l, code, pt);
}

void onCaptureTimer(HWND wnd, PxScrollList *l) {
    if (GetCapture() != wnd) {
        KillTimer(wnd, kCaptureTimer);
        return;
    }
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(wnd, &pt);
    postMouseAt(l, 516, pt);
}

// Ctrl+C on the list: the focused cell's text as the list shows it.
void copyCurrentCell(HWND wnd, PxScrollList *l) {
    const PxListCell *cell = cellAt(l, l->curRow, l->curColumn);
    if (cell) px_copyText(wnd, cell->text.data(), cell->text.size(), app().oemFont[kPxListFont]);
}

bool onCreate(HWND wnd, PxScrollList *l) {
    l->wnd = wnd;
    l->font = px_createFont(&app().fonts[kPxListFont]);
    if (HDC dc = GetDC(wnd)) {
        HGDIOBJ old = SelectObject(dc, l->font ? l->font : GetStockObject(SYSTEM_FONT));
        SIZE s{};
        GetTextExtentPoint32A(dc, "0", 1, &s);
        l->charWidth = std::max<int>(1, (l->flags & kPxListTextMargins) ? s.cx : stepX());
        SelectObject(dc, old);
        ReleaseDC(wnd, dc);
    }
    computeColumns(l);
    if (headerMode(l) && !createHeader(wnd, l)) return false;
    int rows;
    computeRows(l, &rows, &l->partialRow);
    if (!resizeRows(l, rows)) return false;
    updateHRange(l);
    return true;
}

LRESULT CALLBACK listProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        PxScrollList *l = listOf(wnd);
        switch (msg) {
        case WM_CREATE: {
            l = reinterpret_cast<PxScrollList *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams);
            SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(l));
            return onCreate(wnd, l) ? 0 : -1;
        }
        case WM_PAINT:
            if (l) return onPaint(wnd, l), 0;
            break;
        case WM_ERASEBKGND: return 1;
        case WM_SIZE:
            if (l) onSize(l);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            if (l) {
                l->focus = msg == WM_SETFOCUS;
                invalidateCell(l, l->curRow, l->curColumn);
            }
            return 0;
        case WM_HSCROLL:
            if (l) onHScroll(l, wParam);
            return 0;
        case WM_VSCROLL:
            if (l && px_isTopDialog(l->dialog))
                px_scrollBarEvent(wnd, SB_VERT, true, wParam, LOWORD(wParam) == SB_THUMBTRACK);
            return 0;
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK:
            if (l && wParam == HTVSCROLL && dialogRunning(l) && px_keyEventMode() != 0) {
                SCROLLINFO si = {};
                si.cbSize = sizeof si;
                si.fMask = SIF_RANGE | SIF_PAGE;
                GetScrollInfo(wnd, SB_VERT, &si);
                if (si.nMax - si.nMin + 1 > static_cast<int>(si.nPage)) {
                    l->scrollClick = POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                    l->hasScrollClick = true;
                    px_postScrollEvent(504, 9, 0, px_keyEventMode());
                    return 0;
                }
            }
            break;
        case WM_TIMER:
            if (l && wParam == kCaptureTimer) {
                onCaptureTimer(wnd, l);
                return 0;
            }
            break;
        case WM_CAPTURECHANGED:
            KillTimer(wnd, kCaptureTimer);
            return 0;
        case WM_COPY:
            if (l) copyCurrentCell(wnd, l);
            return 0;
        case WM_CHAR:
            if (wParam == ',' && ((lParam >> 16) & 0xFF) == 0x53) wParam = '.';
            px_postCharEvent(static_cast<int>(wParam), px_keyEventMode());
            return 0;
        case WM_CONTEXTMENU:
            // Some header controls report a right click only this way; one
            // that also sent NM_RCLICK has been answered already.
            if (l && l->header && reinterpret_cast<HWND>(wParam) == l->header) {
                if (!l->rightClicked) headerRightClick(l);
                l->rightClicked = false;
                return 0;
            }
            break;
        case WM_NOTIFY:
            if (l) return onNotify(l, reinterpret_cast<NMHDR *>(lParam));
            return 0;
        case kMsgApplyWidth:
            if (l && static_cast<int>(wParam) < columnCount(l)) setColumnWidth(l, static_cast<int>(wParam), static_cast<int>(lParam));
            return 0;
        case kMsgSyncOrder:
            if (l) syncHeaderOrder(l);
            return 0;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            // The in-place edit takes its field's colours, as on the dialog.
            if (l && l->dialog)
                return reinterpret_cast<LRESULT>(
                    px_listCellColor(l->dialog, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
            break;
        case WM_NCDESTROY:
            if (l) {
                if (l->font) DeleteObject(l->font);
                if (l->font2) DeleteObject(l->font2);
                l->font = l->font2 = nullptr;
                l->cells.clear();
                l->wnd = l->header = nullptr;
            }
            break;
        default:
            if (l && ((msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK) || msg == WM_MOUSEWHEEL)) {
                onMouse(wnd, l, msg, wParam, lParam);
                return 0;
            }
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

bool registerClass() {
    if (px_isClassRegistered(kListClass)) return true;
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = listProc;
    wc.hInstance = app().instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = kListClass;
    return px_regWndClass(&wc) == 0;
}

// Columns that are not stretched and end short of the window's right edge
// take the dialog and the list in by the gap.
void narrowToColumns(PxDialog *d, PxScrollList *l) {
    if (!headerMode(l) || !(l->flags & kPxListNoStretch) || l->columns.empty()) return;
    int gap = static_cast<int>(clientRect(l).right) - (l->columns.back().right + 1);
    if (gap <= 0) return;
    RECT w;
    GetWindowRect(d->hwnd, &w);
    d->fitting = true;
    SetWindowPos(d->hwnd, nullptr, 0, 0, w.right - w.left - gap, w.bottom - w.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    d->fitting = false;
    RECT r = listPlace(d, l);
    SetWindowPos(l->wnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Outside header mode the dialog cannot be resized, so the list grows to
// hold its rows whole: at least one, and a cut last row made full. It grows
// upwards over the rows above it, by all of the difference, or by half of
// it where only that much room is there; what is left (all of it for a list
// that spans the whole panel height) the dialog grows downwards, keeping
// its status bar below the list.
void growToRows(PxDialog *d, PxScrollList *l) {
    if (headerMode(l)) return;
    int rows;
    bool partial;
    computeRows(l, &rows, &partial);
    int height = static_cast<int>(clientRect(l).bottom);
    int need = std::max(1, rows) * rowPixels(l);
    if (need <= height) return;
    int diff = need - height, above = static_cast<int>(listPlace(d, l).top);
    l->raised = above >= diff ? diff : above >= diff / 2 ? diff / 2 : 0;
    if (int grow = diff - l->raised) {
        RECT w;
        GetWindowRect(d->hwnd, &w);
        d->fitting = true;
        SetWindowPos(d->hwnd, nullptr, 0, 0, w.right - w.left, w.bottom - w.top + grow,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        d->fitting = false;
        d->cy += grow;
    }
    px_relayoutList(d->panel);
}

}  // namespace

namespace pxlist {

void line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

RECT listPlace(const PxDialog *d, const PxScrollList *l) {
    RECT c;
    GetClientRect(d->hwnd, &c);
    // The bar's own visibility: the dialog itself is shown only once its
    // controls are made.
    if (d->statusBar && (GetWindowLongA(d->statusBar, GWL_STYLE) & WS_VISIBLE)) {
        RECT s;
        GetWindowRect(d->statusBar, &s);
        c.bottom = std::max<LONG>(0, c.bottom - (s.bottom - s.top));
    }
    int b = (d->flags & kPxDlgNoBorder) ? 0 : 1;
    int top = headerMode(l) ? 0 : std::max(0, std::max(0, l->gridRow - b) * stepY() - l->raised);
    c.top = std::min<LONG>(top, c.bottom);
    return c;
}

}  // namespace pxlist

void px_listGridSize(const PxScrollList *l, int *columns, int *rows, bool *partial) {
    RECT c = l && l->wnd ? clientRect(l) : RECT{};
    *columns = c.right / stepX();
    *rows = l ? l->visibleRows : 0;
    *partial = l && l->partialRow;
}

bool px_createListWnd(PxDialog *dialog) {
    PxScrollList *l = dialog->list;
    if (!l || !registerClass()) return false;
    l->dialog = dialog;
    RECT r = listPlace(dialog, l);
    DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN | WS_TABSTOP;
    if (headerMode(l)) style |= WS_HSCROLL;
    HWND wnd = CreateWindowExA(0, kListClass, "", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                               dialog->hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxListWndId)), app().instance, l);
    if (!wnd) return false;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_DISABLENOSCROLL;
    SetScrollInfo(wnd, SB_VERT, &si, TRUE);
    narrowToColumns(dialog, l);
    growToRows(dialog, l);
    return true;
}

void px_destroyListWnd(PxDialog *dialog) {
    PxScrollList *l = dialog->list;
    if (!l) return;
    if (l->wnd && IsWindow(l->wnd)) DestroyWindow(l->wnd);
    dialog->list = nullptr;
    px_freeScrollList(l);
}

void px_listScrollInfo(PxDialog *dialog, int bar, int minimum, int maximum, int page, int position) {
    PxScrollList *l = dialog->list;
    if (!l || !l->wnd) return;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    si.nMin = minimum;
    si.nMax = maximum;
    si.nPage = page > 0 ? static_cast<UINT>(page) : 0;
    si.nPos = position;
    bool vertical = bar == 'V' || bar == 'v';
    SetScrollInfo(l->wnd, vertical ? SB_VERT : SB_HORZ, &si, TRUE);
    if (vertical) {
        // The vertical range is the server's record count.
        int rows = maximum >= minimum ? maximum - minimum + 1 : 0;
        if ((rows > 0) != (l->dataRows > 0)) InvalidateRect(l->wnd, nullptr, FALSE);
        l->dataRows = rows;
    }
}

void px_setListFocus(PxPanel *panel, int on) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || !l->wnd) return;
    l->active = on ? 1 : 0;
    if (on) SetFocus(l->wnd);
    else if (GetFocus() == l->wnd && l->dialog && l->dialog->hwnd) SetFocus(l->dialog->hwnd);
    updateHRange(l);
    InvalidateRect(l->wnd, nullptr, FALSE);
}
