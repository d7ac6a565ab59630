#include "errors.h"

#include "module.h"
#include "wire.h"

namespace {

// Indexed by HRESULT - 0x80020001; 0x80020002 has no name.
const char *const kDispNames[] = {
    "DISP_E_UNKNOWNINTERFACE", "",
    "DISP_E_MEMBERNOTFOUND",   "DISP_E_PARAMNOTFOUND",
    "DISP_E_TYPEMISMATCH",     "DISP_E_UNKNOWNNAME",
    "DISP_E_NONAMEDARGS",      "DISP_E_BADVARTYPE",
    "DISP_E_EXCEPTION",        "DISP_E_OVERFLOW",
    "DISP_E_BADINDEX",         "DISP_E_UNKNOWNLCID",
    "DISP_E_ARRAYISLOCKED",    "DISP_E_BADPARAMCOUNT",
    "DISP_E_PARAMNOTOPTIONAL", "DISP_E_BADCALLEE",
    "DISP_E_NOTACOLLECTION",
};
constexpr uint32_t kDispFirst = 0x80020001u;

const wchar_t *messageOf(SysmixError e) {
    switch (e) {
    case SysmixError::noMember: return L": нет такого свойства/метода!";
    case SysmixError::noPutValue: return L": Set, не задано новое значение свойства!";
    case SysmixError::noMemory: return L": нет памяти!";
    case SysmixError::invokeFailed: return L": Invoke, ошибка вызова свойства/метода";
    case SysmixError::noClsid: return L": не могу получить CLSID!";
    case SysmixError::noUnknown: return L": не могу получить IID_IUnknown!";
    case SysmixError::noDispatch: return L": не могу получить IID_IDispatch!";
    case SysmixError::runningTable: return L": ошибка чтения таблицы объектов!";
    }
    return L"";
}

// The messages are written in the DOS code page whatever the string mode.
constexpr UINT kMessageCodePage = 866;

}  // namespace

std::string sysmix_errorText(SysmixError e) {
    const wchar_t *w = messageOf(e);
    char buf[256];
    int n = WideCharToMultiByte(kMessageCodePage, 0, w, -1, buf, sizeof buf, nullptr, nullptr);
    return n > 0 ? std::string(buf, n - 1) : std::string();
}

const char *sysmix_hresultName(HRESULT hr) {
    uint32_t index = static_cast<uint32_t>(hr) - kDispFirst;
    return index < sizeof kDispNames / sizeof kDispNames[0] ? kDispNames[index] : "";
}

int sysmix_errorReply(unsigned char *reply, SysmixError e, HRESULT hr) {
    std::string text = sysmix_errorText(e) + " " + sysmix_hresultName(hr);
    WireWriter w(reply, kSysmixReplyCapacity);
    w.u8(kSysmixFailed);
    w.text(text);
    return static_cast<int>(w.size());
}
