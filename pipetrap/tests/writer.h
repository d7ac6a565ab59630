// Writers of the monitor's pipe as any trace-writing process acts: open
// the pipe (waiting while it is missing or busy), write, close.
#pragma once

#include <windows.h>

#include <string>

namespace ptest {

// INVALID_HANDLE_VALUE when no instance could be had within timeoutMs.
HANDLE openWriter(const std::string &pipeName, DWORD timeoutMs = 10000);
bool writeAll(HANDLE pipe, const void *data, size_t size);
inline bool writeAll(HANDLE pipe, const std::string &data) { return writeAll(pipe, data.data(), data.size()); }

// Polls until done() holds, or timeoutMs passes.
template <class Done>
bool waitFor(Done done, DWORD timeoutMs = 10000) {
    for (DWORD start = GetTickCount(); !done(); Sleep(10))
        if (GetTickCount() - start > timeoutMs) return false;
    return true;
}

}  // namespace ptest
