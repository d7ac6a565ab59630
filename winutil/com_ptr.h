// One owner for a COM interface pointer: released when the holder goes.
#pragma once

#include <unknwn.h>

template <typename T>
class com_ptr {
public:
    com_ptr() = default;
    // Takes over a reference the caller already holds.
    explicit com_ptr(T *p) : p_(p) {}
    com_ptr(const com_ptr &o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    com_ptr(com_ptr &&o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    com_ptr &operator=(com_ptr o) noexcept {
        T *old = p_;
        p_ = o.p_;
        o.p_ = old;
        return *this;
    }
    ~com_ptr() { reset(); }

    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    // For out parameters: the old pointer is released first.
    T **put() {
        reset();
        return &p_;
    }
    void **put_void() { return reinterpret_cast<void **>(put()); }
    T *get() const { return p_; }
    T *detach() {
        T *p = p_;
        p_ = nullptr;
        return p;
    }
    T *operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T *p_ = nullptr;
};
