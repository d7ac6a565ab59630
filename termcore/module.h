// termcore's module-wide state: one copy per process, touched only on the
// host's thread, one request at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "zam_ext.h"

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
    ZamExtCallBacks *ext = nullptr;
    TAppObj *app = nullptr;
    uint16_t protocol = 0;  // from code -4; 0 until the first one
    bool settingsLoaded = false;
    std::string settings[kSetCount];
};

TcModule &tc_module();

// Protocol versions above this one give blocks of the host's largest size.
constexpr uint16_t kTcBigBlockProtocol = 88;
// Block of the older protocol: file data and listing pages.
constexpr size_t kTcSmallBlock = 400;
// Older hosts name no size; their fixed request and reply areas hold the
// largest fixed reply (clipboard text of 8192 bytes).
constexpr size_t kTcLegacyArea = 8208;

// The host's largest block: it bounds every request record and every reply.
size_t tc_blockArea();
// The file-data and listing block of the current protocol: 400, or the
// host's largest block less the reply header.
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
