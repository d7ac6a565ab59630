// pipetrap.exe started as a user starts it: a console of its own, its
// standard output and error sent to a log file. Every test stops its
// monitor before the next starts, since they all serve one pipe name.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace ptest {

class Monitor {
public:
    // args: the command line after the program name. env: a complete
    // environment block, or null for this process's environment.
    // log: the file standard output and error go to ("NUL" for none).
    Monitor(const std::string &args, const std::string &log, const char *env = nullptr);
    // Stops the monitor (Ctrl+C, else it is terminated) and waits for it.
    ~Monitor();
    Monitor(const Monitor &) = delete;
    Monitor &operator=(const Monitor &) = delete;

    bool started() const { return process_ != nullptr; }
    // True once the monitor listens on its pipe.
    bool waitForPipe(DWORD timeoutMs = 10000) const;
    // Delivers Ctrl+C to the monitor's console.
    bool ctrlC() const;
    // The exit code, or STILL_ACTIVE when it did not end within timeoutMs.
    DWORD waitExit(DWORD timeoutMs = 10000) const;

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// This process's environment without the variables drop names and with
// the pair add ("NAME=value"), as a block for CreateProcess.
std::string environmentWith(std::initializer_list<const char *> drop, const std::string &add);

}  // namespace ptest
