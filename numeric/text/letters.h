// Case-insensitive comparison and search for server texts (OEM code page
// 866, by a fixed table independent of the locale) and for user-interface
// texts (the Windows code page, by the system's upper-casing).
#pragma once

#include <cstddef>

unsigned char cp866_upper(unsigned char c);

// Difference of the mapped bytes where a and b first differ or either ends.
int oem_compareNoCase(const char *a, const char *b);
// The same over at most n positions, stopping also at the end of b.
int oem_compareNoCaseN(const char *a, const char *b, size_t n);

// First position of pattern in text without regard to case; windows picks
// the system's upper-casing instead of code page 866. An empty pattern
// matches at the start; null when there is no match.
const char *cp_findNoCase(const char *text, const char *pattern, bool windows);

// The system's upper-casing of one Windows-code-page character (ASCII only
// in the native build, which has no such system function).
unsigned char win_upperChar(unsigned char c);
