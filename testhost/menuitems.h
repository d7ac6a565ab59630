// Packs server menu items for tests: 13 bytes and two texts each.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "bytes.h"

namespace th {

struct MenuItem {
    // Brace lists name the leading fields; the rest keep their defaults.
    MenuItem(int16_t command_ = 0, int32_t id_ = 0, uint8_t kind_ = 2, std::string text_ = {}, uint8_t subCount_ = 0,
             uint8_t hotkey_ = 255, int16_t state_ = 0, std::string help_ = {}, int16_t helpContext_ = 0)
        : command(command_), id(id_), kind(kind_), text(std::move(text_)), subCount(subCount_), hotkey(hotkey_),
          state(state_), help(std::move(help_)), helpContext(helpContext_) {}
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
