// Numbered message records of the decimal library and the Nmxmsg family of
// report objects that carry their texts.
#pragma once

#include <cstdint>
#include <memory>

#include "nmstring.h"

struct MessageRecord {
    const char *catalog;
    uint32_t number;
    const char *format;  // "[TAG] ..." in printf form
};

extern const MessageRecord FROMPORTOVER;
extern const MessageRecord FROMPORTINEXACT;

// A printf format filled with the arguments, at most 511 characters.
std::unique_ptr<char[]> formatText(const char *format, ...);

// The record's format filled with the arguments (printf rules); arguments
// the format does not use are ignored.
template <class... Args>
std::unique_ptr<char[]> formatMessage(const MessageRecord &record, Args... args) {
    return formatText(record.format, args...);
}

class Nmxmsg {
public:
    explicit Nmxmsg(const char *text);
    explicit Nmxmsg(const NmCString &text);
    Nmxmsg(const Nmxmsg &other);
    Nmxmsg &operator=(const Nmxmsg &other);
    virtual ~Nmxmsg();

    const char *text() const { return text_; }

private:
    static char *copyOf(const char *text, size_t length);

    char *text_;
    bool owned_;
};

// The working-form decimal reports derive from this; the initial overflow
// handler throws it.
class NmExternalErr : public Nmxmsg {
public:
    using Nmxmsg::Nmxmsg;
};
