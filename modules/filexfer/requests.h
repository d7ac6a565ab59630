// filexfer's requests: the server writes a file on the terminal block by
// block, deletes files, reads ini keys through the terminal and asks for the
// version, the last run-time error, the temp path and locale data.
#pragma once

#include <cstddef>

// Status codes at reply +0 and the texts the server shows for them.
enum FxStatus : int {
    kFxOk = 0,
    kFxCantOpenTerminalFile = 3,
    kFxCantWriteTerminalFile = 4,
    kFxCantDelete = 9,
    kFxNoIniKey = 10,
    kFxCantCloseTerminalFile = 12,
    kFxWinApiFailed = 14,
    kFxNoLocaleInfo = 15,
};

constexpr const char *kFxStatusTexts[21] = {
    "",
    " Can't open file on server.",
    " Can't read file on server.",
    " Can't open file on terminal.",
    " Can't write to file on terminal.",
    " Can't transmit data.",
    " String parameter expected",
    " Can run only in Client-Server mode",
    " Too large block for single transmission",
    " Can't delete file",
    " Can't obtain key from inifile.",
    " Terminal DLM version mismatch.",
    " Can't close file on terminal",
    " Can't write file on server",
    " Error while calling WinAPI function on terminal",
    " Can't obtain terminal's locale info",
    " Can't allocate memory block",
    "",
    "",
    "",
    "Unknown error.",
};

// The module's version (request 6).
constexpr int kFxVersion = 100;
// An ini value, terminator included, and a locale text are at most this long.
constexpr size_t kFxIniValueMax = 1024;
constexpr size_t kFxLocaleMax = 1024;
// Longest temporary path, terminator excluded.
constexpr size_t kFxTempPathMax = 260;
// No reply is longer than this.
constexpr size_t kFxReplyCapacity = 2048;

// The run-time library's error number as it stood when the request came.
int fx_errnoOnEntry();
