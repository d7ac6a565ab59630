// nicinfo.dll loaded and driven by the stand-in terminal host. The NetBIOS
// fallback runs in a child process of this test in which the IP helper is
// disabled and NETAPI32.DLL is the test-built stand-in.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <iphlpapi.h>
#include <nb30.h>

#include "child.h"
#include "module.h"
#include "netbios_standin.h"
#include "wire.h"
#include "zam_interp.h"

namespace {

using Mac = std::array<uint8_t, 6>;

struct NicReply {
    int length;
    int32_t status;
    Mac address;
};

std::unique_ptr<th::Module> loadNicinfo() {
    auto m = std::make_unique<th::Module>("nicinfo.dll");
    m->setCallBacksName = "ZamSetCallBacks";
    m->messageProcName = "_ZamExtMessageProc";
    EXPECT_EQ(304, m->setCallBacks(th::Host::get().ext()));
    return m;
}

NicReply ask(th::Module &m) {
    NicReply r{};
    r.length = m.message(1);
    WireReader w(m.reply(), 10);
    r.status = w.i32();
    std::memcpy(r.address.data(), w.bytes(6), 6);
    EXPECT_TRUE(m.replyUntouchedFrom(10));
    return r;
}

const char kChildName[] = "nicinfo_netbios_child.exe";

TEST(Nicinfo, EntryExportsAnswerAsTheHostExpects) {
    th::Host::get().reset();
    auto m = loadNicinfo();
    auto dllMain = reinterpret_cast<ZamDllMainFn>(m->proc("ZamDllMain"));
    ASSERT_NE(nullptr, dllMain);
    EXPECT_EQ(1, dllMain(m->handle(), DLL_PROCESS_ATTACH, nullptr));
    for (int code : {0, 2, -1, -2, -4}) {
        EXPECT_EQ(0, m->message(code, th::Bytes().zeros(32))) << code;
        EXPECT_TRUE(m->replyUntouchedFrom(0)) << code;
    }
}

TEST(Nicinfo, AddressIsTheFirstAdapterOfTheIpHelper) {
    // Slot 14 stays a trap: with an IP helper no settings are read.
    th::Host::get().reset();
    auto m = loadNicinfo();
    NicReply r = ask(*m);
    EXPECT_EQ(10, r.length);

    HMODULE lib = LoadLibraryA("IPHLPAPI.DLL");
    ASSERT_NE(nullptr, lib);
    auto getAdaptersInfo = reinterpret_cast<DWORD(WINAPI *)(PIP_ADAPTER_INFO, PULONG)>(
        reinterpret_cast<void *>(GetProcAddress(lib, "GetAdaptersInfo")));
    ASSERT_NE(nullptr, getAdaptersInfo);
    ULONG size = 0;
    getAdaptersInfo(nullptr, &size);
    std::vector<IP_ADAPTER_INFO> list(size / sizeof(IP_ADAPTER_INFO) + 1);
    size = static_cast<ULONG>(list.size() * sizeof(IP_ADAPTER_INFO));
    DWORD rc = getAdaptersInfo(list.data(), &size);
    FreeLibrary(lib);
    if (rc == NO_ERROR) {
        Mac expected;
        std::memcpy(expected.data(), list[0].Address, 6);
        EXPECT_EQ(0, r.status);
        EXPECT_EQ(expected, r.address);
    } else {
        EXPECT_EQ(1, r.status);
        EXPECT_EQ(Mac{}, r.address);
    }
}

// A copy of this test program beside the NETAPI32.DLL stand-in, with the IP
// helper disabled for that program's name only.
std::string prepareChild() {
    std::string child = th::exeDir() + "netbios\\" + kChildName;
    if (!CopyFileA(th::exePath().c_str(), child.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy the test program to " << child;
        return "";
    }
    HKEY key;
    std::string path = std::string("Software\\Wine\\AppDefaults\\") + kChildName + "\\DllOverrides";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)) {
        ADD_FAILURE() << "cannot write " << path;
        return "";
    }
    RegSetValueExA(key, "iphlpapi", 0, REG_SZ, reinterpret_cast<const BYTE *>(""), 1);
    RegSetValueExA(key, "netapi32", 0, REG_SZ, reinterpret_cast<const BYTE *>("native"), 7);
    RegCloseKey(key);
    return child;
}

TEST(Nicinfo, WithoutIpHelperTheAddressComesFromNetbios) {
    std::string child = prepareChild();
    ASSERT_FALSE(child.empty());
    EXPECT_TRUE(th::runChild("NetbiosChild", {}, child));
}

// The cases below exist only in the child (runChild), whose NETAPI32.DLL is
// the stand-in beside it.
struct NetbiosChild : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(nullptr, LoadLibraryA("IPHLPAPI.DLL")) << "the IP helper should be disabled here";
        netapi = LoadLibraryA("NETAPI32.DLL");
        ASSERT_NE(nullptr, netapi);
        auto stateOf = reinterpret_cast<NetbiosStandInFn>(
            reinterpret_cast<void *>(GetProcAddress(netapi, "NetbiosStandIn")));
        ASSERT_NE(nullptr, stateOf) << "NETAPI32.DLL is not the stand-in";
        state = stateOf();
        state->calls = 0;
        state->astatResult = NRC_GOODRET;
        th::Host::get().reset();
        th::Host::get().enableExt({14});
        th::Host::get().iniDir = dir.path();
        m = loadNicinfo();
    }
    void TearDown() override {
        m.reset();
        if (netapi) FreeLibrary(netapi);
    }
    std::vector<UCHAR> commands() const {
        return std::vector<UCHAR>(state->commands, state->commands + (state->calls < 16 ? state->calls : 16));
    }

    HMODULE netapi = nullptr;
    NetbiosStandIn *state = nullptr;
    th::TempDir dir;
    std::unique_ptr<th::Module> m;
};

struct ResetThenAdapterStatusOfLanaZero : NetbiosChild {
    void TestBody() override;
};
void ResetThenAdapterStatusOfLanaZero::TestBody() {
    dir.write("term.ini", "HOST=server\r\nPROTOCOL=2\r\n");
    NicReply r = ask(*m);
    EXPECT_EQ(10, r.length);
    EXPECT_EQ(0, r.status);
    Mac expected;
    std::memcpy(expected.data(), state->address, 6);
    EXPECT_EQ(expected, r.address);
    EXPECT_EQ((std::vector<UCHAR>{NCBRESET, NCBASTAT}), commands());
    EXPECT_EQ(0, state->lanas[0]);
    EXPECT_EQ(0, state->lanas[1]);
    EXPECT_EQ(std::string("*               "), std::string(state->astatName, 16));
    EXPECT_EQ(600, state->astatLength);
    EXPECT_EQ((std::vector<std::string>{"term.ini"}), th::Host::get().iniReads);
}

struct ProtocolEightSkipsTheResetAndTheLastSettingCounts : NetbiosChild {
    void TestBody() override;
};
void ProtocolEightSkipsTheResetAndTheLastSettingCounts::TestBody() {
    struct Case {
        const char *ini;
        std::vector<UCHAR> commands;
    } cases[] = {
        {"PROTOCOL=8\r\n", {NCBASTAT}},
        {"protocol = 8\r\n", {NCBASTAT}},
        {"PROTOCOL=8\r\nPROTOCOL=3\r\n", {NCBRESET, NCBASTAT}},
        {"PROTOCOL=3\r\nPROTOCOL=8\r\n", {NCBASTAT}},
        {"OTHER=8\r\n", {NCBRESET, NCBASTAT}},
    };
    for (const Case &c : cases) {
        dir.write("term.ini", c.ini);
        state->calls = 0;
        EXPECT_EQ(0, ask(*m).status) << c.ini;
        EXPECT_EQ(c.commands, commands()) << c.ini;
    }
    // No term.ini at all: protocol 0, so a reset.
    DeleteFileA(dir.file("term.ini").c_str());
    state->calls = 0;
    EXPECT_EQ(0, ask(*m).status);
    EXPECT_EQ((std::vector<UCHAR>{NCBRESET, NCBASTAT}), commands());
}

struct AFailedAdapterStatusRepliesStatusOne : NetbiosChild {
    void TestBody() override;
};
void AFailedAdapterStatusRepliesStatusOne::TestBody() {
    state->astatResult = NRC_SYSTEM;
    NicReply r = ask(*m);
    EXPECT_EQ(10, r.length);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(Mac{}, r.address);
}

const bool kChildCases[] = {
    th::registerChildCase<NetbiosChild, ResetThenAdapterStatusOfLanaZero>(
        "NetbiosChild", "ResetThenAdapterStatusOfLanaZero"),
    th::registerChildCase<NetbiosChild, ProtocolEightSkipsTheResetAndTheLastSettingCounts>(
        "NetbiosChild", "ProtocolEightSkipsTheResetAndTheLastSettingCounts"),
    th::registerChildCase<NetbiosChild, AFailedAdapterStatusRepliesStatusOne>(
        "NetbiosChild", "AFailedAdapterStatusRepliesStatusOne"),
};

}  // namespace
