// Test helpers for files, folders and the environment that work in the
// native build and under Wine alike.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace scratch {

namespace fs = std::filesystem;

// A fresh folder, removed with everything in it.
class Dir {
public:
    Dir() {
        // Test programs run side by side: a name taken by another is skipped.
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        fs::path p;
        do p = fs::temp_directory_path() / ("qvtx" + std::to_string(stamp++));
        while (!fs::create_directory(p));
        path_ = p.string();
    }
    ~Dir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    Dir(const Dir &) = delete;
    Dir &operator=(const Dir &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return (fs::path(path_) / name).string(); }
    void write(const std::string &name, const std::string &content) const {
        fs::create_directories(fs::path(file(name)).parent_path());
        std::ofstream(file(name), std::ios::binary) << content;
    }
    void remove(const std::string &name) const { fs::remove(file(name)); }

private:
    std::string path_;
};

// Sets (or, with null, removes) a variable of the process's environment for
// the life of the object.
class Env {
public:
    Env(const char *name, const char *value) : name_(name) {
#ifdef _WIN32
        char old[32768];
        DWORD n = GetEnvironmentVariableA(name, old, sizeof old);
        had_ = n > 0 && n < sizeof old;
#else
        const char *old = std::getenv(name);
        had_ = old != nullptr;
#endif
        if (had_) old_ = old;
        set(value);
    }
    ~Env() { set(had_ ? old_.c_str() : nullptr); }
    Env(const Env &) = delete;
    Env &operator=(const Env &) = delete;

private:
    void set(const char *value) {
#ifdef _WIN32
        SetEnvironmentVariableA(name_.c_str(), value);
#else
        if (value) setenv(name_.c_str(), value, 1);
        else unsetenv(name_.c_str());
#endif
    }
    std::string name_, old_;
    bool had_ = false;
};

// Works in another current directory for the life of the object.
class Cwd {
public:
    explicit Cwd(const std::string &dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~Cwd() { fs::current_path(old_); }

private:
    fs::path old_;
};

}  // namespace scratch
