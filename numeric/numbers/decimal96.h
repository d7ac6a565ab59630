// Numeric96: the 16-byte decimal of field value type 25, a 96-bit mantissa
// with a count of decimals and a state byte. All work happens in the
// working form NmDecimal; inexact and overflowing results go to the
// handlers of decerrors.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "mpint96.h"
#include "nmstring.h"

enum NmDecimalState : int32_t {
    NmDecimal_normal = 0,
    NmDecimal_null = 1,
    NmDecimal_NaN = 2,
    NmDecimal_ctorError = 4,
    NmDecimal_missing = 8,
};

// The name the conversion messages put in place of their "%s".
constexpr char NmDecimal_name[] = "NmDecimal";

enum NmRoundMode : int {
    NmRound_plain = 0,    // away from zero when the first dropped digit exceeds the threshold
    NmRound_up = 1,       // away from zero when anything is dropped
    NmRound_down = 2,     // toward zero
    NmRound_bankers = 3,  // half to even
};
constexpr int NmRound_threshold = 4;

// The stored form, byte for byte the field value of type 25.
struct Numeric96 {
    static constexpr int storedScale = 12;

    uint8_t reserved = 0;
    uint8_t state = NmDecimal_null;
    int16_t decimals = 0;
    int32_t high = 0;  // carries the sign of the whole mantissa
    uint32_t middle = 0;
    uint32_t low = 0;

    // this := value rescaled to 12 decimals (mode plain, threshold 4).
    Numeric96 &assignRescaled(const Numeric96 &value);

    MPInt96 mantissa() const { return MPInt96{high, middle, low}; }
    void setMantissa(const MPInt96 &m) {
        high = m.high;
        middle = m.middle;
        low = m.low;
    }
};
static_assert(sizeof(Numeric96) == 16, "16-byte field value");
static_assert(offsetof(Numeric96, state) == 1 && offsetof(Numeric96, decimals) == 2 &&
                  offsetof(Numeric96, high) == 4 && offsetof(Numeric96, middle) == 8 &&
                  offsetof(Numeric96, low) == 12,
              "field value layout");

struct NmDecimal {
    int32_t state = NmDecimal_null;
    int32_t decimals = 0;
    MPInt96 mantissa = MPInt96_zero;

    static NmDecimal ofState(int32_t state) { return NmDecimal{state, 0, MPInt96_zero}; }
    bool isNormal() const { return state == NmDecimal_normal; }
};

NmDecimal Numeric96_toWork(const Numeric96 &value);
// Byte 0 of the target stays as it was.
void Numeric96_fromWork(Numeric96 &target, const NmDecimal &value);
Numeric96 Numeric96_fromWork(const NmDecimal &value);

Numeric96 Numeric96_fromText(const char *text);
std::istream &Numeric96_read(std::istream &stream, Numeric96 &value);
Numeric96 Numeric96_round(const Numeric96 &value, int places, int mode, int threshold);
Numeric96 convertDecimal(const Numeric96 &value, int places, int mode, int threshold);
std::string Numeric96_toStdString(const Numeric96 &value);

// Null for a null or empty text, NaN for anything but one number with
// optional white space around it.
NmDecimal NmDecimal_fromText(const char *text);
std::istream &NmDecimal_read(std::istream &stream, NmDecimal &value);
class PortableDecimal;
NmDecimal NmDecimal_fromPortable(const PortableDecimal &p);
// The same from the digit runs themselves.
NmDecimal NmDecimal_fromDigits(int32_t state, bool negative, const char *integer, size_t integerLength,
                               const char *fraction, size_t fractionLength);
NmDecimal NmDecimal_round(const NmDecimal &x, int places, int mode, int threshold);
NmCString asString(const NmDecimal &x);
// The text of asString into buffer; the length, or -1 (buffer untouched)
// when it needs size bytes or more.
long NmDecimal_toChars(const NmDecimal &x, char *buffer, size_t size);
