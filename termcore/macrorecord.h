// Requests 0 and 1 and their packed values, decoded with no Windows call:
// every view lies inside the record and every offset is checked first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "wire.h"

// +0 offset of the procedure name counted from the file name, +2 its length
// (0: none), +4 argument count, request 1 only: +6 debug word, +8 trace
// value; then the macro file name. The packed arguments follow the
// procedure name, or lie at the offset when there is none.
struct TcMacroRecord {
    int16_t count = 0;
    int16_t debug = 0;
    int16_t trace = 0;
    std::string_view macro;
    bool hasProc = false;   // a procedure-name length above 0
    std::string_view proc;
    std::string_view args;  // the rest of the record from the first value
};
// False when the header or the file name is short, or a length, offset or
// count is negative or leads outside the record.
bool tc_readMacro(const void *record, size_t size, bool ex, TcMacroRecord &out);

// One packed value: its type byte and the bytes after it (a string's text
// without its terminator).
struct TcPacked {
    uint8_t type = 0;
    std::string_view payload;
};
// Bytes after the type byte of a value of that type; -1 for a string.
int tc_packedSize(uint8_t type);
// The next value; false when the record ends inside it.
bool tc_readPacked(WireReader &r, TcPacked &out);
