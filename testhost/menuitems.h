// Packs server menu items for tests: 13 bytes and two texts each.
#pragma once

#include <string>
#include <vector>

#include "bytes.h"

namespace th {

struct MenuItem {
    int16_t command = 0;
    int32_t id = 0;
    uint8_t kind = 2;  // 0 submenu, 1 dynamic, else plain
    std::string text;
    uint8_t subCount = 0;
    uint8_t hotkey = 255;
    int16_t state = 0;
    std::string help;
    int16_t helpContext = 0;
};

// The packed items and what they declare: count and text bytes.
struct MenuPack {
    Bytes bytes;
    int total = 0;
    int textBytes = 0;
    MenuPack &add(const MenuItem &m) {
        bytes.i16(m.command).i16(m.helpContext).i16(m.state).u8(m.subCount).i32(m.id).u8(m.kind).u8(m.hotkey);
        bytes.text(m.text).text(m.help);
        ++total;
        textBytes += static_cast<int>(m.text.size() + m.help.size() + 2);
        return *this;
    }
};

}  // namespace th
