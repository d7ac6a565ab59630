#include "launcher.h"

#include <gtest/gtest.h>

#include <cstring>

#include "module.h"
#include "monitor.h"

namespace ptest {

Monitor::Monitor(const std::string &args, const std::string &log, const char *env) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create " << log;
        return;
    }
    std::string commandLine = "\"" + th::distDir() + "pipetrap.exe\"";
    if (!args.empty()) commandLine += " " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE,
                       const_cast<char *>(env), nullptr, &si, &pi)) {
        process_ = pi.hProcess;
        pid_ = pi.dwProcessId;
        CloseHandle(pi.hThread);
    } else {
        ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
    }
    CloseHandle(out);
}

Monitor::~Monitor() {
    if (!process_) return;
    if (waitExit(0) == STILL_ACTIVE) {
        ctrlC();
        if (waitExit(5000) == STILL_ACTIVE) {
            ADD_FAILURE() << "pipetrap did not stop on Ctrl+C";
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 5000);
        }
    }
    CloseHandle(process_);
}

bool Monitor::waitForPipe(DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (waitExit(0) != STILL_ACTIVE) return false;
        if (WaitNamedPipeA(pipetrap::kPipeName, 50)) return true;
        Sleep(10);
    }
    return false;
}

namespace {
// Not SetConsoleCtrlHandler(nullptr, TRUE): that "ignore Ctrl+C" is
// inherited, and the monitors started later would never see one.
BOOL WINAPI swallowCtrl(DWORD) { return TRUE; }
}  // namespace

bool Monitor::ctrlC() const {
    // The event reaches every process of a console: join the monitor's
    // console for the moment, swallowing the event here.
    static const bool swallowing = SetConsoleCtrlHandler(swallowCtrl, TRUE) != FALSE;
    (void)swallowing;
    FreeConsole();
    if (!AttachConsole(pid_)) return false;
    BOOL sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    FreeConsole();
    return sent != FALSE;
}

DWORD Monitor::waitExit(DWORD timeoutMs) const {
    if (!process_) return STILL_ACTIVE;
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

namespace {
bool names(const char *pair, const char *name) {
    size_t n = std::strlen(name);
    return _strnicmp(pair, name, n) == 0 && pair[n] == '=';
}
}  // namespace

std::string environmentWith(std::initializer_list<const char *> drop, const std::string &add) {
    std::string block;
    char *env = GetEnvironmentStringsA();
    for (const char *p = env; *p; p += std::strlen(p) + 1) {
        bool dropped = false;
        for (const char *name : drop) dropped = dropped || names(p, name);
        if (!dropped) block.append(p).push_back('\0');
    }
    FreeEnvironmentStringsA(env);
    block.append(add).push_back('\0');
    block.push_back('\0');
    return block;
}

}  // namespace ptest
