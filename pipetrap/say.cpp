#include "say.h"

#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace pipetrap {
namespace {

// One fwrite and one flush under the stream's lock: one system write.
void writeWhole(const void *data, size_t size) {
    _lock_file(stdout);
    std::fwrite(data, 1, size, stdout);
    std::fflush(stdout);
    _unlock_file(stdout);
}

std::string format(const char *format, va_list args) {
    char small[256];
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(small, sizeof small, format, args);
    std::string text;
    if (n < 0) {
        text = format;
    } else if (static_cast<size_t>(n) < sizeof small) {
        text.assign(small, n);
    } else {
        text.resize(n + 1);
        std::vsnprintf(&text[0], text.size(), format, again);
        text.resize(n);
    }
    va_end(again);
    return text;
}

}  // namespace

void setUpConsoleStream() {
    // Unbuffered text output costs a system call per character or line on
    // some consoles and character devices; a buffer flushed per write does
    // not, and binary mode keeps the copy exact.
    _setmode(_fileno(stdout), _O_BINARY);
    std::setvbuf(stdout, nullptr, _IOFBF, 4096);
}

// Also called from the console control handler: nothing may escape.
void say(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    try {
        std::string text = format(fmt, args);
        std::string line;
        for (char c : text) {
            if (c == '\n') line += '\r';
            line += c;
        }
        writeWhole(line.data(), line.size());
    } catch (...) {
    }
    va_end(args);
}

void toConsole(const void *data, size_t size) { writeWhole(data, size); }

}  // namespace pipetrap
