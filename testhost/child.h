// Runs test cases in a child process: a copy of the test program or the
// program itself, with its own environment. The child's cases register
// only in the child (registerChildCase), so the parent never lists them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace th {

std::string exePath();
std::string exeDir();  // with a trailing backslash

// Runs the cases of `suite` in a child of program `exe` (default: this
// program) with the extra "NAME=value" environment entries; true when they
// all passed and there was at least one. The child reports to the console.
bool runChild(const std::string &suite, const std::vector<std::string> &env = {},
              const std::string &exe = "");

// True in a child that runChild started for `suite`.
bool isChildFor(const std::string &suite);

template <class Fixture, class Case> bool registerChildCase(const char *suite, const char *name) {
    if (!isChildFor(suite)) return false;
    ::testing::RegisterTest(suite, name, nullptr, nullptr, __FILE__, __LINE__,
                            []() -> Fixture * { return new Case; });
    return true;
}

}  // namespace th
