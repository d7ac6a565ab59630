#include "celledit.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "app.h"
#include "dialog.h"
#include "dialogreq.h"
#include "errbox.h"
#include "events.h"
#include "frame.h"
#include "popup.h"
#include "registry.h"

const char kPxEditorClass[] = "pxEditorWnd";

namespace {

PxApp &app() { return *px_app(); }
int cellW() { return app().editorCharW; }
int cellH() { return app().editorLineH; }

PxEditor *editorOf(HWND wnd) { return reinterpret_cast<PxEditor *>(GetWindowLongPtrA(wnd, GWLP_USERDATA)); }

// Text cells start as blanks, attribute cells as 0.
void blankCells(PxEditor *e) {
    size_t half = static_cast<size_t>(e->rows + 1) * static_cast<size_t>(e->columns);
    std::fill(e->cells.begin(), e->cells.begin() + static_cast<std::ptrdiff_t>(half), ' ');
    std::fill(e->cells.begin() + static_cast<std::ptrdiff_t>(half), e->cells.end(), '\0');
}

void addSpan(PxEditor *e, int row, int from, int to) {
    if (from >= to) return;
    HRGN r = CreateRectRgn(from * cellW(), row * cellH(), to * cellW(), (row + 1) * cellH());
    if (!r) return;
    if (!e->update) {
        e->update = r;
        return;
    }
    CombineRgn(e->update, e->update, r, RGN_OR);
    DeleteObject(r);
}

void drawRow(PxEditor *e, HDC dc, int row) {
    RECT client;
    GetClientRect(e->wnd, &client);
    int w = cellW(), h = cellH();
    if (row * h >= client.bottom) return;
    int from = e->marks[static_cast<size_t>(row) * 2], to = e->marks[static_cast<size_t>(row) * 2 + 1];
    const char *text = e->text(row);
    const char *attrs = e->attr(row);
    for (int c = 0; c < e->columns; ++c) {
        int a = (c >= from && c < to) ? static_cast<int>(kPxAttrMarked) : static_cast<unsigned char>(attrs[c]);
        SetTextColor(dc, app().attrText[a]);
        SetBkColor(dc, app().attrBack[a]);
        RECT cell = {c * w, row * h, (c + 1) * w, (row + 1) * h};
        ExtTextOutA(dc, cell.left, cell.top, ETO_OPAQUE | ETO_CLIPPED, &cell, &text[c], 1, nullptr);
    }
}

// A memory DC over the back buffer with the editor font, for as long as it lives.
struct BufferDC {
    HDC dc = nullptr;
    HGDIOBJ oldBitmap = nullptr, oldFont = nullptr;
    explicit BufferDC(PxEditor *e) {
        if (!e->bitmap) return;
        dc = CreateCompatibleDC(nullptr);
        if (!dc) return;
        oldBitmap = SelectObject(dc, e->bitmap);
        if (e->font) oldFont = SelectObject(dc, e->font);
    }
    ~BufferDC() {
        if (!dc) return;
        if (oldFont) SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteDC(dc);
    }
};

void drawRows(PxEditor *e, int first, int last) {
    BufferDC b(e);
    if (!b.dc) return;
    for (int row = first; row < last; ++row) drawRow(e, b.dc, row);
}

// A back buffer of the grid's pixel size drawn from the cells; on failure
// the old picture stays.
void rebuildBuffer(PxEditor *e) {
    int width = e->columns * cellW(), height = e->rows * cellH();
    if (e->bitmap && e->bitmapW == width && e->bitmapH == height) {
        drawRows(e, 0, e->rows);
        return;
    }
    HDC wdc = GetDC(e->wnd);
    HBITMAP fresh = wdc ? CreateCompatibleBitmap(wdc, width, height) : nullptr;
    if (wdc) ReleaseDC(e->wnd, wdc);
    if (!fresh) return;
    if (e->bitmap) DeleteObject(e->bitmap);
    e->bitmap = fresh;
    e->bitmapW = width;
    e->bitmapH = height;
    drawRows(e, 0, e->rows);
}

void caretShape(const PxEditor *e, RECT *r) {
    int w = cellW(), h = cellH(), x = e->caretCol * w, y = e->caretRow * h;
    switch (e->caretKind) {
    case kPxCaretBlock: *r = RECT{x, y, x + w, y + h}; break;
    case kPxCaretHalf: *r = RECT{x, y + h - w, x + w, y + h}; break;
    case kPxCaretUnderline: *r = RECT{x, y + h - 2, x + w, y + h}; break;
    default: *r = RECT{x + w - 1, y, x + w, y + h}; break;
    }
}

bool caretShown(const PxEditor *e) { return e->caretKind != kPxCaretHidden && e->caretCol >= 0 && e->caretRow >= 0; }

void showCaret(PxEditor *e) {
    if (!e->focus || !e->wnd || !caretShown(e)) return;
    RECT r;
    caretShape(e, &r);
    CreateCaret(e->wnd, nullptr, r.right - r.left, r.bottom - r.top);
    SetCaretPos(r.left, r.top);
    ShowCaret(e->wnd);
}

HBRUSH backgroundBrush() { return CreateSolidBrush(app().attrBack[0]); }

LRESULT onCreate(HWND wnd, LPARAM lParam) {
    PxEditor *e = static_cast<PxEditor *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams);
    if (!e) return -1;
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(e));
    e->wnd = wnd;
    e->font = px_createFont(&app().fonts[kPxEditorFont]);
    RECT c;
    GetClientRect(wnd, &c);
    int columns = 0, rows = 0;
    bool partial = false;
    if (!px_editorGridFor(c.right, c.bottom, cellW(), cellH(), &columns, &rows, &partial) ||
        !px_resizeEditorCells(e, columns, rows))
        return -1;
    e->partial = partial;
    rebuildBuffer(e);
    return e->bitmap ? 0 : -1;
}

void onPaint(HWND wnd, PxEditor *e) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    RECT c;
    GetClientRect(wnd, &c);
    int width = 0, height = 0;
    {
        BufferDC b(e);
        if (b.dc) {
            width = e->bitmapW, height = e->bitmapH;
            BitBlt(dc, 0, 0, width, height, b.dc, 0, 0, SRCCOPY);
        }
    }
    HBRUSH bg = backgroundBrush();
    RECT right = {width, 0, c.right, c.bottom}, below = {0, height, width, c.bottom};
    if (!IsRectEmpty(&right)) FillRect(dc, &right, bg);
    if (!IsRectEmpty(&below)) FillRect(dc, &below, bg);
    DeleteObject(bg);
    EndPaint(wnd, &ps);
}

void onMouse(HWND wnd, PxEditor *e, UINT msg, WPARAM wParam, LPARAM lParam) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    int code = 0;
    switch (msg) {
    case WM_LBUTTONDOWN: SetCapture(wnd), code = 513; break;
    case WM_LBUTTONUP: {
        if (GetCapture() == wnd) ReleaseCapture();
        RECT c;
        GetClientRect(wnd, &c);
        if (PtInRect(&c, pt)) code = 515;
        break;
    }
    case WM_LBUTTONDBLCLK: code = 520; break;
    case WM_MOUSEWHEEL:
        ScreenToClient(wnd, &pt);
        code = GET_WHEEL_DELTA_WPARAM(wParam) < 0 ? 511 : 521;
        break;
    default: return;
    }
    if (!code) return;
    px_editorCellAt(wnd, e->columns, e->rows, &pt);
    px_postMouseEvent(code, px_shiftState(), pt.x, pt.y, 0, px_keyEventMode());
}

bool isCurrent(const PxEditor *e) { return e->dialog && px_currentDialog() == e->dialog; }

void onDestroyed(PxEditor *e) {
    if (e->focus) DestroyCaret();
    e->focus = false;
    if (e->font) DeleteObject(e->font);
    if (e->bitmap) DeleteObject(e->bitmap);
    if (e->update) DeleteObject(e->update);
    e->font = nullptr;
    e->bitmap = nullptr;
    e->update = nullptr;
    e->bitmapW = e->bitmapH = 0;
    e->wnd = nullptr;
}

LRESULT CALLBACK editorProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        if (msg == WM_CREATE) return onCreate(wnd, lParam);
        PxEditor *e = editorOf(wnd);
        if (!e) return DefWindowProcA(wnd, msg, wParam, lParam);
        switch (msg) {
        case WM_SIZE: px_resizeEditorGrid(e, 0); return 0;
        case WM_PAINT: onPaint(wnd, e); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_SETFOCUS:
            e->focus = true;
            showCaret(e);
            return 0;
        case WM_KILLFOCUS:
            if (caretShown(e)) DestroyCaret();
            e->focus = false;
            return 0;
        case WM_CHAR: {
            WPARAM ch = wParam;
            if (ch == ',' && ((lParam >> 16) & 0xFF) == 0x53) ch = '.';
            px_postCharEvent(static_cast<int>(ch), px_keyEventMode());
            UpdateWindow(wnd);
            return 0;
        }
        case WM_HSCROLL:
        case WM_VSCROLL:
            if (isCurrent(e))
                px_scrollBarEvent(wnd, msg == WM_VSCROLL ? SB_VERT : SB_HORZ, msg == WM_VSCROLL, wParam,
                                  app().editorThumbMode != 0);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_MOUSEWHEEL: onMouse(wnd, e, msg, wParam, lParam); return 0;
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK:
            if ((wParam == HTHSCROLL || wParam == HTVSCROLL) && !isCurrent(e)) return 0;
            break;
        case WM_NCDESTROY:
            onDestroyed(e);
            SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
            break;
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

bool registerClass() {
    if (px_isClassRegistered(kPxEditorClass)) return true;
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = editorProc;
    wc.hInstance = app().instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_IBEAM));
    wc.lpszClassName = kPxEditorClass;
    return px_regWndClass(&wc) == 0;
}

}  // namespace

PxEditor *px_newEditor(int kind, int owner, int columns, int rows) {
    std::unique_ptr<PxEditor> e(new PxEditor);
    e->kind = kind;
    e->owner = owner;
    if (!px_resizeEditorCells(e.get(), std::max(columns, 1), std::max(rows, 1))) return nullptr;
    return e.release();
}

void px_freeEditor(PxEditor *e) {
    if (!e) return;
    if (e->wnd && IsWindow(e->wnd)) DestroyWindow(e->wnd);
    onDestroyed(e);
    delete e;
}

bool px_resizeEditorCells(PxEditor *e, int columns, int rows) {
    if (columns < 1 || rows < 1) return false;
    if (columns == e->columns && rows == e->rows) return true;
    PxEditor fresh;
    fresh.columns = columns;
    fresh.rows = rows;
    try {
        fresh.cells.resize(static_cast<size_t>(2 * rows + 2) * static_cast<size_t>(columns));
        fresh.marks.assign(static_cast<size_t>(rows) * 2, 0);
    } catch (const std::bad_alloc &) {
        return false;
    }
    blankCells(&fresh);
    int keepRows = std::min(rows, e->rows), keepCols = std::min(columns, e->columns);
    for (int r = 0; r < keepRows; ++r) {
        std::memcpy(fresh.text(r), e->text(r), static_cast<size_t>(keepCols));
        std::memcpy(fresh.attr(r), e->attr(r), static_cast<size_t>(keepCols));
        fresh.marks[static_cast<size_t>(r) * 2] = std::min(e->marks[static_cast<size_t>(r) * 2], columns);
        fresh.marks[static_cast<size_t>(r) * 2 + 1] = std::min(e->marks[static_cast<size_t>(r) * 2 + 1], columns);
    }
    e->cells.swap(fresh.cells);
    e->marks.swap(fresh.marks);
    e->columns = columns;
    e->rows = rows;
    if (e->caretCol >= columns) e->caretCol = columns - 1;
    if (e->caretRow >= rows) e->caretRow = rows - 1;
    return true;
}

bool px_editorGridFor(int width, int height, int w, int h, int *columns, int *rows, bool *partial) {
    if (w < 1 || h < 1 || width < 2 * w || height < 2 * h) return false;
    *columns = width / w;
    *rows = height / h;
    int rest = height % h;
    *partial = false;
    if (rest) {
        ++*rows;
        *partial = h - rest > 1;
    }
    return true;
}

namespace {

// The dialog's client area less its status bar.
RECT editorPlace(const PxDialog *d) {
    RECT c;
    GetClientRect(d->hwnd, &c);
    if (d->statusBar) {
        RECT s;
        GetWindowRect(d->statusBar, &s);
        c.bottom = std::max<LONG>(c.top, c.bottom - (s.bottom - s.top));
    }
    return c;
}

}  // namespace

void px_fitEditor(PxDialog *d) {
    if (!d || !d->editor || !d->editor->wnd) return;
    RECT c = editorPlace(d);
    d->editor->rect = c;
    SetWindowPos(d->editor->wnd, nullptr, c.left, c.top, c.right - c.left, c.bottom - c.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE px_editorCellSize() { return SIZE{cellW(), cellH()}; }

bool px_createEditor(PxDialog *d) {
    PxApp *a = px_app();
    if (!a || !d || !d->editor || !d->hwnd || !registerClass()) return false;
    RECT c = editorPlace(d);
    static const DWORD kEdges[] = {WS_EX_WINDOWEDGE, WS_EX_STATICEDGE, WS_EX_CLIENTEDGE};
    DWORD ex = a->edgeType >= 0 && a->edgeType <= 2 ? kEdges[a->edgeType] : 0;
    PxEditor *e = d->editor;
    e->dialog = d;
    e->rect = c;
    HWND wnd = CreateWindowExA(ex, kPxEditorClass, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, c.left, c.top,
                               c.right - c.left, c.bottom - c.top, d->hwnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxEditorId)), a->instance, e);
    if (!wnd) {
        px_sysErrorBox(GetLastError(), "px_createEditor: CreateWindowEx() failed!");
        return false;
    }
    return true;
}

PxEditor *px_editorOf(const PxPanel *panel) {
    PxDialog *d = px_dialogOfPanel(panel);
    return d ? d->editor : nullptr;
}

void px_setEditorCaret(PxPanel *panel, int row, int column, int kind) {
    PxEditor *e = px_editorOf(panel);
    if (!e) return;
    if (e->focus && caretShown(e)) DestroyCaret();
    if (kind == kPxCaretHidden) {
        e->caretCol = e->caretRow = -1;
        e->caretKind = kPxCaretHidden;
        return;
    }
    e->caretCol = std::clamp(column, 0, e->columns - 1);
    e->caretRow = std::clamp(row, 0, e->rows - 1);
    e->caretKind = kind;
    PxTopWnd *top = px_firstTopWnd();
    if (e->wnd && top && top->frame) {
        RECT r = {e->caretCol * cellW(), e->caretRow * cellH(), (e->caretCol + 1) * cellW(), (e->caretRow + 1) * cellH()};
        MapWindowPoints(e->wnd, nullptr, reinterpret_cast<POINT *>(&r), 2);
        px_scrollIntoView(top->frame, r, 0);
    }
    showCaret(e);
}

void px_putEditorText(PxPanel *panel, int row, int count, int from, int to, const char *text, size_t textLength,
                      const unsigned char *attrs, size_t attrLength) {
    PxEditor *e = px_editorOf(panel);
    if (!e || row < 0 || row >= e->rows) return;
    count = std::clamp(count, 0, e->columns);
    int n = std::min(count, static_cast<int>(std::min(textLength, static_cast<size_t>(e->columns))));
    char *cells = e->text(row), *cellAttrs = e->attr(row);
    char *oldText = e->text(e->rows), *oldAttrs = e->attr(e->rows);
    std::memcpy(oldText, cells, static_cast<size_t>(e->columns));
    std::memcpy(oldAttrs, cellAttrs, static_cast<size_t>(e->columns));
    if (n > 0) {
        if (app().oemFont[kPxEditorFont]) std::memcpy(cells, text, static_cast<size_t>(n));
        else OemToCharBuffA(text, cells, static_cast<DWORD>(n));
    }
    for (int c = 0; c < n; ++c) cellAttrs[c] = static_cast<char>(static_cast<size_t>(c) < attrLength ? attrs[c] : 0);
    for (int c = n; c < count; ++c) cells[c] = ' ', cellAttrs[c] = kPxAttrBlank;

    bool added = false;
    int first = 0, last = count;
    while (first < last && cells[first] == oldText[first] && cellAttrs[first] == oldAttrs[first]) ++first;
    while (last > first && cells[last - 1] == oldText[last - 1] && cellAttrs[last - 1] == oldAttrs[last - 1]) --last;
    if (first < last) addSpan(e, row, first, last), added = true;

    int &markFrom = e->marks[static_cast<size_t>(row) * 2], &markTo = e->marks[static_cast<size_t>(row) * 2 + 1];
    from = std::clamp(from, 0, e->columns);
    to = std::clamp(to, 0, e->columns);
    if (from != markFrom) addSpan(e, row, std::min(from, markFrom), std::max(from, markFrom)), added = true;
    if (to != markTo) addSpan(e, row, std::min(to, markTo), std::max(to, markTo)), added = true;
    markFrom = from;
    markTo = to;
    if (added) drawRows(e, row, row + 1);
}

void px_flushEditor(PxPanel *panel) {
    PxEditor *e = px_editorOf(panel);
    if (!e || !e->update) return;
    if (e->wnd) InvalidateRgn(e->wnd, e->update, FALSE);
    DeleteObject(e->update);
    e->update = nullptr;
}

void px_setEditorOverwrite(int flag) {
    PxApp *a = px_app();
    int on = flag ? 1 : 0;
    if (a && a->overwrite2 != on) a->overwrite2 = on;
}

void px_setEditorActive(PxEditor *e, bool on) {
    if (!e || !e->wnd || !e->dialog) return;
    e->active = on;
    HWND focus = GetFocus();
    if (on && focus == e->dialog->hwnd) SetFocus(e->wnd);
    else if (!on && focus == e->wnd) SetFocus(e->dialog->hwnd);
}

bool px_resizeEditorGrid(PxEditor *e, int mode) {
    if (!e || !e->wnd) return false;
    RECT c;
    GetClientRect(e->wnd, &c);
    int columns = 0, rows = 0;
    bool partial = false;
    if (!px_editorGridFor(c.right, c.bottom, cellW(), cellH(), &columns, &rows, &partial) ||
        !px_resizeEditorCells(e, columns, rows))
        return false;
    e->partial = partial;
    rebuildBuffer(e);
    if (mode < 0) {
        RECT strip = {e->columns * cellW(), 0, c.right, c.bottom};
        InvalidateRect(e->wnd, &strip, FALSE);
    }
    return true;
}

bool px_editorHasFocus() {
    HWND f = GetFocus();
    char cls[32] = {};
    return f && GetClassNameA(f, cls, sizeof cls) && lstrcmpiA(cls, kPxEditorClass) == 0;
}

// ---- requests ----

int px_onOpenEditorDialog(const PxRequest &req) {
    px_closeWaitBox();
    WireReader r = req.reader();
    uint8_t kind = r.u8(), owner = r.u8(), columns = r.u8(), rows = r.u8();
    if (!r.ok()) return zam_replyInt(req, -1);
    PxEditor *opened = nullptr;
    int result = px_openDialogWith(r, 0, false, [&](PxPanel *panel, WireReader &) {
        std::unique_ptr<PxEditor> e(px_newEditor(kind, owner, columns, rows));
        if (!e) return -1;
        panel->options |= kPxPanelEditor;
        if (px_openDialog(panel, e.get()) != 0) return -1;
        opened = e.release();
        return 0;
    });
    if (result != 0 || !opened) return zam_replyInt(req, -1);
    // The grid the window really holds; the reply has a byte for each.
    uint32_t c = static_cast<uint32_t>(std::min(opened->columns, 255)), d = static_cast<uint32_t>(std::min(opened->rows, 255));
    uint32_t out = opened->partial ? 1 : 0;
    return zam_replyInt(req, static_cast<int32_t>(c << 24 | d << 16 | out << 8));
}

int px_onSetEditorCaret(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int16_t column = r.i16(), row = r.i16(), kind = r.i16();
    if (PxPanel *p = r.ok() ? px_panelOfHandle(handle) : nullptr) px_setEditorCaret(p, row, column, kind);
    return 0;
}

int px_onPutEditorText(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int16_t row = r.i16(), count = r.i16(), from = r.i16(), to = r.i16();
    std::string_view text = r.text();
    PxPanel *p = r.ok() ? px_panelOfHandle(handle) : nullptr;
    PxEditor *e = px_editorOf(p);
    if (!e) return 0;
    // Attribute bytes follow for the characters written, as far as the record holds them.
    size_t n = std::min({text.size(), static_cast<size_t>(std::max<int16_t>(count, 0)), static_cast<size_t>(e->columns)});
    size_t have = std::min(n, r.left());
    const unsigned char *attrs = r.bytes(have);
    px_putEditorText(p, row, count, from, to, text.data(), text.size(), attrs, attrs ? have : 0);
    return 0;
}

int px_onFlushEditor(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    if (PxPanel *p = r.ok() ? px_panelOfHandle(handle) : nullptr) px_flushEditor(p);
    return 0;
}

int px_onEditorOverwrite(const PxRequest &req) {
    WireReader r = req.reader();
    int16_t flag = r.i16();
    if (r.ok()) px_setEditorOverwrite(flag);
    return 0;
}
