// pipetrap [outdir]: copies what every client writes to \\.\pipe\pipetrap
// to the console and to <outdir>\<client number>.out until Ctrl+C.
#include <string>

#include "monitor.h"
#include "outdir.h"
#include "say.h"

int main(int argc, char **argv) {
    using namespace pipetrap;
    try {
        setUpConsoleStream();
        printStartLines();
        std::string outDir;
        if (!takeOutputDir(argc, argv, outDir)) return 1;
        HANDLE stop = createStopEvent();
        if (!stop) {
            say("Error creating Event %d\n", static_cast<int>(GetLastError()));
            return 1;
        }
        SetConsoleCtrlHandler(consoleHandler, TRUE);
        return acceptLoop(outDir, stop);
    } catch (...) {
        return 1;
    }
}
