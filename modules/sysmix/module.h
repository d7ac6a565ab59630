// sysmix's module-wide state: one copy per process, touched only on the
// host's calling thread.
#pragma once

#include <cstddef>

#include <windows.h>

#include "objects.h"
#include "zam_entry.h"

// How an empty script value reaches an automation call (request 15).
enum class SysmixEmpty { empty = 0, null = 1, missing = 2 };

struct SysmixModule {
    bool oleInitialised = false;   // OleInitialize succeeded and is not undone
    bool currencyMode = false;     // money travels as fixed point (request 14)
    SysmixEmpty emptyMode = SysmixEmpty::empty;
    bool ansiStrings = false;      // server texts in the ANSI code page (16)
    HWND console = nullptr;        // the console window, once found
    SysmixObjects objects;
};

SysmixModule &sysmix_module();

// The host's reply area holds every reply of this module; the writers of
// the handlers are bounded by this.
constexpr size_t kSysmixReplyCapacity = 65536;

// Reply status bytes.
constexpr char kSysmixOk = '1';
constexpr char kSysmixFailed = '0';
constexpr char kSysmixOkNoResult = '2';

// A request as the handlers see it: the entry layer's bounded record and
// reply area.
using SysmixRequest = ZamRequest;

// The server texts' code page (request 16).
unsigned sysmix_codePage();

// Request handlers; each returns the reply length.
int sysmix_release(const SysmixRequest &req);      // 2
int sysmix_call(const SysmixRequest &req);         // 3
int sysmix_create(const SysmixRequest &req, bool attach);  // 10, 11
int sysmix_oleOn(const SysmixRequest &req);        // 12
int sysmix_oleOff(const SysmixRequest &req);       // 13
int sysmix_isRunning(const SysmixRequest &req);    // 22
void sysmix_unload();                              // -2
int sysmix_hostAddresses(const SysmixRequest &req);  // 17
int sysmix_adapterAddress(const SysmixRequest &req); // 18
int sysmix_userName(const SysmixRequest &req);       // 19
int sysmix_consoleShow(const SysmixRequest &req);    // 20
int sysmix_consoleInFront(const SysmixRequest &req); // 21
