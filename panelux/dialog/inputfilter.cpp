#include "inputfilter.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "fieldtext.h"
#include "nmstring.h"

namespace {

constexpr size_t kNumericTextMax = 30;

PxInputFilter *makeFilter(char kind) {
    PxInputFilter *f = static_cast<PxInputFilter *>(mem_calloc(sizeof(PxInputFilter)));
    if (f) f->kind = kind;
    return f;
}

// 64 bits: a long text saturates instead of wrapping into the range.
long long valueOf(const std::string &text) {
    errno = 0;
    return std::strtoll(text.c_str(), nullptr, 10);
}

int checkField(const char *text, void *field) { return px_checkFieldText(text, static_cast<const PxField *>(field)); }

PxFilterStep replace(int from, int to, char c) {
    PxFilterStep s;
    s.kind = PxFilterStep::Replace;
    s.from = from;
    s.to = to;
    s.text.assign(1, c);
    return s;
}

PxFilterStep setText(std::string text, int caret) {
    PxFilterStep s;
    s.kind = PxFilterStep::SetText;
    s.text = std::move(text);
    s.caret = caret;
    return s;
}

PxFilterStep refuse(bool beep = false) {
    PxFilterStep s;
    s.kind = PxFilterStep::Refuse;
    s.beep = beep;
    return s;
}

bool hasSelection(const PxEditState &st) { return st.selStart != st.selEnd; }

PxFilterStep stringRule(const PxInputFilter &f, const PxEditState &st, char c, bool overwrite) {
    int len = static_cast<int>(st.text.size()), limit = f.bufferLength - 1, caret = st.selStart;
    if (hasSelection(st)) return replace(st.selStart, st.selEnd, c);
    if (overwrite) {
        if (len > limit || caret >= limit) return refuse();
        return replace(caret, caret < len ? caret + 1 : caret, c);
    }
    if (len >= limit) return refuse();
    return replace(caret, caret, c);
}

PxFilterStep signRule(const PxInputFilter &f, const std::string &text, bool selected, int caret, char sign) {
    char other = sign == '+' ? '-' : '+';
    if (!text.empty() && text[0] == sign) return PxFilterStep{};
    std::string result;
    int caretAfter = caret;
    if (!text.empty() && text[0] == other) {
        result = sign + text.substr(1);
    } else {
        if (static_cast<int>(text.size()) >= f.maxDigits || (selected && !text.empty())) return refuse();
        result = sign + text;
        ++caretAfter;
    }
    long long v = valueOf(result);
    if (v < f.minimum || v > f.maximum) return refuse();
    return setText(result, selected ? 1 : caretAfter);
}

PxFilterStep numericRule(const PxInputFilter &f, const PxEditState &in, char c, bool overwrite) {
    bool digit = c >= '0' && c <= '9';
    if (!digit && c != '+' && c != '-') return PxFilterStep{};
    if (in.text.size() >= kNumericTextMax) return refuse();
    PxEditState st = in;
    int len = static_cast<int>(st.text.size());
    if (st.selStart == 0 && st.selEnd >= len) st = PxEditState{};
    bool selected = hasSelection(st);
    if (!digit) return signRule(f, st.text, selected, st.selStart, c);
    PxFilterStep step;
    len = static_cast<int>(st.text.size());
    int caret = st.selStart;
    if (selected) {
        step = replace(st.selStart, st.selEnd, c);
    } else if (overwrite) {
        if (len > f.maxDigits || caret >= f.maxDigits) return refuse();
        step = replace(caret, caret < len ? caret + 1 : caret, c);
    } else {
        bool beforeSign = caret == 0 && len > 0 && (st.text[0] == '-' || st.text[0] == '+');
        if (len >= f.maxDigits || beforeSign) return refuse();
        step = replace(caret, caret, c);
    }
    PxEditState after = st;
    px_applyStep(after, step);
    long long v = valueOf(after.text);
    if (v < f.minimum || v > f.maximum) return refuse();
    if (st.text.size() != in.text.size()) return setText(after.text, after.selStart);  // cleared first
    return step;
}

PxFilterStep checkedRule(const PxInputFilter &f, const PxEditState &st, char c, bool overwrite) {
    int len = static_cast<int>(st.text.size()), caret = st.selStart;
    PxFilterStep step;
    if (hasSelection(st)) step = replace(st.selStart, st.selEnd, c);
    else if (overwrite) step = replace(caret, caret < len ? caret + 1 : caret, c);
    else step = replace(caret, caret, c);
    PxEditState after = st;
    px_applyStep(after, step);
    if (f.check && f.check(after.text.c_str(), f.user) > 0) return refuse(true);
    return step;
}

}  // namespace

PxInputFilter *px_makeNumericFilter(int maxDigits, const char *minimum, const char *maximum) {
    PxInputFilter *f = makeFilter('n');
    if (!f) return nullptr;
    f->maxDigits = maxDigits;
    f->minimum = minimum ? valueOf(minimum) : LLONG_MIN;
    f->maximum = maximum ? valueOf(maximum) : LLONG_MAX;
    return f;
}

PxInputFilter *px_makeStringFilter(uint8_t oem, int bufferLength) {
    PxInputFilter *f = makeFilter('s');
    if (f) {
        f->oem = oem;
        f->bufferLength = bufferLength;
    }
    return f;
}

PxInputFilter *px_makeCharFilter(uint8_t oem) {
    PxInputFilter *f = makeFilter('c');
    if (f) f->oem = oem;
    return f;
}

PxInputFilter *px_makeCheckFilter(PxFilterCheckFn check, void *user) {
    PxInputFilter *f = makeFilter('u');
    if (f) {
        f->check = check;
        f->user = user;
    }
    return f;
}

PxInputFilter *px_makeFieldFilter(const PxField *field, uint8_t oem) {
    switch (field->type) {
    case PXV_INT16: return px_makeNumericFilter(field->width, "-32000", "32000");
    case PXV_INT32: return px_makeNumericFilter(field->width, "-2147483648", "2147483647");
    case PXV_BYTE: return px_makeNumericFilter(field->width, "0", "255");
    case PXV_STRING: return px_makeStringFilter(oem, field->length);
    case PXV_MASKSTR: {
        int masked = px_maskInputLength();
        int length = masked > 0 ? std::max<int>(masked, field->value ? static_cast<int>(strnlen(field->value, field->capacity)) : 0) + 1
                                : field->length;
        return px_makeStringFilter(oem, length);
    }
    case PXV_CHAR: return px_makeCharFilter(oem);
    default: return px_makeCheckFilter(checkField, const_cast<PxField *>(field));
    }
}

void px_freeInputFilter(PxInputFilter *filter) { std::free(filter); }

PxFilterStep px_filterChar(const PxInputFilter &filter, const PxEditState &state, char c, bool overwrite) {
    switch (filter.kind) {
    case 'c': return setText(std::string(1, c), 0);
    case 's': return stringRule(filter, state, c, overwrite);
    case 'n': return numericRule(filter, state, c, overwrite);
    case 'u': return checkedRule(filter, state, c, overwrite);
    default: return PxFilterStep{};
    }
}

void px_applyStep(PxEditState &state, const PxFilterStep &step) {
    if (step.kind == PxFilterStep::SetText) {
        state.text = step.text;
        state.selStart = state.selEnd = step.caret;
    } else if (step.kind == PxFilterStep::Replace) {
        size_t from = std::min<size_t>(static_cast<size_t>(step.from), state.text.size());
        size_t to = std::min<size_t>(std::max(static_cast<size_t>(step.to), from), state.text.size());
        state.text.replace(from, to - from, step.text);
        state.selStart = state.selEnd = static_cast<int>(from + step.text.size());
    }
}
