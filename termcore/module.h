// termcore's module-wide state: one copy per process, touched only on the
// host's thread, one request at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "zam_entry.h"

// The ten termcore.ini settings, in the order the file macros are expanded.
enum TcSetting : int {
    kSetDataDic,
    kSetDataPath,
    kSetDbfPath,
    kSetTxtPath,
    kSetIncPath,
    kSetOutput,
    kSetCashDir,
    kSetSrcDir,
    kSetUpDir,
    kSetDnDir,
    kSetCount
};

struct TcModule {
    HINSTANCE instance = nullptr;  // termcore's own module handle
    bool settingsLoaded = false;
    std::string settings[kSetCount];
};

TcModule &tc_module();

// Block of a host that names no block size: file data and listing pages.
constexpr size_t kTcSmallBlock = 400;
// The largest fixed reply: clipboard text of 8192 bytes with its header.
constexpr size_t kTcLargestReply = 8208;

// The file-data and listing block: 400, or the host's block less the reply
// header.
size_t tc_dataBlock(size_t header);

// termcore.ini, read once on the first request that needs it.
void tc_loadSettings();
const std::string &tc_setting(TcSetting which);

// Filter and idle procedures termcore gives the host are registered here, so
// that the end of the session can take every one of them back.
bool tc_addFilterProc(PxFilterProc filter);
void tc_remFilterProc(PxFilterProc filter);
bool tc_addIdleProc(PxIdleProc proc);
void tc_remIdleProc(PxIdleProc proc);
void tc_removeHostProcs();
