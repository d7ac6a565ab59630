// The file copy of requests 102 and 103.
#pragma once

#include <cstdint>
#include <string>

// Copies source to destination and gives the destination the source's access
// and modification times. Returns the bytes copied, or -1. A copy onto the
// source itself is refused; a failed copy deletes the destination only when
// this copy created it.
int64_t file_copy(const std::string &source, const std::string &destination);
