// The test-built stand-in of NETAPI32.DLL's Netbios: it records the commands
// it is given and answers an adapter status with a chosen address.
#pragma once

#include <windows.h>

struct NetbiosStandIn {
    unsigned char address[6];  // the adapter status answer
    UCHAR astatResult;         // return code of an adapter status
    int calls;
    UCHAR commands[16];
    UCHAR lanas[16];
    char astatName[16];        // call name of the last adapter status
    WORD astatLength;          // its buffer length
};

// Export "NetbiosStandIn": the stand-in's state, shared with the test.
typedef NetbiosStandIn *(WINAPI *NetbiosStandInFn)(void);
