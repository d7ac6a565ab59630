// Starting programs on the user's machine: request 200 and the source
// editor's start of the designer program.
#pragma once

#include <string>

#include <windows.h>

#include "unique_handle.h"

enum TcConsole : int { kConsoleDetached = 0, kConsoleInherit = 1, kConsoleNew = 2 };

struct TcStarted {
    bool ok = false;
    DWORD id = 0;                    // the process id
    winutil::unique_handle process;  // kept open unless the caller asked to close it
};

// program and arguments are OEM texts; the command line is the program, a
// blank and the arguments (the program alone when they are empty). A given
// standard output is the standard error too; given handles are inherited.
TcStarted tc_startProcess(const std::string &program, const std::string &arguments, bool closeHandle,
                          HANDLE stdIn, HANDLE stdOut, TcConsole console);
