#include "list.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app.h"
#include "dialog.h"
#include "errbox.h"
#include "events.h"
#include "fieldtext.h"
#include "registry.h"
#include "upcalls.h"

namespace {

const char kListClass[] = "pxScrollWnd";
constexpr UINT kMsgApplyWidth = WM_APP + 1;  // wParam column, lParam width
constexpr UINT kMsgSyncOrder = WM_APP + 2;
// "Нет записей" in the Windows code page.
const char kNoRecords[] = "\xcd\xe5\xf2 \xe7\xe0\xef\xe8\xf1\xe5\xe9";

PxApp &app() { return *px_app(); }
int stepX() { return std::max(1, app().stepX); }
int stepY() { return std::max(1, app().stepY); }

PxScrollList *listOf(HWND wnd) { return reinterpret_cast<PxScrollList *>(GetWindowLongPtrA(wnd, GWLP_USERDATA)); }

int columnCount(const PxScrollList *l) { return static_cast<int>(l->columns.size()); }
int rowPixels(const PxScrollList *l) { return stepY() * std::max(1, l->rowHeight); }
bool headerMode(const PxScrollList *l) { return (l->flags & kPxListHeader) != 0; }

int columnLeft(const PxScrollList *l, int k) { return k == 0 ? l->origin : l->columns[k - 1].right + 1; }
int columnWidth(const PxScrollList *l, int k) { return l->columns[k].right + 1 - columnLeft(l, k); }
int totalWidth(const PxScrollList *l) { return l->columns.empty() ? 0 : l->columns.back().right + 1 - l->origin; }

int columnOfField(const PxScrollList *l, int fieldIndex) {
    for (int k = 0; k < columnCount(l); ++k)
        if (l->columns[k].fieldIndex == fieldIndex) return k;
    return -1;
}

RECT clientRect(const PxScrollList *l) {
    RECT r{};
    if (l->wnd) GetClientRect(l->wnd, &r);
    return r;
}

PxListCell *cellAt(PxScrollList *l, int row, int k) {
    if (row < 0 || row >= l->visibleRows || k < 0 || k >= columnCount(l)) return nullptr;
    return &l->cells[static_cast<size_t>(row) * l->columns.size() + static_cast<size_t>(k)];
}

RECT rowRect(const PxScrollList *l, int row) {
    RECT c = clientRect(l);
    int top = l->headerHeight + row * rowPixels(l);
    return RECT{0, top, c.right, top + rowPixels(l)};
}

RECT cellRect(const PxScrollList *l, int row, int k) {
    RECT r = rowRect(l, row);
    r.left = columnLeft(l, k);
    r.right = l->columns[k].right + 1;
    return r;
}

void invalidateRow(PxScrollList *l, int row) {
    if (!l->wnd || row < 0 || row >= l->visibleRows) return;
    RECT r = rowRect(l, row);
    InvalidateRect(l->wnd, &r, FALSE);
}

void invalidateCell(PxScrollList *l, int row, int k) {
    if (!l->wnd || !cellAt(l, row, k)) return;
    RECT r = cellRect(l, row, k);
    InflateRect(&r, 2, 2);  // the frame of the current cell lies on its edge
    InvalidateRect(l->wnd, &r, FALSE);
}

// Visible rows: full rows below the header, and one partly shown row when
// more than 3 pixels remain. A tiny client area gives none, never fewer.
void computeRows(PxScrollList *l, int *rows, bool *partial) {
    RECT c = clientRect(l);
    int height = c.bottom - l->headerHeight, rp = rowPixels(l);
    *rows = 0;
    *partial = false;
    if (height <= 0) return;
    int full = height / rp, rest = height - full * rp;
    *rows = full;
    if (rest > 3) {
        ++*rows;
        *partial = !(full == 1 && rp - rest < 3);
    }
}

bool resizeRows(PxScrollList *l, int rows) {
    size_t n = l->columns.size();
    if (rows == l->visibleRows && l->cells.size() == static_cast<size_t>(rows) * n) return true;
    try {
        l->cells.resize(static_cast<size_t>(rows) * n);
    } catch (const std::bad_alloc &) {
        return false;
    }
    l->visibleRows = rows;
    return true;
}

std::string headerText(const PxField *f) {
    if (!f->header) return std::string();
    return app().oemFont[kPxHeaderFont] ? std::string(f->header) : px_oemToAnsi(f->header);
}

int headerFormat(const PxListColumn &c) {
    int fmt = HDF_STRING | (c.align == 1 ? HDF_RIGHT : c.align == 2 ? HDF_CENTER : HDF_LEFT);
    if (c.image > 0) fmt |= HDF_IMAGE | HDF_BITMAP_ON_RIGHT;
    return fmt;
}

int headerItemOf(const PxScrollList *l, int fieldIndex) {
    if (!l->header) return -1;
    int n = static_cast<int>(SendMessageA(l->header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        HDITEMA it = {};
        it.mask = HDI_LPARAM;
        if (SendMessageA(l->header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&it)) && it.lParam == fieldIndex)
            return i;
    }
    return -1;
}

// The column of a header item (its lParam holds the field index).
int columnOfItem(const PxScrollList *l, int item) {
    HDITEMA it = {};
    it.mask = HDI_LPARAM;
    if (!l->header || !SendMessageA(l->header, HDM_GETITEMA, item, reinterpret_cast<LPARAM>(&it))) return -1;
    return columnOfField(l, static_cast<int>(it.lParam));
}

void setHeaderWidth(PxScrollList *l, int k) {
    int item = headerItemOf(l, l->columns[k].fieldIndex);
    if (item < 0) return;
    HDITEMA it = {};
    it.mask = HDI_WIDTH;
    it.cxy = columnWidth(l, k);
    SendMessageA(l->header, HDM_SETITEMA, item, reinterpret_cast<LPARAM>(&it));
}

// The header's order array follows the column records; every item is named
// once, so the control never sees a bad array.
void syncHeaderOrder(PxScrollList *l) {
    if (!l->header) return;
    std::vector<int> order;
    for (const PxListColumn &c : l->columns) {
        int item = headerItemOf(l, c.fieldIndex);
        if (item < 0) return;
        order.push_back(item);
    }
    SendMessageA(l->header, HDM_SETORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data()));
}

void placeHeader(PxScrollList *l) {
    if (!l->header) return;
    RECT c = clientRect(l);
    RECT r{l->origin, 0, std::max<LONG>(c.right, l->origin + totalWidth(l)), c.bottom};
    WINDOWPOS wp = {};
    HDLAYOUT hl = {&r, &wp};
    SendMessageA(l->header, HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(&hl));
    // The layout does not show the control everywhere: show it here.
    SetWindowPos(l->header, wp.hwndInsertAfter, wp.x, wp.y, wp.cx, wp.cy, wp.flags | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    l->headerHeight = wp.cy;
}

void updateHRange(PxScrollList *l) {
    if (!headerMode(l) || !l->wnd) return;
    RECT c = clientRect(l);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    int total = totalWidth(l);
    if (total > c.right && l->active) {
        si.nMax = total - 1;
        si.nPage = static_cast<UINT>(c.right);
    }
    si.nPos = -l->origin;
    SetScrollInfo(l->wnd, SB_HORZ, &si, TRUE);
}

// Moves the content by dx pixels (positive: to the right part of the
// columns), within the columns' extent.
void scrollColumns(PxScrollList *l, int dx) {
    RECT c = clientRect(l);
    int pos = -l->origin, maxPos = std::max(0, totalWidth(l) - static_cast<int>(c.right));
    int next = std::clamp(pos + dx, 0, maxPos);
    int moved = next - pos;
    if (!moved) return;
    l->origin -= moved;
    for (PxListColumn &col : l->columns) col.right -= moved;
    if (l->edit) {
        RECT e;
        GetWindowRect(l->edit, &e);
        MapWindowPoints(nullptr, l->wnd, reinterpret_cast<POINT *>(&e), 2);
        SetWindowPos(l->edit, nullptr, e.left - moved, e.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    placeHeader(l);
    RECT rows{0, l->headerHeight, c.right, c.bottom};
    ScrollWindowEx(l->wnd, -moved, 0, &rows, &rows, nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
    updateHRange(l);
}

// After the last column has come to end left of the right edge, the
// content goes back by the gap.
void closeRightGap(PxScrollList *l) {
    RECT c = clientRect(l);
    if (l->columns.empty() || l->origin >= 0) return;
    int gap = static_cast<int>(c.right) - 1 - l->columns.back().right;
    if (gap > 0) scrollColumns(l, -std::min(gap, -l->origin));
}

// The in-place edit lies over the current cell wherever that goes.
void placeEdit(PxScrollList *l) {
    if (!l->edit || !cellAt(l, l->curRow, l->curColumn)) return;
    RECT e = cellRect(l, l->curRow, l->curColumn);
    SetWindowPos(l->edit, nullptr, e.left, e.top, e.right - e.left, e.bottom - e.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void resizeColumnEdges(PxScrollList *l, int k, int width) {
    int diff = width - columnWidth(l, k);
    for (int j = k; j < columnCount(l); ++j) l->columns[j].right += diff;
}

void setColumnWidth(PxScrollList *l, int k, int width) {
    if (k < 0 || k >= columnCount(l)) return;
    width = std::max(0, width);
    resizeColumnEdges(l, k, width);
    closeRightGap(l);
    placeEdit(l);
    setHeaderWidth(l, k);
    updateHRange(l);
    if (l->wnd) {
        RECT c = clientRect(l);
        c.left = columnLeft(l, k);
        InvalidateRect(l->wnd, &c, TRUE);
    }
}

void setHidden(PxListColumn &c, bool hidden) {
    if (hidden) c.field->kind |= kPxKindHidden;
    else c.field->kind &= static_cast<uint8_t>(~kPxKindHidden);
}

void announceLayoutChange(PxScrollList *l) {
    PxPanel *p = l->panel;
    if (!p->owner || (p->options & kPxPanelLayoutAnnounced)) return;
    if (px_upcallLayoutChanged(p->owner->objectNumber, p->owner->serverHandle) == 0)
        p->options |= kPxPanelLayoutAnnounced;
}

// Moves the column record at from to position to.
void moveColumn(PxScrollList *l, int from, int to) {
    if (from == to) return;
    std::vector<int> widths;
    for (int k = 0; k < columnCount(l); ++k) widths.push_back(columnWidth(l, k));
    PxListColumn c = l->columns[from];
    int w = widths[from];
    l->columns.erase(l->columns.begin() + from);
    widths.erase(widths.begin() + from);
    l->columns.insert(l->columns.begin() + to, c);
    widths.insert(widths.begin() + to, w);
    int edge = l->origin - 1;
    for (int k = 0; k < columnCount(l); ++k) l->columns[k].right = edge += widths[k];
    size_t n = l->columns.size();
    for (size_t row = 0; row + 1 <= l->cells.size() / std::max<size_t>(1, n); ++row) {
        auto cell = l->cells.begin() + static_cast<ptrdiff_t>(row * n);
        if (from < to) std::rotate(cell + from, cell + from + 1, cell + to + 1);
        else std::rotate(cell + to, cell + from, cell + from + 1);
    }
}

// Columns the server sends hidden start at width 0, as a layout hides them;
// their stored width brings them back.
void hideSentHidden(PxScrollList *l) {
    for (int k = 0; k < columnCount(l); ++k)
        if (l->columns[k].field->kind & kPxKindHidden) resizeColumnEdges(l, k, 0);
}

// Applies a layout's widths (by field index) to the columns.
void applyWidths(PxScrollList *l, const std::vector<int16_t> &widths) {
    for (int k = 0; k < columnCount(l); ++k) {
        int16_t w = widths[static_cast<size_t>(l->columns[k].fieldIndex)];
        if (w < 0) continue;
        resizeColumnEdges(l, k, w);
        setHidden(l->columns[k], w == 0);
    }
}

// Applies a layout's order: the entries that are columns, in their order.
void applyOrder(PxScrollList *l, const std::vector<int16_t> &order) {
    int pos = 0;
    for (int16_t f : order) {
        int k = columnOfField(l, f);
        if (k < 0) continue;
        moveColumn(l, k, pos);
        ++pos;
    }
}

// Outside header mode a vertical line of the panel's drawing that crosses
// the list's row between two columns is their border: its pixel, or -1.
int drawnBorder(const PxScrollList *l, int from, int to) {
    int b2 = (l->dialog->flags & kPxDlgNoBorder) ? 0 : 2, y = 2 * l->gridRow + 1;
    for (const PxLine &line : l->dialog->lines) {
        if (line.x1 != line.x2 || std::min(line.y1, line.y2) > y || std::max(line.y1, line.y2) < y) continue;
        int x = (line.x1 - b2) * stepX() / 2;
        if (x >= from && x < to) return x;
    }
    return -1;
}

void computeColumns(PxScrollList *l) {
    RECT c = clientRect(l);
    int sx = stepX(), b = (l->dialog->flags & kPxDlgNoBorder) ? 0 : 1;
    int n = columnCount(l);
    for (int k = 0; k < n; ++k) {
        PxListColumn &col = l->columns[k];
        col.left = (col.field->column - b) * sx;
        col.textWidth = col.field->width * sx;
    }
    int prev = l->origin - 1;
    for (int k = 0; k < n; ++k) {
        PxListColumn &col = l->columns[k];
        int textEnd = col.left + col.textWidth;
        int right = textEnd - 1;
        if (k + 1 < n && l->columns[k + 1].left > textEnd) right = (textEnd + l->columns[k + 1].left) / 2;
        int drawn = k + 1 < n && !headerMode(l) ? drawnBorder(l, textEnd - 1, l->columns[k + 1].left) : -1;
        if (drawn >= 0) right = drawn;
        if (k + 1 == n && headerMode(l) && !(l->flags & kPxListNoStretch) && c.right - 1 > right) right = c.right - 1;
        right = std::max(right, prev + 1);
        col.marginLeft = std::max(0, col.left - (prev + 1));
        col.marginRight = std::max(0, right - textEnd + 1);
        if (l->flags & kPxListTextMargins) {
            col.marginLeft = std::min(col.marginLeft, l->charWidth / 2);
            col.marginRight = std::min(col.marginRight, l->charWidth / 2);
        }
        col.minWidth = col.marginLeft + col.marginRight + l->charWidth;
        col.right = right;
        col.storedWidth = right - prev;
        prev = right;
    }
}

void fillHeader(PxScrollList *l) {
    HFONT font = px_createFont(&app().fonts[kPxHeaderFont]);
    l->font2 = font;
    if (font) SendMessageA(l->header, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (app().imageList) SendMessageA(l->header, HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(app().imageList));
    for (int k = 0; k < columnCount(l); ++k) {
        const PxListColumn &c = l->columns[k];
        std::string text = headerText(c.field);
        HDITEMA it = {};
        it.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT | HDI_LPARAM;
        it.pszText = const_cast<char *>(text.c_str());
        it.cxy = columnWidth(l, k);
        it.fmt = headerFormat(c);
        it.lParam = c.fieldIndex;
        SendMessageA(l->header, HDM_INSERTITEMA, k, reinterpret_cast<LPARAM>(&it));
    }
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
    if (headerMode(l)) {
        l->header = CreateWindowExA(0, WC_HEADERA, "", WS_CHILD | HDS_DRAGDROP | HDS_BUTTONS, 0, 0, 0, 0, wnd,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxHeaderId)), app().instance, nullptr);
        if (!l->header) return false;
        int n = l->panel->fieldCount;
        std::vector<int16_t> widths = px_layoutWidths(l->layout.data(), l->layout.size(), n);
        std::vector<int16_t> order = px_layoutOrder(l->layout.data(), l->layout.size(), n);
        hideSentHidden(l);
        if (!widths.empty()) applyWidths(l, widths);
        fillHeader(l);
        if (!order.empty()) {
            applyOrder(l, order);
            syncHeaderOrder(l);
        }
        placeHeader(l);
    }
    int rows;
    computeRows(l, &rows, &l->partialRow);
    if (!resizeRows(l, rows)) return false;
    updateHRange(l);
    return true;
}

COLORREF cellBack(const PxScrollList *l, const PxListCell &cell, bool current) {
    if (current) return GetSysColor(l->focus ? COLOR_HIGHLIGHT : COLOR_INACTIVECAPTION);
    // With a module palette the colour is its entry, as for the brushes.
    if (cell.colour > 0 && cell.colour <= kPxColorCount)
        return app().palette ? PALETTEINDEX(cell.colour - 1) : app().colors[cell.colour - 1];
    return GetSysColor(COLOR_WINDOW);
}

void line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
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

void trackLine(PxScrollList *l, int x) {
    HDC dc = GetDC(l->wnd);
    if (!dc) return;
    RECT c = clientRect(l);
    int old = SetROP2(dc, R2_NOTXORPEN);
    HGDIOBJ pen = SelectObject(dc, GetStockObject(BLACK_PEN));
    line(dc, x, 0, x, c.bottom);
    SelectObject(dc, pen);
    SetROP2(dc, old);
    ReleaseDC(l->wnd, dc);
}

void moveTrackLine(PxScrollList *l, int x) {
    if (l->trackLine >= 0) trackLine(l, l->trackLine);
    l->trackLine = x;
    if (x >= 0) trackLine(l, x);
}

// The width a tracked column may take: at least its minimum, or 0 (hidden)
// for any column but the current one.
int trackedWidth(const PxScrollList *l, int k, int width) {
    if (width >= l->columns[k].minWidth) return width;
    return k == l->curColumn ? l->columns[k].minWidth : 0;
}

bool dialogRunning(const PxScrollList *l) { return px_currentDialog() == l->dialog; }

// A header click keeps the cursor position: a menu the server opens for it
// comes up there. Writing the event clears the slot, so it is set after.
void headerClickEvent(PxScrollList *, int fieldIndex, int button) {
    px_writeEvent(PxEvent{kPxEvHeaderClick, px_shiftState(), fieldIndex, 0, 0, button}, px_keyEventMode());
    POINT cursor;
    if (GetCursorPos(&cursor)) px_setPendingClick(cursor);
}

void endTrack(PxScrollList *l, int k, int width) {
    PxListColumn &col = l->columns[k];
    int old = columnWidth(l, k);
    width = trackedWidth(l, k, width);
    if ((old == 0) != (width == 0)) {
        PxPanel *p = l->panel;
        int answer = p->owner ? px_upcallColumnShow(p->owner->objectNumber, p->owner->serverHandle,
                                                    static_cast<int16_t>(col.fieldIndex), width ? 1 : 0)
                              : -1;
        if (answer != 0) {
            // Refused: the column keeps its width; the header is put back.
            PostMessageA(l->wnd, kMsgApplyWidth, static_cast<WPARAM>(k), old);
            return;
        }
        setHidden(col, width == 0);
        const PxListCell *cell = cellAt(l, l->curRow, k);
        if (width && cell && cell->text.empty()) px_postEvent(kPxEvColumnShown, 0, col.fieldIndex, px_keyEventMode());
    }
    announceLayoutChange(l);
    PostMessageA(l->wnd, kMsgApplyWidth, static_cast<WPARAM>(k), width);
}

// A dragged header item dropped at another place: the server may refuse.
void endDrag(PxScrollList *l, int item, int to) {
    int from = columnOfItem(l, item);
    if (from < 0 || to < 0 || to >= columnCount(l) || from == to) {
        PostMessageA(l->wnd, kMsgSyncOrder, 0, 0);
        return;
    }
    PxPanel *p = l->panel;
    int a = l->columns[from].fieldIndex, b = l->columns[to].fieldIndex;
    if (a != b && (!p->owner || px_upcallColumnMove(p->owner->objectNumber, p->owner->serverHandle,
                                                    static_cast<int16_t>(a), static_cast<int16_t>(b)) != 0)) {
        PostMessageA(l->wnd, kMsgSyncOrder, 0, 0);
        return;
    }
    moveColumn(l, from, to);
    announceLayoutChange(l);
    PostMessageA(l->wnd, kMsgSyncOrder, 0, 0);
    InvalidateRect(l->wnd, nullptr, TRUE);
}

void headerRightClick(PxScrollList *l) {
    if (!dialogRunning(l)) return;
    HDHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(l->header, &hit.pt);
    int item = static_cast<int>(SendMessageA(l->header, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    int k = item >= 0 ? columnOfItem(l, item) : -1;
    if (k >= 0) headerClickEvent(l, l->columns[k].fieldIndex, 2);
}

LRESULT onNotify(PxScrollList *l, NMHDR *nm) {
    if (nm->idFrom != static_cast<UINT_PTR>(kPxHeaderId)) return 0;
    NMHEADERA *h = reinterpret_cast<NMHEADERA *>(nm);
    switch (nm->code) {
    case HDN_ITEMCLICKA:
    case HDN_ITEMCLICKW:
        if (dialogRunning(l)) {
            int k = columnOfItem(l, h->iItem);
            if (k >= 0) headerClickEvent(l, l->columns[k].fieldIndex, 1);
        }
        return 0;
    case NM_RCLICK:
        headerRightClick(l);
        l->rightClicked = true;
        return 0;
    case HDN_BEGINTRACKA:
    case HDN_BEGINTRACKW: {
        int k = columnOfItem(l, h->iItem);
        if (k < 0 || l->dataRows <= 0) return TRUE;
        l->trackColumn = k;
        moveTrackLine(l, l->columns[k].right);
        return FALSE;
    }
    case HDN_TRACKA:
    case HDN_TRACKW:
    case HDN_ITEMCHANGINGA:
    case HDN_ITEMCHANGINGW:
        if (l->trackColumn >= 0 && h->pitem && (h->pitem->mask & HDI_WIDTH)) {
            int k = l->trackColumn;
            moveTrackLine(l, columnLeft(l, k) - 1 + trackedWidth(l, k, h->pitem->cxy));
        }
        return FALSE;
    case HDN_ENDTRACKA:
    case HDN_ENDTRACKW: {
        int k = l->trackColumn;
        moveTrackLine(l, -1);
        l->trackColumn = -1;
        if (k >= 0 && h->pitem && (h->pitem->mask & HDI_WIDTH)) endTrack(l, k, h->pitem->cxy);
        return FALSE;
    }
    case HDN_ENDDRAG:
        if (h->pitem && (h->pitem->mask & HDI_ORDER)) endDrag(l, h->iItem, h->pitem->iOrder);
        return TRUE;  // the order is set from the column records
    case NM_CUSTOMDRAW: {
        NMCUSTOMDRAW *cd = reinterpret_cast<NMCUSTOMDRAW *>(nm);
        if (cd->dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        if (cd->dwDrawStage == CDDS_ITEMPREPAINT) {
            int k = columnOfField(l, static_cast<int>(cd->lItemlParam));
            if (k >= 0 && l->columns[k].mark) SetTextColor(cd->hdc, RGB(255, 0, 0));
        }
        return CDRF_DODEFAULT;
    }
    }
    return 0;
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

void onHScroll(PxScrollList *l, WPARAM wParam) {
    if (!headerMode(l) || l->dataRows <= 0) return;
    RECT c = clientRect(l);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(l->wnd, SB_HORZ, &si);
    // A line is the widest character of the field font.
    int pos = -l->origin, step = std::max(1, app().fieldCharW);
    int target = pos;
    switch (LOWORD(wParam)) {
    case SB_LINELEFT: target = pos - step; break;
    case SB_LINERIGHT: target = pos + step; break;
    case SB_PAGELEFT: target = pos - static_cast<int>(c.right); break;
    case SB_PAGERIGHT: target = pos + static_cast<int>(c.right); break;
    case SB_THUMBTRACK: target = si.nTrackPos; break;
    case SB_LEFT: target = si.nMin; break;
    case SB_RIGHT: target = si.nMax; break;
    default: return;
    }
    scrollColumns(l, target - pos);
}

void onSize(PxScrollList *l) {
    if (!headerMode(l)) return;
    closeRightGap(l);
    placeHeader(l);
    updateHRange(l);
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

RECT listPlace(const PxDialog *d, const PxScrollList *l) {
    RECT c;
    GetClientRect(d->hwnd, &c);
    if (d->statusBar && IsWindowVisible(d->statusBar)) {
        RECT s;
        GetWindowRect(d->statusBar, &s);
        c.bottom = std::max<LONG>(0, c.bottom - (s.bottom - s.top));
    }
    int b = (d->flags & kPxDlgNoBorder) ? 0 : 1;
    int top = headerMode(l) ? 0 : std::max(0, std::max(0, l->gridRow - b) * stepY() - l->raised);
    c.top = std::min<LONG>(top, c.bottom);
    return c;
}

std::string cellText(const PxField *f) {
    if (!f->value) return std::string();
    int size = 0;
    PxTextPtr t(px_fieldText(f, &size, false));
    if (!t) return std::string();
    std::string s(t.get());
    for (char &ch : s)
        if (ch == '\n') ch = ' ';
    if (px_isTextType(f->type & ~kPxVariant) && !(f->options & kPxAnsiText) && !app().oemFont[kPxListFont])
        s = px_oemToAnsi(s.c_str());
    return s;
}

// A tree column's row text: the field's second format text.
const char *treeText(const PxField *f) {
    return f->formatSlot && f->formatSlot->text2 ? f->formatSlot->text2 : "";
}

// The attribute text is the part before the first ','; the number after it
// is the column's text offset in characters, and a change of it moves the
// column's pixels.
void setCellAttr(PxScrollList *l, int k, PxListCell *cell, const char *given) {
    std::string text(given);
    size_t comma = text.find(',');
    std::string attr = text.substr(0, comma);
    if (attr != cell->attr) {
        cell->attr = std::move(attr);
        invalidateCell(l, l->curRow, k);
    }
    if (comma == std::string::npos) return;
    long chars = std::strtol(text.c_str() + comma + 1, nullptr, 10);
    int offset = static_cast<int>(std::clamp<long>(chars, 0, 255)) * stepX();
    PxListColumn &col = l->columns[k];
    if (offset == col.textOffset) return;
    RECT c = clientRect(l), band{columnLeft(l, k), l->headerHeight, col.right + 1, c.bottom};
    ScrollWindowEx(l->wnd, col.textOffset - offset, 0, &band, &band, nullptr, nullptr, SW_INVALIDATE);
    col.textOffset = offset;
}

// Reads one int16 of a layout.
int16_t at16(const unsigned char *p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

}  // namespace

std::vector<int16_t> px_layoutWidths(const unsigned char *layout, size_t size, int n) {
    if (!layout || n <= 0 || size < 2 * static_cast<size_t>(n) + 3 || layout[0] != 'w' || at16(layout + 1) != n)
        return {};
    std::vector<int16_t> w(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) w[static_cast<size_t>(i)] = at16(layout + 3 + 2 * i);
    return w;
}

std::vector<int16_t> px_layoutOrder(const unsigned char *layout, size_t size, int n) {
    if (px_layoutWidths(layout, size, n).empty() || size < px_layoutSize(n)) return {};
    const unsigned char *o = layout + 3 + 2 * n;
    if (o[0] != 'o' || at16(o + 1) != n) return {};
    std::vector<int16_t> order(static_cast<size_t>(n));
    std::vector<bool> seen(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        int16_t f = at16(o + 3 + 2 * i);
        if (f < 0 || f >= n || seen[static_cast<size_t>(f)]) return {};
        seen[static_cast<size_t>(f)] = true;
        order[static_cast<size_t>(i)] = f;
    }
    return order;
}

PxScrollList *px_makeScrollList(PxPanel *panel, uint8_t a, uint8_t b, uint8_t c, uint8_t d, int16_t rows,
                                const unsigned char *layout, size_t layoutSize) {
    std::unique_ptr<PxScrollList> l(new PxScrollList);
    l->panel = panel;
    l->ownerValue = a;
    l->gridRow = b;
    l->visibleColumns = c;
    l->rowHeight = std::max<int>(1, d);  // a height of 0 would divide by zero
    l->dataRows = rows;
    for (int i = 0; i < panel->fieldCount; ++i) {
        PxField &f = panel->fields[i];
        if (f.width <= 0) continue;
        PxListColumn col;
        col.field = &f;
        col.options = f.options;
        col.fieldIndex = i;
        col.align = px_fieldAlign(&f);
        l->columns.push_back(col);
    }
    if (l->columns.empty()) return nullptr;
    if (panel->options & 0x40000) {
        l->flags = (panel->options & 0x30000) == 0x30000 ? 0x15 : 5;
    } else {
        l->flags = kPxListDotted;
    }
    if (PxApp *ap = px_app())
        if (!ap->oemFont[kPxListFont]) l->flags |= kPxListTextMargins;
    if (layout && layoutSize) l->layout.assign(layout, layout + layoutSize);
    return l.release();
}

void px_freeScrollList(PxScrollList *list) { delete list; }

PxScrollList *px_listOfPanel(const PxPanel *panel) {
    PxDialog *d = px_dialogOfPanel(panel);
    return d ? d->list : nullptr;
}

void px_listGridSize(const PxScrollList *l, int *columns, int *rows, bool *partial) {
    RECT c = l && l->wnd ? clientRect(l) : RECT{};
    *columns = c.right / stepX();
    *rows = l ? l->visibleRows : 0;
    *partial = l && l->partialRow;
}

namespace {

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

void px_listShowFields(PxDialog *dialog, int from, int to) {
    PxScrollList *l = dialog->list;
    if (!l || !l->wnd) return;
    for (int k = 0; k < columnCount(l); ++k) {
        int f = l->columns[k].fieldIndex;
        if (f < from || f >= to) continue;
        PxListCell *cell = cellAt(l, l->curRow, k);
        if (!cell) continue;
        std::string text = cellText(l->columns[k].field);
        cell->align = l->columns[k].align;
        cell->colour = dialog->fields[static_cast<size_t>(f)].colour;
        if (text != cell->text) {
            cell->text = std::move(text);
            invalidateCell(l, l->curRow, k);
        }
        if (l->columns[k].options & kPxColumnTree) setCellAttr(l, k, cell, treeText(l->columns[k].field));
    }
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

void px_setListRow(PxPanel *panel, int row) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || row < 0) return;
    invalidateRow(l, l->curRow);
    l->curRow = row < l->visibleRows ? row : -1;
    invalidateRow(l, l->curRow);
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

HWND px_listInputWnd(PxDialog *dialog) {
    PxScrollList *l = dialog->list;
    if (!l) return nullptr;
    int k = -1;
    const PxPanel *p = l->panel;
    if (p->currentField) k = columnOfField(l, static_cast<int>(p->currentField - p->fields));
    if (k != l->curColumn) {
        invalidateCell(l, l->curRow, l->curColumn);
        l->curColumn = k;
        invalidateCell(l, l->curRow, k);
    }
    return l->wnd;
}

int px_editListCell(PxEvent *ev, PxDialog *dialog) {
    PxScrollList *l = dialog->list;
    HWND wnd = px_listInputWnd(dialog);
    const PxPanel *p = l->panel;
    size_t index = p->currentField ? static_cast<size_t>(p->currentField - p->fields) : dialog->fields.size();
    PxFieldCtl *ctl = index < dialog->fields.size() ? &dialog->fields[index] : nullptr;
    int kind = ctl ? ctl->field->kind & kPxKindMask : 0;
    if (!ctl || !cellAt(l, l->curRow, l->curColumn) || (kind != 1 && kind != 5))
        return px_runInputLoop(ev, dialog, nullptr, wnd);
    RECT r = cellRect(l, l->curRow, l->curColumn);
    int align = l->columns[l->curColumn].align;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL | (kind == 5 ? ES_READONLY : 0) |
                  (align == 1 ? ES_RIGHT : align == 2 ? ES_CENTER : ES_LEFT);
    HWND edit = CreateWindowExA(0, "Edit", "", style, r.left, r.top, r.right - r.left, r.bottom - r.top, wnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxFieldIdBase + index)), app().instance,
                                nullptr);
    if (!edit) {
        px_sysErrorBox(GetLastError(), "px_createEditFld: CreateWindowEx() failed!");
        return px_runInputLoop(ev, dialog, nullptr, wnd);
    }
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(l->font), FALSE);
    // The edit is the field's control for the time of the input: its keys,
    // formatter and typed filter work as in a dialog field.
    l->edit = ctl->hwnd = edit;
    ctl->oemFont = app().oemFont[kPxListFont] != 0;
    px_subclassField(ctl);
    int code = px_runInputLoop(ev, dialog, ctl, edit);
    // Closed meanwhile: the list and its edit went with the dialog.
    if (dialog->closed) return -1;
    DestroyWindow(edit);
    l->edit = ctl->hwnd = nullptr;
    ctl->oldProc = nullptr;
    px_listShowFields(dialog, static_cast<int>(index), static_cast<int>(index) + 1);
    return code;
}

void px_shiftListRows(PxPanel *panel, int first, int count, int delta) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || !l->wnd || delta == 0 || count <= 0) return;
    int rows = l->visibleRows;
    if (first < 0) count += first, first = 0;
    count = std::min(count, rows - first);
    if (count <= 0 || delta <= -rows || delta >= rows) {
        if (count > 0) {
            for (int r = first; r < first + count; ++r)
                for (int k = 0; k < columnCount(l); ++k) *cellAt(l, r, k) = PxListCell{};
            InvalidateRect(l->wnd, nullptr, FALSE);
        }
        return;
    }
    size_t n = l->columns.size();
    std::vector<PxListCell> band(std::make_move_iterator(l->cells.begin() + static_cast<ptrdiff_t>(first * n)),
                                 std::make_move_iterator(l->cells.begin() + static_cast<ptrdiff_t>((first + count) * n)));
    for (int r = first; r < first + count; ++r)
        for (int k = 0; k < columnCount(l); ++k) *cellAt(l, r, k) = PxListCell{};
    for (int i = 0; i < count; ++i) {
        int to = first + i + delta;
        if (to < 0 || to >= rows) continue;
        std::move(band.begin() + static_cast<ptrdiff_t>(i * n), band.begin() + static_cast<ptrdiff_t>((i + 1) * n),
                  l->cells.begin() + static_cast<ptrdiff_t>(to * n));
    }
    RECT c = clientRect(l);
    int rp = rowPixels(l);
    int top = std::max(0, std::min(first, first + delta)), bottom = std::min(rows, std::max(first + count, first + count + delta));
    RECT band2{0, l->headerHeight + top * rp, c.right, l->headerHeight + bottom * rp};
    ScrollWindowEx(l->wnd, 0, delta * rp, &band2, &band2, nullptr, nullptr, SW_INVALIDATE);
    if (l->curRow >= first && l->curRow < first + count) {
        invalidateRow(l, l->curRow);
        invalidateRow(l, l->curRow + delta);
    }
}

void px_resetListRow(PxPanel *panel, int row) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || !l->wnd || row < 0 || row >= l->visibleRows) return;
    bool held = false;
    for (int k = 0; k < columnCount(l); ++k) {
        PxListCell *cell = cellAt(l, row, k);
        held = held || !cell->text.empty() || !cell->attr.empty();
        *cell = PxListCell{};
    }
    if (!held) return;
    RECT c = clientRect(l), r = rowRect(l, row);
    r.bottom = c.bottom;
    InvalidateRect(l->wnd, &r, FALSE);
}

namespace {

void showColumn(PxScrollList *l, int k) {
    RECT c = clientRect(l);
    int left = columnLeft(l, k), right = l->columns[k].right;
    if (left < 0) scrollColumns(l, left);
    else if (right >= c.right) scrollColumns(l, std::min(left, right - static_cast<int>(c.right) + 1));
}

}  // namespace

void px_showListColumn(PxPanel *panel, int fieldIndex) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || !l->wnd || !headerMode(l)) return;
    int k = columnOfField(l, fieldIndex);
    if (k >= 0) showColumn(l, k);
}

bool px_listInputRect(PxDialog *dialog, RECT *out) {
    PxScrollList *l = dialog->list;
    if (!l || !l->wnd) return false;
    HWND place = l->edit && IsWindow(l->edit) ? l->edit : l->wnd;
    px_listInputWnd(dialog);
    if (place == l->wnd && cellAt(l, l->curRow, l->curColumn)) {
        if (headerMode(l)) showColumn(l, l->curColumn);
        RECT r = cellRect(l, l->curRow, l->curColumn);
        MapWindowPoints(l->wnd, nullptr, reinterpret_cast<POINT *>(&r), 2);
        *out = r;
        return true;
    }
    return GetWindowRect(place, out) != FALSE;
}

int px_relayoutList(PxPanel *panel) {
    PxDialog *d = px_dialogOfPanel(panel);
    PxScrollList *l = d ? d->list : nullptr;
    if (!l || !l->wnd) return 0;
    RECT r = listPlace(d, l);
    SetWindowPos(l->wnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    int rows;
    bool partial;
    computeRows(l, &rows, &partial);
    if (!resizeRows(l, rows)) return -1;
    l->partialRow = partial;
    if (l->curRow >= rows) l->curRow = -1;
    placeEdit(l);
    InvalidateRect(l->wnd, nullptr, FALSE);
    return 0;
}

std::vector<unsigned char> px_saveListLayout(PxPanel *panel) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || !l->wnd || !l->header) return {};
    int n = panel->fieldCount;
    std::vector<unsigned char> out;
    auto put16 = [&](int v) {
        out.push_back(static_cast<unsigned char>(v & 0xFF));
        out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
    };
    out.push_back('w');
    put16(n);
    for (int i = 0; i < n; ++i) {
        int k = columnOfField(l, i);
        put16(k < 0 ? -1 : columnWidth(l, k));
    }
    out.push_back('o');
    put16(n);
    // Columns in display order, each other field at its own index.
    std::vector<int> order;
    for (const PxListColumn &c : l->columns) order.push_back(c.fieldIndex);
    for (int i = 0; i < n; ++i)
        if (columnOfField(l, i) < 0) order.insert(order.begin() + std::min<int>(i, static_cast<int>(order.size())), i);
    for (int f : order) put16(f);
    return out;
}

void px_setListColumnWidth(PxPanel *panel, int fieldIndex, int width) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || !l->wnd || !headerMode(l)) return;
    int k = columnOfField(l, fieldIndex);
    if (k < 0 || width < -1) return;
    int px = width == -1 ? l->columns[k].storedWidth : width * stepX();
    setHidden(l->columns[k], px == 0);
    setColumnWidth(l, k, px);
}

void px_refreshListHeader(PxPanel *panel) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || !l->header) return;
    for (const PxListColumn &c : l->columns) {
        int item = headerItemOf(l, c.fieldIndex);
        if (item < 0) continue;
        std::string text = headerText(c.field);
        HDITEMA it = {};
        it.mask = HDI_TEXT;
        it.pszText = const_cast<char *>(text.c_str());
        SendMessageA(l->header, HDM_SETITEMA, item, reinterpret_cast<LPARAM>(&it));
    }
}

void px_setListColumnAttr(PxPanel *panel, int column, int attribute, int value) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || !l->wnd) return;
    int k = headerMode(l) ? columnOfField(l, column) : column;
    if (k < 0 || k >= columnCount(l)) return;
    PxListColumn &c = l->columns[k];
    if (attribute == 1) {
        c.mark = static_cast<uint8_t>(value);
    } else if ((attribute == 2 || attribute == 3) && l->header &&
               SendMessageA(l->header, HDM_GETIMAGELIST, 0, 0)) {
        c.image = value ? attribute : 0;
        int item = headerItemOf(l, c.fieldIndex);
        HDITEMA it = {};
        it.mask = HDI_FORMAT | HDI_IMAGE;
        it.fmt = headerFormat(c);
        it.iImage = attribute - 1;
        if (item >= 0) SendMessageA(l->header, HDM_SETITEMA, item, reinterpret_cast<LPARAM>(&it));
    } else {
        return;
    }
    RECT r = clientRect(l);
    r.left = columnLeft(l, k) - 1;
    r.right = c.right + 2;
    InvalidateRect(l->wnd, &r, FALSE);
    if (l->header) InvalidateRect(l->header, nullptr, TRUE);
}

int px_getListLayout(PxPanel *panel, unsigned char *buffer, size_t size) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || !l->wnd || !buffer || size != px_layoutSize(columnCount(l))) return -1;
    int n = l->header ? columnCount(l) : 0;
    WireWriter w(buffer, size);
    w.u8('w');
    w.i16(static_cast<int16_t>(n));
    std::vector<int16_t> widths(static_cast<size_t>(n), 0);
    for (int k = 0; k < n; ++k) {
        const PxListColumn &c = l->columns[k];
        // A column whose field index lies beyond n has no slot in the reply.
        if (c.fieldIndex >= n) continue;
        int inner = columnWidth(l, k) - c.marginLeft - c.marginRight;
        widths[static_cast<size_t>(c.fieldIndex)] =
            columnWidth(l, k) == 0 ? 0 : static_cast<int16_t>(std::max(0, inner) / std::max(1, app().listAveCharW));
    }
    for (int16_t v : widths) w.i16(v);
    w.u8('o');
    w.i16(static_cast<int16_t>(n));
    for (int k = 0; k < n; ++k) w.i16(static_cast<int16_t>(l->columns[k].fieldIndex));
    return w.ok() ? 0 : -1;
}

void px_listSysCommand(PxPanel *panel) {
    PxScrollList *l = px_listOfPanel(panel);
    PxTopWnd *top = px_firstTopWnd();
    if (!l || !l->wnd || !l->hasScrollClick || !top) return;
    POINT pt = l->scrollClick;
    l->hasScrollClick = false;
    bool mode = top->eventMode;
    void *running = top->runningDlg;
    top->eventMode = true;
    top->runningDlg = l->dialog;
    DefWindowProcA(l->wnd, WM_SYSCOMMAND, SC_VSCROLL | HTVSCROLL, MAKELPARAM(pt.x, pt.y));
    if (px_firstTopWnd() == top) {
        top->runningDlg = running;
        top->eventMode = mode;
    }
}

void px_resetListLayout(PxPanel *panel) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || !l->wnd || !headerMode(l)) return;
    for (int k = 0; k < columnCount(l); ++k) {
        setHidden(l->columns[k], l->columns[k].storedWidth == 0);
        setColumnWidth(l, k, l->columns[k].storedWidth);
    }
    std::vector<int16_t> order;
    for (int i = 0; i < panel->fieldCount; ++i) order.push_back(static_cast<int16_t>(i));
    applyOrder(l, order);
    syncHeaderOrder(l);
    placeHeader(l);
    updateHRange(l);
    InvalidateRect(l->wnd, nullptr, TRUE);
}
