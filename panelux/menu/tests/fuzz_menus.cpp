// Menu descriptions from the server: the first 8 bytes are the declared
// top-level count, total and text bytes, the rest the packed items.
#include <cstdint>
#include <cstdlib>

#include "menudesc.h"

namespace {

size_t countItems(const std::vector<PxMenuItemRec> &items) {
    size_t n = items.size();
    for (const PxMenuItemRec &it : items) n += countItems(it.subItems);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    WireReader head(data, size);
    uint8_t count = head.u8(), loading = head.u8();
    uint16_t total = head.u16();
    int32_t textBytes = head.i32();
    if (!head.ok() || textBytes < 0) return 0;
    WireReader r(head.here(), head.left());
    std::vector<PxMenuItemRec> items;
    PxMenuBudget budget{total, static_cast<size_t>(textBytes)};
    if (!px_unpackMenuItems(r, count, loading & 1, budget, &items)) {
        if (!items.empty()) std::abort();
        return 0;
    }
    if (countItems(items) > total || r.pos() > head.left()) std::abort();
    for (const PxMenuItemRec &it : items) {
        std::string marked = px_markMenuHotkey(it);
        if (marked.size() > it.text.size() + 1) std::abort();
        px_isMenuSeparator(it.text);
        if (it.id && px_findMenuItem(items, it.id) == nullptr) std::abort();
    }
    return 0;
}
