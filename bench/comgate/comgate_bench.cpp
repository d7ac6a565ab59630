// 200,000 late-bound calls of Scripting.Dictionary's Item through comgate
// (a parameter list, the wrapper's Invoke, the result stored back), against
// GetIDsOfNames + Invoke made directly and against the same loop in VBScript;
// then 10,000 distinct returned objects wrapped, first and last thousand.
#include "wintimer.h"
#include <oaidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "module.h"
#include "qvsclient.h"
#include "short.h"

namespace {

const int kCalls = bench_count(200000, 2000);
const int kObjects = bench_count(10000, 1000);
constexpr double kTarget = 2.0;
// IComgateService slot of WrapDispatch.
constexpr int kWrapDispatch = 6;

IDispatch *create(const wchar_t *progId) {
    CLSID clsid;
    IDispatch *d = nullptr;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void **>(&d));
    return d;
}

HRESULT call(IDispatch *d, const wchar_t *member, WORD flags, std::vector<VARIANT> args, VARIANT *result) {
    LPOLESTR n = const_cast<LPOLESTR>(member);
    DISPID id;
    HRESULT hr = d->GetIDsOfNames(IID_NULL, &n, 1, 0, &id);
    if (FAILED(hr)) return hr;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS dp{args.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr, static_cast<UINT>(args.size()),
                  flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    return d->Invoke(id, IID_NULL, 0, flags, &dp, result, nullptr, nullptr);
}

VARIANT text(const wchar_t *t) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(t);
    return v;
}

}  // namespace

int main() {
    th::Qvs qvs;
    th::Module m("comgate.dll");
    m.start();
    auto proc = reinterpret_cast<ZamExtMessageProcFn>(m.proc("ZamExtMessageProc"));
    QvObjRequest r{0, qvs.owner(), "TComgateServer", kQvIidDispatch6, 0, "bench", nullptr};
    if (proc(static_cast<unsigned>(kMsgCreate), &r, nullptr) != 0 || !r.out) {
        std::printf("comgate: no TComgateServer\n");
        return 1;
    }
    QvIntf *server = qv_ptr<QvIntf>(r.out);
    QvIntf *runtime = qv_ptr<QvIntf>(qv_call(qvs.owner(), kOwnRuntime));
    auto newList = [&](int n) { return qv_ptr<QvIntf>(qv_call(runtime, kRtNewParms, n, 0, 0)); };

    QvIntf *l = newList(2);
    qv_call(l, kPmSetText, 0, 1, "Scripting.Dictionary");
    qv_call(server, kQvInvoke, 0, kQvCall, l, 0);
    QvIntf *dict = qv_ptr<const QvValue>(qv_call(l, kPmValue, 0, 0))->code() == kQvtObject
                       ? qv_ptr<QvIntf>(qv_ptr<const QvValue>(qv_call(l, kPmValue, 0, 0))->value)
                       : nullptr;
    // The result entry lets go of its reference with the list.
    if (dict) qv_call(dict, kQvAddRef);
    qv_call(l, kQvRelease);
    IDispatch *direct = create(L"Scripting.Dictionary");
    if (!dict || !direct) {
        std::printf("comgate: no Scripting.Dictionary\n");
        return 1;
    }
    int item = -1;
    qv_call(dict, kQvGetMemberId, "Item", &item);
    {
        QvIntf *put = newList(2);
        qv_call(put, kPmSetText, 0, 1, "key");
        int32_t v = 7;
        qv_call(put, kPmSet, 0, 0, kQvtInt, &v);
        qv_call(dict, kQvInvoke, item, kQvPut, put, 0);
        qv_call(put, kQvRelease);
        VARIANT args[2] = {text(L"v"), text(L"key")};
        args[0].vt = VT_I4;
        args[0].lVal = 7;
        call(direct, L"Item", DISPATCH_PROPERTYPUT, {args[0], args[1]}, nullptr);
        VariantClear(&args[1]);
    }

    bool ok = true;
    double t0 = bench_now();
    for (int i = 0; i < kCalls && ok; ++i) {
        QvIntf *c = newList(2);
        qv_call(c, kPmSetText, 0, 1, "key");
        ok = qv_call(dict, kQvInvoke, item, kQvGet, c, 0) == 0 &&
             qv_ptr<const QvValue>(qv_call(c, kPmValue, 0, 0))->code() == kQvtInt;
        qv_call(c, kQvRelease);
    }
    double viaComgate = bench_now() - t0;

    t0 = bench_now();
    for (int i = 0; i < kCalls && ok; ++i) {
        VARIANT key = text(L"key"), result;
        VariantInit(&result);
        ok = SUCCEEDED(call(direct, L"Item", DISPATCH_PROPERTYGET, {key}, &result)) && result.vt == VT_I4;
        VariantClear(&key);
        VariantClear(&result);
    }
    double viaDirect = bench_now() - t0;

    double viaScript = 0;
    if (IDispatch *sc = create(L"MSScriptControl.ScriptControl")) {
        VARIANT lang = text(L"VBScript");
        call(sc, L"Language", DISPATCH_PROPERTYPUT, {lang}, nullptr);
        VariantClear(&lang);
        VARIANT no, obj, name = text(L"d");
        no.vt = VT_BOOL;
        no.boolVal = VARIANT_FALSE;
        obj.vt = VT_DISPATCH;
        obj.pdispVal = direct;
        call(sc, L"AddObject", DISPATCH_METHOD, {no, obj, name}, nullptr);
        VariantClear(&name);
        wchar_t loop[128];
        swprintf(loop, 128, L"For i = 1 To %d : x = d.Item(\"key\") : Next", kCalls);
        VARIANT s = text(loop);
        t0 = bench_now();
        ok = ok && SUCCEEDED(call(sc, L"ExecuteStatement", DISPATCH_METHOD, {s}, nullptr));
        viaScript = bench_now() - t0;
        VariantClear(&s);
        sc->Release();
    }

    std::printf("comgate: %d calls of Dictionary.Item\n", kCalls);
    std::printf("  %-40s %8.0f calls/s\n", "direct GetIDsOfNames + Invoke", kCalls / viaDirect);
    std::printf("  %-40s %8.0f calls/s\n", "VBScript loop", viaScript > 0 ? kCalls / viaScript : 0.0);
    double ratio = viaComgate / viaDirect;
    std::printf("  %-40s %8.0f calls/s   takes %.2fx the direct time (target <= %.1f: %s)\n", "through comgate",
                kCalls / viaComgate, ratio, kTarget, ratio <= kTarget ? "met" : "MISSED");

    // Distinct objects coming back from COM: each is wrapped once and kept.
    std::vector<IDispatch *> objects;
    std::vector<QvIntf *> wrappers;
    for (int i = 0; i < kObjects; ++i) objects.push_back(create(L"Scripting.Dictionary"));
    QvIntf *svc = nullptr;
    qv_call(server, kQvQueryInterface, kQvIidComgateService, &svc);
    double firstThousand = 0, lastThousand = 0;
    for (int i = 0; i < kObjects && ok; ++i) {
        double s = bench_now();
        QvIntf *w = nullptr;
        ok = objects[i] && qv_call(svc, kWrapDispatch, objects[i], &w) == 0;
        double took = bench_now() - s;
        if (i < 1000) firstThousand += took;
        if (i >= kObjects - 1000) lastThousand += took;
        wrappers.push_back(w);
    }
    std::printf("  wrapping %d distinct objects: first 1000 %.1f us each, last 1000 %.1f us each\n", kObjects,
                firstThousand * 1000.0, lastThousand * 1000.0);
    for (QvIntf *w : wrappers)
        if (w) qv_call(w, kQvRelease);
    for (IDispatch *d : objects)
        if (d) d->Release();
    qv_call(svc, kQvRelease);
    direct->Release();
    qv_call(dict, kQvRelease);
    qv_call(server, kQvRelease);
    m.message(kMsgUnload);
    if (!ok) std::printf("  FAILED\n");
    return ok ? 0 : 1;
}
