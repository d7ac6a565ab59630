// The monitor's main thread: start lines, the stop event with the console
// control handler, and the accept loop that hands each connection to a
// TExec thread.
#pragma once

#include <string>

#include <windows.h>

namespace pipetrap {

extern const char kPipeName[];

// What the accept loop creates its pipe instances with; tests may serve
// another name or fewer instances.
struct PipeOptions {
    std::string name = kPipeName;
    // 255 is also the value the system reads as "no limit".
    DWORD maxInstances = 255;
    // How long to wait for a free instance before trying again.
    DWORD busyRetryMs = 100;
};

void printStartLines();

// The process's stop event (manual reset, not signalled), made before the
// console control handler is installed so that no Ctrl+C can be missed.
// Null on failure; the same event on later calls.
HANDLE createStopEvent();

// Ctrl+C and Ctrl+Break stop the monitor; other events are left to others.
BOOL WINAPI consoleHandler(DWORD event);

enum class Connect { Connected, Stopped, Failed };

// One connect on a fresh instance: waits for a writer or the stop.
Connect connectClient(HANDLE pipe, HANDLE connectEvent, HANDLE stop);

// Accepts connections until the stop event is set. Returns the process's
// exit code: 0 after the stop, 1 when the pipe could not be set up.
int acceptLoop(const std::string &outDir, HANDLE stop, const PipeOptions &options = PipeOptions());

}  // namespace pipetrap
