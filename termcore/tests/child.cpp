// The program the process tests start: "exit N" ends with code N, "wait
// EVENT" sets the named event and runs until it is stopped, "args FILE"
// writes its command line to FILE; without arguments it ends with 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>

int main(int argc, char **argv) {
    if (argc < 3) return 1;
    if (std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
    if (std::strcmp(argv[1], "wait") == 0) {
        SetEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]));
        Sleep(INFINITE);
        return 0;
    }
    FILE *f = std::fopen(argv[2], "wb");
    if (!f) return 2;
    std::fputs(GetCommandLineA(), f);
    std::fclose(f);
    return 0;
}
