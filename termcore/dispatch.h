// Request dispatch of ZamExtMessageProc.
#pragma once

#include <cstdint>

// Codes outside this range, and codes without a handler, answer 0.
constexpr int kTcFirstCode = -4;
constexpr int kTcLastCode = 207;

// For -1 and -2 the request pointer is a plain flag.
int tc_dispatch(int code, const void *request, void *reply);
