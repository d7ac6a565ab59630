// The start every formkit window test shares: a fresh host, the module
// loaded and told the terminal's build (request 1), and a frame to put
// dialogs in (request 7).
#pragma once

#include <gtest/gtest.h>

#include "module.h"
#include "wire.h"

inline th::Host &H() { return th::Host::get(); }

struct FormkitTest : ::testing::Test {
    th::Module m{"formkit.dll"};
    void *hostApp = nullptr;  // the terminal's host application, when it has one

    void startModule() {
        H().reset();
        H().enableExt({18, 26});
        H().hostApp = hostApp;
        m.start();
        m.message(1, th::Bytes().i16(0).i16(0).i32(313130));
    }
    void openFrame(int16_t columns, int16_t rows) {
        m.message(7, th::Bytes().i16(columns).i16(rows).text("Frame"));
        H().pump();
    }
    void TearDown() override { m.message(kMsgUnload); }
    int32_t replyInt() { return WireReader(m.reply(), 4).i32(); }
};
