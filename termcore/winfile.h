// File operations on OEM path texts, through the UTF-16 file system calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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
