// The process's executable and the directory that holds it (settings files
// live next to the terminal, not next to the module), the environment, and
// the few file-system calls the settings reader needs.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Size of every path buffer of the library, terminator included.
constexpr size_t kQvMaxPath = 260;

// Full path of the process's executable, read once; empty when unknown.
const char *sys_modulePath();

// buf (kQvMaxPath) holds a name; on return it holds the executable directory
// (QVEXEDIR when set and not empty) followed by that name, and buf is
// returned. When the result would not fit, or the directory is unknown,
// buf is left unchanged and null is returned.
char *sys_exeDirPath(char *buf);

// The value of an environment variable; false when it is not set.
bool sys_getEnv(const char *name, std::string *value);

bool sys_fileExists(const char *path);
// Opens a file for reading in text mode.
std::FILE *sys_openText(const char *path);
