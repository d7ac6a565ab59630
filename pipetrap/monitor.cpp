#include "monitor.h"

#include <utility>

#include "exec.h"
#include "unique_handle.h"
#include "say.h"

namespace pipetrap {

const char kPipeName[] = "\\\\.\\pipe\\pipetrap";

namespace {

HANDLE g_stop = nullptr;

// Everyone may connect: a null DACL, and handles that children inherit.
struct OpenSecurity {
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
};

bool setUpFailed(const char *what, DWORD error = GetLastError()) {
    say("Error in %s : %d\n", what, static_cast<int>(error));
    return false;
}

bool makeOpenSecurity(OpenSecurity &s) {
    if (!InitializeSecurityDescriptor(&s.descriptor, SECURITY_DESCRIPTOR_REVISION))
        return setUpFailed("InitializeSecurityDescriptor");
    if (!SetSecurityDescriptorDacl(&s.descriptor, TRUE, nullptr, FALSE))
        return setUpFailed("SetSecurityDescriptorDacl");
    s.attributes.nLength = sizeof s.attributes;
    s.attributes.lpSecurityDescriptor = &s.descriptor;
    s.attributes.bInheritHandle = TRUE;
    return true;
}

winutil::unique_handle createInstance(OpenSecurity &s, const PipeOptions &o, DWORD &error) {
    HANDLE h = CreateNamedPipeA(o.name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, o.maxInstances,
                                kReadChunk, kReadChunk, 0, &s.attributes);
    error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    return winutil::unique_handle(h);
}

Connect connectedOrFailed(DWORD error) {
    // ERROR_NO_DATA: the writer connected, wrote and closed before the
    // connect call; its bytes are still in the pipe and are served.
    if (error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA) return Connect::Connected;
    say("Error wating %d\n", static_cast<int>(error));
    return Connect::Failed;
}

// The connect must be over before its OVERLAPPED goes out of scope.
void cancelConnect(HANDLE pipe, OVERLAPPED &ov) {
    DWORD ignored = 0;
    if (CancelIo(pipe)) GetOverlappedResult(pipe, &ov, &ignored, TRUE);
}

Connect awaitConnect(HANDLE pipe, OVERLAPPED &ov, HANDLE stop) {
    HANDLE events[2] = {stop, ov.hEvent};
    DWORD r = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (r == WAIT_OBJECT_0 + 1) {
        DWORD ignored = 0;
        if (GetOverlappedResult(pipe, &ov, &ignored, FALSE)) return Connect::Connected;
        return connectedOrFailed(GetLastError());
    }
    DWORD error = r == WAIT_OBJECT_0 ? 0 : GetLastError();
    cancelConnect(pipe, ov);
    if (r == WAIT_OBJECT_0) return Connect::Stopped;
    say("Error wating %d\n", static_cast<int>(error));
    return Connect::Failed;
}

void startClient(winutil::unique_handle pipe, unsigned number, const std::string &outDir) {
    TExec *client = nullptr;
    try {
        client = new TExec(std::move(pipe), number, outDir);
    } catch (...) {
        say("Can not start new thread\n");
        return;  // whichever holds the pipe now closes it
    }
    if (!client->start()) {
        say("Can not start new thread\n");
        delete client;  // closes the pipe, once
        return;
    }
    say("New client %u is connected\n", number);
}

}  // namespace

Connect connectClient(HANDLE pipe, HANDLE connectEvent, HANDLE stop) {
    ResetEvent(connectEvent);
    OVERLAPPED ov{};
    ov.hEvent = connectEvent;
    if (ConnectNamedPipe(pipe, &ov)) return Connect::Connected;
    DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) return awaitConnect(pipe, ov, stop);
    return connectedOrFailed(error);
}

void printStartLines() {
    say("pipetrap 1.0, pipe output monitor\n\n");
    say("Usage is: pipetrap  [<outdir>]\n");
    say("You can write to pipe \\\\.\\pipe\\pipetrap\n");
    say("Press Ctrl-Break to stop\n");
}

HANDLE createStopEvent() {
    if (!g_stop) g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return g_stop;
}

BOOL WINAPI consoleHandler(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    say("Stopping ...\n");
    SetEvent(g_stop);
    return TRUE;
}

int acceptLoop(const std::string &outDir, HANDLE stop, const PipeOptions &options) {
    OpenSecurity security;
    if (!makeOpenSecurity(security)) return 1;
    winutil::unique_handle connectEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!connectEvent) {
        say("Error creating Event %d\n", static_cast<int>(GetLastError()));
        return 1;
    }
    unsigned nextClient = 0;
    for (;;) {
        DWORD error = 0;
        winutil::unique_handle pipe = createInstance(security, options, error);
        if (!pipe) {
            if (error != ERROR_PIPE_BUSY) {
                setUpFailed("CreatePipe", error);
                return 1;
            }
            // Every instance serves a client: wait until one is free again.
            if (WaitForSingleObject(stop, options.busyRetryMs) == WAIT_OBJECT_0) break;
            continue;
        }
        Connect c = connectClient(pipe.get(), connectEvent.get(), stop);
        if (c == Connect::Stopped) break;
        if (c == Connect::Failed) continue;
        startClient(std::move(pipe), nextClient++, outDir);
    }
    return 0;
}

}  // namespace pipetrap
