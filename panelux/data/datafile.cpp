#include "datafile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "product.h"
#include "unique_handle.h"

namespace {

constexpr DWORD kLockedBytes = 1024;

using File = winutil::unique_handle;

File openShared(const char *path, DWORD access, DWORD disposition) {
    return File(CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Holds the lock on the file's first 1024 bytes until it goes out of scope.
class RangeLock {
public:
    RangeLock(HANDLE file, bool exclusive) : file_(file) {
        OVERLAPPED at{};
        held_ = LockFileEx(file, exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, kLockedBytes, 0, &at) != FALSE;
    }
    ~RangeLock() {
        if (!held_) return;
        OVERLAPPED at{};
        UnlockFileEx(file_, 0, kLockedBytes, 0, &at);
    }
    RangeLock(const RangeLock &) = delete;
    RangeLock &operator=(const RangeLock &) = delete;
    bool held() const { return held_; }

private:
    HANDLE file_;
    bool held_ = false;
};

// ReadFile and WriteFile move at most a DWORD at a time.
constexpr size_t kChunk = 1u << 30;

std::string oemToAnsi(const char *text) {
    std::string s(text);
    if (!s.empty()) OemToCharBuffA(text, &s[0], static_cast<DWORD>(s.size()));
    return s;
}

}  // namespace

bool px_isAppFolderName(const char *appName) {
    if (!appName || !*appName || std::strstr(appName, "..")) return false;
    if (std::strcmp(appName, ".") == 0) return false;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(appName); *p; ++p)
        if (*p < 0x20 || std::strchr("\\/:*?\"<>|", *p)) return false;
    return true;
}

bool px_dataFilePath(const char *appName, char *out) {
    return px_isAppFolderName(appName) && px_appDataPath(appName, kPxDataFileName, out);
}

bool px_readDataFile(const char *appName, std::vector<uint8_t> *image) {
    image->clear();
    char path[MAX_PATH];
    if (!px_dataFilePath(appName, path)) return false;
    File f = openShared(path, GENERIC_READ, OPEN_EXISTING);
    if (!f) return false;
    RangeLock lock(f.get(), false);
    LARGE_INTEGER size;
    if (!lock.held() || !GetFileSizeEx(f.get(), &size) || static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX)
        return false;
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::exception &) {
        return false;
    }
    for (size_t done = 0; done < bytes.size();) {
        DWORD want = static_cast<DWORD>(std::min(kChunk, bytes.size() - done)), got = 0;
        if (!ReadFile(f.get(), bytes.data() + done, want, &got, nullptr) || got == 0) return false;
        done += got;
    }
    image->swap(bytes);
    return true;
}

bool px_writeDataFile(const char *appName, const uint8_t *image, size_t length) {
    char path[MAX_PATH];
    if (!px_dataFilePath(appName, path)) return false;
    File f = openShared(path, GENERIC_WRITE, OPEN_ALWAYS);
    if (!f) return false;
    RangeLock lock(f.get(), true);
    if (!lock.held() || SetFilePointer(f.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
    for (size_t done = 0; done < length;) {
        DWORD want = static_cast<DWORD>(std::min(kChunk, length - done)), put = 0;
        if (!WriteFile(f.get(), image + done, want, &put, nullptr) || put == 0) return false;
        done += put;
    }
    return SetEndOfFile(f.get()) != FALSE;
}

// Every failure is silent: the library simply runs without remembered state.
void px_loadAppData(PxAppData &image, const char *appName) {
    std::vector<uint8_t>().swap(image.bytes);
    if (!appName || !*appName) return;
    try {
        std::vector<uint8_t> bytes;
        if (px_readDataFile(oemToAnsi(appName).c_str(), &bytes) && px_isAppImage(bytes.data(), bytes.size()))
            image.bytes.swap(bytes);
    } catch (const std::bad_alloc &) {
    }
}

bool px_saveAppData(PxAppData &image, const char *appName) {
    if (!px_hasAppRecords(image) || !appName || !*appName) return false;
    px_stampAppHeader(image);
    try {
        return px_writeDataFile(oemToAnsi(appName).c_str(), image.bytes.data(), image.bytes.size());
    } catch (const std::bad_alloc &) {
        return false;
    }
}
