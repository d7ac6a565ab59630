#include "panel.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "dates.h"
#include "formats.h"
#include "nmstring.h"

namespace {

constexpr size_t align8(size_t n) { return (n + 7) & ~size_t(7); }

void *g_lastMenuItem = nullptr;

int disposeNote(void *item) {
    PxPanelNote *note = static_cast<PxPanelNote *>(item);
    std::free(note->text);
    std::free(note);
    return 0;
}

intptr_t noteHasId(void *item, void *context) {
    return static_cast<PxPanelNote *>(item)->id == *static_cast<int32_t *>(context);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
const char *skipBlanks(const char *p) {
    while (*p == ' ') ++p;
    return p;
}

// At most limit digits with decimals after the point (-1: any number).
int checkNumber(const char *text, int limit, int decimals) {
    const char *p = skipBlanks(text);
    if (*p == '+' || *p == '-') ++p;
    int intDigits = 0, fracDigits = 0;
    int intLimit = decimals < 0 ? limit : limit - decimals;
    for (; isDigit(*p); ++p)
        if (++intDigits > intLimit) return 1;
    if (*p == '.') {
        if (decimals == 0) return 1;
        for (++p; isDigit(*p); ++p) {
            ++fracDigits;
            if ((decimals >= 0 && fracDigits > decimals) || intDigits + fracDigits > limit) return 1;
        }
    }
    if (*skipBlanks(p) != '\0') return 1;
    return intDigits + fracDigits == 0 ? -1 : 0;
}

// The stored count of 10^-decimals units the text stands for, read in 64
// bits; false past that range. Used for the range of the small integers.
bool unitsOf(const char *text, int decimals, long long &units) {
    const char *p = skipBlanks(text);
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    long long v = 0;
    int frac = -1;
    for (; isDigit(*p) || (*p == '.' && frac < 0); ++p) {
        if (*p == '.') {
            frac = 0;
            continue;
        }
        if (frac >= 0 && frac++ >= decimals) continue;  // digits past the stored ones
        if (v > 1000000000000LL) return false;
        v = v * 10 + (*p - '0');
    }
    for (int f = frac < 0 ? 0 : frac; f < decimals; ++f)
        if ((v *= 10) > 1000000000000LL) return false;
    units = negative ? -v : v;
    return true;
}

int checkRange(const char *text, int decimals, long long lo, long long hi) {
    long long units = 0;
    if (!unitsOf(text, std::max(decimals, 0), units)) return 1;
    return units < lo || units > hi ? 1 : 0;
}

int moneyRule(const char *text, int length) {
    return length >= 0 ? checkNumber(text, 16, length) : checkNumber(text, 16 + length, 0);
}

// Decimals of the simple number rules: -1 is "any", other negatives none.
int plainDecimals(int length) { return length < -1 ? 0 : length; }

}  // namespace

char *px_strndup(const char *text, size_t len) {
    if (!text) return nullptr;
    char *copy = static_cast<char *>(mem_calloc(len + 1));
    if (copy) std::memcpy(copy, text, len);
    return copy;
}

char *px_strdup(const char *text) { return text ? px_strndup(text, std::strlen(text)) : nullptr; }

PxPanel *px_allocPanel(int32_t id, int fieldCount, int textCount, int16_t left, int16_t top, int16_t right,
                       int16_t bottom, int32_t helpContext, uint8_t mark, size_t userBlockSize) {
    if (fieldCount < 0 || fieldCount > 255 || textCount < 0 || textCount > 255) return nullptr;
    size_t userSize = align8((userBlockSize + 3) & ~size_t(3));
    size_t header = align8(sizeof(PxPanel));
    size_t runtime = align8(sizeof(PxPanelRuntime));
    size_t fields = align8(sizeof(PxField) * static_cast<size_t>(fieldCount));
    size_t total = header + userSize + runtime + fields + sizeof(PxText) * static_cast<size_t>(textCount);
    char *block = static_cast<char *>(mem_calloc(total));
    if (!block) return nullptr;
    PxPanel *panel = new (block) PxPanel{};
    panel->userBlock = userSize ? block + header : nullptr;
    panel->userBlockSize = userBlockSize;
    panel->runtime = new (block + header + userSize) PxPanelRuntime{};
    panel->fields = reinterpret_cast<PxField *>(block + header + userSize + runtime);
    panel->texts = reinterpret_cast<PxText *>(block + header + userSize + runtime + fields);
    panel->fieldRoom = static_cast<uint8_t>(fieldCount);
    panel->textRoom = static_cast<uint8_t>(textCount);
    panel->id = id;
    panel->left = left;
    panel->top = top;
    panel->right = right;
    panel->bottom = bottom;
    panel->helpContext = helpContext;
    panel->mark = mark;
    panel->marker = 255;
    return panel;
}

void px_freePanel(PxPanel *panel) {
    if (!panel) return;
    px_releasePanelFormats(panel);
    px_freeFormatSlots(panel);
    for (int i = 0; i < panel->fieldCount; ++i) {
        PxField &f = panel->fields[i];
        std::free(f.header);
        std::free(f.value);
        std::free(f.format);
    }
    for (int i = 0; i < panel->textCount; ++i) std::free(panel->texts[i].text);
    px_freePanelNotes(panel);
    std::free(panel->caption);
    std::free(panel->caption2);
    panel->~PxPanel();
    std::free(panel);
}

PxText *px_appendText(PxPanel *panel, int32_t value, const char *text, int16_t column, int16_t row) {
    if (panel->textCount >= panel->textRoom) return nullptr;
    char *copy = px_strdup(text ? text : "");
    if (!copy) return nullptr;
    PxText &t = panel->texts[panel->textCount++];
    t = PxText{};
    t.value = value;
    t.text = copy;
    t.column = column;
    t.row = row;
    return &t;
}

PxText *px_appendBox(PxPanel *panel, int32_t value, int8_t column, int8_t row, int8_t width, int8_t height) {
    if (panel->textCount >= panel->textRoom) return nullptr;
    PxText &t = panel->texts[panel->textCount++];
    t = PxText{};
    t.value = value;
    t.column = kPxBoxMark;
    t.boxColumn = column;
    t.boxRow = row;
    t.boxWidth = width;
    t.boxHeight = height;
    return &t;
}

PxField *px_appendField(PxPanel *panel, uint8_t kind, int32_t number, uint8_t type, int32_t length,
                        int16_t column, int16_t row, int16_t width, int16_t height, uint32_t options) {
    if (panel->fieldCount >= panel->fieldRoom) return nullptr;
    PxField &f = panel->fields[panel->fieldCount++];
    PxFormatSlot *slot = f.formatSlot;  // slots are made for the whole room
    f = PxField{};
    f.formatSlot = slot;
    f.kind = kind;
    f.number = number;
    f.type = type;
    f.length = length;
    f.column = column;
    f.row = row;
    f.width = width;
    f.height = height;
    f.options = options;
    return &f;
}

int px_valueSize(int type, int fallback) {
    static const int kSizes[kPxValueTypeCount] = {2, 4, 4, 4, 8, 8, 8, -1, -1, 4, 4, 4, 1,
                                                  1, 8, 8, 8, 10, -1, 8, 8, 10, 8, 10, -1, 16};
    if (type < 0) return 0;
    type &= ~kPxVariant;
    if (type >= kPxValueTypeCount) return 0;
    return kSizes[type] < 0 ? fallback : kSizes[type];
}

bool px_isTextType(int type) { return type >= 0 && type < 256 && px_valueSize(type, -1) == -1; }

bool px_fieldResize(PxField *field, size_t bytes) {
    if (bytes > INT32_MAX) return false;
    char *buffer = nullptr;
    if (bytes) {
        buffer = static_cast<char *>(mem_calloc(bytes));
        if (!buffer) return false;
        if (field->value) std::memcpy(buffer, field->value, std::min(bytes, static_cast<size_t>(field->capacity)));
        if (px_isTextType(field->type)) buffer[bytes - 1] = '\0';
    }
    std::free(field->value);
    field->value = buffer;
    field->capacity = static_cast<int32_t>(bytes);
    return true;
}

bool px_fieldReserve(PxField *field, size_t bytes) {
    if (field->value && static_cast<size_t>(field->capacity) >= bytes) return true;
    return px_fieldResize(field, bytes);
}

bool px_fieldStoreText(PxField *field, const char *text, size_t len) {
    size_t need = std::max(len + 1, static_cast<size_t>(std::max(field->length, 0)));
    if (!px_fieldReserve(field, need)) return false;
    std::memcpy(field->value, text, len);
    std::memset(field->value + len, 0, static_cast<size_t>(field->capacity) - len);
    return true;
}

int px_checkFieldText(const char *text, const PxField *field) {
    if (!text) text = "";
    int n = field->length;
    switch (field->type & ~kPxVariant) {
    case PXV_INT16:
        if (checkRange(text, plainDecimals(n), -32000, 32000)) return 1;
        return checkNumber(text, 5, plainDecimals(n));
    case PXV_INT32: return checkNumber(text, 9, plainDecimals(n));
    case PXV_FLOAT:
    case PXV_FLOATG: return checkNumber(text, 6, plainDecimals(n));
    case PXV_DOUBLE:
    case PXV_DOUBLEG:
    case PXV_LDOUBLE: return checkNumber(text, 16, n < 0 ? -n : n);
    case PXV_MONEY:
    case PXV_MONEY64:
    case PXV_MONEY64G:
    case PXV_MONEYG:
    case PXV_DINT:
    case PXV_LDINT:
    case PXV_DINTG:
    case PXV_LDINTG: return moneyRule(text, n);
    case PXV_DATE: {
        bdate d{};
        if (field->options & kPxSecondDateForm) return date_split(text, d, '.') == kDateOk ? 0 : 1;
        return date_parse(text, d) == kDateOk ? 0 : 1;
    }
    case PXV_TIME: {
        btime t{};
        return time_parse(text, t) == kDateOk ? 0 : 1;
    }
    case PXV_SHORTTIME: {
        btime t{};
        return time_parseShort(text, t) == kDateOk ? 0 : 1;
    }
    case PXV_CHAR: return std::strlen(text) <= 1 ? 0 : 1;
    case PXV_BYTE:
        if (checkRange(text, plainDecimals(n), 0, 255)) return 1;
        return checkNumber(text, 3, plainDecimals(n));
    case PXV_RJSTRING: {
        int digits = 0;
        for (const char *p = skipBlanks(text); *p; ++p) {
            if (*p == ' ' && *skipBlanks(p) == '\0') break;
            if (!isDigit(*p) || ++digits > n - 1) return 1;
        }
        return 0;
    }
    case PXV_MONEY2: {
        if (n < 5) return checkNumber(text, n + 14, std::max(n, 0));
        return checkNumber(text, 18, 4);
    }
    case PXV_DECIMAL:
        if (field->type & kPxVariant) return checkNumber(text, 28, (field->options & kPxAnyDecimals) ? -1 : std::max(n, 0));
        return n < 13 ? checkNumber(text, n + 16, std::max(n, 0)) : checkNumber(text, 28, 12);
    default: return 0;
    }
}

bool px_allocFormatSlots(PxPanel *panel) {
    if (!panel->runtime) return false;
    px_freeFormatSlots(panel);
    size_t n = std::max<size_t>(panel->fieldRoom, 1);
    PxFormatSlot *slots = static_cast<PxFormatSlot *>(mem_calloc(sizeof(PxFormatSlot) * n));
    if (!slots) return false;
    panel->runtime->formatSlots = slots;
    for (int i = 0; i < panel->fieldRoom; ++i) panel->fields[i].formatSlot = &slots[i];
    return true;
}

void px_freeListData(PxListData *data) {
    if (!data) return;
    std::free(data->text);
    std::free(data);
}

void px_freeFormatSlots(PxPanel *panel) {
    if (!panel->runtime || !panel->runtime->formatSlots) return;
    PxFormatSlot *slots = panel->runtime->formatSlots;
    for (int i = 0; i < panel->fieldRoom; ++i) {
        px_fmtRelease(slots[i].formatter);
        std::free(slots[i].formatText);
        std::free(slots[i].text2);
        px_freeListData(slots[i].listData);
        panel->fields[i].formatSlot = nullptr;
    }
    std::free(slots);
    panel->runtime->formatSlots = nullptr;
}

PxPanelNote *px_findPanelNote(const PxPanel *panel, int32_t id) {
    if (!panel->runtime || !panel->runtime->notes) return nullptr;
    return static_cast<PxPanelNote *>(ring_findItem(panel->runtime->notes, noteHasId, &id));
}

int px_addPanelNote(PxPanel *panel, int32_t id, int32_t width, int32_t style, uint8_t shown) {
    PxPanelRuntime *rt = panel->runtime;
    if (!rt || px_findPanelNote(panel, id)) return -1;
    if (!rt->notes) {
        RingList *list = static_cast<RingList *>(mem_calloc(sizeof(RingList)));
        if (!list) return -1;
        ring_init(list, 0, static_cast<int32_t>(offsetof(PxPanelNote, link)));
        rt->notes = list;
    }
    PxPanelNote *note = static_cast<PxPanelNote *>(mem_calloc(sizeof(PxPanelNote)));
    if (!note) return -1;
    note->id = id;
    note->width = width;
    note->style = style;
    note->shown = shown;
    ring_append(rt->notes, note);
    return 0;
}

int px_setPanelNoteText(PxPanel *panel, int32_t id, const char *text) {
    PxPanelNote *note = px_findPanelNote(panel, id);
    if (!note) return -1;
    char *copy = nullptr;
    if (text && !(copy = px_strdup(text))) return -1;
    std::free(note->text);
    note->text = copy;
    return 0;
}

void px_freePanelNotes(PxPanel *panel) {
    if (!panel->runtime || !panel->runtime->notes) return;
    ring_clear(panel->runtime->notes, disposeNote);
    std::free(panel->runtime->notes);
    panel->runtime->notes = nullptr;
}

void *px_setLastMenuItem(void *item) {
    void *previous = g_lastMenuItem;
    g_lastMenuItem = item;
    return previous;
}

void *px_getLastMenuItem() { return g_lastMenuItem; }

int px_fieldsCovered(const PxPanel *panel, int shownCount, int extra) {
    long long n = static_cast<long long>(std::max(shownCount, 0)) + std::max(extra, 0);
    return static_cast<int>(std::min<long long>(n, panel->fieldCount));
}
