// regionfmt's script functions: the user default locale's separators and
// formats, the language's English name, and MakeDirDOS.
#include <windows.h>

#include "zamsdk.h"

namespace {

// A failed query answers an empty text.
template <LCTYPE Type> int ZAMCB localeText() {
    char text[256] = "";
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, Type, text, sizeof text) <= 0) text[0] = 0;
    return ZamReturnText(text);
}

int ZAMCB makeDirDos() {
    const char *path = ZamParmText(0);
    return ZamReturnBool(path && CreateDirectoryA(path, nullptr));
}

const ZamFunction kFunctions[] = {
    {kZamProcString, "GetLocaleDecimalSeparator", localeText<LOCALE_SDECIMAL>},
    {kZamProcString, "GetLocaleTimeSeparator", localeText<LOCALE_STIME>},
    {kZamProcString, "GetLocaleDateSeparator", localeText<LOCALE_SDATE>},
    {kZamProcString, "GetLocaleTimeFormat", localeText<LOCALE_STIMEFORMAT>},
    {kZamProcString, "GetLocaleDateFormat", localeText<LOCALE_SSHORTDATE>},
    {kZamProcString, "GetLocaleEnglishNameLanguage", localeText<LOCALE_SENGLANGUAGE>},
    {kZamProcBool, "MakeDirDOS", makeDirDos},
};

}  // namespace

extern "C" void __stdcall AddModuleObjects() {
    ZamAddFunctions(kFunctions);
}
