// Label, menu-text, line-end and colour helpers on any server text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "labels.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.c_str();  // a server text ends at its NUL
    std::vector<char> b(text.begin(), text.end());
    b.push_back(0);
    size_t capacity = b.size();
    std::vector<char> work = b;
    px_makeMenuText(work.data(), capacity);
    work = b;
    px_makeLabel(work.data());
    work = b;
    px_stripTilde(work.data());
    px_barsToNewlines(work.data());
    char small[16];
    char *crlf = px_toCrLf(text.c_str(), small, sizeof small);
    if (crlf) {
        std::vector<char> back(std::strlen(crlf) + 1);
        px_fromCrLf(crlf, back.data(), back.size());
        if (std::strcmp(back.data(), text.c_str()) != 0 && text.find('\r') == std::string::npos) std::abort();
        if (crlf != small) std::free(crlf);
    }
    char tiny[4];
    px_fromCrLf(text.c_str(), tiny, sizeof tiny);
    if (std::memchr(tiny, 0, sizeof tiny) == nullptr) std::abort();
    uint32_t c;
    px_parseColor(&c, text.c_str());
    return 0;
}
