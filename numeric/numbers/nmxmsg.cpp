#include "nmxmsg.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
constexpr char kDecimalCatalog[] = "NmDecimal";
constexpr size_t kMessageBuffer = 512;
}  // namespace

const MessageRecord FROMPORTOVER = {
    kDecimalCatalog, 0x3804, "[FROMPORTOVER] %s: overflow converting from portable decimal"};
const MessageRecord FROMPORTINEXACT = {
    kDecimalCatalog, 0x3805,
    "[FROMPORTINEXACT] %s: inexact result converting from portable decimal"};

std::unique_ptr<char[]> formatText(const char *format, ...) {
    char buffer[kMessageBuffer];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    size_t length = n < 0 ? 0 : std::min(static_cast<size_t>(n), sizeof buffer - 1);
    buffer[length] = '\0';
    std::unique_ptr<char[]> text(new char[length + 1]);
    std::memcpy(text.get(), buffer, length + 1);
    return text;
}

char *Nmxmsg::copyOf(const char *text, size_t length) {
    char *p = new char[length + 1];
    if (length) std::memcpy(p, text, length);
    p[length] = '\0';
    return p;
}

Nmxmsg::Nmxmsg(const char *text) : text_(copyOf(text, text ? std::strlen(text) : 0)), owned_(true) {}

Nmxmsg::Nmxmsg(const NmCString &text) : text_(copyOf(text.data(), text.length())), owned_(true) {}

// A copy owns its own text when the source does; otherwise both point at
// the same text, which neither frees.
Nmxmsg::Nmxmsg(const Nmxmsg &other)
    : text_(other.owned_ ? copyOf(other.text_, std::strlen(other.text_)) : other.text_), owned_(other.owned_) {}

Nmxmsg &Nmxmsg::operator=(const Nmxmsg &other) {
    if (this == &other) return *this;
    char *text = other.owned_ ? copyOf(other.text_, std::strlen(other.text_)) : other.text_;
    if (owned_) delete[] text_;
    text_ = text;
    owned_ = other.owned_;
    return *this;
}

Nmxmsg::~Nmxmsg() {
    if (owned_) delete[] text_;
}
