// Every deliverable through a life cycle with the stand-in terminal or
// interpreter: each calls only the host services it is known to use. A
// module that must never ask for the block size gets a terminal table that
// ends, at a guard page, before slot 26.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

#include "interp.h"
#include "module.h"
#include "qvsclient.h"
#include "regmodule.h"

namespace {

th::Host &H() { return th::Host::get(); }
th::Interp &I() { return th::Interp::get(); }

using Slots = std::set<int>;

// The slots called that are not in the allowed set.
Slots beyond(const Slots &called, const Slots &allowed) {
    Slots out;
    for (int s : called)
        if (!allowed.count(s)) out.insert(s);
    return out;
}

std::string listed(const Slots &s) {
    std::string t;
    for (int n : s) t += (t.empty() ? "" : " ") + std::to_string(n);
    return t;
}

// A terminal with every service the stand-in has; `extSlots` long.
void freshTerminal(int extSlots = kZamExtSlots) {
    H().reset();
    H().setExtSlots(extSlots);
    H().enableExtAll();
}

void expectOnly(const char *module, const Slots &ext, const Slots &app) {
    EXPECT_EQ("", listed(beyond(H().extSlotsCalled(), ext))) << module << ": ZamExtCallBacks slots beyond its own";
    EXPECT_EQ("", listed(beyond(H().appSlotsCalled(), app))) << module << ": AppIntf slots beyond its own";
}

// Codes -1 and -2 with their plain flag in place of a record.
int lifeCycle(th::Module &m, int code, bool flag) {
    auto f = reinterpret_cast<ZamExtMessageProcFn>(m.proc(m.messageProcName));
    unsigned char reply[16];
    return f ? f(static_cast<unsigned>(code), flag ? reinterpret_cast<const void *>(1) : nullptr, reply) : -1;
}

// The small message modules: their own export names, no service object.
struct SmallModule : th::Module {
    explicit SmallModule(const char *file) : th::Module(file) {
        setCallBacksName = "ZamSetCallBacks";
        messageProcName = "_ZamExtMessageProc";
        setCallBacks(H().ext());
        hostVersion(114);
    }
};

TEST(HostDoors, FilexferUsesCompareNamesAndReadIniFileOnly) {
    freshTerminal(26);
    th::TempDir dir;
    dir.write("x.ini", "KEY=value\r\n");
    {
        SmallModule m("filexfer.dll");
        m.message(1, th::Bytes().zeros(4).text(dir.file("out.bin")));
        m.message(3, th::Bytes().i32(4).raw("data", 4));
        m.message(2, th::Bytes().zeros(4));
        m.message(4, th::Bytes().i32(1).text("KEY").text(dir.file("x.ini")));
        EXPECT_EQ("value", std::string(reinterpret_cast<const char *>(m.reply()) + 4));
        for (int code : {5, 6, 7, 8}) m.message(code, th::Bytes().zeros(4).text(dir.file("out.bin")));
        m.message(9, th::Bytes().zeros(4).i32(2));
        lifeCycle(m, kMsgUnload, false);
    }
    expectOnly("filexfer", {1, 14}, {});
}

TEST(HostDoors, NicinfoUsesReadIniFileOnly) {
    freshTerminal(26);
    {
        SmallModule m("nicinfo.dll");
        m.message(1, th::Bytes().zeros(8));
        lifeCycle(m, kMsgUnload, false);
    }
    expectOnly("nicinfo", {14}, {});
}

TEST(HostDoors, SysmixUsesNoTerminalService) {
    freshTerminal(26);
    {
        SmallModule m("sysmix.dll");
        for (int code : {12, 17, 19, 22, 13, 2}) m.message(code, th::Bytes().zeros(16));
        lifeCycle(m, kMsgUnload, false);
    }
    expectOnly("sysmix", {}, {});
}

// comscript and comgate keep the terminal's tables and never read them.
TEST(HostDoors, ComscriptAndComgateUseNoTerminalService) {
    th::Qvs qvs;  // comscript imports the interpreter library: this copy
    for (const char *file : {"comscript.dll", "comgate.dll"}) {
        freshTerminal(26);
        {
            th::Module m(file);
            EXPECT_EQ(309, m.setCallBacks(H().ext()));
            EXPECT_EQ(H().app(), m.setup(H().app()));
            m.hostVersion(114);
            lifeCycle(m, kMsgLoad, true);
            const char *name = "NoSuchClass";
            void *record[7] = {nullptr, nullptr, const_cast<char *>(name)};
            auto f = reinterpret_cast<ZamExtMessageProcFn>(m.proc(m.messageProcName));
            ASSERT_NE(nullptr, f) << file;
            for (int code : {kMsgClassInfo, kMsgCreate, kMsgUnloadQuery, kMsgDropLocks})
                f(static_cast<unsigned>(code), record, nullptr);
            m.message(1, th::Bytes().zeros(32));
            lifeCycle(m, kMsgUnload, true);
        }
        expectOnly(file, {}, {});
    }
}

TEST(HostDoors, TermcoreUsesItsFileChannelAndEditorServicesOnly) {
    freshTerminal();
    th::TempDir dir;
    std::string up = dir.file("up"), dn = dir.file("dn");
    CreateDirectoryA(up.c_str(), nullptr);
    CreateDirectoryA(dn.c_str(), nullptr);
    dir.write("termcore.ini", "UPDIR=" + up + "\r\nDNDIR=" + dn + "\r\n");
    th::writeFile(dn + "\\a.txt", "some text");
    H().iniDir = dir.path();
    {
        th::Module m("termcore.d32");
        m.start(114);
        lifeCycle(m, kMsgLoad, true);
        m.message(106, th::Bytes());
        m.message(107, th::Bytes().u8(0).text("a.txt"));
        m.message(100, th::Bytes().zeros(9).u8(1).u8(1).u16(2020).zeros(2).u8(255).zeros(12).text("b.txt"));
        m.message(100, th::Bytes().i32(1).i32(3).u8(2).raw("abc", 3));
        m.message(101, th::Bytes().zeros(8).u8(0).text("a.txt"));
        m.message(101, th::Bytes().i32(1).i32(100).u8(1));
        m.message(101, th::Bytes().zeros(8).u8(3));
        std::string pattern = dn + "\\*.*";
        m.message(102, th::Bytes().zeros(4).u8(0).i32(3).i32(0).i16(0).text(pattern));
        m.message(102, th::Bytes().zeros(4).u8(3));
        m.message(103, th::Bytes().zeros(4).i32(6).text("a.txt").text("c.txt"));
        m.message(105, th::Bytes().zeros(4).i16(2).text("c.txt"));
        lifeCycle(m, kMsgUnload, false);
        lifeCycle(m, kMsgUnload, true);
    }
    EXPECT_TRUE(H().extSlotsCalled().count(26)) << "the block of request 101";
    expectOnly("termcore", {8, 9, 11, 12, 14, 15, 16, 18, 19, 26}, {1, 3, 4, 5, 6, 7});
}

TEST(HostDoors, FormkitUsesTheTerminalLinkOnly) {
    freshTerminal();
    {
        th::Module m("formkit.dll");
        m.start(114);
        m.message(1, th::Bytes().i16(0).i16(0).i32(313130));
        m.message(7, th::Bytes().i16(40).i16(12).text("Doors"));
        m.message(4, th::Bytes().i16(1));
        m.message(6, th::Bytes().i32(13).i32(0).i32(0).i32(0).i32(0).i32(0));
        m.message(5, th::Bytes().i16(0));
        m.message(8);
        m.message(2, th::Bytes().i16(0).i32(0));
        m.message(kMsgUnload);
    }
    expectOnly("formkit", {18, 26}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 35, 40});
}

// The registration modules meet the interpreter's table only.
TEST(HostDoors, RegistrationModulesUseTheirInterpreterSlotsOnly) {
    struct Case {
        const char *file;
        std::vector<std::string> calls;
        Slots allowed;
    } cases[] = {
        {"dirwalk.dll", {"GetCWD", "CreateGUID", "FileFindClose"}, {3, 4, 6, 7, 9, 11}},
        {"regionfmt.dll", {"GetLocaleDecimalSeparator", "GetLocaleEnglishNameLanguage"}, {3, 6, 11}},
        {"filepick.dll", {}, {3, 4, 6, 8, 11, 81, 85, 152, 156, 164, 165, 172, 176}},
    };
    for (const Case &c : cases) {
        I().reset();
        I().enableAll();
        {
            th::RegModule reg(c.file);
            for (const std::string &name : c.calls) reg.call(name);
        }
        Slots called(I().calls.begin(), I().calls.end());
        EXPECT_TRUE(I().trapsHit.empty()) << c.file;
        EXPECT_EQ("", listed(beyond(called, c.allowed))) << c.file;
    }
}

}  // namespace
