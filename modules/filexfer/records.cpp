#include "records.h"

bool fx_readName(WireReader &r, std::string_view &name) {
    r.seek(4);
    name = r.text();
    return r.ok();
}

bool fx_readBlock(WireReader &r, FxBlock &block) {
    int32_t n = r.i32();
    if (!r.ok() || n < 0) return false;
    block.length = static_cast<size_t>(n);
    block.data = r.bytes(block.length);
    return r.ok();
}

bool fx_readIniKey(WireReader &r, FxIniKey &out) {
    int32_t wanted = r.i32();
    out.key = r.text();
    out.file = r.text();
    return r.ok() && wanted != 0;
}

bool fx_readLocaleType(WireReader &r, int32_t &type) {
    r.seek(4);
    type = r.i32();
    return r.ok();
}
