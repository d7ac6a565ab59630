// The line reader behind cfg_readFile, open to the tests and the fuzz target.
#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

#include "settings.h"
#include "sysenv.h"

constexpr size_t kCfgLineMax = 8196;  // longer lines are cut, the rest skipped
constexpr size_t kCfgNameMax = 19;

class CfgReader {
public:
    // home: the text of %HOME% ("." when null); exeDir: that of %EXEDIR%.
    CfgReader(const char *home, const char *exeDir, SettingsKeyFn callback, void *context);
    int read(std::FILE *f);

private:
    bool readLine(std::FILE *f);
    int handleLine();
    bool expand(const char *token, const char *replacement);

    const char *home_;
    const char *exeDir_;
    SettingsKeyFn callback_;
    void *context_;
    std::vector<char> line_;  // grows only for expansions
    char name_[kCfgNameMax + 1];
};
