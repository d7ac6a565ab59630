// The decimal text grammar and the 16-byte decimal built from it: the text
// and stream readers agree, and a value's text reads back as itself.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "decerrors.h"
#include "portable.h"

namespace {

int quietInexact(const Numeric96InexactErr &e) { return e.op(); }
void quietOverflow(const Numeric96Err &) {}

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Numeric96_setInexactHandler(quietInexact);
    Numeric96_setOverflowHandler(quietOverflow);
    std::string text(reinterpret_cast<const char *>(data), size);

    const char *cursor = text.data();
    PortableDecimal fromText;
    bool textOk = PortableDecimal_readText(cursor, text.data() + text.size(), fromText);
    std::istringstream in(text);
    PortableDecimal fromStream = PortableDecimal_reader(in);
    check(textOk == !in.bad());
    check(std::strcmp(PortableDecimal_asString(fromText).c_str(), PortableDecimal_asString(fromStream).c_str()) == 0);
    if (textOk) {
        in.clear();
        std::streamoff consumed = in.tellg();
        check(consumed == -1 || consumed == cursor - text.data());
    }

    Numeric96 v = Numeric96_fromText(text.c_str());
    if (v.state == NmDecimal_normal) {
        std::string shown = Numeric96_toStdString(v);
        Numeric96 back = Numeric96_fromText(shown.c_str());
        check(std::memcmp(&back, &v, sizeof v) == 0);
        int places = size ? data[0] % 40 - 5 : 0;
        int mode = size > 1 ? data[1] % 4 : 0;
        Numeric96 r = Numeric96_round(v, places, mode, NmRound_threshold);
        check(r.state == NmDecimal_normal || places < 0);
        Numeric96 stored;
        stored.assignRescaled(v);
        check(stored.decimals == Numeric96::storedScale);
    }
    return 0;
}
