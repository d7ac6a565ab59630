// File searches; nested searches stack up, the top one is current.
#include <cstring>
#include <vector>

#include <windows.h>

#include "dirwalk.h"
#include "unique_handle.h"

namespace {

// A search node; an empty handle: no open search. Find handles are pointers
// and are kept at full size.
struct SearchNode {
    winutil::unique_find_handle find;
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
    g_searches.emplace_back();
    WIN32_FIND_DATAA fd;
    winutil::unique_find_handle &find = g_searches.back().find;
    find.reset(FindFirstFileA(mask, &fd));
    if (!find) return ZamReturnBool(false);
    while (isDots(fd.cFileName))
        if (!FindNextFileA(find.get(), &fd)) return ZamReturnBool(false);
    reportEntry(1, fd);
    return ZamReturnBool(true);
}

int dw_fileFindNext() {
    if (g_searches.empty() || !g_searches.back().find) return ZamReturnBool(false);
    WIN32_FIND_DATAA fd;
    if (!FindNextFileA(g_searches.back().find.get(), &fd)) return ZamReturnBool(false);
    reportEntry(0, fd);
    return ZamReturnBool(true);
}

// The outer search becomes current again; the last node stays, emptied.
int dw_fileFindClose() {
    if (g_searches.empty()) return ZamReturnBool(false);
    winutil::unique_find_handle &find = g_searches.back().find;
    bool closed = find && find.close();
    if (g_searches.size() > 1) g_searches.pop_back();
    return ZamReturnBool(closed);
}

void dw_closeSearches() { g_searches.clear(); }
