// Requests 0 and 1 from arbitrary bytes: the decoder's views and every packed
// value walked from them must lie inside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "macrorecord.h"

namespace {

const char *gBegin;
const char *gEnd;

void inside(std::string_view v) {
    if (v.data() == nullptr) {
        if (!v.empty()) std::abort();
        return;
    }
    if (v.data() < gBegin || v.data() > gEnd || v.size() > static_cast<size_t>(gEnd - v.data())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    gBegin = reinterpret_cast<const char *>(data);
    gEnd = gBegin + size;
    for (bool ex : {false, true}) {
        TcMacroRecord m;
        if (!tc_readMacro(data, size, ex, m)) continue;
        inside(m.macro);
        inside(m.proc);
        inside(m.args);
        if (!m.hasProc && !m.proc.empty()) std::abort();
        WireReader r(m.args.data(), m.args.size());
        TcPacked v;
        for (int i = 0; i < m.count && tc_readPacked(r, v); ++i) {
            inside(v.payload);
            int n = tc_packedSize(v.type);
            if (n >= 0 && v.payload.size() != static_cast<size_t>(n)) std::abort();
        }
    }
    return 0;
}
