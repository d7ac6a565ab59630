// Test-only exports of the QVFORMAT.DLL stand-in.
#pragma once

#include <cstdint>

#include "qvformat.h"

extern "C" {
// Interface version that objects answer from now on (initially 5).
typedef void(QVFMTCALL *QVTestSetVersionFn)(uint32_t version);
// Objects made and not yet deleted.
typedef int(QVFMTCALL *QVTestLiveObjectsFn)(void);
// Names of the entries called since the last clear, each followed by ';'.
typedef const char *(QVFMTCALL *QVTestCallLogFn)(void);
typedef void(QVFMTCALL *QVTestClearLogFn)(void);
}
