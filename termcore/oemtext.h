// Texts from the server are in the OEM code page; the file system is asked
// in UTF-16 so that every name the server can spell reaches the disk as is.
#pragma once

#include <string>
#include <string_view>

std::wstring oem_toWide(std::string_view oem);
std::string oem_fromWide(std::wstring_view wide);
// For the few Windows calls that take only the Windows code page.
std::string oem_toAnsi(std::string_view oem);
// Names that COM clients hand over in the Windows code page.
std::string oem_fromAnsi(std::string_view ansi);
