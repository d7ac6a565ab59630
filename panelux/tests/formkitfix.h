// The start every formkit window test shares: a fresh host, the module
// loaded and told the terminal's build (request 1), and a frame to put
// dialogs in (request 7).
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

#include "descbuilder.h"
#include "module.h"
#include "wire.h"

inline th::Host &H() { return th::Host::get(); }

// A request head followed by a panel description.
inline th::Bytes withDesc(th::Bytes head, const Desc &d) {
    ::Bytes b = d.encode();
    return head.raw(b.b.data(), b.b.size());
}

struct FormkitTest : ::testing::Test {
    th::Module m{"formkit.dll"};
    void *hostApp = nullptr;  // the terminal's host application, when it has one

    // more: host services beyond the two every test needs.
    void startModule(std::initializer_list<int> more = {});
    void openFrame(int16_t columns, int16_t rows);
    void TearDown() override { m.message(kMsgUnload); }
    int32_t replyInt() { return WireReader(m.reply(), 4).i32(); }
};
