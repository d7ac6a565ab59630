#include "child.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <windows.h>

namespace th {

namespace {

const char kSuiteVar[] = "QV_CHILD_SUITE";

// The number after `name="` in the first <testsuites> element; -1 when absent.
int countIn(const std::string &xml, const char *name) {
    size_t at = xml.find("<testsuites ");
    if (at == std::string::npos) return -1;
    at = xml.find(std::string(" ") + name + "=\"", at);
    if (at == std::string::npos) return -1;
    return std::atoi(xml.c_str() + at + std::strlen(name) + 3);
}

std::string readAll(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace

std::string exePath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

std::string exeDir() {
    std::string s = exePath();
    return s.substr(0, s.find_last_of('\\') + 1);
}

bool isChildFor(const std::string &suite) {
    const char *v = std::getenv(kSuiteVar);
    return v && suite == v;
}

bool runChild(const std::string &suite, const std::vector<std::string> &env, const std::string &exe) {
    std::vector<std::string> extra = env;
    extra.push_back(std::string(kSuiteVar) + "=" + suite);
    auto replaced = [&](const char *entry) {
        if (std::strncmp(entry, "GTEST_OUTPUT=", 13) == 0) return true;
        for (const std::string &e : extra) {
            size_t eq = e.find('=');
            if (_strnicmp(entry, e.c_str(), eq + 1) == 0) return true;
        }
        return false;
    };
    std::vector<char> block;
    char *strings = GetEnvironmentStringsA();
    for (const char *e = strings; *e; e += std::strlen(e) + 1)
        if (!replaced(e)) block.insert(block.end(), e, e + std::strlen(e) + 1);
    FreeEnvironmentStringsA(strings);
    for (const std::string &e : extra) block.insert(block.end(), e.c_str(), e.c_str() + e.size() + 1);
    block.push_back(0);

    char tempDir[MAX_PATH], xml[MAX_PATH];
    GetTempPathA(MAX_PATH, tempDir);
    GetTempFileNameA(tempDir, "qvc", 0, xml);
    std::string program = exe.empty() ? exePath() : exe;
    std::string cmd = "\"" + program + "\" --gtest_filter=" + suite + ".* --gtest_output=xml:" + xml;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(program.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, block.data(), nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << program << ": " << GetLastError();
        return false;
    }
    DWORD code = 1;
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &code);
    } else {
        ADD_FAILURE() << "the child for " << suite << " did not end within a minute";
        TerminateProcess(pi.hProcess, 1);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // A child that registered no case would pass with nothing run.
    std::string report = readAll(xml);
    DeleteFileA(xml);
    int tests = countIn(report, "tests"), failures = countIn(report, "failures");
    EXPECT_GT(tests, 0) << "the child for " << suite << " ran no test";
    return code == 0 && tests > 0 && failures == 0;
}

}  // namespace th
