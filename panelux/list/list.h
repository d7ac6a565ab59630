// The scrolling list of a list dialog: a pxScrollWnd window showing a band
// of rows of the server's record set, one column per field, with an
// optional header control whose column layout the user may change and the
// application data file keeps.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "panel.h"
#include "zam_ext.h"

struct PxDialog;

// List flags.
enum : uint32_t {
    kPxListHeader = 1,
    kPxListRowLines = 2,
    kPxListColumnLines = 4,
    kPxListDotted = 8,
    kPxListNoStretch = 0x10,
    kPxListTextMargins = 0x10000000,
};

// PxField::options of list columns.
constexpr uint32_t kPxColumnTextBack = 0x400000;
constexpr uint32_t kPxColumnTree = 0x200000;
// PxPanel::options bit once the server has heard of the user's first
// layout change. (A hidden column carries kind bit kPxKindHidden.)
constexpr uint32_t kPxPanelLayoutAnnounced = 0x20;

constexpr int kPxHeaderId = 0x1002;
constexpr int kPxEvHeaderClick = 505;
constexpr int kPxEvColumnShown = 774;

struct PxListColumn {
    PxField *field = nullptr;
    uint32_t options = 0;
    int align = 0;
    int fieldIndex = 0;
    int right = 0;  // pixel edge, inclusive
    int marginLeft = 0, marginRight = 0;
    uint8_t mark = 0;
    int minWidth = 0;
    int storedWidth = 0;
    int left = 0, textWidth = 0;  // the field's own place on the grid
    int image = 0;                // header image + 1, 0 none
    int textOffset = 0;           // pixels the texts are moved left
};

struct PxListCell {
    int align = 0;
    int colour = 0;
    std::string text, attr;
    int markFirst = 0, markLast = 0;  // from 1; -1, -1 the whole text
};

struct PxScrollList {
    int ownerValue = 0, gridRow = 0, visibleColumns = 0, rowHeight = 1;
    std::vector<PxListColumn> columns;  // display order
    std::vector<PxListCell> cells;      // visibleRows x columns
    int origin = 0;
    bool focus = false;
    int curRow = -1, curColumn = -1;
    int visibleRows = 0;
    int dataRows = 0;
    uint32_t flags = 0;
    uint8_t active = 0;
    HWND edit = nullptr, wnd = nullptr, header = nullptr;
    HFONT font = nullptr, font2 = nullptr;
    std::vector<unsigned char> layout;  // as the opening request gave it
    bool partialRow = false;

    PxDialog *dialog = nullptr;
    PxPanel *panel = nullptr;
    int headerHeight = 0;
    int charWidth = 1;
    int trackColumn = -1, trackLine = -1;
    POINT scrollClick{-1, -1};
    bool hasScrollClick = false;
    bool rightClicked = false;
    int raised = 0;  // pixels the list stands above its grid row to show whole rows
};

// Column layout bytes: 'w', n, n widths by field index, 'o', n, n indexes.
constexpr size_t px_layoutSize(int n) { return 4 * static_cast<size_t>(n) + 6; }

// Builds the list record for a panel: one column per field of non-zero
// width, flags from the panel options. Null without any column.
PxScrollList *px_makeScrollList(PxPanel *panel, uint8_t a, uint8_t b, uint8_t c, uint8_t d, int16_t rows,
                                const unsigned char *layout, size_t layoutSize);
void px_freeScrollList(PxScrollList *list);

// Called by the dialog window code.
bool px_createListWnd(PxDialog *dialog);
void px_destroyListWnd(PxDialog *dialog);
void px_listShowFields(PxDialog *dialog, int from, int to);
void px_listScrollInfo(PxDialog *dialog, int bar, int minimum, int maximum, int page, int position);
void px_setListRow(PxPanel *panel, int row);
void px_setListFocus(PxPanel *panel, int on);
// The list's window the input loop runs on; the current field's column
// becomes the current column.
HWND px_listInputWnd(PxDialog *dialog);
// Input on the current cell: fields of kinds 1 and 5 through an edit
// control over the cell for the time of the input, others on the list.
int px_editListCell(PxEvent *ev, PxDialog *dialog);
// Screen rectangle input goes to: the in-place edit, else the current cell
// (its column scrolled into the list first), else the list window.
bool px_listInputRect(PxDialog *dialog, RECT *out);

PxScrollList *px_listOfPanel(const PxPanel *panel);
// Grid columns and rows the list window shows, and whether the last row is cut.
void px_listGridSize(const PxScrollList *list, int *columns, int *rows, bool *partial);

// Requests on a list dialog's panel.
void px_shiftListRows(PxPanel *panel, int first, int count, int delta);
void px_resetListRow(PxPanel *panel, int row);
void px_showListColumn(PxPanel *panel, int fieldIndex);
int px_relayoutList(PxPanel *panel);
std::vector<unsigned char> px_saveListLayout(PxPanel *panel);
void px_setListColumnWidth(PxPanel *panel, int fieldIndex, int width);
void px_refreshListHeader(PxPanel *panel);
void px_setListColumnAttr(PxPanel *panel, int column, int attribute, int value);
int px_getListLayout(PxPanel *panel, unsigned char *buffer, size_t size);
void px_listSysCommand(PxPanel *panel);
void px_resetListLayout(PxPanel *panel);

// The 'o' part of a layout when it is a permutation of 0 .. n - 1 and its
// marks and counts fit; empty otherwise. Widths likewise ('w' part).
std::vector<int16_t> px_layoutOrder(const unsigned char *layout, size_t size, int n);
std::vector<int16_t> px_layoutWidths(const unsigned char *layout, size_t size, int n);
