// The program the process tests start: "exit N" ends at once with code N,
// "sleep MS N" ends with code N after MS milliseconds, "wait" runs until it
// is stopped (setting the named event first, when one is given), "args ..." writes its command line to the file named first.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>

int main(int argc, char **argv) {
    if (argc >= 3 && std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
    if (argc >= 4 && std::strcmp(argv[1], "sleep") == 0) {
        Sleep(static_cast<DWORD>(std::atoi(argv[2])));
        return std::atoi(argv[3]);
    }
    if (argc >= 2 && std::strcmp(argv[1], "wait") == 0) {
        if (argc >= 3) {
            HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
            if (ready) SetEvent(ready);
        }
        Sleep(INFINITE);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "args") == 0) {
        FILE *f = std::fopen(argv[2], "wb");
        if (!f) return 2;
        std::fputs(GetCommandLineA(), f);
        std::fclose(f);
        return 0;
    }
    return 1;
}
