// Stand-in for the designer program QVDesigner.exe: appends its command line
// to the file QVDESIGNER_LOG names, then sets the event QVDESIGNER_EVENT
// names, so that a test knows it ran, and exits.
#include <windows.h>

#include <cstdio>

int main() {
    char path[MAX_PATH], event[MAX_PATH];
    if (GetEnvironmentVariableA("QVDESIGNER_LOG", path, sizeof path)) {
        if (FILE *f = std::fopen(path, "ab")) {
            std::fprintf(f, "%s\n", GetCommandLineA());
            std::fclose(f);
        }
    }
    if (GetEnvironmentVariableA("QVDESIGNER_EVENT", event, sizeof event)) {
        if (HANDLE h = OpenEventA(EVENT_MODIFY_STATE, FALSE, event)) {
            SetEvent(h);
            CloseHandle(h);
        }
    }
    return 0;
}
