// File searches; nested searches stack up, the top one is current.
#include <cstring>
#include <vector>

#include <windows.h>

#include "dirwalk.h"

namespace {

// A search node; null: no open search. Find handles are pointers and are
// kept at full size.
struct SearchNode {
    HANDLE find = nullptr;
};

std::vector<SearchNode> g_searches;

bool isDots(const char *name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// Writes name, attribute bits and size into parameters first, first+1, first+2.
void reportEntry(int first, const WIN32_FIND_DATAA &fd) {
    int32_t attributes = fd.dwFileAttributes == FILE_ATTRIBUTE_NORMAL ? 0 : static_cast<int32_t>(fd.dwFileAttributes);
    int32_t size = static_cast<int32_t>(fd.nFileSizeLow);
    SetParm(first, V_STRING, fd.cFileName);
    SetParm(first + 1, V_INTEGER, &attributes);
    SetParm(first + 2, V_INTEGER, &size);
}

}  // namespace

int dw_fileFindFirst() {
    const char *mask = ZamParmText(0);
    if (!mask) return ZamReturnBool(false);
    g_searches.push_back({});
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(mask, &fd);
    if (h == INVALID_HANDLE_VALUE) return ZamReturnBool(false);
    g_searches.back().find = h;
    while (isDots(fd.cFileName))
        if (!FindNextFileA(h, &fd)) return ZamReturnBool(false);
    reportEntry(1, fd);
    return ZamReturnBool(true);
}

int dw_fileFindNext() {
    if (g_searches.empty() || !g_searches.back().find) return ZamReturnBool(false);
    WIN32_FIND_DATAA fd;
    if (!FindNextFileA(g_searches.back().find, &fd)) return ZamReturnBool(false);
    reportEntry(0, fd);
    return ZamReturnBool(true);
}

// The outer search becomes current again; the last node stays, emptied.
int dw_fileFindClose() {
    if (g_searches.empty()) return ZamReturnBool(false);
    HANDLE h = g_searches.back().find;
    bool closed = h && FindClose(h);
    if (g_searches.size() > 1) g_searches.pop_back();
    else g_searches.back().find = nullptr;
    return ZamReturnBool(closed);
}
