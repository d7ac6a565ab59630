// What the parts of the list share: the grid steps, column and cell
// geometry, and the steps one part asks of another (list.cpp: record and
// rows; listwnd.cpp: window and painting; listhead.cpp: columns, header and
// layouts; listedit.cpp: input and the in-place edit).
#pragma once

#include <windows.h>

#include <algorithm>

#include "app.h"
#include "list.h"

namespace pxlist {

// Posted to the list window: a column's width to apply (wParam column,
// lParam width), the header's order to take from the column records.
constexpr UINT kMsgApplyWidth = WM_APP + 1;
constexpr UINT kMsgSyncOrder = WM_APP + 2;

inline PxApp &app() { return *px_app(); }
inline int stepX() { return std::max(1, app().stepX); }
inline int stepY() { return std::max(1, app().stepY); }

inline int columnCount(const PxScrollList *l) { return static_cast<int>(l->columns.size()); }
inline int rowPixels(const PxScrollList *l) { return stepY() * std::max(1, l->rowHeight); }
inline bool headerMode(const PxScrollList *l) { return (l->flags & kPxListHeader) != 0; }

inline int columnLeft(const PxScrollList *l, int k) { return k == 0 ? l->origin : l->columns[k - 1].right + 1; }
inline int columnWidth(const PxScrollList *l, int k) { return l->columns[k].right + 1 - columnLeft(l, k); }
inline int totalWidth(const PxScrollList *l) {
    return l->columns.empty() ? 0 : l->columns.back().right + 1 - l->origin;
}

// list.cpp
int columnOfField(const PxScrollList *l, int fieldIndex);
RECT clientRect(const PxScrollList *l);
PxListCell *cellAt(PxScrollList *l, int row, int k);
RECT rowRect(const PxScrollList *l, int row);
RECT cellRect(const PxScrollList *l, int row, int k);
void invalidateRow(PxScrollList *l, int row);
void invalidateCell(PxScrollList *l, int row, int k);
void computeRows(PxScrollList *l, int *rows, bool *partial);
bool resizeRows(PxScrollList *l, int rows);
bool dialogRunning(const PxScrollList *l);

// listwnd.cpp
void line(HDC dc, int x1, int y1, int x2, int y2);
RECT listPlace(const PxDialog *d, const PxScrollList *l);

// listhead.cpp
void computeColumns(PxScrollList *l);
// The header control of header mode, with a given layout applied.
bool createHeader(HWND wnd, PxScrollList *l);
void updateHRange(PxScrollList *l);
void scrollColumns(PxScrollList *l, int dx);
void closeRightGap(PxScrollList *l);
void setColumnWidth(PxScrollList *l, int k, int width);
void syncHeaderOrder(PxScrollList *l);
void showColumn(PxScrollList *l, int k);
LRESULT onNotify(PxScrollList *l, NMHDR *nm);
void headerRightClick(PxScrollList *l);
void onHScroll(PxScrollList *l, WPARAM wParam);
void onSize(PxScrollList *l);

// listedit.cpp
void placeEdit(PxScrollList *l);

}  // namespace pxlist
