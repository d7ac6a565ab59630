#include "writer.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace ptest {

HANDLE openWriter(const std::string &pipeName, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
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
        DWORD n = static_cast<DWORD>(std::min<size_t>(size, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(pipe, p, n, &written, nullptr)) return false;
        p += written;
        size -= written;
    }
    return true;
}

bool writeChunks(HANDLE pipe, const std::string &data, uint32_t seed, size_t maxChunk) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> chunk(1, maxChunk);
    size_t at = 0;
    while (at < data.size()) {
        size_t n = std::min(chunk(rng), data.size() - at);
        if (!writeAll(pipe, data.data() + at, n)) return false;
        at += n;
    }
    return true;
}

std::string randomBytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (char &c : s) c = static_cast<char>(rng());
    return s;
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace ptest
