#include "oemtext.h"

#include <climits>

#include <windows.h>

namespace {

std::wstring toWide(UINT codePage, std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    int len = static_cast<int>(text.size());
    int n = MultiByteToWideChar(codePage, 0, text.data(), len, nullptr, 0);
    if (n <= 0) return {};
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), len, &w[0], n);
    return w;
}

std::string fromWide(UINT codePage, std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX / 4) return {};
    int len = static_cast<int>(wide.size());
    int n = WideCharToMultiByte(codePage, 0, wide.data(), len, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), len, &s[0], n, nullptr, nullptr);
    return s;
}

}  // namespace

std::wstring oem_toWide(std::string_view oem) { return toWide(CP_OEMCP, oem); }

std::string oem_fromWide(std::wstring_view wide) { return fromWide(CP_OEMCP, wide); }

std::string oem_toAnsi(std::string_view oem) { return fromWide(CP_ACP, toWide(CP_OEMCP, oem)); }

std::string oem_fromAnsi(std::string_view ansi) { return fromWide(CP_OEMCP, toWide(CP_ACP, ansi)); }
