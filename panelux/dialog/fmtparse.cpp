// Format texts of fields and the formatter calls of the field controls;
// loading the library itself is in fmtload_*.cpp.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "formats.h"
#include "letters.h"

namespace {

bool startsNoCase(const char *text, const char *prefix) {
    return oem_compareNoCaseN(text, prefix, std::strlen(prefix)) == 0;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

const char kNumber[] = "FMT_NUMBER";
const char kDefault[] = "FMT_DEFAULT";

// Money-like types, whose '-' parameter asks for no decimals.
bool takesSignParam(int type) {
    switch (type & ~kPxVariant) {
    case 6: case 14: case 15: case 16: case 19: case 20: case 21: case 22: case 23: case 25: return true;
    default: return false;
    }
}

void freeSlotFormat(PxFormatSlot *slot) {
    px_fmtRelease(slot->formatter);
    slot->formatter = nullptr;
    std::free(slot->formatText);
    slot->formatText = nullptr;
}

// Makes the field's formatter and keeps the text it was made from.
void makeSlotFormat(PxField *field) {
    PxFormatSlot *slot = field->formatSlot;
    PxFormatter *f = px_fmtCreateForField(field->format, field);
    if (!f) return;
    char *copy = px_strdup(field->format);
    if (!copy) {
        px_fmtRelease(f);
        return;
    }
    slot->formatter = f;
    slot->formatText = copy;
}

bool takesFormat(const PxField *field) {
    int kind = field->kind & kPxKindMask;
    return kind != 4 && kind != 8;
}

}  // namespace

char *px_fmtKeyValue(const char *text, const char *key) {
    const char *start = text ? std::strstr(text, key) : nullptr;
    if (!start) return nullptr;
    start += std::strlen(key);
    const char *end = std::strchr(start, ',');
    if (std::strcmp(key, "Name:") == 0 && end) {
        // A bracketed parameter list may hold commas of its own.
        const char *open = std::strchr(start, '[');
        const char *close = open ? std::strchr(open, ']') : nullptr;
        if (close && open < end && end < close) end = std::strchr(close, ',');
    }
    if (!end) end = start + std::strlen(start);
    while (start < end && isBlank(*start)) ++start;
    while (end > start && isBlank(end[-1])) --end;
    if (start == end) return nullptr;
    return px_strndup(start, static_cast<size_t>(end - start));
}

char *px_fmtParseText(const char *formatText, char **align) {
    if (align) *align = nullptr;
    if (!formatText) return nullptr;
    char *type = px_fmtKeyValue(formatText, "Type:");
    bool wanted = !type || oem_compareNoCase(type, "C") == 0;
    std::free(type);
    if (!wanted) return nullptr;
    char *name = px_fmtKeyValue(formatText, "Name:");
    if (name && align) *align = px_fmtKeyValue(formatText, "Align:");
    return name;
}

bool px_fmtNameFitsType(const char *name, int type) {
    type &= ~kPxVariant;
    auto in = [type](int lo, int hi) { return type >= lo && type <= hi; };
    if (startsNoCase(name, kNumber)) return in(0, 8) || in(13, 23) || type == 25;
    if (startsNoCase(name, "FMT_DATE")) return type == 7 || type == 8 || type == 9 || type == 18;
    if (startsNoCase(name, "FMT_TIME")) return type == 7 || type == 8 || type == 10 || type == 11 || type == 18;
    if (startsNoCase(name, "FMT_USERDEFINED")) return type == 7 || type == 8 || type == 18;
    if (startsNoCase(name, kDefault)) return in(0, 23) || type == 25;
    return false;
}

int px_fmtParamPos(const char *name, int which) {
    size_t len = std::strlen(name);
    if (startsNoCase(name, kNumber)) {
        if (len <= 11) return -1;
        const char *point = std::strchr(name + (name[11] == '[' ? 13 : 12), '.');
        if (!point) return -1;
        int pos = static_cast<int>(point - name) + (which ? 1 : 0);
        return static_cast<size_t>(pos) < len ? pos : -1;
    }
    if (startsNoCase(name, kDefault)) {
        if (len <= 12) return -1;
        int pos = which ? 12 : 13;
        return static_cast<size_t>(pos) < len ? pos : -1;
    }
    return -1;
}

char *px_fmtFillName(const char *name, const PxField *field) {
    std::string s(name);
    bool number = startsNoCase(name, kNumber), deflt = startsNoCase(name, kDefault);
    if ((number || deflt) && s.find('*') != std::string::npos) {
        // Clamped, so the name grows by one character at the most.
        int decimals = std::min(std::max(field->length, 0), 9);
        size_t star = s.find('*');
        int split = px_fmtParamPos(s.c_str(), 0);
        if (split < 0 || star < static_cast<size_t>(split)) {
            int n = deflt ? decimals : std::min(std::max<int>(field->width, 0), 99);
            s.replace(star, 1, std::to_string(n));
        }
        split = px_fmtParamPos(s.c_str(), 0);
        star = s.find('*');
        if (split >= 0 && star != std::string::npos && star > static_cast<size_t>(split))
            s.replace(star, 1, std::to_string(decimals));
    }
    int param = px_fmtParamPos(s.c_str(), 1);
    if (param >= 0 && s[param] == '-' && takesSignParam(field->type)) {
        s[param] = '0';
        if (static_cast<size_t>(param) + 1 < s.size()) s.erase(param + 1, 1);
    }
    return px_strndup(s.c_str(), s.size());
}

PxFormatter *px_fmtCreateForField(const char *formatText, const PxField *field) {
    char *align = nullptr;
    char *name = px_fmtParseText(formatText, &align);
    PxFormatter *f = nullptr;
    char *filled = name && px_fmtNameFitsType(name, field->type) ? px_fmtFillName(name, field) : nullptr;
    if (filled && (f = px_fmtCreate(kQvFmtKindTemplate))) {
        f->fn.setFormat(f, filled);
        if (f->fn.version(f) > kQvFmtBindTypeAbove) f->fn.bindType(f, field->type, -1);
        f->fn.setOption(f, kQvFmtOption);
        f->fn.setCodePage(f, kQvFmtOem);
        if (align) {
            if (oem_compareNoCase(align, "r") == 0) f->fn.alignment(f, kQvFmtRight);
            else if (oem_compareNoCase(align, "l") == 0) f->fn.alignment(f, kQvFmtLeft);
            else if (oem_compareNoCase(align, "c") == 0) f->fn.alignment(f, kQvFmtCentre);
        }
    }
    std::free(filled);
    std::free(name);
    std::free(align);
    return f;
}

bool px_createPanelFormats(PxPanel *panel) {
    if (panel->fieldCount == 0) return true;
    if (!panel->fields[0].formatSlot && !px_allocFormatSlots(panel)) return false;
    for (int i = 0; i < panel->fieldCount; ++i) {
        PxField *field = &panel->fields[i];
        if (takesFormat(field) && !field->formatSlot->formatter) makeSlotFormat(field);
    }
    return true;
}

bool px_recreateFieldFormat(PxPanel *panel, PxField *field) {
    if (!field->formatSlot && !px_allocFormatSlots(panel)) return false;
    if (!takesFormat(field)) return true;
    freeSlotFormat(field->formatSlot);
    makeSlotFormat(field);
    return true;
}

void px_releasePanelFormats(PxPanel *panel) {
    for (int i = 0; i < panel->fieldCount; ++i) {
        PxFormatSlot *slot = panel->fields[i].formatSlot;
        if (slot && slot->formatter) freeSlotFormat(slot);
    }
}

int px_fmtGetAlign(PxFormatter *f) {
    if (!f) return -1;
    switch (f->fn.alignment(f, kQvFmtQuery)) {
    case kQvFmtRight: return 1;
    case kQvFmtLeft: return 0;
    case kQvFmtCentre: return 2;
    default: return -1;
    }
}

bool px_fmtIsChanged(PxFormatter *f) { return !f || f->fn.isModified(f) != 0; }

bool px_fmtGetValue(PxFormatter *f, PxField *field) {
    if (!f || !field->value || !f->fn.normalize(f)) return false;
    int type = field->type & ~kPxVariant;
    if (type == PXV_CHAR) {
        char text[2] = {};
        PxFmtValue v{PXV_STRING, text, sizeof text};
        if (!f->fn.getValue(f, &v)) return false;
        field->value[0] = text[0];
        return true;
    }
    if (px_isTextType(type)) {
        // The field's length, never more than its buffer holds.
        int size = std::min(std::max(field->length, 1), field->capacity);
        size = std::min(size, 0x7FFF);
        PxFmtValue v{PXV_STRING, field->value, static_cast<int16_t>(size)};
        bool stored = f->fn.getValue(f, &v) != 0;
        field->value[size - 1] = '\0';
        return stored;
    }
    if (field->capacity < px_valueSize(type, 0)) return false;
    PxFmtValue v{field->type, field->value, 0};
    return f->fn.getValue(f, &v) != 0;
}

bool px_fmtSetValue(PxFormatter *f, const PxField *field) {
    if (!f) return false;
    int type = field->type & ~kPxVariant;
    if (type == PXV_CHAR) {
        char text[2] = {field->value ? field->value[0] : '\0', '\0'};
        f->fn.setText(f, text);
    } else if (px_isTextType(type)) {
        f->fn.setText(f, field->value ? field->value : "");
    } else {
        if (!field->value || field->capacity < px_valueSize(type, 0)) return false;
        PxFmtValue v{field->type, field->value, 0};
        f->fn.setValue(f, &v);
    }
    f->fn.normalize(f);
    if (f->fn.version(f) > kQvFmtEditAbove) f->fn.setModified(f, 0);
    return true;
}

void px_fmtStartEdit(PxFormatter *f, bool selectAll) {
    if (!f) return;
    if (selectAll && f->fn.version(f) > kQvFmtSelectAllAbove) f->fn.selectAll(f);
    else f->fn.moveCaret(f, QVFMT_START);
}

void px_fmtSetInsert(PxFormatter *f, bool overwrite) {
    if (f) f->fn.setInsertMode(f, overwrite ? 0 : 1);
}
