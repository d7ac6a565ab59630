// The file copy of requests 102 and 103.
#pragma once

#include <cstdint>
#include <string>

// Copies source to destination and gives the destination the source's access
// and modification times. Returns the bytes copied, or -1. The copy is made
// under a name of its own beside the destination and takes the destination's
// name only when complete, so a failed copy leaves no partial file and an
// old destination as it was. A copy onto the source itself is refused.
int64_t file_copy(const std::string &source, const std::string &destination);
