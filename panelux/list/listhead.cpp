// The list's columns: their geometry, the header control of header mode
// with the user's tracking and dragging, horizontal scrolling, and the
// stored and reported column layouts.
#include "list.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dialog.h"
#include "events.h"
#include "listparts.h"
#include "upcalls.h"
#include "wire.h"

using namespace pxlist;

namespace {

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

void resizeColumnEdges(PxScrollList *l, int k, int width) {
    int diff = width - columnWidth(l, k);
    for (int j = k; j < columnCount(l); ++j) l->columns[j].right += diff;
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

// Reads one int16 of a layout.
int16_t at16(const unsigned char *p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

}  // namespace

namespace pxlist {

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

void headerRightClick(PxScrollList *l) {
    if (!dialogRunning(l)) return;
    HDHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(l->header, &hit.pt);
    int item = static_cast<int>(SendMessageA(l->header, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    int k = item >= 0 ? columnOfItem(l, item) : -1;
    if (k >= 0) headerClickEvent(l, l->columns[k].fieldIndex, 2);
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

void showColumn(PxScrollList *l, int k) {
    RECT c = clientRect(l);
    int left = columnLeft(l, k), right = l->columns[k].right;
    if (left < 0) scrollColumns(l, left);
    else if (right >= c.right) scrollColumns(l, std::min(left, right - static_cast<int>(c.right) + 1));
}

bool createHeader(HWND wnd, PxScrollList *l) {
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
    return true;
}

}  // namespace pxlist

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

void px_showListColumn(PxPanel *panel, int fieldIndex) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || !l->wnd || !headerMode(l)) return;
    int k = columnOfField(l, fieldIndex);
    if (k >= 0) showColumn(l, k);
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
