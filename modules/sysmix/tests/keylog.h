// Records the keys that reach the desktop's input, through a low-level
// keyboard hook served by a thread of its own.
#pragma once

#include <string>

#include <windows.h>

class KeyLog {
public:
    KeyLog();
    ~KeyLog();
    KeyLog(const KeyLog &) = delete;
    KeyLog &operator=(const KeyLog &) = delete;

    bool ok() const { return hooked_; }
    // What came so far, as "+VK" for a key down and "-VK" for a key up, in
    // hexadecimal, one blank between; waits a little for stragglers.
    std::string take();

private:
    static DWORD WINAPI run(void *self);
    HANDLE thread_ = nullptr;
    HANDLE ready_ = nullptr;
    DWORD threadId_ = 0;
    bool hooked_ = false;
};
