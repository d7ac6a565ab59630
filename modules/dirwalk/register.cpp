// AddModuleObjects: the attribute constants and the script functions.
#include "dirwalk.h"

namespace {

struct Constant {
    const char *name;
    int32_t value;
};

const Constant kConstants[] = {
    {"DIRWALK_A_NORMAL", 0}, {"DIRWALK_A_RDONLY", 1}, {"DIRWALK_A_HIDDEN", 2},
    {"DIRWALK_A_SYSTEM", 4}, {"DIRWALK_A_SUBDIR", 16}, {"DIRWALK_A_ARCH", 32},
};

const ZamFunction kFunctions[] = {
    {kZamProcBool, "FileFindFirst", ZamGuarded<dw_fileFindFirst>},
    {kZamProcBool, "FileFindNext", ZamGuarded<dw_fileFindNext>},
    {kZamProcBool, "FileFindClose", ZamGuarded<dw_fileFindClose>},
    {kZamProcBool, "FileDelete", ZamGuarded<dw_fileDelete>},
    {kZamProcBool, "DirDelete", ZamGuarded<dw_dirDelete>},
    {kZamProcBool, "MakeDir", ZamGuarded<dw_makeDir>},
    {kZamProcBool, "FileRename", ZamGuarded<dw_fileRename>},
    {kZamProcString, "GetCWD", ZamGuarded<dw_getCWD>},
    {kZamProcString, "GetShortFileName", ZamGuarded<dw_getShortFileName>},
    {kZamProcString, "CreateGUID", ZamGuarded<dw_createGUID>},
};

}  // namespace

extern "C" void __stdcall AddModuleObjects() {
    for (const Constant &c : kConstants) {
        ZamSymbol var = AddStdVar(V_INTEGER, c.name);
        SetStdVar(var, V_INTEGER, &c.value);
    }
    ZamAddFunctions(kFunctions);
    ZamOnDoneExec(dw_closeSearches);
}
