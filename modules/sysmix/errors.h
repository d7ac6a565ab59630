// Error replies: '0', then the message and the name of the HRESULT joined by
// a blank, with its terminator.
#pragma once

#include <cstdint>
#include <string>

#include <windows.h>

enum class SysmixError {
    noMember,      // the member name is unknown to the object
    noPutValue,    // a property put without a value
    noMemory,
    invokeFailed,
    noClsid,
    noUnknown,
    noDispatch,
    runningTable,  // the running object table could not be read
};

// The message in code page 866.
std::string sysmix_errorText(SysmixError e);
// The name of a dispatch HRESULT, empty outside the table.
const char *sysmix_hresultName(HRESULT hr);
// Writes the error reply and returns its length.
int sysmix_errorReply(unsigned char *reply, SysmixError e, HRESULT hr = S_OK);
