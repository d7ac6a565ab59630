// Writers of the monitor's pipe as any trace-writing process acts:
// open the pipe (waiting while it is missing or busy), write, close.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace ptest {

// A writer's end of the pipe, or INVALID_HANDLE_VALUE when no instance
// could be had within timeoutMs.
HANDLE openWriter(const std::string &pipeName, DWORD timeoutMs = 10000);

bool writeAll(HANDLE pipe, const void *data, size_t size);

// Writes data in chunks of 1 to maxChunk bytes, sizes drawn from seed.
bool writeChunks(HANDLE pipe, const std::string &data, uint32_t seed, size_t maxChunk);

// Reproducible random bytes.
std::string randomBytes(size_t size, uint32_t seed);

// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::string &path);

// Polls until the file's content satisfies done, or timeoutMs passes.
template <class Done>
bool waitFor(Done done, DWORD timeoutMs = 10000) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
}

}  // namespace ptest
