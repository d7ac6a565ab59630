// Decimal error reports and the process-wide handler slots. The decimal
// code never decides what an inexact or overflowing result means: it
// builds a report and calls the handler in the slot. The working-form
// slots forward to the Numeric96 slots, which the application sets.
#pragma once

#include <cstdint>

#include "decimal96.h"
#include "nmxmsg.h"
#include "qvexception.h"

enum Numeric96Op : int32_t {
    Numeric96Op_assign = 0,  // rescale
    Numeric96Op_add = 1,
    Numeric96Op_subtract = 2,
    Numeric96Op_multiply = 3,
    Numeric96Op_divide = 4,
    Numeric96Op_pow = 5,
    Numeric96Op_pow10 = 6,
    Numeric96Op_conversion = 7,  // from text
};

// The common layout of the three Numeric96 reports.
class Numeric96Err : public QVException {
public:
    Numeric96Err(const char *text, int32_t op, const Numeric96 &operand1, const Numeric96 &operand2)
        : QVException(text), op_(op), operand1_(operand1), operand2_(operand2) {}

    int32_t op() const { return op_; }
    const Numeric96 &operand1() const { return operand1_; }
    const Numeric96 &operand2() const { return operand2_; }

private:
    int32_t op_;
    Numeric96 operand1_;
    Numeric96 operand2_;
};

// Handed to the inexact handler only; never thrown by the library.
class Numeric96InexactErr : public Numeric96Err {
public:
    using Numeric96Err::Numeric96Err;
    explicit Numeric96InexactErr(const Numeric96Err &e) : Numeric96Err(e) {}
};

class Numeric96OverflowErr : public Numeric96Err {
public:
    using Numeric96Err::Numeric96Err;
    explicit Numeric96OverflowErr(const Numeric96Err &e) : Numeric96Err(e) {}
};

class Numeric96DivByZeroErr : public Numeric96Err {
public:
    using Numeric96Err::Numeric96Err;
    explicit Numeric96DivByZeroErr(const Numeric96Err &e) : Numeric96Err(e) {}
};

// Working-form reports: an owned message text, the operation and both
// operands.
class NmDecimalErr : public NmExternalErr {
public:
    NmDecimalErr(const char *text, int32_t op, const NmDecimal &operand1, const NmDecimal &operand2)
        : NmExternalErr(text), op_(op), operand1_(operand1), operand2_(operand2) {}

    int32_t op() const { return op_; }
    const NmDecimal &operand1() const { return operand1_; }
    const NmDecimal &operand2() const { return operand2_; }

private:
    int32_t op_;
    NmDecimal operand1_;
    NmDecimal operand2_;
};

class NmDecimalInexactErr : public NmDecimalErr {
public:
    using NmDecimalErr::NmDecimalErr;
};

class NmDecimalOverflowErr : public NmDecimalErr {
public:
    using NmDecimalErr::NmDecimalErr;
};

using Numeric96InexactHandler = int (*)(const Numeric96InexactErr &);
using Numeric96ErrorHandler = void (*)(const Numeric96Err &);
using NmDecimalInexactHandler = void (*)(const NmDecimalInexactErr &);
using NmDecimalOverflowHandler = void (*)(const NmDecimalOverflowErr &);

// Each stores h and returns the handler it replaces.
Numeric96InexactHandler Numeric96_setInexactHandler(Numeric96InexactHandler h);
Numeric96ErrorHandler Numeric96_setOverflowHandler(Numeric96ErrorHandler h);
Numeric96ErrorHandler Numeric96_setDivByZeroHandler(Numeric96ErrorHandler h);
void NmDecimal_setInexactHandler(NmDecimalInexactHandler h);
void NmDecimal_setOverflowHandler(NmDecimalOverflowHandler h);

// Build a report on the stack and hand it to the slot's handler; a
// handler that returns lets the operation go on.
void Numeric96_reportInexact(int32_t op, const Numeric96 &operand1, const Numeric96 &operand2, const char *text);
void Numeric96_reportOverflow(int32_t op, const Numeric96 &operand1, const Numeric96 &operand2, const char *text);
void NmDecimal_reportInexact(int32_t op, const NmDecimal &operand1, const NmDecimal &operand2, const char *text);
void NmDecimal_reportOverflow(int32_t op, const NmDecimal &operand1, const NmDecimal &operand2, const char *text);

// The slots hold these from the moment the module is loaded (constant
// initialisation); this puts them there again.
void Numeric96_installDefaultHandlers();

// Numeric96 defaults: write the text and a line break to the standard
// error stream; overflow and divide by zero then throw a copy.
int Numeric96_defaultInexactHandler(const Numeric96InexactErr &e);
void Numeric96_defaultOverflowHandler(const Numeric96Err &e);
void Numeric96_defaultDivByZeroHandler(const Numeric96Err &e);

// The working-form handlers in force before any forwarding is set up.
void NmDecimal_defaultInexactHandler(const NmDecimalInexactErr &e);
void NmDecimal_defaultOverflowHandler(const NmDecimalOverflowErr &e);
// Pass a working-form report on to the Numeric96 slots, its text without
// the "[TAG] name: " head.
void NmDecimal_forwardInexact(const NmDecimalInexactErr &e);
void NmDecimal_forwardOverflow(const NmDecimalOverflowErr &e);
