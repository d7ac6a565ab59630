// The character-cell editor of an editor dialog: a pxEditorWnd showing a
// grid of cells, each a character with an attribute byte, and a caret. The
// server writes rows (request 48), places the caret (47) and asks for the
// changes to be shown (49); the window reports keys, mouse and scrolling.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dispatch.h"

struct PxDialog;
struct PxPanel;

constexpr uint32_t kPxPanelEditor = 0x20000000;
// Editor kind bit: the user may resize the editor's dialog.
constexpr int kPxEditorResizable = 1;

enum : int {
    kPxEditorId = 0x1003,
    kPxCaretBlock = 262,
    kPxCaretHalf = 775,
    kPxCaretUnderline = 1543,
    kPxCaretHidden = 8192,
    kPxAttrBlank = 17,   // cells past the text of a written row
    kPxAttrMarked = 18,  // cells inside the marked range
};

extern const char kPxEditorClass[];  // "pxEditorWnd"

struct PxEditor {
    int kind = 0, owner = 0;
    int columns = 0, rows = 0;
    // rows + 1 text rows (the last a scratch row), then as many attribute rows.
    std::vector<char> cells;
    std::vector<int> marks;  // from, to per row; from == to is none
    int caretCol = -1, caretRow = -1, caretKind = kPxCaretHidden;
    bool focus = false, active = false;
    bool partial = false;  // the last row is cut by the window's bottom
    HWND wnd = nullptr;
    HFONT font = nullptr;
    HBITMAP bitmap = nullptr;
    int bitmapW = 0, bitmapH = 0;
    HRGN update = nullptr;  // null while nothing is pending
    RECT rect{};            // in the dialog's client area
    PxDialog *dialog = nullptr;

    char *text(int row) { return &cells[static_cast<size_t>(row) * static_cast<size_t>(columns)]; }
    char *attr(int row) { return text(rows + 1 + row); }
};

// A record of columns x rows blank cells (at least one of each), caret hidden.
PxEditor *px_newEditor(int kind, int owner, int columns, int rows);
// Frees the window's GDI objects and the record.
void px_freeEditor(PxEditor *editor);
// Other columns and rows, keeping the overlapping cells; false (grid kept)
// for a size below one cell.
bool px_resizeEditorCells(PxEditor *editor, int columns, int rows);
// Columns and rows for a client area in cells of w x h pixels; false below
// two cells each way. A remainder below the last row counts one row more.
bool px_editorGridFor(int width, int height, int w, int h, int *columns, int *rows, bool *partial);

// Creates the editor window over the dialog's client area (less its status
// bar); false after the error box.
bool px_createEditor(PxDialog *dialog);
PxEditor *px_editorOf(const PxPanel *panel);

// Requests 47-50 and 28 on the panel's editor; a panel without one is left.
void px_setEditorCaret(PxPanel *panel, int row, int column, int kind);
void px_putEditorText(PxPanel *panel, int row, int count, int from, int to, const char *text, size_t textLength,
                      const unsigned char *attrs, size_t attrLength);
void px_flushEditor(PxPanel *panel);
void px_setEditorOverwrite(int flag);
void px_setEditorActive(PxEditor *editor, bool on);
// Grid and back buffer from the window's client area again; a negative mode
// also repaints the strip right of the grid.
bool px_resizeEditorGrid(PxEditor *editor, int mode);
// The editor window over the dialog's client area (less its status bar)
// again, after the dialog changed size.
void px_fitEditor(PxDialog *dialog);
// Pixels of one editor cell.
SIZE px_editorCellSize();
// Whether the focus is on an editor window (its overwrite state is shown).
bool px_editorHasFocus();

// Requests 46-50.
int px_onOpenEditorDialog(const PxRequest &req);
int px_onSetEditorCaret(const PxRequest &req);
int px_onPutEditorText(const PxRequest &req);
int px_onFlushEditor(const PxRequest &req);
int px_onEditorOverwrite(const PxRequest &req);
