// Owns one kernel handle. Both null and INVALID_HANDLE_VALUE mean "none",
// since CreateFile and CreateNamedPipe fail with the one and most other
// functions with the other.
#pragma once

#include <windows.h>

namespace pipetrap {

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { reset(); }
    Handle(Handle &&other) noexcept : h_(other.release()) {}
    Handle &operator=(Handle &&other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    HANDLE get() const { return h_; }
    explicit operator bool() const { return valid(h_); }
    HANDLE release() {
        HANDLE h = h_;
        h_ = nullptr;
        return h;
    }
    void reset(HANDLE h = nullptr) {
        if (valid(h_)) CloseHandle(h_);
        h_ = h;
    }

    static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_ = nullptr;
};

}  // namespace pipetrap
