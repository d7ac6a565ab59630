// Builds without Windows have no format-template library: every field works
// with plain text.
#include "formats.h"

PxFormatter *px_fmtCreate(int) { return nullptr; }
void px_fmtRelease(PxFormatter *) {}
int px_fmtUseCount() { return 0; }
bool px_fmtCanEdit(PxFormatter *, PxFmtWarnFn) { return false; }
