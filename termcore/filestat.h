// File information (request 107) and the file macros it expands.
#pragma once

#include <cstddef>
#include <string>

// termcore's own backslash rule: the second backslash of every pair goes,
// scanning from the start, so a run of two becomes one and a run of four
// two, a leading pair included. Returns how many went.
size_t tc_collapseBackslashPairs(char *text);

// Replaces "%DATAPATH%" ... "%DNDIR%" by their settings, each replacement
// followed by the backslash rule. A result that would not fit in capacity
// bytes (terminator included) leaves the text as it was; false then.
bool tc_expandFileMacros(std::string &text, size_t capacity);
