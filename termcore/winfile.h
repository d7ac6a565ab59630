// File operations on OEM path texts, through the UTF-16 file system calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "winhandle.h"

// Opens for reading with other writers denied.
FileHandle file_openRead(const std::string &path);
// Creates or truncates for writing; created tells whether the file is new.
FileHandle file_create(const std::string &path, bool *created = nullptr);
bool file_delete(const std::string &path);

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

// Transfers arrive and leave in the host's blocks; these gather them into
// larger pieces so the file sees fewer, larger calls.
class BufferedWriter {
public:
    void open(FileHandle file);
    bool isOpen() const { return static_cast<bool>(file_); }
    HANDLE handle() const { return file_.get(); }
    // False when a write that reached the file did not go through whole.
    bool put(const void *data, size_t n);
    bool flush();
    // Flushes and closes; false when either failed.
    bool close();
    // Closes without writing what is still gathered.
    void drop();

private:
    FileHandle file_;
    std::vector<unsigned char> buf_;
};

class BufferedReader {
public:
    void open(FileHandle file);
    bool isOpen() const { return static_cast<bool>(file_); }
    HANDLE handle() const { return file_.get(); }
    // Up to n bytes; fewer only at the end of the file; -1 on error.
    int64_t read(void *data, size_t n);
    void close();

private:
    FileHandle file_;
    std::vector<unsigned char> buf_;
    size_t at_ = 0, end_ = 0;
};
