// termcore under the storm. The host names an 8 KiB block until a hostile
// code -4 says otherwise. Requests that write, rename, delete or start are
// aimed at the scratch folder (the current folder, UPDIR and DNDIR lie in
// it) and programs at a folder that does not exist; help calls reach a
// window of the test instead of the help program; no debugger library is
// there, so a run asked to go under the debugger goes without one. The
// edit manager is the stand-in server registered in this process (a failed
// activation of a local server leaks two handles each time under Wine).
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "editmgr_server.h"
#include "host.h"
#include "qvsclient.h"
#include "storm.h"

namespace storm {
namespace {

// A packed value of a macro argument: a type byte and 0 to 10 bytes.
void packedValue(Rng &r, Record &b) {
    static const std::vector<int> kTypes = {0, 1, 2, 3, 6, 7, 9, 10, 19, 23, 5, 255};
    int type = r.pick(kTypes);
    b.u8(static_cast<uint8_t>(type));
    if (type == 6) b.text(text(r));
    else if (type == 1 || type == 9 || type == 10) b.i32(n32(r, 5));
    else if (type != 0) b.u64(r.next());
}

struct TermcoreStream {
    Rng &r;
    std::string scratch;

    std::string name() { return scratchName(r); }
    // A file name as the server sends it: mostly inside the scratch folder,
    // now and then anything (only requests that read take these).
    std::string anyName() { return r.chance(70) ? name() : text(r); }

    Record macro(bool extended) {
        std::string file = r.chance(70) ? scratch + "\\m.zam" : text(r);
        std::string proc = r.chance(70) ? r.pick(std::vector<std::string>{"echo", "sum", "none", ""}) : text(r);
        int16_t args = static_cast<int16_t>(r.below(4));
        Record b = Record().i16(n16(r, static_cast<int32_t>(file.size() + 1))).i16(n16(r, static_cast<int32_t>(proc.size())))
                  .i16(n16(r, args));
        if (extended) b.i16(n16(r, 0)).i16(n16(r, 0));
        b.text(file).text(proc);
        for (int16_t i = 0; i < args; ++i) packedValue(r, b);
        return b;
    }

    Record record(int code) {
        switch (code) {
        case 0: return macro(false);
        case 1: return macro(true);
        case 10: case 11: return Record().i32(n32(r, 1));
        case 12: return Record().i32(n32(r, 1)).i32(n32(r, 0));
        case 13: return Record().i32(n32(r, 1)).zeros(4).text(text(r));
        case 14: return Record().i32(n32(r, 1)).i32(n32(r, 0)).i16(n16(r, 1));
        case 50: {
            std::string file = text(r);
            return Record().i32(n32(r, static_cast<int32_t>(r.below(3)))).i32(n32(r, static_cast<int32_t>(file.size())))
                .zeros(4).text(file).text(text(r));
        }
        case 51: {
            std::string file = text(r);
            return Record().i32(n32(r, static_cast<int32_t>(r.below(6)))).i32(n32(r, static_cast<int32_t>(file.size())))
                .zeros(4).i32(n32(r, 7)).text(file).text(text(r));
        }
        case 100: {
            Record b = Record().u32(static_cast<uint32_t>(n32(r, 1)));
            uint8_t stage = static_cast<uint8_t>(r.chance(90) ? r.below(4) : n8(r, 0));
            if (stage == 0) {
                return b.u32(0).u8(0).u8(n8(r, 1)).u8(n8(r, 1)).u16(static_cast<uint16_t>(n16(r, 2020)))
                    .u8(n8(r, 12)).u8(n8(r, 0)).u8(r.chance(50) ? 255 : n8(r, 0)).i32(n32(r, 0)).i32(n32(r, 0))
                    .zeros(4).text(name());
            }
            std::string data(r.below(2000), 'r');
            return b.u32(static_cast<uint32_t>(n32(r, static_cast<int32_t>(data.size())))).u8(stage).raw(data.data(), data.size());
        }
        case 101: return Record().u32(static_cast<uint32_t>(n32(r, 1))).u32(static_cast<uint32_t>(n32(r, 4000)))
                      .u8(static_cast<uint8_t>(r.chance(90) ? r.below(4) : n8(r, 0))).text(anyName());
        case 102: {
            std::string pattern = r.chance(50) ? r.pick(std::vector<std::string>{"*", "*.*", "?", "*.txt"}) : name();
            std::string dest = name();
            return Record().zeros(4).u8(static_cast<uint8_t>(r.chance(90) ? r.below(4) : n8(r, 0)))
                .i32(n32(r, static_cast<int32_t>(r.below(4)))).i32(n32(r, static_cast<int32_t>(pattern.size() + 1)))
                .i16(n16(r, static_cast<int32_t>(r.below(4)))).text(pattern).text(dest);
        }
        case 103: case 104: {
            std::string from = name();
            return Record().zeros(4).i32(n32(r, static_cast<int32_t>(from.size() + 1))).text(from).text(name());
        }
        case 105: return Record().zeros(4).i16(n16(r, static_cast<int32_t>(r.below(3)))).text(name());
        case 107: {
            Record b = Record().u8(static_cast<uint8_t>(r.chance(50) ? 0 : n8(r, 1))).text(anyName());
            for (uint32_t i = r.below(4); i > 0; --i) b.text(anyName());
            return b.text("");
        }
        case 108: return Record().zeros(2).i32(n32(r, 1)).i32(n32(r, 2)).text(name());
        case 200: {
            uint8_t op = static_cast<uint8_t>(r.chance(90) ? r.below(3) : n8(r, 0));
            if (op == 0)
                return Record().u8(0).zeros(6).i16(n16(r, 0)).text(scratch + "\\noprograms\\" + name()).text(text(r));
            return Record().u8(op).i32(n32(r, 1)).i16(n16(r, 0)).i16(static_cast<int16_t>(r.below(50)));
        }
        case 201: return Record().u8(static_cast<uint8_t>(n8(r, 2))).i32(n32(r, 0)).text(text(r));
        case 202: return Record().u8(static_cast<uint8_t>(n8(r, static_cast<int32_t>(r.below(12))))).i32(n32(r, 0))
                      .i32(n32(r, 1)).text(anyName()).text(text(r));
        case 204: {
            std::string data = text(r);
            return Record().u8(n8(r, 1)).u8(n8(r, 0)).i32(n32(r, static_cast<int32_t>(data.size()))).raw(data.data(), data.size());
        }
        case 205: return Record().u8(n8(r, 0));
        case 206: return Record().i32(n32(r, static_cast<int32_t>(r.below(3)))).i32(n32(r, 2));
        case 207: return Record().i32(n32(r, static_cast<int32_t>(r.below(3))));
        case kMsgHostVersion: return Record().zeros(18).u16(static_cast<uint16_t>(r.chance(70) ? 114 : n16(r, 88)));
        default: return r.chance(50) ? Record() : junk(r);
        }
    }
};

LRESULT CALLBACK helpWindow(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

// Codes -1 and -2 carry a plain flag in place of the record.
void lifeCycle(Session &run, th::Module &m, int code, bool flag) {
    auto proc = reinterpret_cast<ZamExtMessageProcFn>(m.proc("ZamExtMessageProc"));
    unsigned char reply[kBlock];
    run.begin(code, flag ? "with a flag" : "without a flag");
    proc(static_cast<unsigned>(code), flag ? reinterpret_cast<const void *>(1) : nullptr, reply);
    run.end();
}

TEST(Storm, Termcore) {
    th::Qvs qvs;  // loaded first: termcore's load by name finds this copy
    th::TempDir scratch;
    std::string dir = scratch.path();
    CreateDirectoryA((dir + "\\up").c_str(), nullptr);
    CreateDirectoryA((dir + "\\dn").c_str(), nullptr);
    scratch.write("termcore.ini", "UPDIR=" + dir + "\\up\r\nDNDIR=" + dir + "\\dn\r\nDATAPATH=" + dir +
                                      "\r\nOUTPUT=" + dir + "\\out.txt\r\nCASHDIR=" + dir + "\r\nSRCDIR=" + dir + "\r\n");
    scratch.write("m.zam", "var x int 5\nproc echo echo\nproc sum sum\nprint storm\n");
    scratch.write("dn\\data.bin", std::string(20000, 'd'));
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SetCurrentDirectoryA(dir.c_str());

    WNDCLASSA wc = {};
    wc.lpfnWndProc = helpWindow;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MS_WINHELP";
    RegisterClassA(&wc);
    HWND help = CreateWindowA("MS_WINHELP", "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);

    CoInitialize(nullptr);
    auto server = std::make_unique<th::EditMgrServer>(true);
    th::Host &h = th::Host::get();
    h.reset();
    h.enableExtAll();
    h.iniDir = dir;
    h.maxBlockSize = kBlock;
    h.channelResponder = [](const th::ChannelCall &) { return std::optional<th::ByteVec>(th::ByteVec(8, 0)); };
    Session run("termcore", "Termcore", 0x7C0);
    // The reply area holds the largest reply, as a host that names no block
    // promises.
    th::Module m("termcore.d32", 8208);
    m.start(114);
    lifeCycle(run, m, kMsgLoad, true);  // with the process table

    TermcoreStream st{run.rng(), dir};
    std::vector<int> all = {0,   1,   10,  11,  12,  13,  14,  50,  51,  100, 100, 100, 101, 101, 102, 102,
                            103, 104, 105, 106, 107, 107, 108, 200, 201, 202, 204, 205, 206, 207};
    all.insert(all.end(), all.begin(), all.end());
    for (int neighbour : std::vector<int>{kMsgHostVersion, kMsgLoad, kMsgUnload, -3, -5, 2, 9, 15, 49, 52, 99, 109, 199, 203, 208, 300})
        all.push_back(neighbour);
    VersionTracker told;
    auto send = [&](int code, const th::Bytes &record) {
        told.flip(run.rng());
        run.send(m, code, record, told.blockNamed(code));
        told.sent(code, record, run.lastInBlock());
    };
    auto stream = [&](long n) {
        for (long i = 0; i < n; ++i) {
            int code = run.rng().pick(all);
            if (code == kMsgLoad || code == kMsgUnload)
                lifeCycle(run, m, code, run.rng().chance(50));
            else
                send(code, mutate(run.rng(), st.record(code)));
            if (i % 64 == 0) qvs.reset();
        }
    };
    // Ends the session both ways (files, searches, the library, help) and
    // starts a new one at the usual protocol.
    auto settle = [&] {
        lifeCycle(run, m, kMsgUnload, true);
        lifeCycle(run, m, kMsgUnload, false);
        send(kMsgHostVersion, th::Bytes().zeros(18).u16(114));
        lifeCycle(run, m, kMsgLoad, true);
        qvs.reset();
        forgetHostRecords();
    };
    // The storm is its own warm-up: counted the second time.
    long count = run.scaled(1000);
    stream(count);
    settle();
    Usage before = usage();
    run.rewind();
    stream(count);
    settle();
    run.expectNoGrowth(before, usage(), 4 << 20);
    lifeCycle(run, m, kMsgUnload, true);
    lifeCycle(run, m, kMsgUnload, false);
    DestroyWindow(help);
    server.reset();
    CoUninitialize();
    SetCurrentDirectoryA(cwd);
}

}  // namespace
}  // namespace storm
