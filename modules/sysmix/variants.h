// Tagged values to automation arguments and automation results back to
// tagged values, under the module's currency, empty-argument and string
// modes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <oaidl.h>

#include "value.h"

// Server text to a wide string in the string code page.
std::wstring sysmix_wide(std::string_view s);
// Wide text to the string code page.
std::string sysmix_narrow(const wchar_t *s, size_t length);

// Builds the argument of a tagged value into out (empty on entry).
// E_OUTOFMEMORY, E_HANDLE for an object the server does not hold, or the
// error of a currency conversion.
HRESULT sysmix_toVariant(const SysmixValue &v, VARIANT &out);

// Writes a value of the reply. An object is handed to the server with a
// reference of its own; its wire field is added to handed.
void sysmix_putVariant(WireWriter &w, const VARIANT &v, std::vector<uint32_t> &handed);
