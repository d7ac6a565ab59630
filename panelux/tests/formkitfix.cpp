#include "formkitfix.h"

void FormkitTest::startModule(std::initializer_list<int> more) {
    H().reset();
    H().enableExt({18, 26});
    H().enableExt(more);
    H().hostApp = hostApp;
    m.start();
    m.message(1, th::Bytes().i16(0).i16(0).i32(313130));
}

void FormkitTest::openFrame(int16_t columns, int16_t rows) {
    m.message(7, th::Bytes().i16(columns).i16(rows).text("Frame"));
    H().pump();
}
