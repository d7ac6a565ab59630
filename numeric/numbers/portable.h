// PortableDecimal: a decimal held as text (sign, integer digits, fraction
// digits) without a size limit, and the grammar of decimal text the system
// accepts: "1,234.50", "$1,234.50", "(12.5)", "- 12.5", "5%", "(null)".
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "decimal96.h"
#include "nmstring.h"

// Symbol texts the reader recognises; an empty symbol never matches.
struct PortableDecimalFormat {
    const char *currency = "$";
    const char *suffix = "";
    const char *thousands = ",";
    const char *point = ".";
};

class PortableDecimal {
public:
    int32_t state = NmDecimal_normal;
    bool negative = false;
    NmCString integerDigits;
    NmCString fractionDigits;
};

// Any state but normal also empties both digit strings and the sign.
void PortableDecimal_setState(PortableDecimal &p, int32_t s);

// Digits of one part as the reader collects them; most numbers fit the
// inline room and need no heap.
class DigitBuffer {
public:
    void push(char c);
    const char *data() const { return n_ <= sizeof small_ ? small_ : big_.data(); }
    size_t size() const { return n_; }

private:
    char small_[48];
    size_t n_ = 0;
    std::string big_;
};

// A read number before its digits become strings.
struct PortableDigits {
    int32_t state = NmDecimal_normal;
    bool negative = false;
    DigitBuffer integer;
    DigitBuffer fraction;
};

// Reads one number after leading white space. On failure the result is NaN
// and the stream is marked bad; what was consumed stays consumed.
PortableDecimal PortableDecimal_reader(std::istream &stream,
                                       const PortableDecimalFormat &format = PortableDecimalFormat());

// The same over a text: reads from *cursor up to end and moves the cursor
// past what was consumed; false (result NaN) when the number is bad.
bool PortableDecimal_readText(const char *&cursor, const char *end, PortableDecimal &result,
                              const PortableDecimalFormat &format = PortableDecimalFormat());

// The reader over a text into PortableDigits, for callers that convert
// the digits at once.
bool PortableDecimal_scanText(const char *&cursor, const char *end, PortableDigits &result,
                              const PortableDecimalFormat &format = PortableDecimalFormat());

NmCString PortableDecimal_asString(const PortableDecimal &p);

// The text form of a state other than normal: "(null)", "(NaN)", ...
const char *NmDecimal_stateText(int32_t state);

// White space as the classic "C" locale has it.
inline bool NmDecimal_isSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
