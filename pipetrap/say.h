// Console output of every thread goes through the standard output stream,
// whose lock keeps each line and each copied chunk whole.
#pragma once

#include <cstddef>

namespace pipetrap {

// Called before any output: the stream passes clients' bytes unchanged and
// hands each write to the system in one piece.
void setUpConsoleStream();

// A status line. Its "\n" goes out as CR LF, as from a text stream; it is
// flushed at once so that a redirected log shows it while the monitor runs.
void say(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Bytes a client wrote, copied as they are and flushed.
void toConsole(const void *data, size_t size);

}  // namespace pipetrap
