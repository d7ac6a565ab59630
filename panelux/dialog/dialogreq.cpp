#include "dialogreq.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app.h"
#include "celledit.h"
#include "dates.h"
#include "dialog.h"
#include "events.h"
#include "fieldtext.h"
#include "popup.h"
#include "formats.h"
#include "module.h"
#include "paneldesc.h"
#include "list.h"
#include "openstep.h"
#include "upcalls.h"

namespace {

struct ScrollSettings {
    int32_t minimum = 0, maximum = 0, position = 0;
    int16_t page = 0;
};

// One per dialog, entered under the server's handle. The owner record
// comes first: the panel points at it for as long as both live.
struct DialogLink {
    PxPanelOwner owner{};
    PxPanel *panel = nullptr;
    int32_t prevObjNum = -1;
    std::unique_ptr<ScrollSettings> horizontal, vertical;
    // Request 26 runs on it; a request 29 that comes during its wait closes
    // the dialog and leaves the panel and this record to the run's end.
    int running = 0;
    bool closed = false;
};

PxObjTable &table() { return px_module().objects; }

DialogLink *linkOf(int32_t handle) {
    return static_cast<DialogLink *>(objtab_find(&table(), handle, PxObjKind::Dialog));
}

void freeLink(DialogLink *link) {
    px_freePanel(link->panel);
    delete link;
}

// The handle is gone already; a run still waiting frees the rest.
void closeLink(DialogLink *link) {
    px_closeDialog(link->panel);
    if (link->running > 0) link->closed = true;
    else freeLink(link);
}

// The field index of a request, checked against the panel.
PxField *fieldAt(const DialogLink *link, int index) {
    if (!link || index < 0 || index >= link->panel->fieldCount) return nullptr;
    return &link->panel->fields[index];
}

int fieldCountShown(const PxPanel *panel) {
    const PxDialog *d = px_dialogOfPanel(panel);
    return d ? static_cast<int>(d->fields.size()) : panel->fieldCount;
}

int writeEvent(const PxRequest &req, const PxEvent &ev, int code, const void *value, size_t size) {
    WireWriter w = req.writer();
    w.i16(static_cast<int16_t>(code));
    w.u8(static_cast<uint8_t>(ev.shift));
    w.u8(static_cast<uint8_t>(ev.p1));
    w.i16(static_cast<int16_t>(ev.p2));
    w.i16(static_cast<int16_t>(ev.p3));
    w.u8(static_cast<uint8_t>(ev.p4));
    if (value && size) w.bytes(value, size);
    return zam_replyLength(w);
}

}  // namespace

int px_openDialogWith(WireReader &r, size_t userBlockSize, bool formats, const PxDialogOpener &open) {
    px_closeWaitBox();
    std::unique_ptr<DialogLink> link(new DialogLink);
    PxPanelPtr panel(px_buildPanel(r, userBlockSize, &link->owner));
    px_openStepDone(PxOpenStep::Panel);
    if (!panel) return -1;
    int32_t handle = link->owner.serverHandle;
    if (handle == 0 || objtab_find(&table(), handle, PxObjKind::Any)) return -1;
    if (formats && panel->fieldCount && !px_createPanelFormats(panel.get())) return -1;
    px_openStepDone(PxOpenStep::Formats);
    link->panel = panel.get();
    link->prevObjNum = px_curObjNum();
    int result = open(panel.get(), r);
    if (result < 0) return -1;
    if (objtab_add(&table(), handle, PxObjKind::Dialog, link.get()) < 0) {
        px_closeDialog(panel.get());
        return -1;
    }
    px_setCurObjNum(link->owner.objectNumber);
    panel.release();
    link.release();
    return result;
}

int px_onOpenDialog(const PxRequest &req) {
    WireReader r = req.reader();
    return zam_replyInt(req, px_openDialogWith(r, 0, true, [](PxPanel *panel, WireReader &) {
        return px_openDialog(panel);
    }));
}

PxPanel *px_panelOfHandle(int32_t handle) {
    DialogLink *link = linkOf(handle);
    return link ? link->panel : nullptr;
}

int px_onUpdateFields(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int16_t extra = r.i16();
    DialogLink *link = r.ok() ? linkOf(handle) : nullptr;
    if (!link) return 0;
    int n = px_fieldsCovered(link->panel, fieldCountShown(link->panel), extra);
    for (int i = 0; i < n; ++i)
        if (!px_applyFieldUpdate(link->panel, &link->panel->fields[i], r)) break;
    px_refreshFields(link->panel);
    return 0;
}

int px_onSetTexts(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    DialogLink *link = r.ok() ? linkOf(handle) : nullptr;
    if (!link) return 0;
    PxPanel *p = link->panel;
    // Entries as the description has them: int16 value, column, row, text.
    std::vector<std::pair<int, std::string>> texts;
    for (int i = 0; i < p->textCount; ++i) {
        if (p->texts[i].isBox()) continue;
        r.u16();
        r.u8();
        r.u8();
        std::string_view s = r.text();
        if (!r.ok()) return 0;
        texts.emplace_back(i, std::string(s));
    }
    for (const auto &t : texts) {
        char *copy = px_strdup(t.second.c_str());
        if (!copy) return 0;
        std::free(p->texts[t.first].text);
        p->texts[t.first].text = copy;
    }
    px_setDialogTexts(p);
    return 0;
}

int px_onRunDialog(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int16_t extra = r.i16(), index = r.i16(), row = r.i16();
    DialogLink *link = r.ok() ? linkOf(handle) : nullptr;
    if (!link) return zam_replyInt(req, -1);
    if (row >= 0) px_setListRow(link->panel, row);
    PxPanel *p = link->panel;
    int prev = px_curObjNum();
    px_setCurObjNum(link->owner.objectNumber);
    PxEvent ev = {};
    int result;
    std::vector<char> before;
    bool hadCopy = false;
    PxField *f = nullptr;
    if (index < 0) {
        p->currentField = nullptr;
        if (extra >= 0) {
            // The run sees the raised count, never more fields than exist.
            PxPanel raised = *p;
            raised.fieldCount = static_cast<uint8_t>(px_fieldsCovered(p, fieldCountShown(p), extra));
            ++link->running;
            result = px_waitDialog(&ev, &raised);
        } else {
            ++link->running;
            result = px_waitDialog(&ev, p);
        }
        --link->running;
    } else {
        f = fieldAt(link, index);
        if (!f) {
            px_setCurObjNum(prev);
            return zam_replyInt(req, -1);
        }
        p->currentField = f;
        if (!px_applyFieldUpdate(p, f, r)) {
            px_setCurObjNum(prev);
            return zam_replyInt(req, -1);
        }
        px_refreshField(p, index);
        int kind = f->kind & kPxKindMask;
        if ((kind == 1 || kind == 4) && f->value) {
            before.assign(f->value, f->value + f->capacity);
            hadCopy = true;
        }
        ++link->running;
        result = px_editField(&ev, p);
        --link->running;
    }
    px_setCurObjNum(prev);
    if (link->closed) {
        if (link->running == 0) freeLink(link);
        return zam_replyInt(req, -1);
    }
    if (result <= 0) return zam_replyInt(req, result);
    if (!f) return writeEvent(req, ev, result, nullptr, 0);
    int kind = f->kind & kPxKindMask;
    if ((kind != 1 && kind != 4) || !f->value) return writeEvent(req, ev, result, nullptr, 0);
    size_t size;
    if (px_isTextType(f->type & ~kPxVariant)) {
        size = strnlen(f->value, static_cast<size_t>(f->capacity));
        if (size >= static_cast<size_t>(f->capacity)) return writeEvent(req, ev, result, nullptr, 0);
        ++size;
        if (size > kPxReplyTextMax) return writeEvent(req, ev, result, nullptr, 0);
    } else {
        size = static_cast<size_t>(px_valueSize(f->type, 0));
        if (size > static_cast<size_t>(f->capacity)) return writeEvent(req, ev, result, nullptr, 0);
    }
    bool changed = !hadCopy || before.size() != static_cast<size_t>(f->capacity) ||
                   std::memcmp(before.data(), f->value, size) != 0;
    return writeEvent(req, ev, result, changed ? f->value : nullptr, changed ? size : 0);
}

int px_onUpdateField(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int16_t index = r.i16();
    DialogLink *link = r.ok() ? linkOf(handle) : nullptr;
    PxField *f = fieldAt(link, index);
    if (!f) return 0;
    if (px_applyFieldUpdate(link->panel, f, r)) px_refreshField(link->panel, index);
    return 0;
}

int px_onListFocus(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int32_t on = r.i32();
    PxPanel *p = r.ok() ? px_panelOfHandle(handle) : nullptr;
    if (p && px_dialogOfPanel(p) && px_dialogOfPanel(p)->list) px_setListFocus(p, on);
    else if (p) px_setEditorActive(px_editorOf(p), on != 0);
    return 0;
}

int px_onCloseDialog(const PxRequest &req) {
    px_closeWaitBox();
    WireReader r = req.reader();
    int32_t handle = r.i32();
    DialogLink *link = r.ok() ? linkOf(handle) : nullptr;
    if (!link) return 0;
    objtab_removeHandle(&table(), handle, PxObjKind::Dialog);
    px_setCurObjNum(link->prevObjNum);
    closeLink(link);
    return 0;
}

int px_onPanelWindow(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    DialogLink *link = r.ok() ? linkOf(handle) : nullptr;
    if (link) px_panelWindow(link->panel);
    return 0;
}

int px_onModuleOptions(const PxRequest &req) {
    static char mask[64];
    WireReader r = req.reader();
    int16_t pivot = r.i16();
    uint8_t yearEndDays = r.u8();
    uint8_t overwrite = r.u8();
    int16_t maskLength = r.i16();
    r.i16();
    std::string_view text = r.text();
    if (!r.ok()) return 0;
    date_setYearPivot(pivot);
    date_setYearEndDays(yearEndDays);
    // The editor's flag; the user's Insert/Overwrite choice for fields stays.
    px_setEditorOverwrite(overwrite);
    size_t n = text.size() < sizeof mask - 1 ? text.size() : sizeof mask - 1;
    std::memcpy(mask, text.data(), n);
    mask[n] = '\0';
    px_setStringMask(n ? mask : nullptr);
    px_setMaskInputLength(maskLength);
    return 0;
}

int px_onFieldText(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int16_t index = r.i16();
    DialogLink *link = r.ok() ? linkOf(handle) : nullptr;
    std::string text;
    if (!fieldAt(link, index) || !px_getFieldText(link->panel, index, &text)) return zam_replyInt(req, -1);
    if (text.size() > kPxReplyTextMax - 1) text.resize(kPxReplyTextMax - 1);
    WireWriter w = req.writer();
    w.i32(static_cast<int32_t>(text.size()));
    w.bytes(text.c_str(), text.size() + 1);
    return zam_replyLength(w);
}

int px_onScrollSettings(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int16_t flags = r.i16();
    DialogLink *link = r.ok() ? linkOf(handle) : nullptr;
    if (!link) return 0;
    std::unique_ptr<ScrollSettings> *slot =
        (flags & 0x1000) ? &link->horizontal : (flags & 0x2000) ? &link->vertical : nullptr;
    if (!slot) return 0;
    ScrollSettings s = *slot ? **slot : ScrollSettings{};
    if (flags & 1) s.minimum = r.i32();
    if (flags & 2) s.maximum = r.i32();
    if (flags & 4) s.position = r.i32();
    if (flags & 8) s.page = r.i16();
    if (!r.ok()) return 0;
    if (!*slot) slot->reset(new ScrollSettings);
    **slot = s;
    px_setScrollInfo(link->panel, (flags & 0x1000) ? 'H' : 'V', s.minimum, s.maximum, s.page, s.position);
    return 0;
}

HWND px_dialogWindow(int32_t handle) {
    DialogLink *link = linkOf(handle);
    PxDialog *d = link ? px_dialogOfPanel(link->panel) : nullptr;
    return d ? d->hwnd : nullptr;
}

HWND px_dialogStatusBar(int32_t handle) {
    DialogLink *link = linkOf(handle);
    PxDialog *d = link ? px_dialogOfPanel(link->panel) : nullptr;
    return d ? d->statusBar : nullptr;
}

void px_closeAllDialogs(PxObjTable *t) {
    for (;;) {
        DialogLink *found = nullptr;
        int32_t handle = 0;
        for (const PxObjEntry &e : t->entries)
            if (e.handle && e.kind == PxObjKind::Dialog) found = static_cast<DialogLink *>(e.object), handle = e.handle;
        if (!found) return;
        objtab_removeHandle(t, handle, PxObjKind::Dialog);
        closeLink(found);
    }
}

int px_onPopupFieldTip(const PxRequest &req) {
    WireReader r = req.reader();
    int16_t kind = r.i16();
    int16_t value = r.i16();
    int32_t handle = r.i32();
    int32_t number = r.i32();
    int16_t index = r.i16();
    std::string text(r.text());
    std::string extra = r.left() ? std::string(r.text()) : std::string();
    std::string title = r.left() ? std::string(r.text()) : std::string();
    if (!r.ok()) return zam_replyInt(req, -1);
    DialogLink *link = linkOf(handle);
    // An index outside the panel leaves the current field as it is.
    if (PxField *f = fieldAt(link, index)) link->panel->currentField = f;
    int before = px_curObjNum();
    px_setCurObjNum(number);
    int result = px_popupFieldTip(link ? link->panel : nullptr, text.c_str(), kind, value, extra.c_str(), title.c_str());
    px_setCurObjNum(before);
    return zam_replyInt(req, result);
}
