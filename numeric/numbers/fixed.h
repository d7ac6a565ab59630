// Fixed-point decimal and money values: a signed count of ten-thousandths
// in an int64. FDecimal and FMoney differ only in how many decimals their
// text shows by default (four and two); their storage forms are what an
// 8-byte field value holds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "int64.h"
#include "qvexception.h"

// Multiplier of the core conversions and its significant bits.
struct FixedParm {
    uint32_t multiplier;
    uint16_t bits;
};
constexpr FixedParm kFixedParm{10000, 14};
constexpr int kFixedDecimals = 4;
// Parsing rounds on a fifth fraction digit (half away from zero).
constexpr bool kFixedRounding = true;

class FDecimal_Exception : public QVException {
public:
    enum Code : int32_t { Overflow = 1, DivideByZero = 2, BadMoneyFormat = 3 };

    explicit FDecimal_Exception(int32_t code);
    static const char *message(int32_t code);
    [[noreturn]] void raise() const;

    int32_t code() const { return code_; }

private:
    int32_t code_;
};

// Text to a count of ten-thousandths: optional sign, digits, optional point
// and fraction; a fifth fraction digit above 4 rounds the magnitude up.
// Throws FDecimal_Exception(Overflow) beyond +-922337203685477.5807.
int64 fixed_parse(const char *text, FixedParm parm = kFixedParm);
// Rounds a value with a decimals to b decimals, half away from zero.
// Throws FDecimal_Exception(Overflow) when the result leaves the range.
int64 fixed_round(int64 value, int a, int b, int mode);
// Text of a value with a decimals shown with b (b clamped to a), rounded
// half away from zero on the magnitude; null when the text and its
// terminator do not fit in size, or for a null buffer or a negative b.
char *fixed_format(int64 value, int a, int b, char *buffer, size_t size);

template <int N>
class FixedT_i64 {
public:
    int64 m_Value;

    constexpr FixedT_i64() = default;
    explicit FixedT_i64(const char *text) : m_Value(fixed_parse(text)) {}
    static constexpr FixedT_i64 fromUnits(int64 units) {
        FixedT_i64 r;
        r.m_Value = units;
        return r;
    }

    char *cvt2str(char *buffer, size_t size) const {
        return FormatRawStr(kFixedDecimals, N, buffer, size);
    }
    char *cvt2str(int decimals, char *buffer, size_t size) const {
        return FormatRawStr(kFixedDecimals, decimals, buffer, size);
    }
    char *FormatRawStr(int valueDecimals, int shownDecimals, char *buffer, size_t size) const {
        return fixed_format(m_Value, valueDecimals, shownDecimals, buffer, size);
    }
    // Mode 0 (half away from zero) is the only rounding there is.
    FixedT_i64 &Round(int valueDecimals, int keptDecimals, int mode = 0) {
        m_Value = fixed_round(m_Value, valueDecimals, keptDecimals, mode);
        return *this;
    }

    bool operator==(const FixedT_i64 &y) const { return m_Value == y.m_Value; }
    bool operator!=(const FixedT_i64 &y) const { return m_Value != y.m_Value; }
};

class FDecimal : public FixedT_i64<4> {
public:
    using FixedT_i64::FixedT_i64;
    constexpr FDecimal(const FixedT_i64<4> &v) : FixedT_i64(v) {}
};

class FMoney : public FixedT_i64<2> {
public:
    using FixedT_i64::FixedT_i64;
    constexpr FMoney(const FixedT_i64<2> &v) : FixedT_i64(v) {}
};

// Storage forms: 8 bytes, low 32 bits first; copies to and from the value
// forms move the 64 bits unchanged.
template <class Value>
struct DBBaseFixed {
    int64_t m_DBValue = 0;

    DBBaseFixed() = default;
    explicit DBBaseFixed(const char *text) : m_DBValue(fixed_parse(text).value()) {}
    operator Value() const { return Value::fromUnits(int64(static_cast<long long>(m_DBValue))); }
    DBBaseFixed &operator=(const Value &v) {
        m_DBValue = v.m_Value.value();
        return *this;
    }
};

using DBBaseFDecimal = DBBaseFixed<FDecimal>;
using DBBaseFMoney = DBBaseFixed<FMoney>;

static_assert(sizeof(DBBaseFDecimal) == 8 && sizeof(DBBaseFMoney) == 8, "8-byte field values");
