// Reader of ini-style settings files: lines of a name, '=' and a value,
// ';' comments; names upper-cased; %HOME% and %EXEDIR% expanded in values.
#pragma once

// Called once per pair; a non-zero result stops the reading.
typedef int (*SettingsKeyFn)(const char *name, const char *value, void *context);

// Finds the file (directory list with ".ini", the name itself, the
// executable directory, then the list in QVCNFG with ".ini") and calls back
// for each pair. Returns -1 when the file is not found or cannot be opened
// (no call made), 0 when every line was read, else the first non-zero
// callback result.
int cfg_readFile(const char *fileName, SettingsKeyFn callback, void *context, const char *dirList);
