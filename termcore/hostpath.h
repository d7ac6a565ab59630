// The host's path helpers, each called only with inputs whose result can
// fit the helper's 260-byte output, and each output taken only when it ends
// inside those 260 bytes. A false result means no path.
#pragma once

#include <string>

// ComposePath: the path of a file to create, name in dir.
bool host_composePath(std::string &out, const std::string &name, const std::string &dir);
// FindFilePath: true when the name was found in dir (flag: host search flag).
bool host_findFilePath(std::string &out, const std::string &name, const std::string &dir, int flag);
// SplitPath: the directory part and the name part of a path.
bool host_splitPath(const std::string &path, std::string *dir, std::string *name);
// MakePath: dir joined with name.
bool host_makePath(std::string &out, const std::string &dir, const std::string &name);
