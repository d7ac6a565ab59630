#include <cstring>

#include "netbios_standin.h"

#include <nb30.h>

namespace {
NetbiosStandIn g_state = {{0x02, 0x51, 0x56, 0x5A, 0x11, 0x22}, NRC_GOODRET, 0, {}, {}, {}, 0};
}

extern "C" {

NetbiosStandIn *WINAPI NetbiosStandInState() { return &g_state; }

UCHAR WINAPI Netbios(PNCB ncb) {
    if (!ncb) return NRC_BADDR;
    if (g_state.calls < 16) {
        g_state.commands[g_state.calls] = ncb->ncb_command;
        g_state.lanas[g_state.calls] = ncb->ncb_lana_num;
    }
    ++g_state.calls;
    switch (ncb->ncb_command) {
    case NCBRESET:
        return ncb->ncb_retcode = NRC_GOODRET;
    case NCBASTAT:
        std::memcpy(g_state.astatName, ncb->ncb_callname, sizeof g_state.astatName);
        g_state.astatLength = ncb->ncb_length;
        if (g_state.astatResult != NRC_GOODRET) return ncb->ncb_retcode = g_state.astatResult;
        if (!ncb->ncb_buffer || ncb->ncb_length < sizeof(ADAPTER_STATUS)) return ncb->ncb_retcode = NRC_BUFLEN;
        std::memset(ncb->ncb_buffer, 0, ncb->ncb_length);
        std::memcpy(ncb->ncb_buffer, g_state.address, sizeof g_state.address);
        return ncb->ncb_retcode = NRC_GOODRET;
    default:
        return ncb->ncb_retcode = NRC_ILLCMD;
    }
}

}  // extern "C"
