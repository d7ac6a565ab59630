// filexfer's request records from the server, every reader on every input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<unsigned char> record(data, data + size);  // exactly sized for ASan
    const unsigned char *end = record.data() + record.size();
    {
        WireReader r(record.data(), record.size());
        std::string_view name;
        if (fx_readName(r, name) && name.data() + name.size() >= reinterpret_cast<const char *>(end))
            __builtin_trap();
    }
    {
        WireReader r(record.data(), record.size());
        FxBlock b;
        if (fx_readBlock(r, b) && b.length && b.data + b.length > end) __builtin_trap();
    }
    {
        WireReader r(record.data(), record.size());
        FxIniKey k;
        fx_readIniKey(r, k);
    }
    {
        WireReader r(record.data(), record.size());
        int32_t type;
        fx_readLocaleType(r, type);
    }
    return 0;
}
