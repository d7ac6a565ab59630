// nicinfo.dll loaded and driven by the stand-in terminal host. The NetBIOS
// fallback runs in a child process of this test in which the IP helper is
// disabled and NETAPI32.DLL is the test-built stand-in.
#include <winsock2.h>

#include <gtest/gtest.h>

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

const char kChildName[] = "nicinfo_netbios_child.exe";

std::unique_ptr<th::Module> loadNicinfo() {
    auto m = std::make_unique<th::Module>("nicinfo.dll");
    m->setCallBacksName = "ZamSetCallBacks";
    m->messageProcName = "_ZamExtMessageProc";
    EXPECT_EQ(304, m->setCallBacks(th::Host::get().ext()));
    return m;
}

// Request 1's status and address bytes; the reply is ten bytes long.
std::string ask(th::Module &m) {
    EXPECT_EQ(10, m.message(1));
    EXPECT_TRUE(m.replyUntouchedFrom(10));
    return std::string(reinterpret_cast<const char *>(m.reply()), 10);
}

std::string reply(int32_t status, const void *address) {
    std::string s(reinterpret_cast<const char *>(&status), 4);
    return s + (address ? std::string(static_cast<const char *>(address), 6) : std::string(6, '\0'));
}

TEST(Nicinfo, AddressIsTheFirstAdapterOfTheIpHelper) {
    // Slot 14 stays a trap: with an IP helper no settings are read.
    th::Host::get().reset();
    auto m = loadNicinfo();
    auto dllMain = reinterpret_cast<ZamDllMainFn>(m->proc("ZamDllMain"));
    ASSERT_NE(nullptr, dllMain);
    EXPECT_EQ(1, dllMain(m->handle(), DLL_PROCESS_ATTACH, nullptr));
    for (int code : {0, 2, -1, -2, -4}) {
        EXPECT_EQ(0, m->message(code, th::Bytes().zeros(32))) << code;
        EXPECT_TRUE(m->replyUntouchedFrom(0)) << code;
    }
    std::string got = ask(*m);

    HMODULE lib = LoadLibraryA("IPHLPAPI.DLL");
    ASSERT_NE(nullptr, lib);
    auto getAdaptersInfo = reinterpret_cast<DWORD(WINAPI *)(PIP_ADAPTER_INFO, PULONG)>(
        reinterpret_cast<void *>(GetProcAddress(lib, "GetAdaptersInfo")));
    ULONG size = 0;
    getAdaptersInfo(nullptr, &size);
    std::vector<IP_ADAPTER_INFO> list(size / sizeof(IP_ADAPTER_INFO) + 1);
    size = static_cast<ULONG>(list.size() * sizeof(IP_ADAPTER_INFO));
    bool found = getAdaptersInfo(list.data(), &size) == NO_ERROR;
    FreeLibrary(lib);
    EXPECT_EQ(found ? reply(0, list[0].Address) : reply(1, nullptr), got);
}

// A copy of this test program beside the NETAPI32.DLL stand-in, with the IP
// helper disabled for that program's name only.
TEST(Nicinfo, WithoutIpHelperTheAddressComesFromNetbios) {
    std::string child = th::exeDir() + "netbios\\" + kChildName;
    ASSERT_TRUE(CopyFileA(th::exePath().c_str(), child.c_str(), FALSE)) << child;
    HKEY key;
    std::string path = std::string("Software\\Wine\\AppDefaults\\") + kChildName + "\\DllOverrides";
    ASSERT_EQ(0, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                 nullptr));
    RegSetValueExA(key, "iphlpapi", 0, REG_SZ, reinterpret_cast<const BYTE *>(""), 1);
    RegSetValueExA(key, "netapi32", 0, REG_SZ, reinterpret_cast<const BYTE *>("native"), 7);
    RegCloseKey(key);
    EXPECT_TRUE(th::runChild("NetbiosChild", {}, child));
}

// Exists only in the child (runChild), whose NETAPI32.DLL is the stand-in.
struct NetbiosChild : ::testing::Test {
    void TestBody() override;
};
void NetbiosChild::TestBody() {
    ASSERT_EQ(nullptr, LoadLibraryA("IPHLPAPI.DLL")) << "the IP helper should be disabled here";
    HMODULE netapi = LoadLibraryA("NETAPI32.DLL");
    ASSERT_NE(nullptr, netapi);
    auto stateOf =
        reinterpret_cast<NetbiosStandInFn>(reinterpret_cast<void *>(GetProcAddress(netapi, "NetbiosStandIn")));
    ASSERT_NE(nullptr, stateOf) << "NETAPI32.DLL is not the stand-in";
    NetbiosStandIn *state = stateOf();
    th::TempDir dir;
    th::Host::get().reset();
    th::Host::get().enableExt({14});
    th::Host::get().iniDir = dir.path();
    auto m = loadNicinfo();

    // Protocol 8 skips the reset; the last setting counts; no term.ini is 0.
    const std::vector<UCHAR> both{NCBRESET, NCBASTAT}, astat{NCBASTAT};
    const std::pair<const char *, std::vector<UCHAR>> cases[] = {
        {"HOST=server\r\nPROTOCOL=2\r\n", both},   {"PROTOCOL=8\r\n", astat},
        {"protocol = 8\r\n", astat},               {"PROTOCOL=8\r\nPROTOCOL=3\r\n", both},
        {"PROTOCOL=3\r\nPROTOCOL=8\r\n", astat},   {"OTHER=8\r\n", both},
        {nullptr, both},
    };
    for (const auto &[ini, commands] : cases) {
        if (ini) dir.write("term.ini", ini);
        else DeleteFileA(dir.file("term.ini").c_str());
        state->calls = 0;
        state->astatResult = NRC_GOODRET;
        EXPECT_EQ(reply(0, state->address), ask(*m)) << ini;
        EXPECT_EQ(commands, std::vector<UCHAR>(state->commands, state->commands + state->calls)) << ini;
        EXPECT_EQ(0, state->lanas[0]);
        EXPECT_EQ(0, state->lanas[state->calls - 1]);
        EXPECT_EQ(std::string("*               "), std::string(state->astatName, 16));
        EXPECT_EQ(600, state->astatLength);
    }
    EXPECT_EQ(std::vector<std::string>(7, "term.ini"), th::Host::get().iniReads);
    state->astatResult = NRC_SYSTEM;
    EXPECT_EQ(reply(1, nullptr), ask(*m));
    m.reset();
    FreeLibrary(netapi);
}

const bool kChildCase = th::registerChildCase<NetbiosChild, NetbiosChild>("NetbiosChild", "FallbackAnswers");

}  // namespace
