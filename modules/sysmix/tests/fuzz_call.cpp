// Call records and tagged values from the server, read and written back.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    SysmixCall call;
    if (!sysmix_readCall(data, size, call)) return 0;
    if (call.args.size() > static_cast<size_t>(call.count)) __builtin_trap();
    std::vector<unsigned char> out(64);
    WireWriter w(out.data(), out.size());
    for (const SysmixValue &v : call.args) {
        if (v.text.data() && (v.text.data() < reinterpret_cast<const char *>(data) ||
                              v.text.data() + v.text.size() >= reinterpret_cast<const char *>(data) + size))
            __builtin_trap();
        if (v.type == kSysmixString) sysmix_putText(w, v.text);
        sysmix_putInteger(w, v.integer);
    }
    // Whatever date and time the server sends converts and splits back.
    SysmixDateTime dt;
    for (const SysmixValue &v : call.args)
        sysmix_splitOleDate(sysmix_oleDate(sysmix_dayNumber(v.date), sysmix_dayFraction(v.time)), dt);
    return 0;
}
