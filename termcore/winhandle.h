// Owners of Win32 handles: closed on every path out of a scope.
#pragma once

#include <windows.h>

template <class Traits> class WinHandle {
public:
    using T = typename Traits::Type;
    WinHandle() = default;
    explicit WinHandle(T h) : h_(h) {}
    ~WinHandle() { reset(); }
    WinHandle(WinHandle &&o) noexcept : h_(o.release()) {}
    WinHandle &operator=(WinHandle &&o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    WinHandle(const WinHandle &) = delete;
    WinHandle &operator=(const WinHandle &) = delete;

    T get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::invalid(); }
    T release() {
        T h = h_;
        h_ = Traits::invalid();
        return h;
    }
    void reset(T h = Traits::invalid()) {
        if (h_ != Traits::invalid()) Traits::close(h_);
        h_ = h;
    }
    // Closes now and reports whether the close succeeded.
    bool close() {
        if (h_ == Traits::invalid()) return true;
        bool ok = Traits::close(h_);
        h_ = Traits::invalid();
        return ok;
    }

private:
    T h_ = Traits::invalid();
};

struct FileHandleTraits {
    using Type = HANDLE;
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static bool close(HANDLE h) { return CloseHandle(h) != FALSE; }
};
struct KernelHandleTraits {
    using Type = HANDLE;
    static HANDLE invalid() { return nullptr; }
    static bool close(HANDLE h) { return CloseHandle(h) != FALSE; }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static bool close(HANDLE h) { return FindClose(h) != FALSE; }
};

using FileHandle = WinHandle<FileHandleTraits>;      // CreateFile
using KernelHandle = WinHandle<KernelHandleTraits>;  // processes, threads
using FindHandle = WinHandle<FindHandleTraits>;      // FindFirstFile
