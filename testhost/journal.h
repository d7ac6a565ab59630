// What a stand-in library was asked, one line each, for the tests to read
// through the library's test exports. Lines may come from several threads.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

class StandInJournal {
public:
    StandInJournal() { InitializeCriticalSection(&cs_); }

    void note(const char *format, ...) {
        char buf[1024];
        va_list ap;
        va_start(ap, format);
        vsnprintf(buf, sizeof buf, format, ap);
        va_end(ap);
        EnterCriticalSection(&cs_);
        lines_.push_back(buf);
        LeaveCriticalSection(&cs_);
    }
    // Writes the lines into out (when given); answers their whole length.
    int read(char *out, int size) {
        EnterCriticalSection(&cs_);
        std::string all;
        for (const std::string &line : lines_) all += line + "\n";
        LeaveCriticalSection(&cs_);
        if (out && size > 0) snprintf(out, static_cast<size_t>(size), "%s", all.c_str());
        return static_cast<int>(all.size());
    }
    void clear() {
        EnterCriticalSection(&cs_);
        lines_.clear();
        LeaveCriticalSection(&cs_);
    }

private:
    CRITICAL_SECTION cs_;
    std::vector<std::string> lines_;
};
