// filexfer, sysmix and nicinfo, loaded as the host loads them (ZamSetCallBacks,
// _ZamExtMessageProc), none of them told a block: every record is bounded
// only by the memory that holds it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "host.h"
#include "storm.h"
#include "wire.h"

namespace storm {
namespace {

// A small message module with the host's services it uses.
struct Small {
    th::TempDir scratch;
    std::unique_ptr<th::Module> m;

    Small(const char *file, std::initializer_list<int> services) {
        th::Host &h = th::Host::get();
        h.reset();
        h.enableExt(services);
        h.maxBlockSize = kBlock;
        h.iniDir = scratch.path();
        m = std::make_unique<th::Module>(file);
        m->setCallBacksName = "ZamSetCallBacks";
        m->messageProcName = "_ZamExtMessageProc";
        EXPECT_EQ(304, m->setCallBacks(h.ext()));
    }
    // The storm as its own warm-up, the module's end, the usage; the same
    // storm again, the end again: what the process holds may not have grown.
    template <class Stream> void run(Session &run, long count, size_t memoryBound, Stream stream) {
        stream(count);
        m->message(kMsgUnload);
        Usage before = usage();
        run.rewind();
        stream(count);
        m->message(kMsgUnload);
        forgetHostRecords();
        run.expectNoGrowth(before, usage(), memoryBound);
    }
};

const std::vector<int> kLifeCycle = {kMsgHostVersion, kMsgLoad, kMsgUnload, -3, -5, 0, 0x7FFFFFFF, INT32_MIN};

std::vector<int> codes(std::vector<int> served, int weight, std::vector<int> neighbours) {
    std::vector<int> all;
    for (int i = 0; i < weight; ++i) all.insert(all.end(), served.begin(), served.end());
    all.insert(all.end(), neighbours.begin(), neighbours.end());
    all.insert(all.end(), kLifeCycle.begin(), kLifeCycle.end());
    return all;
}

// Code -4 with a hostile build at byte 18, or cut short.
Record hostVersion(Rng &r) { return Record().zeros(18).u16(static_cast<uint16_t>(n16(r, 114))); }

// Requests 1 and 5 name files in the scratch folder only: 5 deletes them.
Record filexferRecord(Rng &r, int code, const std::string &dir) {
    switch (code) {
    case 1: case 5: return Record().i32(n32(r, 0)).text(dir + "\\" + scratchName(r));
    case 3: {
        std::string data = r.chance(30) ? text(r) : std::string(r.below(3000), 'd');
        return Record().i32(n32(r, static_cast<int32_t>(data.size()))).raw(data.data(), data.size());
    }
    case 4: {
        std::string key = r.chance(50) ? r.pick(std::vector<std::string>{"Name", "name", "Empty", "Long"}) : text(r);
        std::string file = r.chance(70) ? dir + "\\app.ini" : text(r);
        return Record().i32(n32(r, 1)).text(key).text(file);
    }
    case 9: return Record().i32(n32(r, 0)).i32(n32(r, r.pick(std::vector<int32_t>{2, 0x0E, 0x1F, 0x1004, 4})));
    case kMsgHostVersion: return hostVersion(r);
    default: return junk(r);
    }
}

TEST(Storm, Filexfer) {
    Small s("filexfer.dll", {1, 14});
    s.scratch.write("app.ini", "[Main]\r\nName = value\r\nEmpty=\r\nLong=" + std::string(2000, 'l') + "\r\n");
    Session run("filexfer", "Filexfer", 0xF11E);
    const std::vector<int> all = codes({1, 2, 3, 3, 3, 4, 5, 6, 7, 8, 9}, 3, {10, 11, 100, 99});
    std::string dir = s.scratch.path();
    s.run(run, run.scaled(1600), 2 << 20, [&](long n) {
        stream(run, *s.m, n, all, [&](int code) { return filexferRecord(run.rng(), code, dir); });
    });
}

// Tagged call arguments: every type code, references, hostile payloads.
void sysmixValue(Rng &r, Record &b, const std::vector<uint32_t> &held) {
    static const std::vector<int> kTypes = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 19, 23, 8, 11, 24, 63};
    int type = r.pick(kTypes);
    b.u8(static_cast<uint8_t>(type | (r.chance(20) ? 0x40 : 0)));
    switch (type) {
    case 0: break;
    case 1: b.i32(n32(r, 7)); break;
    case 2: case 3: case 4: case 5: b.u64(r.next()); break;
    case 6: b.text(text(r)); break;
    case 7: b.u8(static_cast<uint8_t>(n8(r, 1))); break;
    case 9: case 10: b.u8(n8(r, 12)).u8(n8(r, 5)).i16(n16(r, 2024)); break;
    case 23: b.u8(n8(r, 12)).u8(n8(r, 5)).i16(n16(r, 2024)).u32(static_cast<uint32_t>(r.next())); break;
    case 19: b.u32(held.empty() || r.chance(30) ? static_cast<uint32_t>(n32(r, 1)) : r.pick(held)); break;
    default: b.u32(static_cast<uint32_t>(r.next())); break;
    }
}

struct SysmixStream {
    Rng &r;
    std::vector<uint32_t> held;  // objects the server was handed

    uint32_t object() { return held.empty() || r.chance(15) ? static_cast<uint32_t>(n32(r, 1)) : r.pick(held); }

    Record record(int code) {
        switch (code) {
        case 2: case 22: return Record().u32(object());
        case 3: {
            static const std::vector<std::string> kMembers = {"Item", "Add", "Count", "Exists", "Keys", "Items",
                                                              "Remove", "RemoveAll", "CompareMode", "Key"};
            Record b = Record().u32(object()).i16(n16(r, r.pick(std::vector<int32_t>{1, 2, 4, 8, 3})));
            b.text(r.chance(80) ? r.pick(kMembers) : text(r));
            int32_t count = static_cast<int32_t>(r.below(5)), byRef = static_cast<int32_t>(r.below(3));
            b.i32(n32(r, count)).i32(n32(r, byRef));
            for (int32_t i = 0; i < count; ++i) sysmixValue(r, b, held);
            return b;
        }
        // Only harmless classes and names that are none: a hostile server
        // could create anything, and call it.
        case 10: case 11:
            return Record().text(r.chance(60) ? "Scripting.Dictionary" : r.chance(50) ? "{garbage" : text(r));
        case 14: case 15: case 16: return Record().u8(static_cast<uint8_t>(n8(r, 1)));
        case 20: return Record().i32(n32(r, static_cast<int32_t>(r.below(4))));
        case kMsgHostVersion: return hostVersion(r);
        default: return r.chance(50) ? Record() : junk(r);
        }
    }
    // Keeps the objects the server now holds: reply '1' and a field.
    void keep(int code, const th::Module &m, int n) {
        if ((code == 10 || code == 11) && n == 5 && m.reply()[0] == '1' && held.size() < 16)
            held.push_back(WireReader(m.reply() + 1, 4).u32());
        if (code == kMsgUnload) held.clear();
    }
};

TEST(Storm, Sysmix) {
    Small s("sysmix.dll", {});
    Session run("sysmix", "Sysmix", 0x5A5);
    // 17 to 19 ask the network and the system for names: fewer of them.
    const std::vector<int> all = codes({1, 2, 3, 3, 3, 3, 10, 11, 12, 13, 14, 15, 16, 20, 21, 22}, 3,
                                       {17, 18, 19, 4, 5, 9, 23, 99});
    SysmixStream st{run.rng(), {}};
    s.run(run, run.scaled(1200), 4 << 20, [&](long n) {
        st.held.clear();
        for (long i = 0; i < n; ++i) {
            int code = run.rng().pick(all);
            int got = run.send(*s.m, code, mutate(run.rng(), st.record(code)));
            st.keep(code, *s.m, got);
        }
    });
}

TEST(Storm, Nicinfo) {
    Small s("nicinfo.dll", {14});
    s.scratch.write("term.ini", "PROTOCOL=8\r\n");
    Session run("nicinfo", "Nicinfo", 0x41C);
    const std::vector<int> all = codes({1}, 8, {2, 3, 100});
    // The IP helper can grow a 32-bit Wine process by up to 150 MiB over its
    // first few hundred calls (a fact of Wine under emulation, not of the
    // module): the warm-up takes most of that, the bound leaves room for
    // its tail.
    size_t bound = sizeof(void *) == 4 ? 24 << 20 : 2 << 20;
    s.run(run, run.scaled(600), bound, [&](long n) {
        stream(run, *s.m, n, all, [&](int code) {
            return code == kMsgHostVersion ? hostVersion(run.rng()) : junk(run.rng());
        });
    });
}

}  // namespace
}  // namespace storm
