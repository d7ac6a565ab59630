// File operations on OEM path texts, through the UTF-16 file system calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "unique_handle.h"

// Opens for reading with other writers denied.
winutil::unique_handle file_openRead(const std::string &path);
// Creates or truncates for writing.
winutil::unique_handle file_create(const std::string &path);
bool file_delete(const std::string &path);
// The absolute form of a path, or the path itself when it has none.
std::string file_absolute(const std::string &path);

// A new file under a name no other file has, in the folder of `beside`, open
// for writing; its name goes to `path` (UTF-16: it is the system's own).
winutil::unique_handle file_createBeside(const std::string &beside, std::wstring &path);
// True when `path` names no file yet, or a file this process could write
// and replace now (not read-only, not locked, not a folder). Its bytes and
// times are not touched.
bool file_canReplace(const std::string &path);
// Renames `from` to `to`, replacing a file of that name.
bool file_replace(const std::wstring &from, const std::string &to);
bool file_delete(const std::wstring &path);

// Writes all n bytes, or reports failure.
bool file_writeAll(HANDLE h, const void *data, size_t n);
// Reads up to n bytes; stops early only at the end of the file. -1 on error.
int64_t file_readUpTo(HANDLE h, void *data, size_t n);

// Access and modification times (seconds since 1970) set on an open file.
bool file_setTimes(HANDLE h, int64_t access, int64_t modification);

struct FileInfo {
    bool directory;
    uint64_t size;
    int64_t access, modification, change;
};
bool file_info(HANDLE h, FileInfo &out);
bool file_infoByPath(const std::string &path, FileInfo &out);
// True when both paths name one and the same existing file.
bool file_same(HANDLE a, const std::string &path);

// Files sent to the server leave in the host's blocks; the reader takes
// them from the file in larger reads, so the file sees fewer calls.
class BufferedReader {
public:
    void open(winutil::unique_handle file);
    bool isOpen() const { return static_cast<bool>(file_); }
    HANDLE handle() const { return file_.get(); }
    // Up to n bytes; fewer only at the end of the file; -1 on error.
    int64_t read(void *data, size_t n);
    void close();

private:
    winutil::unique_handle file_;
    std::vector<unsigned char> buf_;
    size_t at_ = 0, end_ = 0;
};
