#include "outdir.h"

#include <vector>

#include "say.h"

namespace pipetrap {
namespace {

std::string environment(const char *name) {
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) return std::string();
    std::vector<char> value(size);
    DWORD got = GetEnvironmentVariableA(name, value.data(), size);
    if (got == 0 || got >= size) return std::string();
    return std::string(value.data(), got);
}

std::string systemTempPath() {
    char path[MAX_PATH + 1];
    DWORD got = GetTempPathA(sizeof path, path);
    if (got == 0 || got >= sizeof path) return std::string();
    return std::string(path, got);
}

std::string givenDir(int argc, char **argv) {
    if (argc > 1 && argv[1] && argv[1][0]) return argv[1];
    std::string temp = environment("TEMP");
    if (!temp.empty()) return temp;
    return systemTempPath();
}

// Empty when the path cannot be made full.
std::string fullPath(const std::string &dir) {
    DWORD size = GetFullPathNameA(dir.c_str(), 0, nullptr, nullptr);
    if (size == 0) return std::string();
    std::vector<char> full(size);
    DWORD got = GetFullPathNameA(dir.c_str(), size, full.data(), nullptr);
    if (got == 0 || got >= size) return std::string();
    return std::string(full.data(), got);
}

// "C:\" becomes "C:", whose files "C:\0.out" are still in the root.
void dropTrailingSeparators(std::string &dir) {
    while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
}

}  // namespace

bool takeOutputDir(int argc, char **argv, std::string &dir) {
    std::string given = givenDir(argc, argv);
    if (given.empty()) {
        say("No output directory: give one or set TEMP\n");
        return false;
    }
    std::string full = fullPath(given);
    dropTrailingSeparators(full);
    if (full.empty() || full.size() > kMaxOutDir) {
        say("Output directory is too long (at most %u characters): %s\n",
            static_cast<unsigned>(kMaxOutDir), given.c_str());
        return false;
    }
    dir = full;
    return true;
}

}  // namespace pipetrap
