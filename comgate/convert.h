// Conversions between script values in the runtime's parameter lists and
// VARIANTs, SAFEARRAYs and DECIMALs, and between DISPPARAMS and lists.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "qvscript.h"

class TComgateServer;

// One entry of a parameter list.
struct CgEntry {
    QvIntf *list;
    QvWord context;
    int index;
};

// Arrays nested deeper than this, and chains of VARIANTs by reference
// longer than this (a circle never ends), are refused rather than followed.
constexpr int kCgMaxDepth = 32;

// Every conversion answers an HRESULT and lets no C++ exception out.
HRESULT cg_valueToVariant(TComgateServer &svc, const CgEntry &e, VARIANT *out);
// byRefArg: the caller passes a by-reference argument; late: mark the entry
// only when the VARIANT is by reference, after a successful conversion.
HRESULT cg_variantToValue(TComgateServer &svc, const VARIANT *v, const CgEntry &e, bool byRefArg, bool late);

// Texts between COM and scripts, in the module's ANSI code page; null reads
// as empty.
std::string cg_narrow(const wchar_t *text);
std::string cg_narrowBstr(BSTR b);
BSTR cg_widenBstr(const char *text);

// OLE automation dates.
struct CgDateParts {
    int year, month, day, hour, minute, second;
};
bool cg_partsToDate(const CgDateParts &p, double *out);
bool cg_dateToParts(double date, CgDateParts *out);

// A list for a COM caller's arguments: extra entries before the arguments,
// the put value in entry 0. argErr is written only when given.
HRESULT cg_dispParamsToArgs(TComgateServer &svc, const DISPPARAMS *dp, UINT *argErr, uint8_t flag, QvWord word,
                            int extra, QvIntf **outList);
// Writes the entries back through the caller's by-reference arguments.
HRESULT cg_storeByRefArgs(TComgateServer &svc, const DISPPARAMS *dp, QvIntf *list, int offset, QvWord context = 0);

// The arguments of a call into a COM object, made from a list.
struct CgDispHolder {
    DISPPARAMS params{};
    DISPID putId = DISPID_PROPERTYPUT;
    QvIntf *list = nullptr;
    std::vector<VARIANT> args;    // rgvarg
    std::vector<VARIANT> extras;  // the values by-reference arguments point to
    std::vector<int> extraEntry;  // the entry of each extra
    std::vector<bool> extraVariant;
};
HRESULT cg_argsToDispParams(TComgateServer &svc, QvIntf *list, bool put, CgDispHolder **out);
HRESULT cg_writeBack(TComgateServer &svc, CgDispHolder *h);
HRESULT cg_storeResult(TComgateServer &svc, CgDispHolder *h, const VARIANT *result);
void cg_releaseParams(CgDispHolder *h);
