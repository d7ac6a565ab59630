// Number values of the dialog fields to display text and back. '.' is
// always the decimal point and an apostrophe the thousands separator.
//
// Every function that writes text is given the size of its buffer. A
// text-making function whose text (or width) does not fit fills the buffer
// with '*' up to the width (or, without a width, up to size - 1) and
// returns that count; an in-place edit that does not fit leaves the text
// as it was and answers kNumNoRoom.
#pragma once

#include <cstddef>

#include "decimal96.h"
#include "fixed.h"

constexpr int kNumNoRoom = -1;

// In-place edits of a text in a buffer of size bytes.
// Groups the digits left of the point in threes; returns the growth.
int num_groupThousands(char *text, size_t size);
// Removes trailing fraction zeros (the point stays); returns how many.
int num_trimZeros(char *text);
// Puts a point n digits from the right, zeros after it as needed; returns
// the growth (leading blanks are used up first).
int num_insertPoint(char *text, int n, size_t size);
// Sign and digits as a count of 10^-n units ("12.345", 2 -> "1234");
// null when the zeros it needs do not fit.
char *num_shiftPoint(char *text, int n, size_t size);
// A count of 10^-n units back to a number ("5", 2 -> "0.05"); n < 0 drops
// digits. 0 or kNumNoRoom.
int num_scaleDigits(char *text, int n, size_t size);
// "12.34" -> "1234", "-0.05" -> "-5"; returns the end of the text.
char *num_dropPoint(char *text);

// Money: n implied decimals (a count of 10^-|n| units read as hundredths).
// Throw FDecimal_Exception on overflow.
DBBaseFMoney &num_textToFMoney(DBBaseFMoney &storage, const char *text, int n);
DBBaseFMoney &num_textToMoney64(DBBaseFMoney &storage, const char *text, int n);
int num_moneyToText(const FMoney &value, char *buffer, size_t size, int width, int n, int leftAlign);
int num_money64ToText(const FMoney &value, char *buffer, size_t size, int width, int n, int leftAlign);

DBBaseFDecimal &num_textToFDecimal(DBBaseFDecimal &storage, const char *text);
// decimals 0 to 4 (more show as 4, fewer as 0).
int num_fdecimalToText(const FDecimal &value, char *buffer, size_t size, int width, int decimals, int leftAlign);

// Through a string stream and the decimal library's stream reader; a null
// decimal is left alone.
void num_textToDecimal(Numeric96 *decimal, const char *text);
// The text's value rescaled to 12 decimals (Numeric96::assignRescaled).
Numeric96 &num_textToDecimalDirect(Numeric96 &decimal, const char *text);
// Exactly `decimals` fraction digits, zeros beyond the value's own; values
// that are no number show as zero.
int num_decimalToText(const Numeric96 &decimal, char *buffer, size_t size, int width, int decimals, int leftAlign);

// The 10-byte extended-real image: 64-bit mantissa with explicit leading
// one, then sign and 15-bit exponent. Values outside the double range
// saturate to infinity or zero; subnormals are handled both ways.
constexpr size_t kExt10Size = 10;
void num_doubleToExt10(double x, unsigned char image[kExt10Size]);
double num_ext10ToDouble(const unsigned char image[kExt10Size]);

// Fills the buffer with '*' up to the width (without a width, up to
// size - 1): the answer of a text that does not fit. Returns the count.
int num_fillStars(char *buffer, size_t size, int width);
// Whether a text of at least `length` characters, or the width, is more
// than size bytes hold: such a text is stars, whatever count of decimals
// made it long, and no working text is made for it.
bool num_cannotFit(long long length, int width, size_t size);
// Copies text (length len) into buffer right-justified to width, or as it
// is when leftAlign is set; returns max(len, width).
int num_putText(const char *text, size_t len, char *buffer, size_t size, int width, int leftAlign);

#ifdef _WIN32
// The runtime's number formatting and parsing, under the "C" numeric
// locale; the previous locale is put back afterwards.
void num_setCLocale();
void num_restoreLocale();

double num_textToDouble(const char *text, int precision);
int num_doubleToText(double x, char *buffer, size_t size, int width, int precision, int leftAlign);
double num_textToScaledDouble(const char *text, int n);
int num_scaledDoubleToText(double x, char *buffer, size_t size, int width, int n, int leftAlign);

// Long double is the same width as double here.
inline double num_textToLongDouble(const char *text, int precision) { return num_textToDouble(text, precision); }
inline int num_longDoubleToText(double x, char *buffer, size_t size, int width, int precision, int leftAlign) {
    return num_doubleToText(x, buffer, size, width, precision, leftAlign);
}
inline double num_textToScaledLongDouble(const char *text, int n) { return num_textToScaledDouble(text, n); }
inline int num_scaledLongDoubleToText(double x, char *buffer, size_t size, int width, int n, int leftAlign) {
    return num_scaledDoubleToText(x, buffer, size, width, n, leftAlign);
}
#endif
