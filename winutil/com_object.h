// Pieces of COM objects written by hand: the reference count that AddRef
// and Release keep, and QueryInterface's way of handing out an interface.
#pragma once

#include <unknwn.h>

class ComRefCount {
public:
    explicit ComRefCount(LONG start) : refs_(start) {}
    ULONG add() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    // The count left; the caller deletes its object when it is 0.
    ULONG drop() { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }

private:
    LONG refs_;
};

// The interface found, with a reference added for the caller.
template <typename I>
HRESULT com_handOut(I *found, void **out) {
    found->AddRef();
    *out = found;
    return S_OK;
}
