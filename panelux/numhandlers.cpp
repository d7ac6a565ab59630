#include "numhandlers.h"

#include "decerrors.h"

namespace {

// An inexact result goes on quietly: the field shows what fits.
int pxInexact(const Numeric96InexactErr &e) { return e.op(); }

// Overflow and division by zero end the operation; the request handlers
// catch the exception before it could leave the module.
void pxOverflow(const Numeric96Err &e) { throw Numeric96OverflowErr(e); }
void pxDivByZero(const Numeric96Err &e) { throw Numeric96DivByZeroErr(e); }

}  // namespace

void px_installNumericHandlers() {
    Numeric96_setInexactHandler(pxInexact);
    Numeric96_setOverflowHandler(pxOverflow);
    Numeric96_setDivByZeroHandler(pxDivByZero);
}

void px_restoreNumericHandlers() {
    Numeric96_setInexactHandler(Numeric96_defaultInexactHandler);
    Numeric96_setOverflowHandler(Numeric96_defaultOverflowHandler);
    Numeric96_setDivByZeroHandler(Numeric96_defaultDivByZeroHandler);
}
