// Field values to the text a control shows or edits, and edited text back
// into the value, by the value type's own rules or through the field's
// formatter; the text options of masked strings; line splitting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "panel.h"

// Texts made here are zeroed blocks freed by the caller with free().
struct PxFreeText {
    void operator()(char *p) const;
};
using PxTextPtr = std::unique_ptr<char, PxFreeText>;

// Process-wide options of masked strings (request 31); each setter returns
// the previous value. The mask text is kept by the caller.
const char *px_setStringMask(const char *mask);
int px_setMaskInputLength(int n);
int px_setTextOption(int n);
int px_maskInputLength();

// Text of a stored value; size receives the block's size (reported length
// + 1). decimals is the field's length member. Null when memory runs out.
char *px_valueToText(const void *value, int width, int decimals, int type, int *size, bool forEdit, uint32_t options);
char *px_valueToTextPlain(const void *value, int width, int decimals, int type, int *size, bool forEdit);
// Through the field's formatter when it has one. A password field's text
// for display is stars, never the value.
char *px_fieldValueToText(const void *value, int width, int decimals, int type, int *size, bool forEdit,
                          const PxField *field);
// The field's own value, read no further than its buffer.
char *px_fieldText(const PxField *field, int *size, bool forEdit);

// Fills a value buffer of length bytes; false when the buffer cannot hold
// the type or the number does not fit (the value is then unchanged).
bool px_textToValue(const char *text, void *value, int length, int type, int decimals);
bool px_fieldTextToValue(const char *text, void *value, int length, int type, int bufferSize, const PxField *field);
// Into the field's own buffer, bounded by what it holds.
bool px_storeFieldText(const char *text, PxField *field);

void px_rightJustify(const char *text, char *buffer, int n);
// In place in a buffer of size bytes; returns the new length. The mask stops
// inserting where the buffer would overflow.
int px_applyMask(char *text, size_t size);

// Lines of the texts cut at '\n' and '|' and, with a width other than -1
// (0 is no limit), at the last blank; maximum -1 = no limit of lines.
char **px_wrapLines(const char *const *texts, int count, int width, int maximum, int *lineCount);
void px_freeLines(char **lines, int count);

// Whether a grid cell (the last mouse event's) lies on the field.
bool px_fieldAtCell(const PxPanel *panel, const PxField *field, int column, int row);
