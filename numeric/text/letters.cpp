#include "letters.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr unsigned char upper866(unsigned c) {
    if (c >= 97 && c <= 122) return static_cast<unsigned char>(c - 32);    // a-z
    if (c >= 160 && c <= 175) return static_cast<unsigned char>(c - 32);   // а-п
    if (c >= 224 && c <= 239) return static_cast<unsigned char>(c - 80);   // р-я
    if (c == 241 || c == 243 || c == 245 || c == 247) return static_cast<unsigned char>(c - 1);
    return static_cast<unsigned char>(c);
}

struct Upper866Table {
    unsigned char map[256];
    constexpr Upper866Table() : map() {
        for (unsigned c = 0; c < 256; ++c) map[c] = upper866(c);
    }
};

constexpr Upper866Table kUpper866;

unsigned char byteAt(const char *s, size_t i) { return static_cast<unsigned char>(s[i]); }

}  // namespace

unsigned char cp866_upper(unsigned char c) { return kUpper866.map[c]; }

int oem_compareNoCase(const char *a, const char *b) {
    if (!a) a = "";
    if (!b) b = "";
    for (size_t i = 0;; ++i) {
        int d = cp866_upper(byteAt(a, i)) - cp866_upper(byteAt(b, i));
        if (d != 0 || a[i] == '\0' || b[i] == '\0') return d;
    }
}

int oem_compareNoCaseN(const char *a, const char *b, size_t n) {
    if (!a) a = "";
    if (!b) b = "";
    for (size_t i = 0; i < n && b[i] != '\0'; ++i) {
        int d = cp866_upper(byteAt(a, i)) - cp866_upper(byteAt(b, i));
        if (d != 0) return d;
    }
    return 0;
}

unsigned char win_upperChar(unsigned char c) {
#ifdef _WIN32
    if (c == 0) return 0;  // a null pointer would mean no text at all
    // One character travels in the low word of the pointer argument.
    return static_cast<unsigned char>(
        reinterpret_cast<UINT_PTR>(CharUpperA(reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(c)))));
#else
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
#endif
}

const char *cp_findNoCase(const char *text, const char *pattern, bool windows) {
    if (!text) return nullptr;
    if (!pattern) pattern = "";
    unsigned char (*upper)(unsigned char) = windows ? win_upperChar : cp866_upper;
    for (const char *t = text;; ++t) {
        size_t i = 0;
        while (pattern[i] && t[i] && upper(byteAt(t, i)) == upper(byteAt(pattern, i))) ++i;
        if (!pattern[i]) return t;
        if (!t[i]) return nullptr;  // the text ran out: no later start can match
    }
}
