// The tagged values of the sysmix wire (SysmixValue) and the call record of
// request 3. Reading and writing only: what a value becomes on the
// automation side is decided in variants.cpp.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "calendar.h"
#include "wire.h"

// Value types of the wire: the script value type codes that sysmix carries
// (the same numbers as V_UNDEF ... V_DTTM of zam_interp.h, checked there
// where both are seen; named here so that the wire needs no Windows).
constexpr uint8_t kSysmixUndef = 0;
constexpr uint8_t kSysmixInteger = 1;
constexpr uint8_t kSysmixMoney = 2;
constexpr uint8_t kSysmixDouble = 3;
constexpr uint8_t kSysmixMoneyL = 4;
constexpr uint8_t kSysmixDoubleL = 5;
constexpr uint8_t kSysmixString = 6;
constexpr uint8_t kSysmixBool = 7;
constexpr uint8_t kSysmixDate = 9;
constexpr uint8_t kSysmixTime = 10;
constexpr uint8_t kSysmixObject = 19;
constexpr uint8_t kSysmixDateTime = 23;

// Tag byte: the low six bits are a script value type code, 0x40 marks an
// argument passed by reference.
constexpr uint8_t kSysmixTypeMask = 0x3F;
constexpr uint8_t kSysmixByRef = 0x40;

struct SysmixValue {
    uint8_t type = 0;  // script value type code
    bool byRef = false;
    int32_t integer = 0;
    double real = 0;    // doubles; for money the 8 bytes read as a double
    int64_t money = 0;  // money: the same 8 bytes as fixed point, 4 decimals
    std::string_view text;
    bool boolean = false;
    SysmixDate date{};
    SysmixTime time{};
    uint32_t object = 0;  // object field of the wire (see objects.h)
};

enum class SysmixRead { ok, truncated, unknownType };

// Reads one tagged value; the reader is left after it.
SysmixRead sysmix_readValue(WireReader &r, SysmixValue &out);

// What is wrong with the argument part of a call record. It is reported only
// after the member lookup, in the order the call is carried out.
enum class SysmixArgFault { none, truncated, badCount, unknownType, byRefOverflow };

// Most arguments one call may carry; each takes at least its tag byte, and
// no request block is larger.
constexpr int32_t kSysmixMaxArgs = 0x7FFF;

// Wire layout of the call record: the object field, the dispatch flags and
// the member name follow each other from the start.
constexpr size_t kCallObjectOffset = 0;
constexpr size_t kCallFlagsOffset = 4;
constexpr size_t kCallMemberOffset = 6;

struct SysmixCall {
    uint32_t object = 0;
    uint16_t flags = 0;
    std::string_view member;
    int32_t count = 0;
    int32_t byRefCount = 0;
    std::vector<SysmixValue> args;
    SysmixArgFault fault = SysmixArgFault::none;
};

// Reads a call record. False when not even the object, the flags and the
// member name can be read; a fault in what follows is left in call.fault.
bool sysmix_readCall(const void *data, size_t length, SysmixCall &call);

// Reply values, one tagged value each.
void sysmix_putEmpty(WireWriter &w);
void sysmix_putInteger(WireWriter &w, int32_t v);
void sysmix_putReal(WireWriter &w, double v);
void sysmix_putMoney(WireWriter &w, int64_t fixedPoint);
void sysmix_putMoneyHundredths(WireWriter &w, double hundredths);
void sysmix_putBool(WireWriter &w, bool v);
// The text up to its first NUL.
void sysmix_putText(WireWriter &w, std::string_view s);
void sysmix_putDateTime(WireWriter &w, const SysmixDateTime &dt);
void sysmix_putObject(WireWriter &w, uint32_t object);
