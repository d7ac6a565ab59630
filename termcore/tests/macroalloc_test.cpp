// The macro runner when memory runs short: this program's allocations of a
// chosen size fail, and termcore, linked into it, meets the failure inside
// the interpreter library's start callback.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>

#include "bytes.h"
#include "handlers.h"
#include "host.h"
#include "module.h"
#include "qvsclient.h"

namespace {

// Allocations of at least this many bytes fail while it is set.
size_t g_failFrom = SIZE_MAX;

void *allocate(size_t n) { return n >= g_failFrom ? nullptr : std::malloc(n ? n : 1); }

}  // namespace

void *operator new(size_t n) {
    if (void *p = allocate(n)) return p;
    throw std::bad_alloc();
}
void *operator new[](size_t n) { return operator new(n); }
void *operator new(size_t n, const std::nothrow_t &) noexcept { return allocate(n); }
void *operator new[](size_t n, const std::nothrow_t &) noexcept { return allocate(n); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, size_t) noexcept { std::free(p); }
void operator delete[](void *p, size_t) noexcept { std::free(p); }

namespace {

TEST(MacroRunner, ArgumentsThatCannotBeHeldAreLeftOut) {
    th::Host &host = th::Host::get();
    host.reset();
    host.enableExtAll();
    zam_host().ext = host.ext();
    th::Qvs qvs;
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    const std::string macro = std::string(dir) + "termcore_macroalloc.mac", proc = "sum";
    std::ofstream(macro) << "proc sum sum\n";
    // 3000 arguments, of which the record carries two: 2 and 40.
    constexpr int16_t kCount = 3000;
    th::Bytes b;
    b.i16(static_cast<int16_t>(macro.size() + 1)).i16(static_cast<int16_t>(proc.size() + 1)).i16(kCount);
    b.text(macro).text(proc).u8(V_INTEGER).i32(2).u8(V_INTEGER).i32(40);
    const th::ByteVec record = b.vec();
    unsigned char reply[64] = {};
    ZamRequest req;
    req.data = record.data();
    req.length = record.size();
    req.reply = reply;
    req.replyCapacity = sizeof reply;

    g_failFrom = kCount * sizeof(VALUE);
    int n = tc_runMacro(req);
    g_failFrom = SIZE_MAX;
    // The procedure ran, without arguments: its sum is 0.
    ASSERT_EQ(7, n);
    EXPECT_EQ(std::string("\0\0\x01\0\0\0\0", 7), std::string(reinterpret_cast<char *>(reply), 7));
    EXPECT_NE(std::string::npos, qvs.journal().find("call sum()\n")) << qvs.journal();
    tc_macroUnload();
    zam_host().ext = nullptr;
    DeleteFileA(macro.c_str());
}

}  // namespace
