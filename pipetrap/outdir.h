// The output directory of a run: the first argument, else TEMP, else the
// system's temporary folder; kept as a full path without a trailing
// separator.
#pragma once

#include <string>

#include <windows.h>

namespace pipetrap {

// The longest directory whose files still fit in a path: room is left for
// "\", the largest client number, ".out" and the terminator.
constexpr size_t kMaxOutDir = MAX_PATH - sizeof("\\4294967295.out");

// False, after saying why, when no usable directory could be taken.
bool takeOutputDir(int argc, char **argv, std::string &dir);

}  // namespace pipetrap
