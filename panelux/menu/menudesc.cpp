#include "menudesc.h"

#include <functional>

namespace {

enum : uint8_t { kKindSubmenu = 0, kKindDynamic = 1 };

bool unpack(WireReader &r, int count, bool loading, PxMenuBudget &budget, int depth,
            std::vector<PxMenuItemRec> *out) {
    if (count < 0 || static_cast<size_t>(count) > budget.items || (count > 0 && depth > kPxMenuMaxDepth)) return false;
    // Every item needs its head and two terminators in the source.
    if (!r.canHold(static_cast<size_t>(count), kPxMenuItemHead + 2)) return false;
    out->reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (budget.items == 0) return false;
        --budget.items;
        PxMenuItemRec item;
        item.command = r.i16();
        item.helpContext = r.i16();
        item.state = r.i16();
        item.subCount = r.u8();
        item.id = r.i32();
        uint8_t kind = r.u8();
        item.hotkey = r.u8();
        std::string_view text = r.text(), help = r.text();
        if (!r.ok()) return false;
        size_t textBytes = text.size() + help.size() + 2;
        if (textBytes > budget.textBytes) return false;
        budget.textBytes -= textBytes;
        item.text.assign(text);
        item.help.assign(help);
        if (kind == kKindSubmenu) {
            if (loading) {
                item.sub = PxSubItems::Loaded;
                if (!unpack(r, item.subCount, true, budget, depth + 1, &item.subItems)) return false;
            } else {
                item.sub = PxSubItems::NotLoaded;
            }
        } else if (kind == kKindDynamic) {
            item.sub = PxSubItems::Dynamic;
            item.subCount = 0;
        }
        out->push_back(std::move(item));
    }
    return true;
}

}  // namespace

bool px_unpackMenuItems(WireReader &r, int count, bool loading, PxMenuBudget budget,
                        std::vector<PxMenuItemRec> *out) {
    out->clear();
    if (unpack(r, count, loading, budget, 0, out)) return true;
    out->clear();
    return false;
}

size_t px_menuPackedSize(int32_t total, int32_t textBytes, size_t limit) {
    if (total < 0 || textBytes < 0) return 0;
    uint64_t n = uint64_t(total) * kPxMenuItemHead + uint64_t(textBytes);
    return n <= limit ? static_cast<size_t>(n) : 0;
}

bool px_isMenuSeparator(const std::string &text) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return true;
    unsigned char c = static_cast<unsigned char>(text[i]);
    return c == '-' || c == 196;
}

std::string px_markMenuHotkey(const PxMenuItemRec &item) {
    std::string t = item.text;
    size_t at = item.hotkey;
    if (item.hotkey == 255 || at >= t.size() || t[at] == ' ' || t.find('~') != std::string::npos) return t;
    t.insert(at, 1, '~');
    return t;
}

PxMenuItemRec *px_findMenuItem(std::vector<PxMenuItemRec> &items, int32_t id) {
    for (PxMenuItemRec &it : items) {
        if (it.id == id) return &it;
        if (it.sub == PxSubItems::Loaded)
            if (PxMenuItemRec *found = px_findMenuItem(it.subItems, id)) return found;
    }
    return nullptr;
}

bool px_menuHoldsItem(const std::vector<PxMenuItemRec> &items, const PxMenuItemRec *item) {
    if (items.empty()) return false;
    std::less<const PxMenuItemRec *> before;
    if (!before(item, items.data()) && before(item, items.data() + items.size())) return true;
    for (const PxMenuItemRec &it : items)
        if (it.sub == PxSubItems::Loaded && px_menuHoldsItem(it.subItems, item)) return true;
    return false;
}
