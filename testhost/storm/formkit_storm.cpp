// formkit under the storm: frames, menus, dialogs, lists, editors, tab
// dialogs, popups and batches, described and driven by hostile records,
// the host naming an 8 KiB block until a hostile code -4 says otherwise.
// Modal waits end: every request finds Escape, Enter and 775 events in the
// host's supply, popup menus are answered with Escape and message boxes with
// Cancel; no request is left out.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "descbuilder.h"
#include "host.h"
#include "menudriver.h"
#include "menuitems.h"
#include "msgbox.h"
#include "storm.h"

namespace storm {
namespace {

th::Host &H() { return th::Host::get(); }

// Objects the stream opens, updates and closes: the same few handles, so
// that requests find them often.
const std::vector<int32_t> kDialogs = {41, 42, 43}, kLists = {51, 52}, kEditors = {61}, kTabs = {71},
                           kMenus = {0x4D01, 0x4D02};

struct FormkitStream {
    Rng &r;

    int32_t handle(const std::vector<int32_t> &kind) {
        if (r.chance(15)) return n32(r, 0);
        if (r.chance(15)) {
            const std::vector<int32_t> *all[] = {&kDialogs, &kLists, &kEditors, &kTabs, &kMenus};
            return r.pick(*all[r.below(5)]);
        }
        return r.pick(kind);
    }
    int32_t anyHandle() {
        const std::vector<int32_t> *all[] = {&kDialogs, &kLists, &kEditors, &kTabs, &kMenus};
        return handle(*all[r.below(5)]);
    }
    // Texts inside descriptions stay short most of the time, so that the
    // windows they make come quickly.
    std::string shortText() {
        std::string s = text(r);
        if (s.size() > 200 && r.chance(90)) s.resize(r.below(200));
        return s;
    }

    Desc desc(int32_t owner) {
        Desc d;
        d.owner1 = owner;
        d.owner2 = n32(r, 3);
        d.id = static_cast<uint16_t>(n16(r, 0x0102));
        d.left = n8(r, 2), d.top = n8(r, 3), d.right = n8(r, 40), d.bottom = n8(r, 12);
        d.options = r.chance(70) ? 0 : static_cast<uint32_t>(r.next());
        d.ownerByte = static_cast<uint8_t>(n8(r, 0));
        d.help = n16(r, 55);
        d.caption = shortText();
        d.caption2 = r.chance(80) ? "" : shortText();
        for (uint32_t i = r.below(3); i > 0; --i) d.boxes.push_back({n8(r, 1), n8(r, 1), n8(r, 30), n8(r, 6)});
        for (uint32_t i = r.below(4); i > 0; --i) d.texts.push_back({{n8(r, 2), n8(r, 2)}, shortText()});
        for (uint32_t i = r.below(5); i > 0; --i) {
            DescField f;
            f.kind = static_cast<uint8_t>(n8(r, 1));
            f.number = static_cast<uint16_t>(n16(r, 1));
            f.type = static_cast<uint8_t>(r.chance(40) ? 7 : r.below(26) | (r.chance(10) ? 128 : 0));
            f.length = n16(r, 10);
            f.column = n8(r, 8), f.row = n8(r, 2), f.width = n8(r, 12), f.height = n8(r, 1);
            f.help = n16(r, 0);
            f.options = r.chance(60) ? 0 : static_cast<uint32_t>(r.next());
            f.header = r.chance(50) ? "" : shortText();
            f.format = r.chance(60) ? "" : r.chance(50) ? r.pick(std::vector<std::string>{"999.99", "dd.mm.yyyy", "XXXX",
                                                                                          "###,###.##", "hh:mm"})
                                                          : shortText();
            if (f.type == 7) f.value = textValue(shortText());
            else f.value = std::vector<unsigned char>(r.pick(std::vector<size_t>{0, 1, 2, 4, 8, 10, 16}), 0x5A);
            d.fields.push_back(f);
        }
        for (uint32_t i = r.below(3); i > 0; --i)
            d.panes.push_back({n8(r, 5), n8(r, 10), n8(r, 1), static_cast<uint8_t>(n8(r, 0)), shortText()});
        if (r.chance(10)) d.boxCount = static_cast<uint8_t>(n8(r, 2));
        if (r.chance(10)) d.textCount = static_cast<uint8_t>(n8(r, 2));
        if (r.chance(10)) d.fieldCount = static_cast<uint8_t>(n8(r, 2));
        if (r.chance(10)) d.paneCount = static_cast<uint8_t>(n8(r, 2));
        return d;
    }
    Record withDesc(Record head, int32_t owner) {
        ::Bytes b = desc(owner).encode();
        return head.raw(b.b.data(), b.b.size());
    }
    // A field update record: the flags say which parts follow.
    void update(Record &b) {
        uint8_t flags = static_cast<uint8_t>(r.next());
        b.u8(flags);
        if (flags & 0x01) b.u8(n8(r, 1)).i16(n16(r, 1));
        if (flags & 0x02) b.u8(static_cast<uint8_t>(r.below(26))).i16(n16(r, 10));
        if (flags & 0x04) b.u8(n8(r, 10));
        if (flags & 0x08) b.i32(n32(r, 0));
        if (flags & 0x10) {
            if (r.chance(50)) b.text(shortText());
            else b.u64(r.next());
        }
        if (flags & 0x20) b.text(r.chance(50) ? "999.99" : shortText());
        if (flags & 0x40) b.text(shortText());
        if (flags & 0x80) {
            uint8_t type = static_cast<uint8_t>(r.pick(std::vector<int>{7, 8, 18, 255, 0, 3}));
            b.u8(type);
            if (type == 7 || type == 8 || type == 18) b.text(shortText());
        }
    }
    th::MenuPack items() {
        th::MenuPack p;
        for (uint32_t i = r.below(5); i > 0; --i) {
            th::MenuItem m(n16(r, 100), n32(r, static_cast<int32_t>(100 + i)), static_cast<uint8_t>(r.below(3)),
                           r.chance(80) ? shortText() : "-", static_cast<uint8_t>(n8(r, 0)),
                           static_cast<uint8_t>(n8(r, 255)), n16(r, 0), r.chance(50) ? "" : shortText(), n16(r, 0));
            p.add(m);
        }
        return p;
    }
    Record menu(Record head, bool create) {
        th::MenuPack p = items();
        if (create) head.u16(static_cast<uint16_t>(n16(r, p.total))).i32(n32(r, p.textBytes)).i32(r.chance(90) ? 0 : n32(r, 1));
        else head.u16(static_cast<uint16_t>(n16(r, p.total))).i32(n32(r, p.textBytes));
        return head.raw(p.bytes);
    }

    Record record(int code, int depth = 0) {
        switch (code) {
        case 1: return Record().i16(n16(r, 0)).i16(n16(r, 0)).i32(r.chance(70) ? 313130 : n32(r, 313130));
        case 2: return Record().i16(0).i32(n32(r, 1));
        case 3: return Record().i16(n16(r, 0)).text(shortText()).text(shortText()).text(shortText()).text(shortText());
        case 4: case 5: return Record().i16(n16(r, 0));
        case 6: return Record().i16(n16(r, 13)).u8(n8(r, 0)).u8(n8(r, 0)).i16(n16(r, 0)).i16(n16(r, 0)).u8(n8(r, 0));
        case 7: return Record().i16(n16(r, 80)).i16(n16(r, 25)).text(shortText());
        case 11: return Record().i32(r.chance(30) ? 0 : anyHandle()).text(text(r));
        case 12: return Record().i32(r.chance(30) ? 0 : anyHandle()).i16(n16(r, 20));
        case 13: return Record().i16(n16(r, 1 + static_cast<int32_t>(r.below(3)))).i16(n16(r, 0)).i32(n32(r, 1))
                     .text(shortText()).text(shortText()).text(shortText());
        case 14: return Record().i16(n16(r, 1)).i16(n16(r, 0)).i32(handle(kDialogs)).i32(n32(r, 1)).i16(n16(r, 0))
                     .text(shortText()).text(shortText()).text(shortText());
        case 15: return Record().i16(n16(r, 1)).i16(n16(r, 2)).i32(n32(r, 1)).i16(n16(r, 0)).i16(n16(r, 0))
                     .text(shortText()).text(shortText()).text(shortText());
        case 16: return menu(Record().i32(handle(kMenus)).i32(n32(r, 7)).u8(n8(r, 2)).u8(n8(r, 3)).u8(n8(r, 1)).u8(n8(r, 2)), true);
        case 17: return menu(Record().i32(handle(kMenus)).u8(n8(r, 1)), false);
        case 18: return Record().i32(handle(kMenus));
        case 19: return Record().i32(handle(kMenus)).i32(n32(r, 101)).u8(n8(r, 0));
        case 20: return Record().i32(handle(kMenus)).i32(n32(r, 101));
        case 21: return menu(Record().i32(handle(kMenus)).i32(n32(r, -1)).i32(n32(r, 0)).u8(n8(r, 0)).u8(n8(r, 1)), false);
        case 22: return Record().i32(handle(kMenus)).u8(n8(r, 0));
        case 23: return withDesc(Record(), handle(kDialogs));
        case 24: {
            Record b = Record().i32(handle(kDialogs)).i16(n16(r, 0));
            for (uint32_t i = r.below(4); i > 0; --i) update(b);
            return b;
        }
        case 25: {
            Record b = Record().i32(handle(kDialogs));
            for (uint32_t i = r.below(4); i > 0; --i) b.u16(static_cast<uint16_t>(n16(r, 200))).u8(n8(r, 2)).u8(n8(r, 2)).text(shortText());
            return b;
        }
        case 26: {
            Record b = Record().i32(handle(kDialogs)).i16(n16(r, 0)).i16(n16(r, -1)).i16(n16(r, -1));
            update(b);
            return b;
        }
        case 27: {
            Record b = Record().i32(handle(kDialogs)).i16(n16(r, 0));
            update(b);
            return b;
        }
        case 28: return Record().i32(handle(kLists)).i32(n32(r, 1));
        case 29: return Record().i32(anyHandle());
        case 30: return Record().i32(anyHandle());
        case 31: return Record().i16(n16(r, 50)).u8(n8(r, 0)).u8(n8(r, 0)).i16(n16(r, 5)).i16(n16(r, 0)).text(shortText());
        case 32: return Record().i32(handle(kDialogs)).i16(n16(r, 0));
        case 33: return Record().i32(handle(kDialogs)).i16(n16(r, 0x100F)).i32(n32(r, 0)).i32(n32(r, 100)).i32(n32(r, 5)).i16(n16(r, 10));
        case 34: return withDesc(Record().u8(n8(r, 0)).u8(n8(r, 1)).u8(n8(r, 0)).u8(n8(r, 1)).i16(n16(r, 20)), handle(kLists))
                     .i32(n32(r, 0));
        case 35: {
            Record b = withDesc(Record().u8(n8(r, 0)).u8(n8(r, 1)).u8(n8(r, 0)).u8(n8(r, 1)).i16(n16(r, 20)), handle(kLists));
            uint32_t n = r.below(40);
            b.i32(n32(r, static_cast<int32_t>(n)));
            for (uint32_t i = 0; i < n; ++i) b.u8(static_cast<uint8_t>(r.next()));
            return b;
        }
        case 36: return Record().i32(handle(kLists)).i16(n16(r, 0)).i16(n16(r, 5)).i16(n16(r, 1));
        case 37: case 38: return Record().i32(handle(kLists)).i16(n16(r, 1));
        case 39: return Record().i32(handle(kLists)).i16(n16(r, 1)).i16(n16(r, 1));
        case 40: case 45: case 69: return Record().i32(handle(kLists));
        case 41: return Record().i32(handle(kLists)).u8(n8(r, 1)).i8(n8(r, 5));
        case 42: return Record().i32(handle(kLists)).text(shortText()).text(shortText());
        case 43: return Record().i32(handle(kLists)).i16(n16(r, 1)).i32(n32(r, 1)).u8(n8(r, 1));
        case 44: return Record().i32(handle(kLists)).i16(n16(r, 20));
        case 46: return withDesc(Record().u8(n8(r, 0)).u8(n8(r, 0)).u8(n8(r, 40)).u8(n8(r, 10)), handle(kEditors));
        case 47: return Record().i32(handle(kEditors)).i16(n16(r, 1)).i16(n16(r, 1)).i16(n16(r, 262));
        case 48: {
            std::string t = shortText();
            Record b = Record().i32(handle(kEditors)).i16(n16(r, 0)).i16(n16(r, 10)).i16(n16(r, 0)).i16(n16(r, 0)).text(t);
            for (size_t i = 0; i < t.size() && i < 300; ++i) b.u8(static_cast<uint8_t>(r.next()));
            return b;
        }
        case 49: return Record().i32(handle(kEditors));
        case 50: return Record().i16(n16(r, 1));
        case 51: return withDesc(Record().u8(n8(r, 2)).u8(n8(r, 2)).u8(n8(r, 30)).u8(n8(r, 8)), handle(kTabs))
                     .text(r.chance(50) ? "One\nTwo" : shortText());
        case 52: return Record().i32(handle(kTabs)).i16(n16(r, 1));
        case 53: return Record().i16(n16(r, 0)).text(text(r));
        case 54: case 55: return Record().i32(n32(r, 901));
        case 56: return Record().i16(n16(r, 5)).i16(n16(r, 40)).i16(n16(r, -1));
        case 57: return Record().i16(n16(r, 5));
        case 58: case 59: return Record().i16(n16(r, 5)).i32(n32(r, 2)).text(shortText()).text(shortText());
        case 60: case 61: return Record().i16(n16(r, -1)).i32(n32(r, 902));
        case 62: return Record().i32(r.chance(30) ? 0 : anyHandle()).i16(n16(r, 2)).text(shortText());
        case 63: return Record().i32(r.chance(30) ? 0 : anyHandle()).i16(n16(r, 1)).i16(n16(r, 4)).text(shortText());
        case 64: return Record().i32(r.chance(30) ? 0 : anyHandle()).i16(n16(r, 1));
        case 65: return Record().i16(0).i32(n32(r, 1)).text(shortText());
        case 67: return Record().i32(n32(r, 5)).i32(n32(r, 77));
        case 99: {
            uint32_t count = r.below(5);
            Record b = Record().i16(n16(r, static_cast<int32_t>(count)));
            for (uint32_t i = 0; i < count; ++i) {
                int inner = depth < 2 && r.chance(10) ? 99 : static_cast<int>(3 + r.below(67));
                Record payload = record(inner, depth + 1);
                b.i16(static_cast<int16_t>(inner)).i16(n16(r, static_cast<int32_t>(payload.size()))).raw(payload);
            }
            return b;
        }
        case kMsgHostVersion: return Record().zeros(18).u16(static_cast<uint16_t>(r.chance(70) ? 114 : n16(r, 88)));
        default: return r.chance(50) ? Record() : junk(r);
        }
    }
};

TEST(Storm, Formkit) {
    // The format library, loaded by name as the module does.
    SetDllDirectoryA((th::distDir() + "..\\tests\\qvformat\\full").c_str());
    H().reset();
    H().enableExtAll();
    H().maxBlockSize = kBlock;
    Session run("formkit", "Formkit", 0xF0F0);
    th::MenuDriver menus({});
    th::MessageBoxCatcher boxes(IDCANCEL);
    // The reply area holds the largest reply, as a host that names no block
    // promises.
    th::Module m("formkit.dll", 65536);
    FormkitStream st{run.rng()};
    VersionTracker told;

    auto send = [&](int code, const Record &record) {
        // Every wait for input finds in the host's supply what ends it:
        // Escape, Enter (a popup whose Escape is off) or 775.
        H().script.clear();
        for (int i = 0; i < 9; ++i) {
            int32_t key = i % 3 == 0 ? 27 : i % 3 == 1 ? 13 : 775;
            H().script.push_back([key] { H().queue.push_back(PxEvent{key, 0, 0, 0, 0, 0}); });
        }
        int fired = H().watchdogFired;
        told.flip(run.rng());
        run.send(m, code, record, told.blockNamed(code));
        told.sent(code, record, run.lastInBlock());
        if (H().watchdogFired != fired) run.fail("a wait for input did not end on Escape, Enter or 775");
        H().script.clear();
        H().queue.clear();
    };
    // The module started, a client connected and a frame open.
    auto open = [&] {
        m.start(114);
        told.version = 114;
        send(1, Record().i16(0).i16(0).i32(313130));
        send(7, Record().i16(80).i16(25).text("Storm"));
    };
    std::vector<int> all;
    for (int code = 1; code <= 69; ++code) all.push_back(code);
    for (int code : {23, 24, 26, 27, 34, 36, 48, 16, 17, 99, 99}) all.push_back(code);
    for (int code : std::vector<int>{kMsgHostVersion, kMsgLoad, kMsgUnload, -3, -5, 0, 70, 98, 100, 0x7FFFFFFF}) all.push_back(code);
    auto stream = [&](long n) {
        for (long i = 0; i < n; ++i) {
            int code = run.rng().pick(all);
            send(code, mutate(run.rng(), st.record(code)));
            // A session the stream ended is opened again, and now and then a
            // client and a frame.
            if (code == kMsgUnload) {
                open();
            } else if (run.rng().chance(2)) {
                send(1, Record().i16(0).i16(0).i32(313130));
                send(7, Record().i16(80).i16(25).text("Storm"));
            }
        }
    };
    auto end = [&] {
        send(kMsgUnload, Record());
        forgetHostRecords();
    };

    // The storm is its own warm-up (Wine's controls keep images and pens
    // of what they drew once): counted the second time.
    long count = run.scaled(400);
    open();
    stream(count);
    end();
    Usage before = usage();
    run.rewind();
    open();
    stream(count);
    end();
    run.expectNoGrowth(before, usage(), 8 << 20);
    SetDllDirectoryA(nullptr);
}

}  // namespace
}  // namespace storm
