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

// The host calls these; nothing may unwind into it.
template <int (*Fn)()> int ZAMCB guarded() {
    try {
        return Fn();
    } catch (...) {
        return 0;
    }
}

struct Function {
    unsigned char kind;
    const char *name;
    ZamProc fn;
};

const Function kFunctions[] = {
    {kZamProcBool, "FileFindFirst", guarded<dw_fileFindFirst>},
    {kZamProcBool, "FileFindNext", guarded<dw_fileFindNext>},
    {kZamProcBool, "FileFindClose", guarded<dw_fileFindClose>},
    {kZamProcBool, "FileDelete", guarded<dw_fileDelete>},
    {kZamProcBool, "DirDelete", guarded<dw_dirDelete>},
    {kZamProcBool, "MakeDir", guarded<dw_makeDir>},
    {kZamProcBool, "FileRename", guarded<dw_fileRename>},
    {kZamProcString, "GetCWD", guarded<dw_getCWD>},
    {kZamProcString, "GetShortFileName", guarded<dw_getShortFileName>},
    {kZamProcString, "CreateGUID", guarded<dw_createGUID>},
};

}  // namespace

int dw_returnBool(bool value) {
    uint8_t b = value ? 1 : 0;
    ReturnVal(V_BOOL, &b);
    return 0;
}

int dw_returnText(const char *text) {
    ReturnVal(V_STRING, text);
    return 0;
}

extern "C" void __stdcall AddModuleObjects() {
    for (const Constant &c : kConstants) {
        ZamSymbol var = AddStdVar(V_INTEGER, c.name);
        SetStdVar(var, V_INTEGER, &c.value);
    }
    for (const Function &f : kFunctions) AddStdProc(f.kind, f.name, f.fn, 0);
}
