// Blank trims for fixed-width server texts and number texts, and the
// visible length of a label without its hotkey markers.
#pragma once

#include <cstddef>

// Only the blank (32) counts as padding for these four.
char *txt_trimRightTo(char *dst, const char *src);  // dst may be src
char *txt_trimRight(char *text);
char *txt_trimLeftTo(char *dst, const char *src);   // the buffers may overlap
size_t txt_visibleLength(const char *text);         // characters other than '~'

// Settings and list texts: leading spaces and tabs, trailing spaces, tabs,
// LF and CR, in place.
char *txt_trimBlanks(char *text);
