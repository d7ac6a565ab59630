// Workstation requests: the host name and addresses, the adapter address
// through NetBIOS and the user name.
#include <winsock2.h>
#include <windows.h>
#include <nb30.h>

#include <cstring>
#include <string>
#include <string_view>

#include "module.h"
#include "wire.h"

namespace {

// Names of the workstation requests are at most this long.
constexpr DWORD kNameMax = 16;
constexpr WORD kAdapterStatusSize = 600;
constexpr size_t kAdapterAddressSize = 6;

std::string computerName() {
    char buf[kNameMax + 1];
    DWORD n = sizeof buf;
    return GetComputerNameA(buf, &n) ? std::string(buf, n) : std::string();
}

// Winsock is started for one lookup and ended after it.
class WinsockSession {
public:
    WinsockSession() { ok_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
    ~WinsockSession() {
        if (ok_) WSACleanup();
    }
    WinsockSession(const WinsockSession &) = delete;
    WinsockSession &operator=(const WinsockSession &) = delete;
    bool ok() const { return ok_; }

private:
    WSADATA data_;
    bool ok_ = false;
};

// Count, name, address length and the addresses, at most 255 of them.
int hostReply(unsigned char *reply, const hostent &h) {
    size_t count = 0;
    while (count < 255 && h.h_addr_list[count]) ++count;
    size_t length = h.h_length > 0 ? static_cast<size_t>(h.h_length) : 0;
    WireWriter w(reply, kSysmixReplyCapacity);
    w.u8(static_cast<uint8_t>(count));
    w.text(h.h_name ? h.h_name : "");
    w.i16(static_cast<int16_t>(length));
    for (size_t i = 0; i < count; ++i) w.bytes(h.h_addr_list[i], length);
    return w.ok() ? static_cast<int>(w.size()) : -1;
}

}  // namespace

int sysmix_hostAddresses(const SysmixRequest &req) {
    std::string name = computerName();
    WinsockSession ws;
    const hostent *h = ws.ok() ? gethostbyname(name.c_str()) : nullptr;
    int n = h ? hostReply(req.reply, *h) : -1;
    if (n >= 0) return n;
    req.reply[0] = 0;
    req.reply[1] = 0;
    return 2;
}

int sysmix_adapterAddress(const SysmixRequest &req) {
    NCB reset{};
    reset.ncb_command = NCBRESET;
    reset.ncb_lana_num = 0;
    Netbios(&reset);

    unsigned char status[kAdapterStatusSize] = {};
    NCB ncb{};
    ncb.ncb_command = NCBASTAT;
    ncb.ncb_lana_num = 0;
    std::memset(ncb.ncb_callname, ' ', NCBNAMSZ);
    ncb.ncb_callname[0] = '*';
    ncb.ncb_buffer = status;
    ncb.ncb_length = kAdapterStatusSize;
    WireWriter w(req.reply, kSysmixReplyCapacity);
    if (Netbios(&ncb) != NRC_GOODRET) {
        w.u8(1);
    } else {
        w.u8(0);
        w.bytes(status, kAdapterAddressSize);
    }
    return static_cast<int>(w.size());
}

int sysmix_userName(const SysmixRequest &req) {
    char buf[kNameMax + 1];
    DWORD n = sizeof buf;
    WireWriter w(req.reply, kSysmixReplyCapacity);
    if (GetUserNameA(buf, &n)) {
        w.u8(0);
        w.text(std::string_view(buf));
    } else {
        w.u8(1);
        w.u8(0);
    }
    return static_cast<int>(w.size());
}
