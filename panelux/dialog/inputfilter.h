// Typed input filter of a plain edit field: what the user types or pastes
// is applied only when the text it makes suits the field's value type.
#pragma once

#include <cstdint>
#include <string>

#include "panel.h"

// Kind 'u': a check of the text that would result; above 0 refuses.
typedef int (*PxFilterCheckFn)(const char *text, void *user);

struct PxInputFilter {
    char kind;         // 'n' integer, 's' string, 'c' one character, 'u' checked
    int maxDigits;     // 'n': characters at most (the field width)
    long long minimum, maximum;  // 'n', read in 64 bits
    int bufferLength;  // 's': the text holds one character less
    uint8_t oem;       // typed and pasted text is in the OEM code page
    PxFilterCheckFn check;
    void *user;
};

PxInputFilter *px_makeNumericFilter(int maxDigits, const char *minimum, const char *maximum);
PxInputFilter *px_makeStringFilter(uint8_t oem, int bufferLength);
PxInputFilter *px_makeCharFilter(uint8_t oem);
PxInputFilter *px_makeCheckFilter(PxFilterCheckFn check, void *user);
// The filter the field controls make for a field's value type; the check of
// kind 'u' keeps the field pointer.
PxInputFilter *px_makeFieldFilter(const PxField *field, uint8_t oem);
void px_freeInputFilter(PxInputFilter *filter);

// The control's text and selection before one character.
struct PxEditState {
    std::string text;
    int selStart = 0, selEnd = 0;
};

// What one character does to the control.
struct PxFilterStep {
    enum Kind {
        Refuse,   // not taken; a paste stops here
        Nothing,  // swallowed without a change; a paste goes on
        Replace,  // the range [from, to) becomes text
        SetText,  // the whole text becomes text, marked modified, caret at caret
    } kind = Nothing;
    int from = 0, to = 0, caret = 0;
    std::string text;
    bool beep = false;
};

PxFilterStep px_filterChar(const PxInputFilter &filter, const PxEditState &state, char c, bool overwrite);
// The state after a step (the text a paste reads back for its next character).
void px_applyStep(PxEditState &state, const PxFilterStep &step);

#ifdef _WIN32
#include <windows.h>
// 1 when the message was consumed. overwrite is the module's insert/
// overwrite toggle, which the Insert key flips.
int px_inputFilterMsg(PxInputFilter *filter, HWND control, UINT message, WPARAM character, uint8_t &overwrite);
#endif
