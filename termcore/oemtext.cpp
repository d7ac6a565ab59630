#include "oemtext.h"

#include <climits>

#include <windows.h>

std::wstring oem_toWide(std::string_view oem) {
    if (oem.empty() || oem.size() > INT_MAX) return {};
    int n = MultiByteToWideChar(CP_OEMCP, 0, oem.data(), static_cast<int>(oem.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, oem.data(), static_cast<int>(oem.size()), &w[0], n);
    return w;
}

std::string oem_fromWide(std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX / 4) return {};
    int len = static_cast<int>(wide.size());
    int n = WideCharToMultiByte(CP_OEMCP, 0, wide.data(), len, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_OEMCP, 0, wide.data(), len, &s[0], n, nullptr, nullptr);
    return s;
}

std::string oem_toAnsi(std::string_view oem) {
    std::wstring w = oem_toWide(oem);
    if (w.empty()) return {};
    int len = static_cast<int>(w.size());
    int n = WideCharToMultiByte(CP_ACP, 0, w.data(), len, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), len, &s[0], n, nullptr, nullptr);
    return s;
}
