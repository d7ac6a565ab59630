// Owners of Win32 handles: each handle is closed once, on every path out of
// its scope. Both null and INVALID_HANDLE_VALUE mean "no handle", since
// CreateFile and FindFirstFile fail with the one and most other functions
// with the other.
#pragma once

#include <windows.h>

namespace winutil {

inline bool handle_valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

struct close_kernel_handle {
    static bool close(HANDLE h) { return CloseHandle(h) != FALSE; }
};
struct close_find_handle {
    static bool close(HANDLE h) { return FindClose(h) != FALSE; }
};

template <class Closer> class basic_unique_handle {
public:
    basic_unique_handle() = default;
    explicit basic_unique_handle(HANDLE h) : h_(h) {}
    ~basic_unique_handle() { reset(); }
    basic_unique_handle(basic_unique_handle &&o) noexcept : h_(o.release()) {}
    basic_unique_handle &operator=(basic_unique_handle &&o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    basic_unique_handle(const basic_unique_handle &) = delete;
    basic_unique_handle &operator=(const basic_unique_handle &) = delete;

    // Whatever was given, "no handle" included; a pointer-sized value, never
    // to be kept in 32 bits.
    HANDLE get() const { return h_; }
    explicit operator bool() const { return handle_valid(h_); }
    HANDLE release() {
        HANDLE h = h_;
        h_ = nullptr;
        return h;
    }
    void reset(HANDLE h = nullptr) {
        if (handle_valid(h_)) Closer::close(h_);
        h_ = h;
    }
    // Closes now; false when the system refused (a file whose last data
    // could not be written reports it here).
    bool close() {
        bool ok = !handle_valid(h_) || Closer::close(h_);
        h_ = nullptr;
        return ok;
    }

private:
    HANDLE h_ = nullptr;
};

// Processes, threads, files, pipes, events, semaphores.
using unique_handle = basic_unique_handle<close_kernel_handle>;
// Searches of FindFirstFile.
using unique_find_handle = basic_unique_handle<close_find_handle>;

}  // namespace winutil
