// Requests 206 and 207: locale data of the user's, the system's or the
// Russian locale.
#include <windows.h>

#include "handlers.h"
#include "records.h"

namespace {

constexpr LCID kRussian = 1049;
// The longest locale text the reply carries, terminator included.
constexpr int kLocaleTextMax = 127;

LCID localeOf(int32_t selector) {
    switch (selector) {
    case 0: return GetUserDefaultLCID();
    case 1: return GetSystemDefaultLCID();
    default: return kRussian;
    }
}

LANGID languageOf(int32_t selector) {
    switch (selector) {
    case 0: return GetUserDefaultLangID();
    case 1: return GetSystemDefaultLangID();
    default: return static_cast<LANGID>(kRussian);
    }
}

}  // namespace

int tc_localeInfo(const TcRequest &req) {
    TcLocaleRecord rec;
    if (!tc_readLocaleInfo(req.data, req.length, rec)) return 0;
    char text[kLocaleTextMax + 1] = {};
    int length = GetLocaleInfoA(localeOf(rec.selector), static_cast<LCTYPE>(rec.type), text, kLocaleTextMax);
    WireWriter w = req.writer();
    w.i32(length);
    if (length > 0) w.bytes(text, static_cast<size_t>(length));
    return tc_replyLength(w);
}

int tc_langIds(const TcRequest &req) {
    int32_t selector = 0;
    if (!tc_readLangIds(req.data, req.length, selector)) return 0;
    return tc_replyInt(req, languageOf(selector));
}
