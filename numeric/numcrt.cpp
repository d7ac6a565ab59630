// Doubles to and from text through the runtime library, under the "C"
// numeric locale.
//
// The printf family is MinGW's own (the toolchain's default), not msvcrt's:
// it rounds an exactly representable tie to even, so "%.2f" of 0.125 is
// 0.12 where msvcrt would print 0.13.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <float.h>
#include <memory>
#include <vector>

#include "numtext.h"
#include "trims.h"

#if !defined(__USE_MINGW_ANSI_STDIO) || !__USE_MINGW_ANSI_STDIO
#error "number text expects MinGW's own printf"
#endif

namespace {

// The numeric locale in force before num_setCLocale, when it was not "C".
std::unique_ptr<char[]> g_savedLocale;

struct CLocaleScope {
    CLocaleScope() { num_setCLocale(); }
    ~CLocaleScope() { num_restoreLocale(); }
    CLocaleScope(const CLocaleScope &) = delete;
    CLocaleScope &operator=(const CLocaleScope &) = delete;
};

constexpr size_t kWorkText = 80;
// The widest "%.*f" of a double: 309 integer digits, the point and the
// largest precision.
constexpr size_t kDoubleText = 320 + kNumMaxImplied;

int clampInt(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }

// The first 79 characters without leading blanks, as a count of 10^-n units.
double scaledTextToDouble(const char *text, int n) {
    char work[kWorkText + kNumMaxImplied + 16];
    size_t len = text ? std::min(std::strlen(text), kWorkText - 1) : 0;
    if (len) std::memcpy(work, text, len);
    work[len] = '\0';
    txt_trimLeftTo(work, work);
    num_shiftPoint(work, std::min(n < 0 ? -n : n, kNumMaxImplied), sizeof work);
    CLocaleScope c;
    return std::strtod(work, nullptr);
}

}  // namespace

// Any name but exactly "C" is kept, also names that begin with 'C' such as
// "Czech_Czechia.1250".
void num_setCLocale() {
    const char *name = std::setlocale(LC_NUMERIC, nullptr);
    if (name && std::strcmp(name, "C") != 0) {
        size_t n = std::strlen(name);
        g_savedLocale.reset(new char[n + 1]);
        std::memcpy(g_savedLocale.get(), name, n + 1);
    }
    std::setlocale(LC_NUMERIC, "C");
}

void num_restoreLocale() {
    if (!g_savedLocale) return;
    std::setlocale(LC_NUMERIC, g_savedLocale.get());
    g_savedLocale.reset();
}

double num_textToDouble(const char *text, int precision) {
    if (!text) return 0;
    if (precision < 0) return scaledTextToDouble(text, -precision);
    CLocaleScope c;
    return std::strtod(text, nullptr);
}

int num_doubleToText(double x, char *buffer, size_t size, int width, int precision, int leftAlign) {
    width = std::max(width, 0);
    precision = clampInt(precision, -kNumMaxImplied, kNumMaxImplied);
    std::vector<char> work(kDoubleText + static_cast<size_t>(width));
    int fieldWidth = leftAlign ? 1 : width, n;
    {
        _fpreset();
        CLocaleScope c;
        if (precision >= 0)
            n = std::snprintf(work.data(), work.size(), leftAlign ? "%-*.*lf" : "%*.*lf", fieldWidth, precision, x);
        else
            n = std::snprintf(work.data(), work.size(), leftAlign ? "%-*.0lf" : "%*.0lf", fieldWidth, x);
    }
    if (n < 0 || static_cast<size_t>(n) >= work.size()) return num_fillStars(buffer, size, width);
    if (precision < 0) {
        int grown = num_insertPoint(work.data(), -precision, work.size());
        if (grown == kNumNoRoom) return num_fillStars(buffer, size, width);
        n += grown;
    }
    return num_putText(work.data(), static_cast<size_t>(n), buffer, size, width, leftAlign);
}

double num_textToScaledDouble(const char *text, int n) { return scaledTextToDouble(text, n); }

int num_scaledDoubleToText(double x, char *buffer, size_t size, int width, int n, int leftAlign) {
    n = clampInt(n, -kNumMaxImplied, kNumMaxImplied);
    char work[kDoubleText];
    int len;
    {
        CLocaleScope c;
        len = std::snprintf(work, sizeof work, "%.0lf", x);
    }
    if (len < 0 || static_cast<size_t>(len) >= sizeof work || num_scaleDigits(work, n, sizeof work) == kNumNoRoom)
        len = -1;
    if (len < 0) return num_fillStars(buffer, size, width);
    return num_putText(work, std::strlen(work), buffer, size, width, leftAlign);
}
