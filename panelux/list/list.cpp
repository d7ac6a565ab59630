// The list record of a list dialog, its visible rows and their cells, and
// the requests that move, reset and count the rows.
#include "list.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <vector>

#include "dialog.h"
#include "listparts.h"
#include "registry.h"

using namespace pxlist;

namespace pxlist {

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

bool dialogRunning(const PxScrollList *l) { return px_currentDialog() == l->dialog; }

}  // namespace pxlist

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

void px_setListRow(PxPanel *panel, int row) {
    PxScrollList *l = px_listOfPanel(panel);
    if (!l || row < 0) return;
    invalidateRow(l, l->curRow);
    l->curRow = row < l->visibleRows ? row : -1;
    invalidateRow(l, l->curRow);
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
