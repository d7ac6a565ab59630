#include "qvexception.h"

#include <cstring>

QVException::QVException(const char *text) { copyText(text); }

QVException::QVException(const QVException &other) : std::exception(other) {
    std::memcpy(text_, other.text_, sizeof text_);
}

QVException &QVException::operator=(const QVException &other) {
    if (this != &other) std::memcpy(text_, other.text_, sizeof text_);
    return *this;
}

// At most 255 characters are kept; the last byte is always the terminator.
void QVException::copyText(const char *text) {
    if (!text) text = "";
    size_t n = std::strlen(text);
    if (n > kTextSize - 1) n = kTextSize - 1;
    std::memcpy(text_, text, n);
    std::memset(text_ + n, 0, kTextSize - n);
}
