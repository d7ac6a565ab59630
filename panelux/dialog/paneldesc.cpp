#include "paneldesc.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "formats.h"
#include "nmstring.h"

namespace {

// Smallest encodings: a box, a text or pane with an empty text, a field
// with two empty texts and an empty text value.
constexpr size_t kBoxSize = 6, kTextMin = 5, kFieldMin = 16 + 2 + 1, kPaneMin = 5;

struct DescHeader {
    int32_t owner1, owner2;
    uint16_t id;
    uint8_t boxes, texts, fields, panes;
    int8_t left, top, right, bottom;
    int32_t options;
    uint8_t ownerByte;
    int16_t helpContext;
};

DescHeader readHeader(WireReader &r) {
    DescHeader h{};
    h.owner1 = r.i32();
    h.owner2 = r.i32();
    h.id = r.u16();
    h.boxes = r.u8();
    h.texts = r.u8();
    h.fields = r.u8();
    h.panes = r.u8();
    h.left = r.i8();
    h.top = r.i8();
    h.right = r.i8();
    h.bottom = r.i8();
    h.options = r.i32();
    h.ownerByte = r.u8();
    h.helpContext = r.i16();
    return h;
}

// Texts from the reader end with their NUL inside the record, so data() is
// a terminated text while the request lasts; everything kept is a copy.
char *copyText(std::string_view s) { return px_strndup(s.data(), s.size()); }

// An empty caption is none.
bool readCaption(WireReader &r, char *&caption) {
    std::string_view s = r.text();
    if (!r.ok()) return false;
    if (s.empty()) return true;
    return (caption = copyText(s)) != nullptr;
}

// The value part: the type's binary size, or a text for text types. The
// buffer is made large enough first, whatever size it had.
bool readValue(WireReader &r, PxField *f) {
    int size = px_valueSize(f->type, 0);
    if (size > 0) {
        const unsigned char *bytes = r.bytes(static_cast<size_t>(size));
        if (!bytes || !px_fieldReserve(f, static_cast<size_t>(size))) return false;
        std::memcpy(f->value, bytes, static_cast<size_t>(size));
        return true;
    }
    std::string_view s = r.text();
    return r.ok() && px_fieldStoreText(f, s.data(), s.size());
}

bool readField(WireReader &r, PxPanel *panel) {
    uint8_t kind = r.u8();
    uint16_t number = r.u16();
    uint8_t type = r.u8();
    int16_t length = r.i16();
    int8_t column = r.i8(), row = r.i8(), width = r.i8(), height = r.i8();
    int16_t help = r.i16();
    uint32_t options = r.u32();
    std::string_view header = r.text(), format = r.text();
    if (!r.ok()) return false;
    PxField *f = px_appendField(panel, kind, number, type, length, column, row, width, height, options);
    if (!f) return false;
    f->helpContext = help;
    if ((!header.empty() && !(f->header = copyText(header))) || (!format.empty() && !(f->format = copyText(format))))
        return false;
    return readValue(r, f);
}

bool readPane(WireReader &r, PxPanel *panel) {
    int8_t id = r.i8(), width = r.i8(), shown = r.i8();
    uint8_t style = r.u8();
    std::string_view text = r.text();
    if (!r.ok()) return false;
    if (px_addPanelNote(panel, id, width, style, shown != 0) == 0 || px_findPanelNote(panel, id)) {
        return px_setPanelNoteText(panel, id, text.data()) == 0;
    }
    return false;
}

bool readItems(WireReader &r, const DescHeader &h, PxPanel *panel) {
    if (!readCaption(r, panel->caption) || !readCaption(r, panel->caption2)) return false;
    for (int i = 0; i < h.boxes; ++i) {
        uint16_t value = r.u16();
        int8_t column = r.i8(), row = r.i8(), width = r.i8(), height = r.i8();
        if (!r.ok() || !px_appendBox(panel, value, column, row, width, height)) return false;
    }
    for (int i = 0; i < h.texts; ++i) {
        uint16_t value = r.u16();
        int8_t column = r.i8(), row = r.i8();
        std::string_view text = r.text();
        if (!r.ok()) return false;
        if (!px_appendText(panel, value, text.data(), column, row)) return false;
    }
    for (int i = 0; i < h.fields; ++i)
        if (!readField(r, panel)) return false;
    for (int i = 0; i < h.panes; ++i)
        if (!readPane(r, panel)) return false;
    return true;
}

bool readListData(WireReader &r, PxPanel *panel, PxField *field) {
    uint8_t type = r.u8();
    std::string_view text;
    bool hasText = type == PXV_STRING || type == PXV_MASKSTR || type == PXV_RJSTRING;
    if (hasText) text = r.text();
    if (!r.ok()) return false;
    if (!field->formatSlot && !px_allocFormatSlots(panel)) return false;
    PxFormatSlot *slot = field->formatSlot;
    px_freeListData(slot->listData);
    slot->listData = nullptr;
    if (type == 255) return true;
    PxListData *data = static_cast<PxListData *>(mem_calloc(sizeof(PxListData)));
    if (!data) return false;
    data->type = type;
    if (hasText) {
        data->text = copyText(text);
        data->length = static_cast<int32_t>(text.size());
        if (!data->text) {
            px_freeListData(data);
            return false;
        }
    }
    slot->listData = data;
    return true;
}

bool readFormat(WireReader &r, PxPanel *panel, PxField *field) {
    std::string_view text = r.text();
    if (!r.ok()) return false;
    char *copy = copyText(text);
    if (!copy) return false;
    std::free(field->format);
    field->format = copy;
    const PxFormatSlot *slot = field->formatSlot;
    if (slot && slot->formatText && std::strcmp(slot->formatText, copy) == 0) return true;
    return px_recreateFieldFormat(panel, field);
}

bool readText2(WireReader &r, PxPanel *panel, PxField *field) {
    std::string_view text = r.text();
    if (!r.ok() || (!field->formatSlot && !px_allocFormatSlots(panel))) return false;
    char *copy = copyText(text);
    if (!copy) return false;
    std::free(field->formatSlot->text2);
    field->formatSlot->text2 = copy;
    return true;
}

}  // namespace

PxPanel *px_buildPanel(WireReader &r, size_t userBlockSize, PxPanelOwner *owner) {
    DescHeader h = readHeader(r);
    if (!r.ok() || h.boxes + h.texts > 255) return nullptr;
    size_t least = h.boxes * kBoxSize + h.texts * kTextMin + h.fields * kFieldMin + h.panes * kPaneMin + 2;
    if (!r.canHold(1, least)) return nullptr;
    PxPanelPtr panel(px_allocPanel(h.id, h.fields, h.boxes + h.texts, h.left, h.top, h.right, h.bottom, h.helpContext,
                                   255, userBlockSize));
    if (!panel || !readItems(r, h, panel.get())) return nullptr;
    panel->options = static_cast<uint32_t>(h.options);
    panel->name = "$$";
    if (owner) {
        owner->serverHandle = h.owner1;
        owner->objectNumber = h.owner2;
        owner->ownerByte = h.ownerByte ? h.ownerByte : -1;
        panel->owner = owner;
    }
    return panel.release();
}

bool px_applyFieldUpdate(PxPanel *panel, PxField *field, WireReader &r) {
    uint8_t flags = r.u8();
    if (flags & kPxUpdKind) {
        field->kind = r.u8();
        field->number = r.u16();
    }
    if (flags & kPxUpdType) {
        uint8_t type = r.u8();
        int16_t length = r.i16();
        if (!r.ok()) return false;
        int size = px_valueSize(type, length);
        if (size < 0) return false;
        field->type = type;
        field->length = length;
        // Resized first, also when a value follows: the buffer then suits
        // the new type even if the value part turns out malformed.
        if (!px_fieldResize(field, static_cast<size_t>(size))) return false;
    }
    if (flags & kPxUpdWidth) field->width = r.u8();
    if (flags & kPxUpdOptions) field->options = r.u32();
    if (!r.ok()) return false;
    if ((flags & kPxUpdValue) && !readValue(r, field)) return false;
    if ((flags & kPxUpdFormat) && !readFormat(r, panel, field)) return false;
    if ((flags & kPxUpdText2) && !readText2(r, panel, field)) return false;
    if ((flags & kPxUpdList) && !readListData(r, panel, field)) return false;
    return r.ok();
}
