#include "writer.h"

#include <algorithm>

namespace ptest {

HANDLE openWriter(const std::string &pipeName, DWORD timeoutMs) {
    for (DWORD start = GetTickCount();;) {
        HANDLE h = CreateFileA(pipeName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        DWORD err = GetLastError();
        if (GetTickCount() - start > timeoutMs) return INVALID_HANDLE_VALUE;
        if (err == ERROR_PIPE_BUSY)
            WaitNamedPipeA(pipeName.c_str(), 100);
        else
            Sleep(5);
    }
}

bool writeAll(HANDLE pipe, const void *data, size_t size) {
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(pipe, p, static_cast<DWORD>(std::min<size_t>(size, 1u << 20)), &written, nullptr))
            return false;
        p += written;
        size -= written;
    }
    return true;
}

}  // namespace ptest
