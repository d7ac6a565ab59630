#include "regmodule.h"

#include <gtest/gtest.h>

namespace th {

RegModule::RegModule(const std::string &file) : module_(file) {
    EXPECT_EQ(304, module_.setCallBacks(Interp::get().table()));
    auto add = reinterpret_cast<ZamAddModuleObjectsFn>(module_.proc("_AddModuleObjects@0"));
    if (add) add();
}

Val RegModule::call(const std::string &name, const std::vector<VALUE> &args) {
    Interp &in = Interp::get();
    int rc = in.call(name, args);
    EXPECT_EQ(0, rc) << name;
    EXPECT_EQ(1u, in.returns.size()) << name << " should set exactly one result";
    return in.returns.empty() ? Val() : in.returns.back();
}

}  // namespace th
