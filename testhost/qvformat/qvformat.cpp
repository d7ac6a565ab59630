// Stand-in for the outside format-template library: a formatter object that
// is its own table of entries, with a small text model. FMT_NUMBER[w.d]
// takes a sign, digits and (with d above 0) one point, and normalizes its
// text to d decimals; every other template takes any character.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "standin.h"

namespace {

uint32_t g_version = 5;
int g_live = 0;
std::string g_log;

struct Fmt : PxFormatter {
    std::string name, text, shown;
    bool number = false;
    int width = 0, decimals = 0;
    int caret = 0, anchor = -1;
    bool insert = true, modified = false;
    uint8_t codePage = kQvFmtAnsi, align = kQvFmtLeft;
    int32_t type = 7;
};

Fmt *self(PxFormatter *f) { return static_cast<Fmt *>(f); }
void logCall(const char *name) { g_log.append(name).append(";"); }

int selLo(const Fmt *s) { return s->anchor < 0 ? s->caret : std::min(s->anchor, s->caret); }
int selHi(const Fmt *s) { return s->anchor < 0 ? s->caret : std::max(s->anchor, s->caret); }
int len(const Fmt *s) { return static_cast<int>(s->text.size()); }

bool takes(const Fmt *s, int c) {
    if (!s->number) return true;
    if (c >= '0' && c <= '9') return true;
    if (c == '-') return s->caret == 0 && s->text.find('-') == std::string::npos;
    if (c == '.') return s->decimals > 0 && s->text.find('.') == std::string::npos;
    return false;
}

void dropSelection(Fmt *s) {
    if (s->anchor < 0) return;
    int lo = selLo(s), hi = selHi(s);
    s->text.erase(static_cast<size_t>(lo), static_cast<size_t>(hi - lo));
    s->caret = lo;
    s->anchor = -1;
}

// Fixed-point text of a count of 10^-scale units with the template's decimals.
std::string unitsText(long long units, int scale, int decimals) {
    double v = static_cast<double>(units);
    for (int i = 0; i < scale; ++i) v /= 10;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

long long textUnits(const std::string &t, int scale) {
    double v = std::strtod(t.c_str(), nullptr);
    for (int i = 0; i < scale; ++i) v *= 10;
    return static_cast<long long>(v < 0 ? v - 0.5 : v + 0.5);
}

template <class T> T get(const void *p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class T> void put(void *p, T v) { std::memcpy(p, &v, sizeof v); }

void QVFMTCALL setFormat(PxFormatter *f, const char *name) {
    logCall("setFormat");
    Fmt *s = self(f);
    s->name = name ? name : "";
    s->number = s->name.compare(0, 10, "FMT_NUMBER") == 0;
    if (s->number) std::sscanf(s->name.c_str() + 10, "[%d.%d]", &s->width, &s->decimals);
}

void QVFMTCALL setText(PxFormatter *f, const char *text) {
    logCall("setText");
    Fmt *s = self(f);
    s->text = text ? text : "";
    s->caret = len(s);
    s->anchor = -1;
    s->modified = false;
}

void QVFMTCALL setValue(PxFormatter *f, const PxFmtValue *v) {
    logCall("setValue");
    Fmt *s = self(f);
    int d = s->number ? s->decimals : 2;
    switch (v->type & 0x7F) {
    case 0: s->text = std::to_string(get<int16_t>(v->value)); break;
    case 1: s->text = std::to_string(get<int32_t>(v->value)); break;
    case 13: s->text = std::to_string(get<uint8_t>(v->value)); break;
    case 2: case 3: s->text = unitsText(static_cast<long long>(get<float>(v->value) * 1e4), 4, d); break;
    case 4: case 5: s->text = unitsText(static_cast<long long>(get<double>(v->value) * 1e4), 4, d); break;
    case 6: case 14: case 15: case 16: case 19: s->text = unitsText(get<int64_t>(v->value), 4, d); break;
    case 7: s->text = static_cast<const char *>(v->value); break;
    default: s->text.clear(); break;
    }
    s->caret = len(s);
    s->anchor = -1;
    s->modified = false;
}

uint8_t QVFMTCALL getValue(PxFormatter *f, PxFmtValue *v) {
    logCall("getValue");
    Fmt *s = self(f);
    const std::string &t = s->text;
    switch (v->type & 0x7F) {
    case 0: put<int16_t>(v->value, static_cast<int16_t>(std::atoi(t.c_str()))); return 1;
    case 1: put<int32_t>(v->value, static_cast<int32_t>(std::atol(t.c_str()))); return 1;
    case 13: put<uint8_t>(v->value, static_cast<uint8_t>(std::atoi(t.c_str()))); return 1;
    case 2: case 3: put<float>(v->value, static_cast<float>(std::strtod(t.c_str(), nullptr))); return 1;
    case 4: case 5: put<double>(v->value, std::strtod(t.c_str(), nullptr)); return 1;
    case 6: case 14: case 15: case 16: case 19: put<int64_t>(v->value, textUnits(t, 4)); return 1;
    case 7: {
        if (v->size <= 0) return 0;
        size_t n = std::min(t.size(), static_cast<size_t>(v->size - 1));
        std::memcpy(v->value, t.data(), n);
        static_cast<char *>(v->value)[n] = '\0';
        return 1;
    }
    default: return 0;
    }
}

const char *QVFMTCALL text(PxFormatter *f, int32_t maximum) {
    logCall("text");
    Fmt *s = self(f);
    s->shown = s->text.substr(0, static_cast<size_t>(std::max(maximum, 0)));
    return s->shown.c_str();
}

uint8_t QVFMTCALL setInsertMode(PxFormatter *f, uint8_t insert) {
    logCall("setInsertMode");
    uint8_t previous = self(f)->insert;
    self(f)->insert = insert != 0;
    return previous;
}

uint8_t QVFMTCALL isInsertMode(PxFormatter *f) { return self(f)->insert; }
int32_t QVFMTCALL textLength(PxFormatter *f) {
    logCall("textLength");
    return len(self(f));
}

uint8_t QVFMTCALL deleteChar(PxFormatter *f) {
    Fmt *s = self(f);
    if (s->anchor >= 0) dropSelection(s);
    else if (s->caret < len(s)) s->text.erase(static_cast<size_t>(s->caret), 1);
    else return 0;
    s->modified = true;
    return 1;
}

uint8_t QVFMTCALL deleteBack(PxFormatter *f) {
    Fmt *s = self(f);
    if (s->caret == 0) return 0;
    s->text.erase(static_cast<size_t>(--s->caret), 1);
    s->modified = true;
    return 1;
}

uint8_t QVFMTCALL putChar(PxFormatter *f, int32_t c) {
    logCall("putChar");
    Fmt *s = self(f);
    dropSelection(s);
    if (c <= 0 || c > 255 || !takes(s, c)) return 0;
    if (!s->insert && s->caret < len(s)) s->text[static_cast<size_t>(s->caret)] = static_cast<char>(c);
    else s->text.insert(static_cast<size_t>(s->caret), 1, static_cast<char>(c));
    ++s->caret;
    s->modified = true;
    return 1;
}

int moved(const Fmt *s, int32_t move) {
    switch (move) {
    case QVFMT_START: return 0;
    case QVFMT_LEFT: return std::max(s->caret - 1, 0);
    case QVFMT_RIGHT: return std::min(s->caret + 1, len(s));
    case QVFMT_END: return len(s);
    default: return s->caret;
    }
}

uint8_t QVFMTCALL moveCaret(PxFormatter *f, int32_t move) {
    logCall("moveCaret");
    Fmt *s = self(f);
    s->caret = moved(s, move);
    s->anchor = -1;
    return 1;
}

uint8_t QVFMTCALL setCaret(PxFormatter *f, int32_t pos) {
    Fmt *s = self(f);
    s->caret = std::min(std::max(pos, 0), len(s));
    s->anchor = -1;
    return 1;
}

int32_t QVFMTCALL hasSelection(PxFormatter *f) { return selLo(self(f)) != selHi(self(f)); }
int32_t QVFMTCALL selectionStart(PxFormatter *f) { return selLo(self(f)); }
int32_t QVFMTCALL selectionEnd(PxFormatter *f) { return selHi(self(f)); }

uint8_t QVFMTCALL selectTo(PxFormatter *f, int32_t pos) {
    Fmt *s = self(f);
    if (s->anchor < 0) s->anchor = s->caret;
    s->caret = std::min(std::max(pos, 0), len(s));
    if (s->anchor == s->caret) s->anchor = -1;
    return 1;
}

uint8_t QVFMTCALL selectMove(PxFormatter *f, int32_t move) { return selectTo(f, moved(self(f), move)); }
int32_t QVFMTCALL caretPos(PxFormatter *f) { return self(f)->caret; }
void QVFMTCALL setOption(PxFormatter *, int32_t) { logCall("setOption"); }
void QVFMTCALL showInsertMode(PxFormatter *, uint8_t) {}
void QVFMTCALL beginEdit(PxFormatter *) { logCall("beginEdit"); }

// A number is written with the template's decimals; 0 when its integer part
// has more digits than the template's width allows.
uint8_t QVFMTCALL normalize(PxFormatter *f) {
    logCall("normalize");
    Fmt *s = self(f);
    if (!s->number || s->text.empty()) return 1;
    std::string t = unitsText(textUnits(s->text, s->decimals), s->decimals, s->decimals);
    if (s->width > 0 && static_cast<int>(t.size()) > s->width) return 0;
    s->text = t;
    s->caret = std::min(s->caret, len(s));
    return 1;
}

uint8_t QVFMTCALL formatKind(PxFormatter *) { return kQvFmtKindTemplate; }

uint8_t QVFMTCALL setCodePage(PxFormatter *f, uint8_t codePage) {
    logCall("setCodePage");
    if (codePage == kQvFmtOem || codePage == kQvFmtAnsi) self(f)->codePage = codePage;
    return self(f)->codePage;
}

uint32_t QVFMTCALL version(PxFormatter *) { return g_version; }

uint8_t QVFMTCALL alignment(PxFormatter *f, uint8_t align) {
    logCall("alignment");
    if (align != kQvFmtQuery) self(f)->align = align;
    return self(f)->align;
}

void QVFMTCALL bindType(PxFormatter *f, int32_t type, int32_t) {
    logCall("bindType");
    self(f)->type = type;
}

int32_t QVFMTCALL valueType(PxFormatter *f, int32_t *type, int32_t *second) {
    if (type) *type = self(f)->type;
    if (second) *second = -1;
    return self(f)->type;
}

void QVFMTCALL selectAll(PxFormatter *f) {
    logCall("selectAll");
    Fmt *s = self(f);
    s->anchor = len(s) ? 0 : -1;
    s->caret = len(s);
}

uint8_t QVFMTCALL isModified(PxFormatter *f) { return self(f)->modified; }

void QVFMTCALL copyText(PxFormatter *f, char *buffer, int32_t size) {
    Fmt *s = self(f);
    if (!buffer || size <= 0) return;
    std::string part = s->text.substr(static_cast<size_t>(selLo(s)), static_cast<size_t>(selHi(s) - selLo(s)));
    size_t n = std::min(part.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, part.data(), n);
    buffer[n] = '\0';
}

uint8_t QVFMTCALL isAllSelected(PxFormatter *f) { return selLo(self(f)) == 0 && selHi(self(f)) == len(self(f)); }

void QVFMTCALL setModified(PxFormatter *f, uint8_t modified) {
    logCall("setModified");
    self(f)->modified = modified != 0;
}

const QvFormatTable kTable = {
    setFormat, nullptr, setText, setValue, getValue, text, setInsertMode, isInsertMode, nullptr,
    textLength, deleteChar, deleteBack, putChar, moveCaret, setCaret, hasSelection, selectionStart,
    selectionEnd, selectMove, selectTo, nullptr, caretPos, setOption, showInsertMode, beginEdit, nullptr,
    normalize, formatKind, nullptr, setCodePage, version, alignment, bindType, valueType, selectAll,
    isModified, copyText, isAllSelected, setModified,
};

}  // namespace

extern "C" {

PxFormatter *QVFMTCALL QVCreateFormatC(void) {
    Fmt *f = new (std::nothrow) Fmt;
    if (!f) return nullptr;
    f->fn = kTable;
    ++g_live;
    logCall("QVCreateFormatC");
    return f;
}

void QVFMTCALL QVDeleteFormatC(PxFormatter *f) {
    logCall("QVDeleteFormatC");
    if (!f) return;
    delete self(f);
    --g_live;
}

void QVFMTCALL QVTestSetVersion(uint32_t v) { g_version = v; }
int QVFMTCALL QVTestLiveObjects(void) { return g_live; }
const char *QVFMTCALL QVTestCallLog(void) { return g_log.c_str(); }
void QVFMTCALL QVTestClearLog(void) { g_log.clear(); }

}
