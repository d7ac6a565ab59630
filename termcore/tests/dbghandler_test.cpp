// The receiving side of the debugger bridge in both modes: requests run
// against an interpreter's debug interface, the reply written in place or
// into the buffer a reply object hands out.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "dbglocal.h"
#include "qvsclient.h"
#include "wire.h"
#include "zamdbg.h"

namespace {

QvWord QVSCB query(QvWord) { return 55; }
QvWord QVSCB object(QvWord, QvWord number) { return number + 1000; }
QvWord QVSCB sourceSize(QvWord, QvWord handle) { return handle * 2; }

struct Reply final : DbgReplyObject {
    std::vector<unsigned char> buf;
    size_t asked = 0;
    unsigned char *buffer(size_t size) override {
        asked = size;
        buf.assign(size, 0xCD);
        return buf.data();
    }
};

TEST(DbgHandler, BothModesAnswerTheSessionsRequests) {
    th::ZamDbg dbg;
    ZamDbgInterface iface = {};
    iface.slot[kZdbQuery] = reinterpret_cast<void *>(query);
    iface.slot[kZdbObject] = reinterpret_cast<void *>(object);
    iface.slot[kZdbSourceSize] = reinterpret_cast<void *>(sourceSize);
    int instance = 0;
    DbgSession *s = DbgLocalOpen(&instance, &iface);
    ASSERT_NE(nullptr, s);
    // The first session of the process: its owner word is 1.
    const unsigned char queryRequest[] = {1, 0, 0, 0};
    const unsigned char sizeRequest[] = {1, 0, 0, 0, 21, 0, 0, 0};
    const unsigned char strangerRequest[] = {9, 0, 0, 0};
    struct Case {
        int op;
        const unsigned char *request;
        size_t length;
        size_t replyLength;
        int32_t first;
    } cases[] = {
        {23, queryRequest, sizeof queryRequest, 8, 55},
        {18, sizeRequest, sizeof sizeRequest, 8, 42},
        {23, strangerRequest, sizeof strangerRequest, 0, 0},  // no such session
        {22, queryRequest, sizeof queryRequest, 0, 0},        // no handler
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.op);
        unsigned char plain[16] = {};
        EXPECT_EQ(c.replyLength, DbgGetHandler(kDbgHandlerPlain)(c.op, c.request, c.length, plain, sizeof plain));
        Reply alloc;
        EXPECT_EQ(c.replyLength, DbgGetHandler(kDbgHandlerAlloc)(c.op, c.request, c.length, &alloc, 0));
        EXPECT_EQ(kDbgAllocReply, alloc.asked);
        if (c.replyLength) {
            EXPECT_EQ(c.first, WireReader(plain, 4).i32());
            EXPECT_EQ(c.first, WireReader(alloc.buf.data(), 4).i32());
        }
    }
    // A reply too small for the answer gives nothing.
    unsigned char small[4];
    EXPECT_EQ(0u, DbgGetHandler(kDbgHandlerPlain)(23, queryRequest, sizeof queryRequest, small, sizeof small));
    DbgLocalClose(s);
}

template <typename T>
T at(const void *record, size_t offset) {
    T v;
    std::memcpy(&v, static_cast<const unsigned char *>(record) + offset, sizeof v);
    return v;
}

// The session the interpreter holds and the target the debugger receives,
// read byte for byte as they are laid out for the build's pointer size.
TEST(DbgHandler, LocalSessionAndTargetRecordsKeepTheirLayout) {
    th::ZamDbg dbg;
    ZamDbgInterface iface = {};
    int instance = 0;
    DbgSession *s = DbgLocalOpen(&instance, &iface);
    ASSERT_NE(nullptr, s);
    const size_t P = sizeof(void *);
    EXPECT_EQ(0, at<uint8_t>(s, 0));
    auto *target = at<const unsigned char *>(s, 1);
    ASSERT_NE(nullptr, target);
    EXPECT_EQ(static_cast<void *>(&iface), at<void *>(s, 1 + P));
    EXPECT_EQ(static_cast<void *>(&instance), at<void *>(s, 1 + 2 * P));
    EXPECT_EQ(3, at<int32_t>(s, 1 + 3 * P));  // not started
    EXPECT_EQ(0, at<uint8_t>(s, 5 + 3 * P));  // stop flag
    EXPECT_EQ(reinterpret_cast<void *>(DbgGetHandler(kDbgHandlerPlain)), at<void *>(s, 10 + 3 * P));
    for (size_t event : {10 + 4 * P, 10 + 5 * P})
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(at<HANDLE>(s, event), 0));

    EXPECT_EQ(0, target[0]);  // local
    EXPECT_EQ(0, target[1]);  // inactive until started
    EXPECT_NE(nullptr, at<void *>(target, 2));
    EXPECT_EQ(static_cast<void *>(s), at<void *>(target, 2 + P));
    DbgLocalClose(s);
}

}  // namespace
