#include "variants.h"

#include "module.h"
#include "zam_interp.h"

static_assert(kSysmixUndef == V_UNDEF && kSysmixInteger == V_INTEGER && kSysmixMoney == V_MONEY &&
                  kSysmixDouble == V_DOUBLE && kSysmixMoneyL == V_MONEYL && kSysmixDoubleL == V_DOUBLEL &&
                  kSysmixString == V_STRING && kSysmixBool == V_BOOL && kSysmixDate == V_DATE &&
                  kSysmixTime == V_TIME && kSysmixObject == V_OBJECT && kSysmixDateTime == V_DTTM,
              "the wire's value types are the script value type codes");

namespace {

// Locale of every conversion and call: the system default.
constexpr LCID kSystemLocale = LOCALE_SYSTEM_DEFAULT;

void setEmpty(VARIANT &out) {
    switch (sysmix_module().emptyMode) {
    case SysmixEmpty::null: out.vt = VT_NULL; break;
    case SysmixEmpty::missing:
        out.vt = VT_ERROR;
        out.scode = DISP_E_PARAMNOTFOUND;
        break;
    default: out.vt = VT_EMPTY; break;
    }
}

HRESULT setMoney(const SysmixValue &v, VARIANT &out) {
    if (sysmix_module().currencyMode) {
        out.vt = VT_CY;
        out.cyVal.int64 = v.money;
        return S_OK;
    }
    // Otherwise the server sends a double holding hundredths.
    out.vt = VT_R8;
    out.dblVal = v.real / 100.0;
    HRESULT hr = VariantChangeTypeEx(&out, &out, kSystemLocale, 0, VT_CY);
    if (FAILED(hr)) VariantClear(&out);
    return hr;
}

HRESULT setText(const SysmixValue &v, VARIANT &out) {
    std::wstring w = sysmix_wide(v.text);
    BSTR b = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    if (!b) return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    out.bstrVal = b;
    return S_OK;
}

HRESULT setObject(const SysmixValue &v, VARIANT &out) {
    IDispatch *d = nullptr;
    if (v.object != 0) {
        d = static_cast<IDispatch *>(sysmix_module().objects.find(v.object));
        if (!d) return E_HANDLE;
        d->AddRef();  // the argument owns a reference, dropped when cleared
    }
    out.vt = VT_DISPATCH;
    out.pdispVal = d;
    return S_OK;
}

void setDate(double date, VARIANT &out) {
    out.vt = VT_DATE;
    out.date = date;
}

void putMoney(WireWriter &w, const CY &cy) {
    if (sysmix_module().currencyMode) {
        sysmix_putMoney(w, cy.int64);
        return;
    }
    double d = 0;
    VarR8FromCy(cy, &d);
    sysmix_putMoneyHundredths(w, d * 100.0);
}

void putDate(WireWriter &w, DATE date) {
    SysmixDateTime dt;
    if (sysmix_splitOleDate(date, dt)) sysmix_putDateTime(w, dt);
    else sysmix_putEmpty(w);
}

void putObject(WireWriter &w, IDispatch *d, std::vector<uint32_t> &handed) {
    if (!d) {
        sysmix_putEmpty(w);
        return;
    }
    d->AddRef();
    uint32_t field = sysmix_module().objects.add(d);
    handed.push_back(field);
    sysmix_putObject(w, field);
}

}  // namespace

unsigned sysmix_codePage() { return sysmix_module().ansiStrings ? CP_ACP : CP_OEMCP; }

std::wstring sysmix_wide(std::string_view s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(sysmix_codePage(), 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(sysmix_codePage(), 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string sysmix_narrow(const wchar_t *s, size_t length) {
    if (!s || length == 0) return std::string();
    int len = static_cast<int>(length);
    int n = WideCharToMultiByte(sysmix_codePage(), 0, s, len, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(sysmix_codePage(), 0, s, len, &out[0], n, nullptr, nullptr);
    return out;
}

HRESULT sysmix_toVariant(const SysmixValue &v, VARIANT &out) {
    switch (v.type) {
    case kSysmixUndef: setEmpty(out); return S_OK;
    case kSysmixInteger:
        out.vt = VT_I4;
        out.lVal = v.integer;
        return S_OK;
    case kSysmixDouble:
    case kSysmixDoubleL:
        out.vt = VT_R8;
        out.dblVal = v.real;
        return S_OK;
    case kSysmixMoney:
    case kSysmixMoneyL: return setMoney(v, out);
    case kSysmixString: return setText(v, out);
    case kSysmixBool:
        out.vt = VT_BOOL;
        out.boolVal = v.boolean ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case kSysmixDate: setDate(sysmix_dayNumber(v.date), out); return S_OK;
    case kSysmixTime: setDate(sysmix_dayFraction(v.time), out); return S_OK;
    case kSysmixDateTime: setDate(sysmix_oleDate(sysmix_dayNumber(v.date), sysmix_dayFraction(v.time)), out); return S_OK;
    case kSysmixObject: return setObject(v, out);
    default: return DISP_E_BADVARTYPE;
    }
}

void sysmix_putVariant(WireWriter &w, const VARIANT &v, std::vector<uint32_t> &handed) {
    switch (v.vt) {
    case VT_UI1: sysmix_putInteger(w, v.bVal); break;
    case VT_I2: sysmix_putInteger(w, v.iVal); break;
    case VT_I4: sysmix_putInteger(w, v.lVal); break;
    case VT_R4: sysmix_putReal(w, v.fltVal); break;
    case VT_R8: sysmix_putReal(w, v.dblVal); break;
    case VT_CY: putMoney(w, v.cyVal); break;
    case VT_BOOL: sysmix_putBool(w, v.boolVal != VARIANT_FALSE); break;
    case VT_BSTR: sysmix_putText(w, sysmix_narrow(v.bstrVal, SysStringLen(v.bstrVal))); break;
    case VT_DATE: putDate(w, v.date); break;
    case VT_DISPATCH: putObject(w, v.pdispVal, handed); break;
    default: sysmix_putEmpty(w); break;
    }
}
