#include "convert.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "comgate.h"

namespace {

const QvValue *valueOf(const CgEntry &e) {
    return qv_ptr<const QvValue>(qv_call(e.list, kPmValue, e.context, e.index));
}
void setValue(const CgEntry &e, int code, const void *value) { qv_call(e.list, kPmSet, e.context, e.index, code, value); }
void setEmpty(const CgEntry &e) { qv_call(e.list, kPmSetEmpty, e.context, e.index); }
void setFlags(const CgEntry &e, int flags) { qv_call(e.list, kPmSetFlags, e.context, e.index, flags); }
int entryCount(QvIntf *list, QvWord context) { return static_cast<int>(qv_call(list, kPmCount, context)); }

std::string narrowRun(const wchar_t *w, int len) {
    if (!w || !len) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, w, len, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, w, len, &s[0], n, nullptr, nullptr);
    // A run given with its terminator brings it along.
    if (len < 0 && !s.empty()) s.pop_back();
    return s;
}

// Holds one reference to a list made here until it is handed on.
struct OwnedList {
    QvIntf *p;
    explicit OwnedList(QvIntf *list) : p(list) {}
    ~OwnedList() {
        if (p) qv_call(p, kQvRelease);
    }
    OwnedList(const OwnedList &) = delete;
    OwnedList &operator=(const OwnedList &) = delete;
    QvIntf *release() {
        QvIntf *l = p;
        p = nullptr;
        return l;
    }
};

// Stores a script object: the entry takes its own reference, the one the
// wrapping gave is dropped.
void setObject(const CgEntry &e, QvIntf *obj) {
    qv_call(e.list, kPmSet, e.context, e.index, kQvtObject, &obj);
    qv_call(obj, kQvRelease);
}

// --- dates ------------------------------------------------------------------

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int monthDays(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}
// Days from 1970-01-01 of a proleptic Gregorian date.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}
void civilFromDays(long long z, int *y, int *m, int *d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (*m <= 2));
}
const long long kOleEpoch = daysFromCivil(1899, 12, 30);

bool dateOf(const QvDateValue &d, CgDateParts *p) {
    if (d.day == 0 && d.month == 0 && d.year == 0) {
        *p = CgDateParts{1899, 12, 30, 0, 0, 0};
        return true;
    }
    *p = CgDateParts{d.year, d.month, d.day, 0, 0, 0};
    return true;
}

// --- decimals ----------------------------------------------------------------

// Two's complement of a 96-bit value.
void negate96(uint32_t &hi, uint64_t &lo) {
    lo = ~lo + 1;
    hi = ~hi + (lo == 0 ? 1 : 0);
}

HRESULT decimalToVariant(const QvDecimalValue &d, VARIANT *out) {
    if (d.scale > 29) return DISP_E_OVERFLOW;
    uint32_t hi = d.hi;
    uint64_t lo = d.lo;
    if (d.sign) negate96(hi, lo);
    DECIMAL dec{};
    dec.scale = static_cast<BYTE>(d.scale == 29 ? 28 : d.scale);
    dec.sign = d.sign ? DECIMAL_NEG : 0;
    dec.Hi32 = hi;
    dec.Lo64 = lo;
    if (d.scale == 29) {
        DECIMAL ten{}, q{};
        VarDecFromI2(10, &ten);
        HRESULT hr = VarDecDiv(&dec, &ten, &q);
        if (FAILED(hr)) return hr;
        dec = q;
    }
    out->decVal = dec;
    out->vt = VT_DECIMAL;
    return S_OK;
}

// --- script value to VARIANT -----------------------------------------------

HRESULT valueToVariant(TComgateServer &svc, const CgEntry &e, VARIANT *out, int depth);

HRESULT arrayToVariant(TComgateServer &svc, QvIntf *sub, VARIANT *out, int depth) {
    if (!sub) return E_FAIL;
    if (depth >= kCgMaxDepth) return E_FAIL;
    int n = entryCount(sub, 0) - 1;
    if (n < 0) n = 0;
    SAFEARRAY *sa = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(n));
    if (!sa) return E_OUTOFMEMORY;
    VARIANT *items = nullptr;
    HRESULT hr = SafeArrayAccessData(sa, reinterpret_cast<void **>(&items));
    for (int i = 0; SUCCEEDED(hr) && i < n; ++i) hr = valueToVariant(svc, CgEntry{sub, 0, i + 1}, &items[i], depth + 1);
    if (items) SafeArrayUnaccessData(sa);
    if (FAILED(hr)) {
        SafeArrayDestroy(sa);
        return hr;
    }
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = sa;
    return S_OK;
}

// --- VARIANT to script value -----------------------------------------------

HRESULT arrayToValue(TComgateServer &svc, SAFEARRAY *sa, const CgEntry &e, int depth);

HRESULT scalarToValue(TComgateServer &svc, const VARIANT *v, const CgEntry &e, bool byRefArg, bool late, int depth) {
    const VARTYPE vt = v->vt;
    const bool ref = (vt & VT_BYREF) != 0;
    const VARTYPE base = vt & ~VT_BYREF;
    // A client's reference may point nowhere, or round in a circle.
    if (ref && !v->byref) return E_POINTER;
    if (depth >= kCgMaxDepth) return E_FAIL;
    if (base & VT_ARRAY) return arrayToValue(svc, ref ? (v->pparray ? *v->pparray : nullptr) : v->parray, e, depth);
    auto at = [&](auto plain, auto *byref) { return ref ? *byref : plain; };
    switch (base) {
    case VT_EMPTY: setEmpty(e); return S_OK;
    case VT_NULL: {
        int32_t w = kQvMissingNull;
        setValue(e, kQvtMissing, &w);
        return S_OK;
    }
    case VT_I2: {
        int16_t x = at(v->iVal, v->piVal);
        setValue(e, kQvtI2, &x);
        return S_OK;
    }
    case VT_I4: case VT_INT: {
        int32_t x = at(v->lVal, v->plVal);
        setValue(e, kQvtI4, &x);
        return S_OK;
    }
    case VT_R4: {
        double x = at(v->fltVal, v->pfltVal);
        setValue(e, kQvtDouble, &x);
        return S_OK;
    }
    case VT_R8: {
        double x = at(v->dblVal, v->pdblVal);
        setValue(e, kQvtDouble, &x);
        return S_OK;
    }
    case VT_CY: {
        CY x = at(v->cyVal, v->pcyVal);
        setValue(e, kQvtCurrency, &x.int64);
        return S_OK;
    }
    case VT_DATE: {
        double d = at(v->date, v->pdate);
        QvDateTimeValue dt{};
        CgDateParts p{};
        if (d == 0.0 || !cg_dateToParts(d, &p)) {
            setValue(e, kQvtDateTime, &dt);
            return S_OK;
        }
        dt.date = QvDateValue{static_cast<uint8_t>(p.day), static_cast<uint8_t>(p.month), static_cast<uint16_t>(p.year)};
        dt.time = QvTimeValue{0, static_cast<uint8_t>(p.second), static_cast<uint8_t>(p.minute), static_cast<uint8_t>(p.hour)};
        if (p.year == 1899 && p.month == 12 && p.day == 30)
            setValue(e, kQvtTime, &dt.time);
        else if (p.hour || p.minute || p.second)
            setValue(e, kQvtDateTime, &dt);
        else
            setValue(e, kQvtDate, &dt.date);
        return S_OK;
    }
    case VT_BSTR: {
        BSTR b = at(v->bstrVal, v->pbstrVal);
        std::string s = cg_narrowBstr(b);
        const char *text = b ? s.c_str() : nullptr;
        qv_call(e.list, kPmSetText, e.context, e.index, text);
        return S_OK;
    }
    case VT_DISPATCH: {
        IDispatch *d = at(v->pdispVal, v->ppdispVal);
        if (!d) {
            setEmpty(e);
            return S_OK;
        }
        QvIntf *obj = nullptr;
        if (svc.WrapDispatch(d, &obj) != 0) return E_FAIL;
        setObject(e, obj);
        return S_OK;
    }
    case VT_UNKNOWN: {
        IUnknown *u = at(v->punkVal, v->ppunkVal);
        if (!u) {
            setEmpty(e);
            return S_OK;
        }
        QvIntf *obj = nullptr;
        IDispatch *d = nullptr;
        QvWord r;
        if (SUCCEEDED(u->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&d))) && d) {
            r = svc.WrapDispatch(d, &obj);
            d->Release();
        } else {
            r = svc.WrapUnknown(u, &obj);
        }
        if (r != 0) return E_FAIL;
        setObject(e, obj);
        return S_OK;
    }
    case VT_ERROR: {
        if (ref) return E_FAIL;
        int32_t w = v->scode == DISP_E_PARAMNOTFOUND ? int32_t(kQvMissingParam) : int32_t(v->scode);
        setValue(e, kQvtMissing, &w);
        return S_OK;
    }
    case VT_BOOL: {
        uint8_t b = at(v->boolVal, v->pboolVal) != 0;
        setValue(e, kQvtBool, &b);
        return S_OK;
    }
    case VT_VARIANT:
        if (!ref || !v->pvarVal) return E_FAIL;
        return scalarToValue(svc, v->pvarVal, e, true, late, depth + 1);
    case VT_DECIMAL: {
        const DECIMAL &d = ref ? *v->pdecVal : v->decVal;
        QvDecimalValue x{d.scale, d.Hi32, d.Lo64, static_cast<uint8_t>(d.sign ? 1 : 0)};
        if (d.sign) negate96(x.hi, x.lo);
        setValue(e, kQvtDecimal, &x);
        return S_OK;
    }
    case VT_I1: {
        int8_t x = static_cast<int8_t>(at(v->cVal, v->pcVal));
        setValue(e, kQvtI1, &x);
        return S_OK;
    }
    case VT_UI1: {
        uint8_t x = at(v->bVal, v->pbVal);
        setValue(e, kQvtU1, &x);
        return S_OK;
    }
    case VT_UI2: {
        uint16_t x = at(v->uiVal, v->puiVal);
        setValue(e, kQvtU2, &x);
        return S_OK;
    }
    case VT_UI4: case VT_UINT: {
        uint32_t x = at(v->ulVal, v->pulVal);
        setValue(e, kQvtU4, &x);
        return S_OK;
    }
    default:
        return E_FAIL;
    }
}

HRESULT arrayToValue(TComgateServer &svc, SAFEARRAY *sa, const CgEntry &e, int depth) {
    if (!sa || SafeArrayGetDim(sa) != 1 || depth >= kCgMaxDepth) return E_FAIL;
    LONG lb = 0, ub = -1;
    SafeArrayGetLBound(sa, 1, &lb);
    SafeArrayGetUBound(sa, 1, &ub);
    VARTYPE et = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(sa, &et))) return E_FAIL;
    const long long count = static_cast<long long>(ub) - lb + 1;
    if (count < 0 || count >= INT_MAX) return E_FAIL;
    const int n = static_cast<int>(count);
    const QvValue *cur = valueOf(e);
    const bool reuse = cur && cur->code() == kQvtArray && cur->value;
    OwnedList sub(nullptr);
    if (reuse) {
        QvIntf *held = qv_ptr<QvIntf>(cur->value);
        if (qv_call(held, kPmResize, 0, n + 1) != n + 1) return E_FAIL;
        qv_call(held, kQvAddRef);
        sub.p = held;
    } else {
        sub.p = qv_ptr<QvIntf>(qv_call(svc.runtime(), kRtNewParms, n + 1, 0, 0));
        if (!sub.p) return E_OUTOFMEMORY;
    }
    HRESULT hr = S_OK;
    for (int k = 0; k < n && SUCCEEDED(hr); ++k) {
        LONG at = lb + k;
        VARIANT item;
        VariantInit(&item);
        switch (et) {
        case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_BSTR: case VT_DISPATCH:
        case VT_BOOL: case VT_UNKNOWN: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4:
            hr = SafeArrayGetElement(sa, &at, &item.llVal);
            item.vt = et;
            break;
        case VT_INT:
            hr = SafeArrayGetElement(sa, &at, &item.lVal);
            item.vt = VT_I4;
            break;
        case VT_UINT:
            hr = SafeArrayGetElement(sa, &at, &item.ulVal);
            item.vt = VT_UI4;
            break;
        case VT_VARIANT:
            hr = SafeArrayGetElement(sa, &at, &item);
            break;
        case VT_DECIMAL:
            // The copy overwrites vt, which shares its bytes with the DECIMAL.
            hr = SafeArrayGetElement(sa, &at, &item.decVal);
            item.vt = VT_DECIMAL;
            break;
        default:
            hr = E_FAIL;
        }
        if (SUCCEEDED(hr))
            hr = cg_guarded([&] { return scalarToValue(svc, &item, CgEntry{sub.p, 0, k + 1}, false, true, depth + 1); });
        VariantClear(&item);
    }
    // The entry takes its own reference to a new list.
    if (!reuse) setValue(e, kQvtArray, &sub.p);
    return hr;
}

}  // namespace

bool cg_partsToDate(const CgDateParts &p, double *out) {
    if (p.year > 9999 || p.year < 0 || p.month < 1 || p.month > 12 || p.day < 1 ||
        p.day > monthDays(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 ||
        p.second < 0 || p.second > 59)
        return false;
    double days = static_cast<double>(daysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) - kOleEpoch);
    double frac = (p.hour * 3600.0 + p.minute * 60.0 + p.second) / 86400.0;
    // Before the epoch the time still counts forward from midnight.
    *out = days < 0 ? days - frac : days + frac;
    return true;
}

bool cg_dateToParts(double date, CgDateParts *out) {
    if (!(date >= -657434.0 && date < 2958466.0)) return false;
    // The day is the whole part towards zero and the time of day its
    // distance from that day's midnight, on either side of the epoch; half a
    // second rounds the time to the nearest second, into the next day when
    // it comes to midnight.
    const double half = 5.787037037037037e-6;
    double whole = std::trunc(date);
    double frac = std::fabs(date - whole) + half;
    if (frac >= 1.0) {
        whole += 1.0;
        frac -= 1.0;
    }
    long long secs = static_cast<long long>(frac * 86400.0);
    if (secs >= 86400) secs = 86399;
    int y, m, d;
    civilFromDays(static_cast<long long>(whole) + kOleEpoch, &y, &m, &d);
    if (y > 9999) return false;
    *out = CgDateParts{y, m, d, static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60)};
    return true;
}

namespace {

HRESULT valueToVariant(TComgateServer &svc, const CgEntry &e, VARIANT *out, int depth) {
    VariantClear(out);
    const QvValue *v = valueOf(e);
    if (!v) return E_FAIL;
    auto dateVariant = [&](bool ok, const CgDateParts &p) {
        double d = 0;
        out->vt = VT_DATE;
        out->date = ok && cg_partsToDate(p, &d) ? d : 0.0;
        return S_OK;
    };
    QvDateTimeValue dt{};
    switch (v->code()) {
    case kQvtNone: out->vt = VT_EMPTY; return S_OK;
    case kQvtI1: out->vt = VT_I1; out->cVal = static_cast<CHAR>(v->data[0]); return S_OK;
    case kQvtU1: out->vt = VT_UI1; out->bVal = v->data[0]; return S_OK;
    case kQvtI2: out->vt = VT_I2; std::memcpy(&out->iVal, v->data, 2); return S_OK;
    case kQvtU2: out->vt = VT_UI2; std::memcpy(&out->uiVal, v->data, 2); return S_OK;
    case kQvtI4: out->vt = VT_I4; std::memcpy(&out->lVal, v->data, 4); return S_OK;
    case kQvtU4: case kQvtU4b: out->vt = VT_UI4; std::memcpy(&out->ulVal, v->data, 4); return S_OK;
    case kQvtDouble: out->vt = VT_R8; std::memcpy(&out->dblVal, v->data, 8); return S_OK;
    case kQvtString: {
        const char *text = qv_ptr<const char>(qv_call(e.list, kPmText, e.context, e.index, 1));
        BSTR b = cg_widenBstr(text);
        if (!b) return E_OUTOFMEMORY;
        out->vt = VT_BSTR;
        out->bstrVal = b;
        return S_OK;
    }
    case kQvtObject: {
        IUnknown *unk = nullptr;
        bool asUnknown = false;
        HRESULT hr = svc.UnwrapToDispatch(qv_ptr<QvIntf>(v->value), &unk, &asUnknown);
        if (FAILED(hr)) return hr;
        if (asUnknown) {
            out->vt = VT_UNKNOWN;
            out->punkVal = unk;
        } else {
            out->vt = VT_DISPATCH;
            out->pdispVal = static_cast<IDispatch *>(unk);
        }
        return S_OK;
    }
    case kQvtBool: out->vt = VT_BOOL; out->boolVal = v->data[0] ? VARIANT_TRUE : VARIANT_FALSE; return S_OK;
    case kQvtDate: {
        std::memcpy(&dt.date, v->data, sizeof dt.date);
        CgDateParts p{};
        return dateVariant(dateOf(dt.date, &p), p);
    }
    case kQvtTime: {
        std::memcpy(&dt.time, v->data, sizeof dt.time);
        return dateVariant(true, CgDateParts{1899, 12, 30, dt.time.hour, dt.time.minute, dt.time.second});
    }
    case kQvtDateTime: {
        std::memcpy(&dt, v->data, sizeof dt);
        CgDateParts p{};
        bool ok = dateOf(dt.date, &p);
        p.hour = dt.time.hour;
        p.minute = dt.time.minute;
        p.second = dt.time.second;
        return dateVariant(ok, p);
    }
    case kQvtCurrency: out->vt = VT_CY; std::memcpy(&out->cyVal, v->data, 8); return S_OK;
    case kQvtFixed4: {
        int64_t x;
        std::memcpy(&x, v->data, 8);
        DECIMAL d{};
        d.scale = 4;
        d.sign = x < 0 ? DECIMAL_NEG : 0;
        d.Lo64 = x < 0 ? 0 - static_cast<uint64_t>(x) : static_cast<uint64_t>(x);
        out->decVal = d;
        out->vt = VT_DECIMAL;
        return S_OK;
    }
    case kQvtArray: return arrayToVariant(svc, qv_ptr<QvIntf>(v->value), out, depth);
    case kQvtMissing: {
        int32_t w;
        std::memcpy(&w, v->data, 4);
        if (w == kQvMissingNull) {
            out->vt = VT_NULL;
        } else if (w == kQvMissingObject) {
            out->vt = VT_DISPATCH;
            out->pdispVal = nullptr;
        } else {
            out->vt = VT_ERROR;
            out->scode = w == kQvMissingParam ? DISP_E_PARAMNOTFOUND : w;
        }
        return S_OK;
    }
    case kQvtDecimal: {
        QvDecimalValue d;
        std::memcpy(&d, v->data, sizeof d);
        return decimalToVariant(d, out);
    }
    default: return E_FAIL;
    }
}

HRESULT variantToValue(TComgateServer &svc, const VARIANT *v, const CgEntry &e, bool byRefArg, bool late, int depth) {
    // A referenced VARIANT is converted with the by-reference flag set.
    const int flags = byRefArg || v->vt == (VT_BYREF | VT_VARIANT) ? kQvEntryByRef | kQvEntryVariant : kQvEntryByRef;
    if (!late) setFlags(e, flags);
    HRESULT hr = scalarToValue(svc, v, e, byRefArg, late, depth);
    if (late && SUCCEEDED(hr) && (v->vt & VT_BYREF)) setFlags(e, flags);
    return hr;
}

HRESULT dispParamsToArgs(TComgateServer &svc, const DISPPARAMS *dp, UINT *argErr, uint8_t flag, QvWord word, int extra,
                         QvIntf **outList) {
    static const DISPPARAMS none{};
    if (!dp) dp = &none;
    const UINT named = dp->cNamedArgs;
    const int positional = static_cast<int>(dp->cArgs) - static_cast<int>(named);
    if (positional < 0 || (dp->cArgs && !dp->rgvarg) || (named && !dp->rgdispidNamedArgs)) return E_INVALIDARG;
    const bool put = named > 0 && dp->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
    if (put) flag = 0;
    const int n = static_cast<int>(dp->cArgs) + extra - (put ? 1 : 0);
    OwnedList list(qv_ptr<QvIntf>(qv_call(svc.runtime(), kRtNewParms, n + 1, flag, word)));
    if (!list.p) return E_FAIL;
    auto convert = [&](UINT at, int index) {
        HRESULT hr = variantToValue(svc, &dp->rgvarg[at], CgEntry{list.p, 0, index}, false, true, 0);
        if (SUCCEEDED(hr)) return true;
        if (argErr) *argErr = at;
        return false;
    };
    if (put && !convert(0, 0)) return DISP_E_TYPEMISMATCH;
    for (int i = 0; i < positional; ++i)
        if (!convert(dp->cArgs - 1 - static_cast<UINT>(i), extra + 1 + i)) return DISP_E_TYPEMISMATCH;
    // Named arguments other than the put value follow the positional ones,
    // highest DISPID first, so none of them is lost.
    std::vector<UINT> order;
    for (UINT j = put ? 1 : 0; j < named; ++j) order.push_back(j);
    std::sort(order.begin(), order.end(),
              [&](UINT a, UINT b) { return dp->rgdispidNamedArgs[a] > dp->rgdispidNamedArgs[b]; });
    int next = extra + 1 + positional;
    for (UINT j : order)
        if (!convert(j, next++)) return DISP_E_TYPEMISMATCH;
    *outList = list.release();
    return S_OK;
}

// Writes a converted value of the referenced type through the reference.
void storeThrough(VARIANT &arg, const VARIANT &tmp) {
    switch (arg.vt & ~VT_BYREF) {
    case VT_I2: case VT_BOOL: case VT_UI2: std::memcpy(arg.byref, &tmp.iVal, 2); break;
    case VT_I4: case VT_R4: case VT_UI4: case VT_INT: case VT_UINT: std::memcpy(arg.byref, &tmp.lVal, 4); break;
    case VT_R8: case VT_DATE: case VT_CY: std::memcpy(arg.byref, &tmp.llVal, 8); break;
    case VT_I1: case VT_UI1: std::memcpy(arg.byref, &tmp.bVal, 1); break;
    case VT_DECIMAL: *arg.pdecVal = tmp.decVal; break;
    case VT_BSTR:
        SysFreeString(*arg.pbstrVal);
        *arg.pbstrVal = SysAllocStringLen(tmp.bstrVal, SysStringLen(tmp.bstrVal));
        break;
    case VT_DISPATCH: case VT_UNKNOWN:
        if (tmp.punkVal) tmp.punkVal->AddRef();
        if (*arg.ppunkVal) (*arg.ppunkVal)->Release();
        *arg.ppunkVal = tmp.punkVal;
        break;
    default: break;
    }
}

HRESULT storeByRefArgs(TComgateServer &svc, const DISPPARAMS *dp, QvIntf *list, int offset, QvWord context) {
    if (!dp || !list || (dp->cArgs && !dp->rgvarg)) return E_INVALIDARG;
    const int positional = static_cast<int>(dp->cArgs) - static_cast<int>(dp->cNamedArgs);
    for (int i = 0; i < positional; ++i) {
        VARIANT &arg = dp->rgvarg[dp->cArgs - 1 - static_cast<UINT>(i)];
        if (!(arg.vt & VT_BYREF) || !arg.byref) continue;
        VARIANT tmp;
        VariantInit(&tmp);
        HRESULT hr = valueToVariant(svc, CgEntry{list, context, offset + 1 + i}, &tmp, 0);
        const VARTYPE target = arg.vt & ~VT_BYREF;
        if (SUCCEEDED(hr) && target == VT_VARIANT) {
            // A script client's variable: it takes whatever the script left.
            VariantClear(arg.pvarVal);
            *arg.pvarVal = tmp;
            continue;
        }
        if (SUCCEEDED(hr) && tmp.vt == target) storeThrough(arg, tmp);
        VariantClear(&tmp);
    }
    return S_OK;
}

struct HolderRelease {
    void operator()(CgDispHolder *h) const { cg_releaseParams(h); }
};

HRESULT argsToDispParams(TComgateServer &svc, QvIntf *list, bool put, CgDispHolder **out) {
    if (!list) return E_FAIL;
    std::unique_ptr<CgDispHolder, HolderRelease> h(new (std::nothrow) CgDispHolder);
    if (!h) return E_OUTOFMEMORY;
    h->list = list;
    qv_call(list, kQvAddRef);
    int n = entryCount(list, 0) - 1;
    if (n < 0) n = 0;
    const int total = n + (put ? 1 : 0);
    int byRef = 0;
    for (int i = 1; i <= n; ++i) {
        const QvValue *v = valueOf(CgEntry{list, 0, i});
        if (v && (v->type & kQvEntryByRef)) ++byRef;
    }
    h->args.resize(static_cast<size_t>(total));
    h->extras.resize(static_cast<size_t>(byRef));
    h->extraEntry.reserve(static_cast<size_t>(byRef));
    h->extraVariant.reserve(static_cast<size_t>(byRef));
    for (VARIANT &v : h->args) VariantInit(&v);
    for (VARIANT &v : h->extras) VariantInit(&v);
    HRESULT hr = S_OK;
    const int first = put ? 1 : 0;
    if (put) hr = valueToVariant(svc, CgEntry{list, 0, 0}, &h->args[0], 0);
    size_t x = 0;
    for (int i = 1; i <= n && SUCCEEDED(hr); ++i) {
        VARIANT &arg = h->args[static_cast<size_t>(first + n - i)];
        const QvValue *v = valueOf(CgEntry{list, 0, i});
        const uint8_t flags = v ? v->type : 0;
        if (!(flags & kQvEntryByRef)) {
            hr = valueToVariant(svc, CgEntry{list, 0, i}, &arg, 0);
            continue;
        }
        VARIANT &ex = h->extras[x++];
        hr = valueToVariant(svc, CgEntry{list, 0, i}, &ex, 0);
        h->extraEntry.push_back(i);
        h->extraVariant.push_back((flags & kQvEntryVariant) != 0);
        if (FAILED(hr)) break;
        if (flags & kQvEntryVariant) {
            arg.vt = VT_BYREF | VT_VARIANT;
            arg.pvarVal = &ex;
        } else {
            arg.vt = VT_BYREF | ex.vt;
            arg.byref = ex.vt == VT_DECIMAL ? static_cast<void *>(&ex.decVal) : static_cast<void *>(&ex.llVal);
        }
    }
    if (FAILED(hr)) return hr;
    h->params.cArgs = static_cast<UINT>(total);
    h->params.rgvarg = total ? h->args.data() : nullptr;
    if (put) {
        h->params.cNamedArgs = 1;
        h->params.rgdispidNamedArgs = &h->putId;
    }
    *out = h.release();
    return S_OK;
}

}  // namespace

std::string cg_narrow(const wchar_t *text) { return narrowRun(text, -1); }
std::string cg_narrowBstr(BSTR b) { return narrowRun(b, b ? static_cast<int>(SysStringLen(b)) : 0); }

BSTR cg_widenBstr(const char *text) {
    if (!text) text = "";
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) return SysAllocString(L"");
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n - 1));
    if (b) MultiByteToWideChar(CP_ACP, 0, text, -1, b, n);
    return b;
}

HRESULT cg_valueToVariant(TComgateServer &svc, const CgEntry &e, VARIANT *out) {
    return cg_guarded([&] { return valueToVariant(svc, e, out, 0); });
}

HRESULT cg_variantToValue(TComgateServer &svc, const VARIANT *v, const CgEntry &e, bool byRefArg, bool late) {
    return cg_guarded([&] { return variantToValue(svc, v, e, byRefArg, late, 0); });
}

HRESULT cg_dispParamsToArgs(TComgateServer &svc, const DISPPARAMS *dp, UINT *argErr, uint8_t flag, QvWord word,
                            int extra, QvIntf **outList) {
    if (!outList) return E_INVALIDARG;
    *outList = nullptr;
    return cg_guarded([&] { return dispParamsToArgs(svc, dp, argErr, flag, word, extra, outList); });
}

HRESULT cg_storeByRefArgs(TComgateServer &svc, const DISPPARAMS *dp, QvIntf *list, int offset, QvWord context) {
    return cg_guarded([&] { return storeByRefArgs(svc, dp, list, offset, context); });
}

HRESULT cg_argsToDispParams(TComgateServer &svc, QvIntf *list, bool put, CgDispHolder **out) {
    *out = nullptr;
    return cg_guarded([&] { return argsToDispParams(svc, list, put, out); });
}

HRESULT cg_writeBack(TComgateServer &svc, CgDispHolder *h) {
    if (!h) return E_INVALIDARG;
    HRESULT result = S_OK;
    for (size_t i = 0; i < h->extraEntry.size(); ++i) {
        HRESULT hr = cg_variantToValue(svc, &h->extras[i], CgEntry{h->list, 0, h->extraEntry[i]}, h->extraVariant[i], true);
        if (FAILED(hr)) result = hr;
    }
    return result;
}

HRESULT cg_storeResult(TComgateServer &svc, CgDispHolder *h, const VARIANT *result) {
    if (!h || !result) return E_INVALIDARG;
    return cg_variantToValue(svc, result, CgEntry{h->list, 0, 0}, false, true);
}

void cg_releaseParams(CgDispHolder *h) {
    if (!h) return;
    for (VARIANT &v : h->args)
        if (!(v.vt & VT_BYREF)) VariantClear(&v);
    for (VARIANT &v : h->extras) VariantClear(&v);
    if (h->list) qv_call(h->list, kQvRelease);
    delete h;
}
