// Doubles to and from text through the runtime library, under the "C"
// numeric locale.
//
// The printf family is MinGW's own (the toolchain's default), not msvcrt's:
// it rounds an exactly representable tie to even, so "%.2f" of 0.125 is
// 0.12 where msvcrt would print 0.13.
#include <algorithm>
#include <climits>
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
// The widest "%.0f" of a double: a sign and 309 integer digits; decimals
// and the width come on top.
constexpr size_t kDoubleText = 320;
// A 79-character text that is not zero, times 10^400, is beyond the double
// range: larger counts read the same (zero, or infinity).
constexpr int kDoubleMaxScale = 400;

// The first 79 characters without leading blanks, as a count of 10^-|n| units.
double scaledTextToDouble(const char *text, int n) {
    char work[kWorkText + kDoubleMaxScale + 16];
    size_t len = text ? std::min(std::strlen(text), kWorkText - 1) : 0;
    if (len) std::memcpy(work, text, len);
    work[len] = '\0';
    txt_trimLeftTo(work, work);
    long long places = n < 0 ? -static_cast<long long>(n) : n;
    num_shiftPoint(work, static_cast<int>(std::min(places, 0LL + kDoubleMaxScale)), sizeof work);
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
    if (precision < 0) return scaledTextToDouble(text, precision);
    CLocaleScope c;
    return std::strtod(text, nullptr);
}

int num_doubleToText(double x, char *buffer, size_t size, int width, int precision, int leftAlign) {
    width = std::max(width, 0);
    precision = std::max(precision, -INT_MAX);  // INT_MIN has no int negation
    int places = precision < 0 ? -precision : precision;
    // The text holds the point and the decimals at least.
    if (num_cannotFit(places + 1LL, width, size)) return num_fillStars(buffer, size, width);
    std::vector<char> work(kDoubleText + static_cast<size_t>(places) + static_cast<size_t>(width));
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
        int grown = num_insertPoint(work.data(), places, work.size());
        if (grown == kNumNoRoom) return num_fillStars(buffer, size, width);
        n += grown;
    }
    return num_putText(work.data(), static_cast<size_t>(n), buffer, size, width, leftAlign);
}

double num_textToScaledDouble(const char *text, int n) { return scaledTextToDouble(text, n); }

int num_scaledDoubleToText(double x, char *buffer, size_t size, int width, int n, int leftAlign) {
    // With n above 0 the text holds "0." and n digits at least.
    if (num_cannotFit(n > 0 ? n + 2LL : 0, width, size)) return num_fillStars(buffer, size, width);
    std::vector<char> work(kDoubleText + static_cast<size_t>(std::max(n, 0)));
    int len;
    {
        CLocaleScope c;
        len = std::snprintf(work.data(), work.size(), "%.0lf", x);
    }
    if (len < 0 || static_cast<size_t>(len) >= work.size() ||
        num_scaleDigits(work.data(), n, work.size()) == kNumNoRoom)
        return num_fillStars(buffer, size, width);
    return num_putText(work.data(), std::strlen(work.data()), buffer, size, width, leftAlign);
}
