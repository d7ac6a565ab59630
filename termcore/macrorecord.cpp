#include "macrorecord.h"

namespace {

// VALUE type codes that carry a payload in a packed value.
enum : uint8_t { kInteger = 1, kMoney = 2, kDouble = 3, kLongDouble = 5, kString = 6, kBool = 7, kDate = 9,
                 kTime = 10, kDateTime = 23 };

}  // namespace

bool tc_readMacro(const void *record, size_t size, bool ex, TcMacroRecord &out) {
    out = TcMacroRecord();
    WireReader r(record, size);
    int16_t procOffset = r.i16();
    int16_t procLength = r.i16();
    out.count = r.i16();
    if (ex) {
        out.debug = r.i16();
        out.trace = r.i16();
    }
    size_t base = r.pos();
    out.macro = r.text();
    if (!r.ok() || procOffset < 0 || procLength < 0 || out.count < 0) return false;
    // The values lie at the offset, after the name when there is one.
    WireReader at(record, size);
    if (!at.seek(base + static_cast<size_t>(procOffset))) return false;
    if (procLength > 0) {
        const unsigned char *name = at.bytes(static_cast<size_t>(procLength));
        if (!name) return false;
        std::string_view n(reinterpret_cast<const char *>(name), static_cast<size_t>(procLength));
        out.proc = n.substr(0, n.find('\0'));
        out.hasProc = true;
    }
    out.args = std::string_view(reinterpret_cast<const char *>(at.here()), at.left());
    return true;
}

int tc_packedSize(uint8_t type) {
    switch (type) {
    case kInteger: case kDate: case kTime: return 4;
    case kMoney: case kDouble: case kDateTime: return 8;
    case kLongDouble: return 10;
    case kBool: return 1;
    case kString: return -1;
    default: return 0;
    }
}

bool tc_readPacked(WireReader &r, TcPacked &out) {
    out = TcPacked();
    out.type = r.u8();
    if (!r.ok()) return false;
    int n = tc_packedSize(out.type);
    if (n < 0) {
        out.payload = r.text();
    } else {
        const unsigned char *b = r.bytes(static_cast<size_t>(n));
        if (b) out.payload = std::string_view(reinterpret_cast<const char *>(b), static_cast<size_t>(n));
    }
    return r.ok();
}
