#include "value.h"

#include <cstring>


namespace {

double asDouble(uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

uint64_t bitsOf(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

SysmixDate readDate(WireReader &r) {
    SysmixDate d;
    d.day = r.u8();
    d.mon = r.u8();
    d.year = r.i16();
    return d;
}

SysmixTime readTime(WireReader &r) {
    SysmixTime t;
    t.hundr = r.u8();
    t.sec = r.u8();
    t.min = r.u8();
    t.hour = r.u8();
    return t;
}

bool readPayload(WireReader &r, SysmixValue &v) {
    switch (v.type) {
    case kSysmixUndef: return true;
    case kSysmixInteger: v.integer = r.i32(); return true;
    case kSysmixDouble:
    case kSysmixDoubleL:
    case kSysmixMoney:
    case kSysmixMoneyL: {
        uint64_t bits = r.u64();
        v.real = asDouble(bits);
        v.money = static_cast<int64_t>(bits);
        return true;
    }
    case kSysmixString: v.text = r.text(); return true;
    case kSysmixBool: v.boolean = r.u8() != 0; return true;
    case kSysmixDate: v.date = readDate(r); return true;
    case kSysmixTime: v.time = readTime(r); return true;
    case kSysmixDateTime:
        v.date = readDate(r);
        v.time = readTime(r);
        return true;
    case kSysmixObject: v.object = r.u32(); return true;
    default: return false;
    }
}

SysmixArgFault readArgs(WireReader &r, SysmixCall &call) {
    call.count = r.i32();
    call.byRefCount = r.i32();
    if (!r.ok()) return SysmixArgFault::truncated;
    if (call.count < 0 || call.count > kSysmixMaxArgs || call.byRefCount < 0 ||
        call.byRefCount > kSysmixMaxArgs)
        return SysmixArgFault::badCount;
    int32_t byRefs = 0;
    for (int32_t i = 0; i < call.count; ++i) {
        SysmixValue v;
        switch (sysmix_readValue(r, v)) {
        case SysmixRead::ok: break;
        case SysmixRead::truncated: return SysmixArgFault::truncated;
        case SysmixRead::unknownType: return SysmixArgFault::unknownType;
        }
        // A by-reference argument needs a slot of its own.
        if (v.byRef && ++byRefs > call.byRefCount) return SysmixArgFault::byRefOverflow;
        call.args.push_back(v);
    }
    return SysmixArgFault::none;
}

}  // namespace

SysmixRead sysmix_readValue(WireReader &r, SysmixValue &out) {
    uint8_t tag = r.u8();
    if (!r.ok()) return SysmixRead::truncated;
    out = SysmixValue();
    out.type = tag & kSysmixTypeMask;
    out.byRef = (tag & kSysmixByRef) != 0;
    if (!readPayload(r, out)) return SysmixRead::unknownType;
    return r.ok() ? SysmixRead::ok : SysmixRead::truncated;
}

bool sysmix_readCall(const void *data, size_t length, SysmixCall &call) {
    WireReader r(data, length);
    call = SysmixCall();
    call.object = r.u32();
    call.flags = r.u16();
    call.member = r.text();
    if (!r.ok()) return false;
    call.fault = readArgs(r, call);
    return true;
}

void sysmix_putEmpty(WireWriter &w) { w.u8(kSysmixUndef); }

void sysmix_putInteger(WireWriter &w, int32_t v) {
    w.u8(kSysmixInteger);
    w.i32(v);
}

void sysmix_putReal(WireWriter &w, double v) {
    w.u8(kSysmixDouble);
    w.u64(bitsOf(v));
}

void sysmix_putMoney(WireWriter &w, int64_t fixedPoint) {
    w.u8(kSysmixMoney);
    w.i64(fixedPoint);
}

void sysmix_putMoneyHundredths(WireWriter &w, double hundredths) {
    w.u8(kSysmixMoney);
    w.u64(bitsOf(hundredths));
}

void sysmix_putBool(WireWriter &w, bool v) {
    w.u8(kSysmixBool);
    w.u8(v ? 1 : 0);
}

void sysmix_putText(WireWriter &w, std::string_view s) {
    size_t nul = s.find('\0');
    w.u8(kSysmixString);
    w.text(nul == std::string_view::npos ? s : s.substr(0, nul));
}

void sysmix_putDateTime(WireWriter &w, const SysmixDateTime &dt) {
    w.u8(kSysmixDateTime);
    w.u8(static_cast<uint8_t>(dt.date.day));
    w.u8(static_cast<uint8_t>(dt.date.mon));
    w.i16(static_cast<int16_t>(dt.date.year));
    w.u8(0);
    w.u8(static_cast<uint8_t>(dt.time.sec));
    w.u8(static_cast<uint8_t>(dt.time.min));
    w.u8(static_cast<uint8_t>(dt.time.hour));
}

void sysmix_putObject(WireWriter &w, uint32_t object) {
    w.u8(kSysmixObject);
    w.u32(object);
}
