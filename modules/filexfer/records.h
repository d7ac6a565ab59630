// The request records of filexfer, read from the server's bytes. Needs no
// Windows, so the readers are fuzzed natively.
#pragma once

#include <cstdint>
#include <string_view>

#include "wire.h"

// Requests 1 and 5: the file name at +4.
bool fx_readName(WireReader &r, std::string_view &name);

// Request 3: int32 length at +0, that many bytes at +4.
struct FxBlock {
    const unsigned char *data = nullptr;
    size_t length = 0;
};
bool fx_readBlock(WireReader &r, FxBlock &block);

// Request 4: non-zero int32 at +0, the key at +4, then the ini file name.
struct FxIniKey {
    std::string_view key;
    std::string_view file;
};
bool fx_readIniKey(WireReader &r, FxIniKey &out);

// Request 9: the locale information type at +4.
bool fx_readLocaleType(WireReader &r, int32_t &type);
