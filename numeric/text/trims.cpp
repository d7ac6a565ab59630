#include "trims.h"

#include <cstring>

namespace {

size_t lengthWithoutTrailingBlanks(const char *s) {
    size_t n = std::strlen(s);
    while (n > 0 && s[n - 1] == ' ') --n;
    return n;
}

bool isTrailingBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

char *txt_trimRightTo(char *dst, const char *src) {
    if (!dst) return dst;
    if (!src) {
        dst[0] = '\0';
        return dst;
    }
    size_t n = lengthWithoutTrailingBlanks(src);
    std::memmove(dst, src, n);
    dst[n] = '\0';
    return dst;
}

char *txt_trimRight(char *text) { return txt_trimRightTo(text, text); }

char *txt_trimLeftTo(char *dst, const char *src) {
    if (!dst) return dst;
    if (!src) {
        dst[0] = '\0';
        return dst;
    }
    while (*src == ' ') ++src;
    std::memmove(dst, src, std::strlen(src) + 1);
    return dst;
}

size_t txt_visibleLength(const char *text) {
    if (!text) return 0;
    size_t n = 0;
    for (; *text; ++text)
        if (*text != '~') ++n;
    return n;
}

char *txt_trimBlanks(char *text) {
    if (!text) return text;
    const char *p = text;
    while (*p == ' ' || *p == '\t') ++p;
    size_t n = std::strlen(p);
    while (n > 0 && isTrailingBlank(p[n - 1])) --n;
    std::memmove(text, p, n);
    text[n] = '\0';
    return text;
}
