// An automation object built by the test: a run-time type library, class
// information and one connection point. Members: Fire(n) raises Ping(n)
// and then Ask(v) with v by reference; Value (get/put, I4); Obj (get/putref,
// object); Picky() fails with DISP_E_MEMBERNOTFOUND when given a result;
// _Secret() is hidden. Events: Ping(I4), Ask(VARIANT by reference), _Quiet().
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

// {6C3F2E10-1B7A-4C55-9E0D-2A1B3C4D5E60}
extern const CLSID CLSID_EvServer;
extern const IID IID_EvSource;

struct EvServerStats {
    long sinks = 0;          // connected now
    long lastAsk = 0;        // what the handler left in Ask's argument
    VARTYPE lastAskType = 0;
    WORD lastPutFlags = 0;
    int pickyCalls = 0;
    HRESULT lastFire = S_OK;
    bool rejectNext = false;  // the next creation answers E_INVALIDARG
    bool bare = false;        // new objects offer no class information
    int created = 0;
};
EvServerStats &evStats();

// Registers the class in this process; the cookie for CoRevokeClassObject.
HRESULT evRegister(DWORD *cookie);
// A new instance, for the running-object table.
IUnknown *evNew();
