#include "address.h"

#include <winsock2.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <windows.h>
#include <iphlpapi.h>
#include <nb30.h>

#include "zamentry.h"

namespace {

// Both libraries are loaded by name for the one request and freed after it.
struct Library {
    explicit Library(const char *name) : h(LoadLibraryA(name)) {}
    ~Library() {
        if (h) FreeLibrary(h);
    }
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;
    template <class Fn> Fn entry(const char *name) const {
        return h ? reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(h, name))) : nullptr;
    }
    HMODULE h;
};

typedef DWORD(WINAPI *GetAdaptersInfoFn)(PIP_ADAPTER_INFO, PULONG);
typedef UCHAR(WINAPI *NetbiosFn)(PNCB);

enum class Step { Missing, Failed, Found };

// Step 1: the first adapter of the IP helper's list.
Step fromIpHelper(NicAddress &out) {
    Library lib("IPHLPAPI.DLL");
    auto getAdaptersInfo = lib.entry<GetAdaptersInfoFn>("GetAdaptersInfo");
    if (!getAdaptersInfo) return Step::Missing;
    ULONG size = 0;
    DWORD rc = getAdaptersInfo(nullptr, &size);
    if ((rc != NO_ERROR && rc != ERROR_BUFFER_OVERFLOW) || size == 0) return Step::Failed;
    size_t count = size / sizeof(IP_ADAPTER_INFO) + 1;
    std::unique_ptr<IP_ADAPTER_INFO[]> list(new (std::nothrow) IP_ADAPTER_INFO[count]);
    if (!list) return Step::Failed;
    size = static_cast<ULONG>(count * sizeof(IP_ADAPTER_INFO));
    if (getAdaptersInfo(list.get(), &size) != NO_ERROR) return Step::Failed;
    std::memcpy(out.bytes.data(), list[0].Address, out.bytes.size());
    return Step::Found;
}

// The terminal's PROTOCOL setting; the last occurrence counts.
int ZAMCB keepProtocol(const char *key, const char *value, void *context) {
    if (key && value && lstrcmpiA(key, "PROTOCOL") == 0)
        *static_cast<long *>(context) = std::strtol(value, nullptr, 10);
    return 0;
}

UCHAR netbiosCommand(NetbiosFn netbios, NCB &ncb, UCHAR command) {
    ncb.ncb_command = command;
    ncb.ncb_lana_num = 0;
    return netbios(&ncb);
}

// Step 2: the adapter status of lana 0, after a reset unless the terminal
// runs protocol 8.
Step fromNetbios(NicAddress &out) {
    Library lib("NETAPI32.DLL");
    auto netbios = lib.entry<NetbiosFn>("Netbios");
    if (!netbios) return Step::Missing;
    long protocol = 0;
    ReadIniFile("term.ini", keepProtocol, &protocol);
    NCB ncb;
    if (protocol != 8) {
        std::memset(&ncb, 0, sizeof ncb);
        netbiosCommand(netbios, ncb, NCBRESET);
    }
    unsigned char status[600] = {};
    std::memset(&ncb, 0, sizeof ncb);
    std::memset(ncb.ncb_callname, ' ', NCBNAMSZ);
    ncb.ncb_callname[0] = '*';
    ncb.ncb_buffer = status;
    ncb.ncb_length = sizeof status;
    if (netbiosCommand(netbios, ncb, NCBASTAT) != NRC_GOODRET) return Step::Failed;
    std::memcpy(out.bytes.data(), status, out.bytes.size());
    return Step::Found;
}

}  // namespace

NicAddress nic_adapterAddress() {
    NicAddress a;
    Step s = fromIpHelper(a);
    if (s == Step::Missing) s = fromNetbios(a);
    a.found = s == Step::Found;
    if (!a.found) a.bytes.fill(0);
    return a;
}
