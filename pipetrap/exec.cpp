#include "exec.h"

#include <cstdio>
#include <utility>

#include "say.h"

namespace pipetrap {

std::string outputFileName(const std::string &outDir, unsigned number) {
    char name[32];
    std::snprintf(name, sizeof name, "\\%u.out", number);
    return outDir + name;
}

PipeReader::PipeReader(HANDLE pipe)
    : pipe_(pipe), event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (!event_) eventError_ = GetLastError();
}

DWORD PipeReader::read(void *buffer, DWORD size, DWORD &got) {
    got = 0;
    if (!event_) return eventError_;
    OVERLAPPED ov{};
    ov.hEvent = event_.get();
    if (!ReadFile(pipe_, buffer, size, nullptr, &ov)) {
        DWORD err = GetLastError();
        if (err != ERROR_IO_PENDING) return err;
    }
    if (!GetOverlappedResult(pipe_, &ov, &got, TRUE)) return GetLastError();
    return 0;
}

TExec::TExec(winutil::unique_handle pipe, unsigned number, std::string outDir)
    : TThread(false, true), pipe_(std::move(pipe)), number_(number), outDir_(std::move(outDir)) {}

int TExec::run() {
    winutil::unique_handle file = openOutput();
    if (!file) {
        say("Can not open output file\n");
        return -1;
    }
    copyPipe(file.get());
    return finish(std::move(file));
}

winutil::unique_handle TExec::openOutput() const {
    std::string name = outputFileName(outDir_, number_);
    return winutil::unique_handle(CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr));
}

void TExec::copyPipe(HANDLE file) {
    PipeReader reader(pipe_.get());
    char buffer[kReadChunk];
    bool fileOk = true;
    do {
        DWORD got = 0;
        DWORD err = reader.read(buffer, sizeof buffer, got);
        if (err != 0) {
            // ERROR_BROKEN_PIPE: the writer closed its end, the normal end.
            if (err != ERROR_BROKEN_PIPE) say("Error Reading pipe %d\n", static_cast<int>(err));
            break;
        }
        toConsole(buffer, got);
        if (!fileOk) continue;
        DWORD written = 0;
        if (!WriteFile(file, buffer, got, &written, nullptr) || written != got) {
            // Said once; the console copy goes on.
            say("Error Writing file %d\n", static_cast<int>(GetLastError()));
            fileOk = false;
        }
    } while (!terminateRequested());
}

int TExec::finish(winutil::unique_handle file) {
    if (!file.close()) say("Error Close(hFile) %d\n", static_cast<int>(GetLastError()));
    DisconnectNamedPipe(pipe_.get());
    pipe_.reset();
    say("Client %u is terminated\n", number_);
    return 0;
}

}  // namespace pipetrap
