// Input on a list: the current cell's column, the cells of the current
// row shown from the fields, and the edit laid over a cell for the time of
// the input.
#include "list.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "dialog.h"
#include "errbox.h"
#include "fieldtext.h"
#include "listparts.h"

using namespace pxlist;

namespace {

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

}  // namespace

namespace pxlist {

// The in-place edit lies over the current cell wherever that goes.
void placeEdit(PxScrollList *l) {
    if (!l->edit || !cellAt(l, l->curRow, l->curColumn)) return;
    RECT e = cellRect(l, l->curRow, l->curColumn);
    SetWindowPos(l->edit, nullptr, e.left, e.top, e.right - e.left, e.bottom - e.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace pxlist

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
