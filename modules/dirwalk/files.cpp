// File and directory operations, the current directory, short names, GUIDs.
#include <string>

#include <windows.h>
#include <objbase.h>

#include "dirwalk.h"
#include "unique_handle.h"

namespace {

// A bool function of one path parameter; false when it is not a string.
int pathOperation(BOOL (*operation)(const char *)) {
    const char *path = ZamParmText(0);
    return ZamReturnBool(path && operation(path));
}

BOOL deleteFile(const char *p) { return DeleteFileA(p); }
BOOL removeDir(const char *p) { return RemoveDirectoryA(p); }
BOOL makeDir(const char *p) { return CreateDirectoryA(p, nullptr); }

// Longest path handed back as it was given.
constexpr size_t kShortNameCut = 259;

}  // namespace

int dw_fileDelete() { return pathOperation(deleteFile); }
int dw_dirDelete() { return pathOperation(removeDir); }
int dw_makeDir() { return pathOperation(makeDir); }

int dw_fileRename() {
    const char *from = ZamParmText(0);
    const char *to = ZamParmText(1);
    return ZamReturnBool(from && to && MoveFileA(from, to));
}

int dw_getCWD() {
    char dir[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(sizeof dir, dir);
    return ZamReturnText(n > 0 && n <= MAX_PATH ? dir : "");
}

// The system's short name of the last component, or the path itself.
int dw_getShortFileName() {
    const char *path = ZamParmText(0);
    if (!path) return ZamReturnText("");
    WIN32_FIND_DATAA fd;
    winutil::unique_find_handle found(*path ? FindFirstFileA(path, &fd) : INVALID_HANDLE_VALUE);
    if (found && fd.cAlternateFileName[0]) return ZamReturnText(fd.cAlternateFileName);
    return ZamReturnText(std::string(path).substr(0, kShortNameCut).c_str());
}

// 8-4-4-4-12 hexadecimal digits, no braces, in the OEM code page.
int dw_createGUID() {
    GUID guid;
    wchar_t wide[40];
    char text[40];
    if (FAILED(CoCreateGuid(&guid)) || StringFromGUID2(guid, wide, 40) != 39 ||
        WideCharToMultiByte(CP_OEMCP, 0, wide + 1, 36, text, sizeof text, nullptr, nullptr) != 36)
        return ZamReturnText("");
    text[36] = 0;
    return ZamReturnText(text);
}
