#include "decerrors.h"

#include <cstring>
#include <iostream>

namespace {

// Constant-initialised, so the state after start-up holds from the moment
// the module is loaded, whatever order the runtime builds other objects in.
// Not locked: they are set on the thread that loads and unloads the module.
NmDecimalInexactHandler g_workInexact = NmDecimal_forwardInexact;
NmDecimalOverflowHandler g_workOverflow = NmDecimal_forwardOverflow;
Numeric96InexactHandler g_inexact = Numeric96_defaultInexactHandler;
Numeric96ErrorHandler g_overflow = Numeric96_defaultOverflowHandler;
Numeric96ErrorHandler g_divByZero = Numeric96_defaultDivByZeroHandler;

void writeLine(const char *text) { std::cerr << text << std::endl; }

// "[TAG] NmDecimal: overflow ..." is passed on as "overflow ...".
const char *withoutHead(const char *text) {
    const char *colon = std::strstr(text, ": ");
    return colon ? colon + 2 : text;
}

// The report lives on the stack and is destroyed also when the handler
// throws; a thrown copy carries its text, operation and operands.
template <class Report, class Handler, class Operand>
void report(Handler handler, int32_t op, const Operand &operand1, const Operand &operand2, const char *text) {
    Report r(text, op, operand1, operand2);
    if (handler) handler(r);
}

}  // namespace

Numeric96InexactHandler Numeric96_setInexactHandler(Numeric96InexactHandler h) {
    Numeric96InexactHandler old = g_inexact;
    g_inexact = h;
    return old;
}

Numeric96ErrorHandler Numeric96_setOverflowHandler(Numeric96ErrorHandler h) {
    Numeric96ErrorHandler old = g_overflow;
    g_overflow = h;
    return old;
}

Numeric96ErrorHandler Numeric96_setDivByZeroHandler(Numeric96ErrorHandler h) {
    Numeric96ErrorHandler old = g_divByZero;
    g_divByZero = h;
    return old;
}

void NmDecimal_setInexactHandler(NmDecimalInexactHandler h) { g_workInexact = h; }
void NmDecimal_setOverflowHandler(NmDecimalOverflowHandler h) { g_workOverflow = h; }

void Numeric96_reportInexact(int32_t op, const Numeric96 &operand1, const Numeric96 &operand2, const char *text) {
    report<Numeric96InexactErr>(g_inexact, op, operand1, operand2, text);
}

void Numeric96_reportOverflow(int32_t op, const Numeric96 &operand1, const Numeric96 &operand2, const char *text) {
    report<Numeric96OverflowErr>(g_overflow, op, operand1, operand2, text);
}

void NmDecimal_reportInexact(int32_t op, const NmDecimal &operand1, const NmDecimal &operand2, const char *text) {
    report<NmDecimalInexactErr>(g_workInexact, op, operand1, operand2, text);
}

void NmDecimal_reportOverflow(int32_t op, const NmDecimal &operand1, const NmDecimal &operand2, const char *text) {
    report<NmDecimalOverflowErr>(g_workOverflow, op, operand1, operand2, text);
}

void Numeric96_installDefaultHandlers() {
    NmDecimal_setInexactHandler(NmDecimal_forwardInexact);
    NmDecimal_setOverflowHandler(NmDecimal_forwardOverflow);
    Numeric96_setInexactHandler(Numeric96_defaultInexactHandler);
    Numeric96_setOverflowHandler(Numeric96_defaultOverflowHandler);
    Numeric96_setDivByZeroHandler(Numeric96_defaultDivByZeroHandler);
}

int Numeric96_defaultInexactHandler(const Numeric96InexactErr &e) {
    if (e.op() == Numeric96Op_divide) return Numeric96Op_divide;
    writeLine(e.what());
    return e.op();
}

void Numeric96_defaultOverflowHandler(const Numeric96Err &e) {
    writeLine(e.what());
    throw Numeric96OverflowErr(e);
}

void Numeric96_defaultDivByZeroHandler(const Numeric96Err &e) {
    writeLine(e.what());
    throw Numeric96DivByZeroErr(e);
}

void NmDecimal_defaultInexactHandler(const NmDecimalInexactErr &e) {
    if (e.op() == Numeric96Op_divide) return;
    writeLine(e.text());
}

void NmDecimal_defaultOverflowHandler(const NmDecimalOverflowErr &e) { throw NmExternalErr(e); }

void NmDecimal_forwardInexact(const NmDecimalInexactErr &e) {
    Numeric96_reportInexact(e.op(), Numeric96_fromWork(e.operand1()), Numeric96_fromWork(e.operand2()),
                            withoutHead(e.text()));
}

void NmDecimal_forwardOverflow(const NmDecimalOverflowErr &e) {
    Numeric96_reportOverflow(e.op(), Numeric96_fromWork(e.operand1()), Numeric96_fromWork(e.operand2()),
                             withoutHead(e.text()));
}
