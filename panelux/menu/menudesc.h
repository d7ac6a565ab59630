// Server menu descriptions: packed item lists, each item 13 bytes and two
// texts, a submenu's items following it when sent inline. Outside input:
// decoded here by pure functions that never read or keep more than the
// description declares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "wire.h"

constexpr size_t kPxMenuItemHead = 13;
// Submenus nested deeper than this refuse the whole description.
constexpr int kPxMenuMaxDepth = 16;

enum PxMenuState : int16_t { kPxMenuDisabled = 1, kPxMenuDeleted = 2, kPxMenuGrayed = 8 };
enum class PxSubItems : uint8_t { Plain, NotLoaded, Loaded, Dynamic };

struct PxMenuItemRec {
    std::string text, help;  // OEM code page
    int32_t command = 0, helpContext = 0, id = 0;
    int16_t state = 0;
    uint8_t subCount = 0, hotkey = 255;
    PxSubItems sub = PxSubItems::Plain;
    std::vector<PxMenuItemRec> subItems;  // never resized once filled

    bool isSubmenu() const { return sub == PxSubItems::NotLoaded || sub == PxSubItems::Loaded; }
    bool grayed() const { return (state & (kPxMenuDisabled | kPxMenuGrayed)) != 0; }
    bool deleted() const { return (state & kPxMenuDeleted) != 0; }
};

// What a description declares: its items (submenus' included) and the bytes
// of their texts with terminators. Unpacking spends from it.
struct PxMenuBudget {
    size_t items = 0, textBytes = 0;
};

// count items from r into out. loading: a submenu's items follow it and are
// unpacked too; else a submenu is "not loaded". False, with out cleared, when
// the items overrun the budget, the source or the nesting depth.
bool px_unpackMenuItems(WireReader &r, int count, bool loading, PxMenuBudget budget, std::vector<PxMenuItemRec> *out);

// The packed size a budget declares, or 0 when it overflows the limit.
size_t px_menuPackedSize(int32_t total, int32_t textBytes, size_t limit);

// Empty, or "-" or the OEM box-drawing line after blanks.
bool px_isMenuSeparator(const std::string &text);
// The item's text with its hot-key letter marked by '~' (none when the
// position is 255, past the end, on a blank, or the text has its own '~').
std::string px_markMenuHotkey(const PxMenuItemRec &item);

// Depth-first through loaded submenus; null when absent.
PxMenuItemRec *px_findMenuItem(std::vector<PxMenuItemRec> &items, int32_t id);
// Whether item lies in items or their loaded submenus.
bool px_menuHoldsItem(const std::vector<PxMenuItemRec> &items, const PxMenuItemRec *item);
