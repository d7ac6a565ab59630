// Loads a registration module as the interpreter does: ZamSetCallBacks with
// the stand-in interpreter's table, then AddModuleObjects; registered
// functions are then called through the stand-in.
#pragma once

#include <string>
#include <vector>

#include "interp.h"
#include "module.h"

namespace th {

class RegModule {
public:
    // The interpreter's slots the test needs must be enabled before.
    explicit RegModule(const std::string &file);

    Module &module() { return module_; }
    // Runs a registered function and answers the one result it set.
    Val call(const std::string &name, const std::vector<VALUE> &args = {});

private:
    Module module_;
};

}  // namespace th
