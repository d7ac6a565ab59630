#include "int64.h"

#include <cstring>

namespace {

constexpr int64_t kMin = INT64_MIN;

[[noreturn]] void throwDivideByZero() { throw int64_exception{kInt64DivideByZero}; }

}  // namespace

// Truncates toward zero. The two quotients the machine cannot form are
// handled first: -2^63 / -1 wraps to -2^63, and any divisor -2^63 leaves
// 1 for -2^63 itself and 0 for every other dividend.
int64 int64::operator/(const int64 &y) const {
    if (y.isZero()) throwDivideByZero();
    int64_t a = value(), b = y.value();
    if (b == -1) return -*this;
    if (b == kMin) return a == kMin ? 1 : 0;
    return int64(static_cast<long long>(a / b));
}

// The remainder has the sign of the dividend.
int64 int64::operator%(const int64 &y) const {
    if (y.isZero()) throwDivideByZero();
    int64_t a = value(), b = y.value();
    if (b == -1) return 0;
    if (b == kMin) return a == kMin ? 0 : *this;
    return int64(static_cast<long long>(a % b));
}

int64 &int64::operator<<=(int n) {
    if (n < -64 || n > 64) return *this = 0;
    if (n < 0) return *this >>= -n;
    return *this = fromBits(n == 64 ? 0 : bits() << n);
}

int64 &int64::operator>>=(int n) {
    if (n < -64 || n > 64) return *this = 0;
    if (n < 0) return *this <<= -n;
    int64_t v = value();
    return *this = int64(static_cast<long long>(n >= 63 ? (v < 0 ? -1 : 0) : v >> n));
}

char *int64::GetString(char *buffer, size_t size) const {
    if (!buffer) return nullptr;
    char digits[kInt64TextSize];
    size_t n = 0;
    uint64_t magnitude = m_Hi < 0 ? ~bits() + 1 : bits();
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (m_Hi < 0) digits[n++] = '-';
    if (size < n + 1) {
        if (size > 0) buffer[0] = '\0';
        return nullptr;
    }
    for (size_t i = 0; i < n; ++i) buffer[i] = digits[n - 1 - i];
    buffer[n] = '\0';
    return buffer;
}
