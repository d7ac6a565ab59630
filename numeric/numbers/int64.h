// Signed 64-bit integer kept as two 32-bit halves (low half first). Every
// result wraps modulo 2^64 like the machine's own arithmetic; only a
// division or remainder by zero is an error.
#pragma once

#include <cstddef>
#include <cstdint>

struct int64_exception {
    int16_t code;
};
constexpr int16_t kInt64DivideByZero = 2;

class int64 {
public:
    uint32_t m_Lo = 0;
    int32_t m_Hi = 0;

    constexpr int64() = default;
    constexpr int64(int v) { setBits(static_cast<uint64_t>(static_cast<int64_t>(v))); }
    constexpr int64(long v) { setBits(static_cast<uint64_t>(static_cast<int64_t>(v))); }
    constexpr int64(long long v) { setBits(static_cast<uint64_t>(v)); }

    static constexpr int64 fromBits(uint64_t bits) {
        int64 r;
        r.setBits(bits);
        return r;
    }
    constexpr uint64_t bits() const {
        return (static_cast<uint64_t>(static_cast<uint32_t>(m_Hi)) << 32) | m_Lo;
    }
    constexpr int64_t value() const { return static_cast<int64_t>(bits()); }

    constexpr int GetSign() const { return m_Hi < 0 ? -1 : 1; }
    constexpr bool isZero() const { return m_Lo == 0 && m_Hi == 0; }
    // The minimum value has no positive counterpart and stays as it is.
    constexpr int64 Abs() const { return m_Hi < 0 ? -*this : *this; }

    constexpr int64 operator-() const { return fromBits(~bits() + 1); }
    constexpr int64 operator+(const int64 &y) const { return fromBits(bits() + y.bits()); }
    constexpr int64 operator-(const int64 &y) const { return fromBits(bits() - y.bits()); }
    constexpr int64 operator*(const int64 &y) const { return fromBits(bits() * y.bits()); }
    int64 operator/(const int64 &y) const;
    int64 operator%(const int64 &y) const;

    constexpr int64 &operator+=(const int64 &y) { return *this = *this + y; }
    constexpr int64 &operator-=(const int64 &y) { return *this = *this - y; }
    constexpr int64 &operator*=(const int64 &y) { return *this = *this * y; }
    int64 &operator/=(const int64 &y) { return *this = *this / y; }
    int64 &operator%=(const int64 &y) { return *this = *this % y; }
    constexpr int64 &operator++() { return *this += 1; }
    constexpr int64 operator++(int) {
        int64 old = *this;
        *this += 1;
        return old;
    }

    // n from -64 to 64, a negative n shifting the other way; the right
    // shift keeps the sign. A count outside that range gives 0.
    int64 &operator<<=(int n);
    int64 &operator>>=(int n);

    constexpr bool operator==(const int64 &y) const { return bits() == y.bits(); }
    constexpr bool operator!=(const int64 &y) const { return bits() != y.bits(); }
    constexpr bool operator<(const int64 &y) const { return value() < y.value(); }
    constexpr bool operator<=(const int64 &y) const { return value() <= y.value(); }
    constexpr bool operator>(const int64 &y) const { return value() > y.value(); }
    constexpr bool operator>=(const int64 &y) const { return value() >= y.value(); }

    // Decimal text; null for a null buffer or one too small for the whole
    // text (then it holds an empty text when it has room for one). 21
    // characters always suffice.
    char *GetString(char *buffer, size_t size) const;

private:
    constexpr void setBits(uint64_t bits) {
        m_Lo = static_cast<uint32_t>(bits);
        m_Hi = static_cast<int32_t>(static_cast<uint32_t>(bits >> 32));
    }
};

constexpr size_t kInt64TextSize = 21;
