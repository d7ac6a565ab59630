// Field formats: a field's format text names a display template, which an
// object of the outside library QVFORMAT.DLL (a PxFormatter) then owns.
#pragma once

#include <cstdint>

#include "panel.h"
#include "qvformat.h"

// The library is loaded by name with the first formatter and unloaded with
// the last; NULL when the library, an export or the object is missing.
PxFormatter *px_fmtCreate(int kind);
void px_fmtRelease(PxFormatter *formatter);
// Formatters alive (the library's users).
int px_fmtUseCount();

// The Name value of a format text (malloc'd) and, through align, its Align
// value (malloc'd or null); null when no formatter is to be made.
char *px_fmtParseText(const char *formatText, char **align);
// One key's value, blanks and tabs cut; null when absent or empty.
char *px_fmtKeyValue(const char *text, const char *key);
bool px_fmtNameFitsType(const char *name, int type);
// Position of the decimals separator (which 0) or the parameter character
// (which 1) inside a FMT_NUMBER or FMT_DEFAULT name; -1 when none.
int px_fmtParamPos(const char *name, int which);
// The name with its '*' parameters and a '-' sign parameter filled in for
// the field (malloc'd), or null when memory runs out.
char *px_fmtFillName(const char *name, const PxField *field);

PxFormatter *px_fmtCreateForField(const char *formatText, const PxField *field);
bool px_createPanelFormats(PxPanel *panel);
bool px_recreateFieldFormat(PxPanel *panel, PxField *field);
void px_releasePanelFormats(PxPanel *panel);

inline PxFormatter *px_fieldFormatter(const PxField *field) {
    return field->formatSlot ? field->formatSlot->formatter : nullptr;
}
inline uint32_t px_fmtVersion(PxFormatter *f) { return f ? f->fn.version(f) : 0; }

// Whether the formatter can drive the formatted edit; the first refusal in
// the process is reported through warn (text, caption: the library's path).
typedef void (*PxFmtWarnFn)(const char *text, const char *caption);
bool px_fmtCanEdit(PxFormatter *formatter, PxFmtWarnFn warn);

// The field controls' calls; each is harmless without a formatter.
int px_fmtGetAlign(PxFormatter *f);
bool px_fmtIsChanged(PxFormatter *f);
bool px_fmtGetValue(PxFormatter *f, PxField *field);
bool px_fmtSetValue(PxFormatter *f, const PxField *field);
void px_fmtStartEdit(PxFormatter *f, bool selectAll);
void px_fmtSetInsert(PxFormatter *f, bool overwrite);
