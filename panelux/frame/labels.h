// Server label texts: '~' marks a hotkey, '|' separates lines, line ends are
// single line feeds, menu texts carry arrow characters and an accelerator
// column. These turn them into what Windows controls expect, and back.
#pragma once

#include <cstddef>
#include <cstdint>

// Every '|' becomes a line feed, in place.
char *px_barsToNewlines(char *text);
// Leading blanks dropped, the first '~' becomes '&', later ones removed,
// trailing blanks cut; in place.
char *px_makeLabel(char *text);
// Removes every '~' in place; the new end, or null when there was none.
char *px_stripTilde(char *text);
// A menu item text, rewritten in place within capacity bytes (arrows expand
// to two characters; what does not fit is cut). Returns the tab that starts
// the accelerator column, or null.
char *px_makeMenuText(char *text, size_t capacity);
// Copies text with every LF and lone CR made a CR LF pair into buf when it
// fits in bufSize, else into a new malloc'ed buffer the caller frees; null
// only when memory runs out.
char *px_toCrLf(const char *text, char *buf, size_t bufSize);
// The size text needs with each CR LF pair as one LF, terminator included;
// at most n bytes of that form go to buf, always terminated when n > 0.
size_t px_fromCrLf(const char *text, char *buf, size_t n);

// A colour text: "RGB(r,g,b)" (each component's low 8 bits), "0x" hex or
// decimal digits to the end. 0, or -1 with *out unchanged.
int px_parseColor(uint32_t *out, const char *text);
