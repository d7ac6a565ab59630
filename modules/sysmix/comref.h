// Owning references to COM interfaces and VARIANTs.
#pragma once

#include <vector>

#include <oaidl.h>
#include <oleauto.h>

template <class T> class ComRef {
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef &) = delete;
    ComRef &operator=(const ComRef &) = delete;

    T *get() const { return p_; }
    T *operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Where a call that returns a new reference stores it.
    T **out() {
        reset();
        return &p_;
    }
    void **outVoid() { return reinterpret_cast<void **>(out()); }
    // Hands the reference to the caller.
    T *release() {
        T *p = p_;
        p_ = nullptr;
        return p;
    }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T *p_ = nullptr;
};

// VARIANTs cleared when the array goes.
class VariantArray {
public:
    explicit VariantArray(size_t n) : v_(n) {
        for (VARIANT &v : v_) VariantInit(&v);
    }
    ~VariantArray() {
        for (VARIANT &v : v_) VariantClear(&v);
    }
    VariantArray(const VariantArray &) = delete;
    VariantArray &operator=(const VariantArray &) = delete;

    VARIANT &operator[](size_t i) { return v_[i]; }
    VARIANT *data() { return v_.empty() ? nullptr : v_.data(); }
    size_t size() const { return v_.size(); }

private:
    std::vector<VARIANT> v_;
};

// The texts an IDispatch::Invoke exception leaves to the caller.
struct ExcepInfo : EXCEPINFO {
    ExcepInfo() : EXCEPINFO() {}
    ~ExcepInfo() {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
    }
    ExcepInfo(const ExcepInfo &) = delete;
    ExcepInfo &operator=(const ExcepInfo &) = delete;
};
