#include "winfile.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "filetime.h"
#include "oemtext.h"

using winutil::unique_handle;

namespace {

// Both Win32 records carry these fields under the same names.
template <class Record> FileInfo infoOf(const Record &d) {
    FileInfo out;
    out.directory = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out.size = (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    out.access = time_fromFileTime(d.ftLastAccessTime);
    out.modification = time_fromFileTime(d.ftLastWriteTime);
    out.change = time_fromFileTime(d.ftCreationTime);
    return out;
}

}  // namespace

unique_handle file_openRead(const std::string &path) {
    std::wstring w = oem_toWide(path);
    if (w.empty()) return unique_handle();
    return unique_handle(CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

unique_handle file_create(const std::string &path) {
    std::wstring w = oem_toWide(path);
    if (w.empty()) return unique_handle();
    return unique_handle(CreateFileW(w.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool file_delete(const std::string &path) { return file_delete(oem_toWide(path)); }

std::string file_absolute(const std::string &path) {
    std::wstring w = oem_toWide(path);
    wchar_t full[MAX_PATH * 2];
    DWORD n = w.empty() ? 0 : GetFullPathNameW(w.c_str(), MAX_PATH * 2, full, nullptr);
    if (n == 0 || n >= MAX_PATH * 2) return path;
    std::string s = oem_fromWide(std::wstring_view(full, n));
    return s.empty() ? path : s;
}

bool file_delete(const std::wstring &path) { return !path.empty() && DeleteFileW(path.c_str()); }

unique_handle file_createBeside(const std::string &beside, std::wstring &path) {
    std::wstring w = oem_toWide(beside);
    if (w.empty()) return unique_handle();
    size_t cut = w.find_last_of(L"\\/:");
    std::wstring dir = cut == std::wstring::npos ? std::wstring() : w.substr(0, cut + 1);
    // Made new under a free name, and never emptied on opening: a file
    // emptied as it is opened is written out to disk in full when it is
    // closed on some file systems, which kept the copy waiting for the disk.
    DWORD seed = GetTickCount() ^ GetCurrentProcessId();
    for (DWORD i = 0; i < 0x10000; ++i) {
        std::wstring candidate = dir + L"~tc";
        for (int shift = 12; shift >= 0; shift -= 4)
            candidate += L"0123456789ABCDEF"[((seed + i) >> shift) & 0xF];
        candidate += L".tmp";
        unique_handle h(CreateFileW(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (h) {
            path = std::move(candidate);
            return h;
        }
        DWORD e = GetLastError();
        if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) break;
    }
    return unique_handle();
}

bool file_canReplace(const std::string &path) {
    std::wstring w = oem_toWide(path);
    if (w.empty()) return false;
    DWORD attributes = GetFileAttributesW(w.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return false;
    // Opened as the rename will need it, sharing everything, and never written.
    unique_handle h(CreateFileW(w.c_str(), GENERIC_WRITE | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(h);
}

bool file_replace(const std::wstring &from, const std::string &to) {
    std::wstring w = oem_toWide(to);
    return !w.empty() && MoveFileExW(from.c_str(), w.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool file_writeAll(HANDLE h, const void *data, size_t n) {
    const char *p = static_cast<const char *>(data);
    while (n > 0) {
        DWORD chunk = n > 0x40000000u ? 0x40000000u : static_cast<DWORD>(n), done = 0;
        if (!WriteFile(h, p, chunk, &done, nullptr) || done == 0) return false;
        p += done;
        n -= done;
    }
    return true;
}

int64_t file_readUpTo(HANDLE h, void *data, size_t n) {
    char *p = static_cast<char *>(data);
    size_t got = 0;
    while (got < n) {
        size_t left = n - got;
        DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left), done = 0;
        if (!ReadFile(h, p + got, chunk, &done, nullptr)) return -1;
        if (done == 0) break;
        got += done;
    }
    return static_cast<int64_t>(got);
}

bool file_setTimes(HANDLE h, int64_t access, int64_t modification) {
    FILETIME a = time_toFileTime(access), m = time_toFileTime(modification);
    return SetFileTime(h, nullptr, &a, &m) != FALSE;
}

bool file_info(HANDLE h, FileInfo &out) {
    BY_HANDLE_FILE_INFORMATION bi;
    if (!GetFileInformationByHandle(h, &bi)) return false;
    out = infoOf(bi);
    return true;
}

bool file_infoByPath(const std::string &path, FileInfo &out) {
    std::wstring w = oem_toWide(path);
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (w.empty() || !GetFileAttributesExW(w.c_str(), GetFileExInfoStandard, &d)) return false;
    out = infoOf(d);
    return true;
}

bool file_same(HANDLE a, const std::string &path) {
    std::wstring w = oem_toWide(path);
    if (w.empty()) return false;
    unique_handle b(CreateFileW(w.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!b || !GetFileInformationByHandle(a, &ia) || !GetFileInformationByHandle(b.get(), &ib))
        return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

namespace {
constexpr size_t kTransferBuffer = 256 * 1024;
}

void BufferedReader::open(unique_handle file) {
    file_ = std::move(file);
    buf_.resize(kTransferBuffer);
    at_ = end_ = 0;
}

int64_t BufferedReader::read(void *data, size_t n) {
    unsigned char *out = static_cast<unsigned char *>(data);
    size_t got = 0;
    while (got < n) {
        if (at_ == end_) {
            int64_t r = file_readUpTo(file_.get(), buf_.data(), buf_.size());
            if (r < 0) return -1;
            if (r == 0) break;
            at_ = 0;
            end_ = static_cast<size_t>(r);
        }
        size_t take = std::min(n - got, end_ - at_);
        std::memcpy(out + got, buf_.data() + at_, take);
        at_ += take;
        got += take;
    }
    return static_cast<int64_t>(got);
}

void BufferedReader::close() {
    file_.close();
    buf_.clear();
    buf_.shrink_to_fit();
    at_ = end_ = 0;
}
