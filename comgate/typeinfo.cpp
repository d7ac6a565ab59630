#include "typeinfo.h"

#include <new>

#include "com_object.h"
#include "comgate.h"
#include "convert.h"

#include <string>

namespace {

const char kNoDoc[] = "No doc";
const char kUnnamed[] = "QVProp";

// A member as the type information describes it: what the class
// information reports, with the result and parameter types of its row in
// the class's member table (none: a VARIANT without parameters).
struct Member {
    std::string name;
    MEMBERID memid = MEMBERID_NIL;
    int flags = 0;
    uint8_t result = 0;
    const unsigned char *params = nullptr;
};

bool isProperty(const Member &m) { return (m.flags & kQvMemberProperty) != 0; }

// Parent chains longer than this are taken as broken.
constexpr int kMaxClassDepth = 64;

class TypeInfo : public ITypeInfo, public ITypeComp {
public:
    TypeInfo(QvIntf *script, QvIntf *classInfo) : script_(script), info_(classInfo) {
        qv_call(script_, kQvAddRef);
        vars_ = static_cast<int>(qv_call(info_, kCiCount, kQvMaskVars));
        funcs_ = static_cast<int>(qv_call(info_, kCiCount, kQvMaskFuncs));
        QvIntf *main = nullptr;
        if (qv_call(script_, kQvQueryInterface, kQvIidMain1, &main) && main) {
            class_ = qv_ptr<const QvClassRecord>(qv_call(main, kQvMainClassRecord));
            qv_call(main, kQvRelease);
        }
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_ITypeInfo) return com_handOut(static_cast<ITypeInfo *>(this), out);
        if (riid == IID_ITypeComp) return com_handOut(static_cast<ITypeComp *>(this), out);
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = refs_.drop();
        if (n == 0) delete this;
        return n;
    }

    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR **out) override {
        if (!out) return E_INVALIDARG;
        TYPEATTR *a = static_cast<TYPEATTR *>(CoTaskMemAlloc(sizeof(TYPEATTR)));
        *out = a;
        if (!a) return E_OUTOFMEMORY;
        ZeroMemory(a, sizeof *a);
        a->typekind = TKIND_DISPATCH;
        a->cFuncs = static_cast<WORD>(funcs_);
        a->cVars = static_cast<WORD>(vars_);
        a->memidConstructor = MEMBERID_NIL;
        a->memidDestructor = MEMBERID_NIL;
        a->wTypeFlags = TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FOLEAUTOMATION;
        a->cbAlignment = 4;
        a->cbSizeInstance = 4;
        return S_OK;
    }
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR *a) override { CoTaskMemFree(a); }
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp **out) override {
        if (!out) return E_INVALIDARG;
        *out = this;
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC **out) override {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        if (index >= static_cast<UINT>(funcs_)) return E_INVALIDARG;
        return cg_guarded([&] {
            Member m;
            if (!memberAt(index, kQvMaskFuncs, &m)) return DISP_E_MEMBERNOTFOUND;
            INVOKEKIND kind = INVOKE_FUNC;
            if (isProperty(m)) kind = (m.flags & kQvMemberReadOnly) ? INVOKE_PROPERTYGET : INVOKE_PROPERTYPUT;
            return funcDesc(m, kind, out);
        });
    }
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC **out) override {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        if (index >= static_cast<UINT>(vars_)) return E_INVALIDARG;
        return cg_guarded([&] {
            Member m;
            if (!memberAt(index, kQvMaskVars, &m)) return DISP_E_MEMBERNOTFOUND;
            return varDesc(m, out);
        });
    }
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID id, BSTR *names, UINT max, UINT *count) override {
        if (!count) return E_INVALIDARG;
        *count = 0;
        if (max == 0 || !names) return S_OK;
        HRESULT hr = GetDocumentation(id, names, nullptr, nullptr, nullptr);
        if (SUCCEEDED(hr)) *count = 1;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT, HREFTYPE *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT, INT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR *names, UINT count, MEMBERID *ids) override {
        return cg_memberIds(script_, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(PVOID instance, MEMBERID id, WORD flags, DISPPARAMS *dp, VARIANT *result,
                                     EXCEPINFO *info, UINT *argErr) override {
        if (!instance) return E_INVALIDARG;
        return static_cast<IDispatch *>(instance)->Invoke(id, IID_NULL, 0x0400, flags & 0xFFFF, dp, result, info,
                                                          argErr);
    }
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID id, BSTR *name, BSTR *doc, DWORD *context,
                                               BSTR *helpFile) override {
        if (context) *context = 0;
        if (helpFile) *helpFile = nullptr;
        if (name) *name = nullptr;
        if (doc) *doc = nullptr;
        return cg_guarded([&] {
            if (name) {
                *name = cg_widenBstr(id == MEMBERID_NIL ? className() : memberName(id).c_str());
                if (!*name) return E_OUTOFMEMORY;
            }
            if (doc) {
                *doc = cg_widenBstr(kNoDoc);
                if (!*doc) return E_OUTOFMEMORY;
            }
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR *, BSTR *, WORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, PVOID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *, REFIID, PVOID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib **, UINT *) override { return E_NOTIMPL; }
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC *f) override { CoTaskMemFree(f); }
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC *v) override { CoTaskMemFree(v); }

    HRESULT STDMETHODCALLTYPE Bind(LPOLESTR name, ULONG, WORD flags, ITypeInfo **ti, DESCKIND *kind,
                                   BINDPTR *bind) override {
        if (!ti || !kind || !bind) return E_INVALIDARG;
        *ti = nullptr;
        *kind = DESCKIND_NONE;
        bind->lpfuncdesc = nullptr;
        return cg_guarded([&] {
            Member m;
            if (!find(cg_narrow(name), &m)) return DISP_E_MEMBERNOTFOUND;
            if ((flags & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) && !isProperty(m)) return DISP_E_MEMBERNOTFOUND;
            HRESULT hr;
            if (isProperty(m)) {
                hr = varDesc(m, &bind->lpvardesc);
                if (SUCCEEDED(hr)) *kind = DESCKIND_VARDESC;
            } else {
                hr = funcDesc(m, flags ? static_cast<INVOKEKIND>(flags) : INVOKE_FUNC, &bind->lpfuncdesc);
                if (SUCCEEDED(hr)) *kind = DESCKIND_FUNCDESC;
            }
            if (SUCCEEDED(hr)) QueryInterface(IID_ITypeInfo, reinterpret_cast<void **>(ti));
            return hr;
        });
    }
    HRESULT STDMETHODCALLTYPE BindType(LPOLESTR, ULONG, ITypeInfo **, ITypeComp **) override { return E_NOTIMPL; }

private:
    virtual ~TypeInfo() {
        qv_call(info_, kQvRelease);
        qv_call(script_, kQvRelease);
    }

    const char *className() {
        const char *n = qv_ptr<const char>(qv_call(info_, kCiClassName));
        return n ? n : qv_ptr<const char>(qv_call(script_, kQvClassName));
    }

    std::string memberName(MEMBERID id) {
        QvIntf *owner = qv_ptr<QvIntf>(qv_call(script_, kQvOwner));
        if (owner && qv_call(owner, kOwnVersion) > kOwnVersionMemberNames) {
            const char *n = qv_ptr<const char>(qv_call(info_, kCiMemberName, id));
            return n ? n : kUnnamed;
        }
        const int count = static_cast<int>(qv_call(info_, kCiCount, kQvMaskMembers));
        for (int i = 0; i < count; ++i) {
            QvMemberAt m{};
            if (qv_call(info_, kCiMemberAt, i, kQvMaskMembers, &m) == 0 && m.memid == id && m.name) return m.name;
        }
        return kUnnamed;
    }

    // The class information's record, completed from the member table.
    bool memberAt(UINT index, int mask, Member *out) {
        QvMemberAt r{};
        if (qv_call(info_, kCiMemberAt, index, mask, &r) != 0) return false;
        complete(r.name, r.memid, r.kind, out);
        return true;
    }
    bool find(const std::string &name, Member *out) {
        QvMemberFound r{};
        if (qv_call(info_, kCiFind, name.c_str(), &r) != 0) return false;
        complete(r.name, r.memid, r.kind, out);
        return true;
    }
    void complete(const char *name, int32_t memid, int32_t flags, Member *out) {
        out->name = name ? name : "";
        out->memid = memid;
        out->flags = flags;
        if (const QvMemberEntry *row = rowOf(out->name)) {
            out->result = row->result;
            out->params = row->params;
        }
    }
    // The member's row in the class record's table or a parent's.
    const QvMemberEntry *rowOf(const std::string &name) const {
        const QvClassRecord *rec = class_;
        for (int depth = 0; rec && depth < kMaxClassDepth; ++depth) {
            for (const QvMemberEntry *e = rec->members ? rec->members() : nullptr; e && e->name; ++e)
                if (lstrcmpiA(e->name, name.c_str()) == 0) return e;
            rec = rec->parent ? rec->parent() : nullptr;
        }
        return nullptr;
    }

    MEMBERID memberId(const Member &m) {
        int id = MEMBERID_NIL;
        if (m.name.empty() || qv_call(script_, kQvGetMemberId, m.name.c_str(), &id) != 0) id = m.memid;
        return id;
    }

    HRESULT funcDesc(const Member &m, INVOKEKIND kind, FUNCDESC **out) {
        if (kind == INVOKE_PROPERTYPUT && m.result == kQvtObject) kind = INVOKE_PROPERTYPUTREF;
        const bool put = kind == INVOKE_PROPERTYPUT || kind == INVOKE_PROPERTYPUTREF;
        size_t params = 0;
        for (const unsigned char *p = m.params; p && *p; ++p) ++params;
        const size_t total = params + (put ? 1 : 0);
        FUNCDESC *f = static_cast<FUNCDESC *>(CoTaskMemAlloc(sizeof(FUNCDESC) + total * sizeof(ELEMDESC)));
        *out = f;
        if (!f) return E_OUTOFMEMORY;
        ZeroMemory(f, sizeof *f + total * sizeof(ELEMDESC));
        ELEMDESC *e = reinterpret_cast<ELEMDESC *>(f + 1);
        for (size_t i = 0; i < params; ++i) e[i] = cg_paramDesc(m.params[i]);
        if (put) {
            e[params].tdesc.vt = cg_resultType(m.result);
            e[params].paramdesc.wParamFlags = PARAMFLAG_FIN;
        }
        f->memid = memberId(m);
        f->funckind = FUNC_DISPATCH;
        f->invkind = kind;
        f->callconv = CC_STDCALL;
        f->cParams = static_cast<SHORT>(total);
        f->lprgelemdescParam = total ? e : nullptr;
        f->elemdescFunc.tdesc.vt = put ? VARTYPE(VT_VOID) : cg_resultType(m.result);
        return S_OK;
    }

    HRESULT varDesc(const Member &m, VARDESC **out) {
        VARDESC *v = static_cast<VARDESC *>(CoTaskMemAlloc(sizeof(VARDESC)));
        *out = v;
        if (!v) return E_OUTOFMEMORY;
        ZeroMemory(v, sizeof *v);
        v->memid = memberId(m);
        v->varkind = VAR_DISPATCH;
        v->elemdescVar.tdesc.vt = cg_resultType(m.result);
        if (m.flags & kQvMemberReadOnly) v->wVarFlags = VARFLAG_FREADONLY;
        return S_OK;
    }

    ComRefCount refs_{1};
    QvIntf *script_;
    QvIntf *info_;
    const QvClassRecord *class_ = nullptr;
    int vars_ = 0, funcs_ = 0;
};

}  // namespace

HRESULT cg_memberIds(QvIntf *script, LPOLESTR *names, UINT count, DISPID *ids) {
    if (!ids || (count && !names)) return E_INVALIDARG;
    if (!script) return E_UNEXPECTED;
    return cg_guarded([&] {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            int id = DISPID_UNKNOWN;
            if (qv_call(script, kQvGetMemberId, cg_narrow(names[i]).c_str(), &id) != 0) {
                id = DISPID_UNKNOWN;
                hr = DISP_E_UNKNOWNNAME;
            }
            ids[i] = id;
        }
        return hr;
    });
}

VARTYPE cg_resultType(int code) {
    switch (code) {
    case kQvtI1: return VT_I1;
    case kQvtU1: return VT_UI1;
    case kQvtI2: return VT_I2;
    case kQvtU2: return VT_UI2;
    case kQvtI4: return VT_I4;
    case kQvtU4: return VT_UI4;
    case kQvtDouble: return VT_R8;
    case kQvtString: return VT_BSTR;
    case kQvtObject: return VT_DISPATCH;
    case kQvtBool: return VT_BOOL;
    case kQvtDate: case kQvtTime: case kQvtDateTime: return VT_DATE;
    case kQvtCurrency: case kQvtFixed4: return VT_CY;
    case kQvtArray: return VT_ARRAY | VT_VARIANT;
    case kQvtClass: return VT_VOID;
    default: return VT_VARIANT;
    }
}

ELEMDESC cg_paramDesc(unsigned char type) {
    ELEMDESC e{};
    const int code = type & 0x3F;
    e.tdesc.vt = type == kQvtAny || type == (kQvtAny | 0x80) || code == 0 || code == kQvtArray || code == kQvtClass
                     ? VARTYPE(VT_VARIANT)
                     : cg_resultType(code);
    e.paramdesc.wParamFlags = (type & 0x80) ? PARAMFLAG_FOUT : PARAMFLAG_FIN;
    return e;
}

HRESULT cg_makeTypeInfo(QvIntf *script, ITypeInfo **out) {
    *out = nullptr;
    if (!script) return E_INVALIDARG;
    QvIntf *info = nullptr;
    if (qv_call(script, 7, kQvClassInfoQuery, &info) != 0 || !info) return E_INVALIDARG;
    TypeInfo *t = new (std::nothrow) TypeInfo(script, info);
    if (!t) {
        qv_call(info, kQvRelease);
        return E_OUTOFMEMORY;
    }
    *out = t;
    return S_OK;
}
