#include "ownedstr.h"

#include <cstdlib>
#include <cstring>

void OwnedStr::Assign(const char *text) {
    // Copied before the old text goes: the text may be this holder's own.
    char *copy = nullptr;
    if (text) {
        size_t n = std::strlen(text) + 1;
        copy = static_cast<char *>(std::malloc(n));
        if (copy) std::memcpy(copy, text, n);
    }
    Clear();
    if (!text) return;
    text_ = copy;
    free_ = std::free;
}

void OwnedStr::Clear() {
    if (text_ && free_) free_(text_);
    text_ = nullptr;
}
