#include "fieldtext.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <string>
#include <vector>

#include "dates.h"
#include "formats.h"
#include "nmstring.h"
#include "numtext.h"

namespace {

constexpr size_t kWork = 512;
// A mask inserts at most as many characters as it has (63).
constexpr size_t kMaskMargin = 64;

const char *g_mask = nullptr;
int g_maskInputLength = 0;
int g_skipCount = 0;

// The "C" numeric locale for the runtime's own number conversions.
// (A process without Windows keeps the "C" locale throughout.)
struct CNumbers {
#ifdef _WIN32
    CNumbers() { num_setCLocale(); }
    ~CNumbers() { num_restoreLocale(); }
#else
    CNumbers() {}
#endif
    CNumbers(const CNumbers &) = delete;
    CNumbers &operator=(const CNumbers &) = delete;
};

template <class T> T load(const void *value) {
    T v;
    std::memcpy(&v, value, sizeof v);
    return v;
}
template <class T> void store(void *value, const T &v) { std::memcpy(value, &v, sizeof v); }

bool grouped(int base, uint32_t options, int type, int groupedType) {
    return type == groupedType || type == groupedType + kPxVariant || (base && (options & kPxGrouped));
}

// One number text in the work buffer and its reported length.
struct Work {
    std::vector<char> buf;
    int len = 0;
    explicit Work(size_t size) : buf(size, '\0') {}
    char *data() { return buf.data(); }
    size_t size() const { return buf.size(); }
    void set(int n) { len = std::max(0, std::min(n, static_cast<int>(size()) - 1)); }
};

void printInt(Work &w, long long v, int width, bool forEdit, int decimals) {
    int n = std::snprintf(w.data(), w.size(), forEdit ? "%-*lld" : "%*lld", forEdit ? 1 : width, v);
    w.set(n);
    if (decimals > 0) {
        int grown = num_insertPoint(w.data(), decimals, w.size());
        if (grown != kNumNoRoom) w.len += grown;
    }
    if (forEdit) w.len = std::max(w.len, width);
}

void printReal(Work &w, const char *conv, double v, int width, bool forEdit, int decimals) {
    std::string fmt = std::string("%") + (forEdit ? "-" : "") + "*.*" + conv;
    CNumbers c;
    w.set(std::snprintf(w.data(), w.size(), fmt.c_str(), forEdit ? 1 : width, std::min(std::max(decimals, 0), 100), v));
}

void group(Work &w) {
    if (w.data()[0] == '\0') return;
    int grown = num_groupThousands(w.data(), w.size());
    if (grown != kNumNoRoom) w.len += grown;
}

size_t boundedLength(const char *text, size_t capacity) { return strnlen(text, capacity); }

// The text rule of types 7, 8 and 18.
void textRule(Work &w, const char *value, size_t capacity, int width, int decimals, int type, bool forEdit) {
    size_t len = boundedLength(value, capacity);
    if (type == PXV_RJSTRING && forEdit)
        while (len && *value == ' ') ++value, --len;
    w.buf.assign(len + kMaskMargin + 1, '\0');
    std::memcpy(w.data(), value, len);
    int limit = decimals - 1;
    if (type == PXV_MASKSTR) {
        if (!forEdit) {
            if (g_mask && *g_mask) len = static_cast<size_t>(px_applyMask(w.data(), w.size()));
            if (g_skipCount > 0 && static_cast<size_t>(g_skipCount) < len && width != 0 &&
                len > static_cast<size_t>(std::max(width, 0))) {
                std::memmove(w.data(), w.data() + g_skipCount, len - g_skipCount + 1);
                len -= static_cast<size_t>(g_skipCount);
            }
        }
        if (g_maskInputLength > 0) limit = std::min(limit, g_maskInputLength);
    }
    w.len = std::max(static_cast<int>(len), limit);
}

// The stored value's text in w; capacity bounds the reading of texts.
void valueText(Work &w, const void *value, size_t capacity, int width, int decimals, int type, bool forEdit,
               uint32_t options) {
    int base = type & ~kPxVariant;
    bool variant = (type & kPxVariant) != 0;
    int leftAlign = forEdit ? 1 : 0;
    switch (type) {
    case 0: case 128: printInt(w, load<int16_t>(value), width, forEdit, decimals); return;
    case 1: case 129: printInt(w, load<int32_t>(value), width, forEdit, decimals); return;
    case 13: printInt(w, load<uint8_t>(value), width, forEdit, decimals); return;
    case 2: case 130: printReal(w, "f", load<float>(value), width, forEdit, decimals); return;
    case 3: case 131: printReal(w, "g", load<float>(value), width, forEdit, decimals); return;
    case 5: case 133: printReal(w, "lg", load<double>(value), width, forEdit, decimals); return;
    case 6: case 16: case 134: case 144:
        w.set(num_money64ToText(FMoney(load<DBBaseFMoney>(value)), w.data(), w.size(), width, decimals, leftAlign));
        if (!forEdit && grouped(0, options, type, 16)) group(w);
        return;
    case 7: case 8: case 18: textRule(w, static_cast<const char *>(value), capacity, width, decimals, type, forEdit); return;
    case 9: case 137: {
        bdate d = load<bdate>(value);
        w.set(std::snprintf(w.data(), w.size(), "%02d.%02d.%04d", d.day, d.mon, d.year));
        return;
    }
    case 10: case 138: case 11: case 139: {
        btime t = load<btime>(value);
        if (base == 10) w.set(std::snprintf(w.data(), w.size(), "%02d:%02d:%02d", t.hour, t.min, t.sec));
        else w.set(std::snprintf(w.data(), w.size(), "%02d:%02d", t.hour, t.min));
        return;
    }
    case 12: w.data()[0] = *static_cast<const char *>(value); w.set(w.data()[0] ? 1 : 0); return;
    case 14: case 15: case 142: case 143:
        w.set(num_moneyToText(FMoney(load<DBBaseFMoney>(value)), w.data(), w.size(), width, decimals, leftAlign));
        if (!forEdit && grouped(0, options, type, 15)) group(w);
        return;
    case 19: case 147:
        w.set(num_fdecimalToText(FDecimal(load<DBBaseFDecimal>(value)), w.data(), w.size(), width, decimals, leftAlign));
        if (!forEdit && (options & kPxGrouped)) group(w);
        return;
#ifdef _WIN32
    case 4: case 132: w.set(num_doubleToText(load<double>(value), w.data(), w.size(), width, decimals, leftAlign)); return;
    case 17: case 145: {
        double x = variant ? load<double>(value) : num_ext10ToDouble(static_cast<const unsigned char *>(value));
        w.set(num_longDoubleToText(x, w.data(), w.size(), width, decimals, leftAlign));
        if (!forEdit && (options & kPxGrouped)) group(w);
        return;
    }
    case 20: case 22:
        w.set(num_scaledDoubleToText(load<double>(value), w.data(), w.size(), width, decimals, leftAlign));
        if (!forEdit && type == 22) group(w);
        return;
    case 21: case 23: {
        double x = num_ext10ToDouble(static_cast<const unsigned char *>(value));
        w.set(num_scaledLongDoubleToText(x, w.data(), w.size(), width, decimals, leftAlign));
        if (!forEdit && type == 23) group(w);
        return;
    }
#endif
    case 25: case 153: {
        w.set(num_decimalToText(load<Numeric96>(value), w.data(), w.size(), width, decimals, leftAlign));
        if (w.data()[0] == '\0') return;
        if (!forEdit && (options & kPxGrouped)) group(w);
        if (options & kPxAnyDecimals) {
            int trimmed = num_trimZeros(w.data());
            if (!forEdit) {
                w.len -= trimmed;
                std::string digits(w.data() + std::strspn(w.data(), " "));
                if (w.len < width) w.set(num_putText(digits.c_str(), digits.size(), w.data(), w.size(), width, 0));
            }
        }
        return;
    }
    default: (void)variant; return;
    }
}

char *finish(const Work &w, int *size) {
    size_t n = static_cast<size_t>(w.len) + 1;
    char *text = static_cast<char *>(mem_calloc(n));
    if (!text) return nullptr;
    std::memcpy(text, w.buf.data(), std::min(n - 1, std::strlen(w.buf.data())));
    if (size) *size = static_cast<int>(n);
    return text;
}

char *valueToText(const void *value, size_t capacity, int width, int decimals, int type, int *size, bool forEdit,
                  uint32_t options) {
    if (size) *size = 0;
    width = std::min(std::max(width, 0), 0x7FFF);
    int extra = std::max(0, std::min(decimals, 0x7FFF));
    try {
        Work w(kWork + static_cast<size_t>(width) + static_cast<size_t>(extra));
        if (value && capacity >= static_cast<size_t>(std::max(px_valueSize(type, 1), 1)))
            valueText(w, value, capacity, width, decimals, type, forEdit, options);
        return finish(w, size);
    } catch (const std::exception &) {
        return nullptr;
    }
}

char *throughFormatter(PxFormatter *f, const void *value, int type, int *size) {
    int base = type & ~kPxVariant;
    if (base == PXV_CHAR) {
        char one[2] = {value ? *static_cast<const char *>(value) : '\0', '\0'};
        f->fn.setText(f, one);
    } else if (px_isTextType(base)) {
        f->fn.setText(f, value ? static_cast<const char *>(value) : "");
    } else if (!value) {
        f->fn.setText(f, "");
    } else {
        PxFmtValue v{type, const_cast<void *>(value), 0};
        f->fn.setValue(f, &v);
    }
    // Measured after normalize: normalizing may lengthen the text.
    f->fn.normalize(f);
    int len = std::max(f->fn.textLength(f), 0);
    const char *shown = f->fn.text(f, len);
    char *text = static_cast<char *>(mem_calloc(static_cast<size_t>(len) + 1));
    if (!text) return nullptr;
    if (shown) std::memcpy(text, shown, boundedLength(shown, static_cast<size_t>(len)));
    if (size) *size = len + 1;
    return text;
}

void toStars(char *text) {
    for (char *p = text; *p; ++p) *p = '*';
}

bool fits(int length, int type) {
    int need = px_valueSize(type, 1);
    return length >= std::max(need, 1);
}

long long parseUnits(const char *text, int decimals) {
    char work[96] = {};
    std::strncpy(work, text, 80);
    if (decimals > 0 && !num_shiftPoint(work, std::min(decimals, 12), sizeof work)) return 0;
    return std::strtoll(work, nullptr, 10);
}

template <class T> T clampTo(long long v) {
    return static_cast<T>(std::min<long long>(std::max<long long>(v, std::numeric_limits<T>::min()),
                                              std::numeric_limits<T>::max()));
}

}  // namespace

void PxFreeText::operator()(char *p) const { std::free(p); }

const char *px_setStringMask(const char *mask) {
    const char *previous = g_mask;
    g_mask = mask;
    return previous;
}

int px_setMaskInputLength(int n) {
    int previous = g_maskInputLength;
    g_maskInputLength = n;
    return previous;
}

int px_setTextOption(int n) {
    int previous = g_skipCount;
    g_skipCount = n;
    return previous;
}

int px_maskInputLength() { return g_maskInputLength; }

char *px_valueToText(const void *value, int width, int decimals, int type, int *size, bool forEdit, uint32_t options) {
    return valueToText(value, SIZE_MAX / 2, width, decimals, type, size, forEdit, options);
}

char *px_valueToTextPlain(const void *value, int width, int decimals, int type, int *size, bool forEdit) {
    return px_valueToText(value, width, decimals, type, size, forEdit, 0);
}

char *px_fieldValueToText(const void *value, int width, int decimals, int type, int *size, bool forEdit,
                          const PxField *field) {
    PxFormatter *f = field ? px_fieldFormatter(field) : nullptr;
    size_t capacity = field && value == field->value ? static_cast<size_t>(field->capacity) : SIZE_MAX / 2;
    char *text = f ? throughFormatter(f, value, type, size)
                   : valueToText(value, capacity, width, decimals, type, size, forEdit, field ? field->options : 0);
    if (text && field && !forEdit && (field->options & kPxPassword)) toStars(text);
    return text;
}

char *px_fieldText(const PxField *field, int *size, bool forEdit) {
    return px_fieldValueToText(field->value, field->width, field->length, field->type, size, forEdit, field);
}

bool px_textToValue(const char *text, void *value, int length, int type, int decimals) {
    if (!value || !text || !fits(length, type)) return false;
    int base = type & ~kPxVariant;
    try {
        switch (type) {
        case 0: case 128: store(value, clampTo<int16_t>(parseUnits(text, decimals))); return true;
        case 13: store(value, clampTo<uint8_t>(parseUnits(text, decimals))); return true;
        case 1: case 129: store(value, clampTo<int32_t>(parseUnits(text, decimals))); return true;
        case 2: case 3: case 130: case 131: {
            CNumbers c;
            store(value, static_cast<float>(std::atof(text)));
            return true;
        }
        case 5: case 133: {
            CNumbers c;
            store(value, std::atof(text));
            return true;
        }
        case 6: case 16: case 134: case 144: {
            DBBaseFMoney m;
            store(value, num_textToFMoney(m, text, decimals));
            return true;
        }
        case 7: case 8: {
            size_t n = std::min(std::strlen(text), static_cast<size_t>(length - 1));
            char *out = static_cast<char *>(value);
            std::memcpy(out, text, n);
            out[n] = '\0';
            while (n && out[n - 1] == ' ') out[--n] = '\0';
            return true;
        }
        case 9: case 137: {
            bdate d = load<bdate>(value);
            date_parse(text, d);
            store(value, d);
            return true;
        }
        case 10: case 138: case 11: case 139: {
            btime t = load<btime>(value);
            if (base == 10) time_parse(text, t);
            else time_parseShort(text, t);
            store(value, t);
            return true;
        }
        case 12: *static_cast<char *>(value) = text[0]; return true;
        case 14: case 15: case 142: case 143: {
            DBBaseFMoney m;
            store(value, num_textToMoney64(m, text, decimals));
            return true;
        }
        case 18: px_rightJustify(text, static_cast<char *>(value), length - 1); return true;
        case 19: case 147: {
            DBBaseFDecimal d;
            store(value, num_textToFDecimal(d, text));
            return true;
        }
#ifdef _WIN32
        case 4: case 132: store(value, num_textToDouble(text, decimals)); return true;
        case 17: num_doubleToExt10(num_textToLongDouble(text, decimals), static_cast<unsigned char *>(value)); return true;
        case 145: store(value, num_textToLongDouble(text, decimals)); return true;
        case 20: case 22: store(value, num_textToScaledDouble(text, decimals)); return true;
        case 21: case 23:
            num_doubleToExt10(num_textToScaledLongDouble(text, decimals), static_cast<unsigned char *>(value));
            return true;
#endif
        case 25: {
            Numeric96 d = load<Numeric96>(value);
            num_textToDecimalDirect(d, text);
            store(value, d);
            return true;
        }
        case 153: {
            Numeric96 d = load<Numeric96>(value);
            num_textToDecimal(&d, text);
            store(value, d);
            return true;
        }
        default: *static_cast<char *>(value) = '\0'; return true;
        }
    } catch (const std::exception &) {
        return false;  // a number beyond its type: the value stays
    }
}

bool px_fieldTextToValue(const char *text, void *value, int length, int type, int bufferSize, const PxField *field) {
    PxFormatter *f = field ? px_fieldFormatter(field) : nullptr;
    int base = type & ~kPxVariant;
    if (f) {
        if (!value) return false;
        // The formatter converts the typed text by its template; a text that
        // does not fit it is refused.
        if (text) {
            f->fn.setText(f, text);
            if (!f->fn.normalize(f)) return false;
        }
        if (base == PXV_CHAR || px_isTextType(base)) {
            // A character travels as a two-byte text.
            int size = base == PXV_CHAR ? 2 : std::min(std::max(bufferSize, 1), 0x7FFF);
            std::vector<char> temp(static_cast<size_t>(size) + 1, '\0');
            PxFmtValue v{PXV_STRING, temp.data(), static_cast<int16_t>(size)};
            if (!f->fn.getValue(f, &v)) return false;
            temp[static_cast<size_t>(size) - 1] = '\0';
            if (base == PXV_CHAR) *static_cast<char *>(value) = temp[0];
            else std::memcpy(value, temp.data(), std::strlen(temp.data()) + 1);
            return true;
        }
        if (bufferSize < px_valueSize(base, 0)) return false;
        PxFmtValue v{type, value, 0};
        return f->fn.getValue(f, &v) != 0;
    }
    if (base == PXV_DATE) {
        if (!value || !text || bufferSize < static_cast<int>(sizeof(bdate))) return false;
        bdate d = load<bdate>(value);
        if (field && (field->options & kPxSecondDateForm)) date_split(text, d, '.');
        else date_parseSep(text, d, '.');
        store(value, d);
        return true;
    }
    // length is the field's length member: the text limit of text types, the
    // decimals of numbers; the buffer's own size bounds every type.
    int limit = px_isTextType(base) ? std::min(length, bufferSize) : bufferSize;
    return px_textToValue(text, value, limit, type, field ? field->length : length);
}

bool px_storeFieldText(const char *text, PxField *field) {
    if (!field->value) return false;
    int length = px_isTextType(field->type) ? std::min(std::max(field->length, 1), field->capacity) : field->capacity;
    return px_fieldTextToValue(text, field->value, length, field->type, field->capacity, field);
}

void px_rightJustify(const char *text, char *buffer, int n) {
    if (n <= 0) return;
    size_t len = std::strlen(text), width = static_cast<size_t>(n);
    if (len > width) {
        std::memmove(buffer, text + (len - width), width);
    } else {
        std::memmove(buffer + (width - len), text, len);
        std::memset(buffer, ' ', width - len);
    }
    buffer[width] = '\0';
}

int px_applyMask(char *text, size_t size) {
    size_t len = std::strlen(text), pos = 0;
    for (const char *m = g_mask; m && *m && pos < len; ++m) {
        if (*m == '#') {
            ++pos;
            continue;
        }
        if (len + 2 > size) break;  // no room for one more character
        std::memmove(text + pos + 1, text + pos, len - pos + 1);
        text[pos++] = *m;
        ++len;
    }
    return static_cast<int>(len);
}

char **px_wrapLines(const char *const *texts, int count, int width, int maximum, int *lineCount) {
    *lineCount = 0;
    if (width == 0 || width < -1) width = -1;  // no limit
    std::vector<std::string> lines;
    size_t room = static_cast<size_t>(std::max(count, 0));
    auto add = [&](const char *s, size_t n) {
        if (lines.size() == room) {
            if (maximum != -1 && room >= static_cast<size_t>(std::max(maximum, 0))) return;
            room += 3;
            if (maximum != -1) room = std::min(room, static_cast<size_t>(maximum));
        }
        lines.emplace_back(s, n);
    };
    auto skipSeparators = [](const char *p) {
        while (*p == ' ' || *p == '\n' || *p == '|') ++p;
        return p;
    };
    try {
        for (int t = 0; t < count; ++t) {
            const char *p = texts[t] ? texts[t] : "";
            if (t == 0)
                while (*p == '|' || *p == '\n') ++p;
            while (*p) {
                size_t piece = std::strcspn(p, "\n|");
                size_t n = piece;
                if (width > 0 && piece > static_cast<size_t>(width)) {
                    n = static_cast<size_t>(width);
                    for (size_t i = n; i > 0; --i)
                        if (p[i] == ' ') {
                            n = i;
                            break;
                        }
                }
                add(p, n);
                p = skipSeparators(p + n);
            }
        }
        char **out = static_cast<char **>(mem_calloc(sizeof(char *) * std::max<size_t>(lines.size(), 1)));
        if (!out) return nullptr;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (!(out[i] = px_strndup(lines[i].data(), lines[i].size()))) {
                px_freeLines(out, static_cast<int>(i));
                return nullptr;
            }
        }
        *lineCount = static_cast<int>(lines.size());
        return out;
    } catch (const std::exception &) {
        return nullptr;
    }
}

void px_freeLines(char **lines, int count) {
    if (!lines) return;
    for (int i = 0; i < count; ++i) std::free(lines[i]);
    std::free(lines);
}

bool px_fieldAtCell(const PxPanel *panel, const PxField *field, int column, int row) {
    int left = panel->left + field->column;
    if (column < left || column >= left + field->width) return false;
    if ((field->kind & (kPxKindSkip | kPxKindHidden)) || (field->options & kPxPlainText)) return false;
    int kind = field->kind & kPxKindMask, top = panel->top + field->row;
    if (kind == 0 || kind == 6 || (kind >= 9 && kind <= 14)) return false;
    if (kind == 4 || kind == 8) return row >= top && row < top + field->height;
    return row == top;
}
