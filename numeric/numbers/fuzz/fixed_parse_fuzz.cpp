// The fixed-point parser against a reference over 128-bit integers, and
// every value it makes printed and read back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fixed.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

bool digit(char c) { return c >= '0' && c <= '9'; }

// The magnitude cut to four decimals may not pass the limit, and at the
// limit itself no fifth fraction digit may follow.
bool reference(const char *p, __int128 &value) {
    const __int128 kMax = INT64_MAX;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    while (*p == '0') ++p;
    __int128 v = 0;
    int integerDigits = 0;
    for (; digit(*p); ++p)
        if (++integerDigits <= 20) v = v * 10 + (*p - '0');
    if (integerDigits > 20) return false;
    v *= 10000;
    int j = 0;
    __int128 weight = 1000;
    char fifth = '0';
    if (*p == '.')
        for (++p; digit(*p); ++p, ++j) {
            if (j < 4) v += weight * (*p - '0'), weight /= 10;
            if (j == 4) fifth = *p;
        }
    if (v > kMax || (v == kMax && j > 4)) return false;
    if (fifth > '4') ++v;
    value = negative ? -v : v;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    __int128 expect = 0;
    bool fits = reference(text.c_str(), expect);
    int64_t got = 0;
    bool parsed = true;
    try {
        got = FixedT_i64<4>(text.c_str()).m_Value.value();
    } catch (const FDecimal_Exception &e) {
        parsed = false;
        check(e.code() == FDecimal_Exception::Overflow);
    }
    check(parsed == fits);
    if (!parsed) return 0;
    check(got == static_cast<int64_t>(expect));

    char buf[32];
    auto v = FixedT_i64<4>::fromUnits(int64(static_cast<long long>(got)));
    check(v.cvt2str(4, buf, sizeof buf) != nullptr);
    check(FixedT_i64<4>(buf).m_Value.value() == got);
    for (int decimals = 0; decimals < 4; ++decimals) check(v.cvt2str(decimals, buf, sizeof buf) != nullptr);
    return 0;
}
