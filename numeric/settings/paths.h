// Path utilities of the settings reader, also used directly by termcore.
// A path is an ordinary path or a "btrv:" location naming a record-manager
// table; such a location counts as existing and keeps its slashes.
#pragma once

#include <cstddef>

// Existence test of path_search.
typedef bool (*PathTestFn)(const char *path);

// Looks for name along a ';'-separated directory list. out (kQvMaxPath)
// receives the path found. Returns 1 when found, 0 when not; a name or a
// candidate that does not fit in out is never found.
int path_search(char *out, const char *name, const char *dirList, const char *defaultExt,
                bool alreadyTried, PathTestFn test);

bool path_exists(const char *path);
bool path_isBtrv(const char *path);

// Splits a path into directory (with its last separator), file name and
// extension (with its dot). Each output may be null; each comes with its
// size. Returns path, or null, writing nothing, when a "btrv:" location has
// no file parameter or an output does not fit.
const char *path_split(const char *path, char *dir, size_t dirSize, char *name, size_t nameSize,
                       char *ext, size_t extSize);

const char *path_baseName(const char *path);
const char *path_lastSep(const char *path);
char *path_normSlashes(char *path);
bool path_isAbsolute(const char *path);
bool path_hasSlash(const char *path);

// Replaces every token (case-sensitive) in text, whose buffer holds capacity
// bytes. Returns 0 when done, else the capacity needed, text unchanged.
// With collapse, path_collapseBackslashes follows.
size_t txt_replaceAll(char *text, size_t capacity, const char *token, const char *replacement,
                      bool collapse);

// Shortens every run of backslashes to one, past the leading blanks and
// backslashes (a server name's two survive). Returns how many went.
size_t path_collapseBackslashes(char *path);
