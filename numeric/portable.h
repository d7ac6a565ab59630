// PortableDecimal: a decimal held as text (sign, integer digits, fraction
// digits) without a size limit, and the grammar of decimal text the system
// accepts: "1,234.50", "$1,234.50", "(12.5)", "- 12.5", "5%", "(null)".
#pragma once

#include <cstdint>
#include <iosfwd>

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

    // Any state but normal also empties both digit strings and the sign.
    void setState(int32_t s);
};

// Reads one number after leading white space. On failure the result is NaN
// and the stream is marked bad; what was consumed stays consumed.
PortableDecimal PortableDecimal_reader(std::istream &stream,
                                       const PortableDecimalFormat &format = PortableDecimalFormat());

// The same over a text: reads from *cursor up to end and moves the cursor
// past what was consumed; false (result NaN) when the number is bad.
bool PortableDecimal_readText(const char *&cursor, const char *end, PortableDecimal &result,
                              const PortableDecimalFormat &format = PortableDecimalFormat());

NmCString PortableDecimal_asString(const PortableDecimal &p);

// The text form of a state other than normal: "(null)", "(NaN)", ...
const char *NmDecimal_stateText(int32_t state);

// White space as the classic "C" locale has it.
inline bool NmDecimal_isSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
