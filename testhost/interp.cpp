#include "interp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "traps.h"

namespace th {

namespace {

Interp &I() { return Interp::get(); }

struct InterpTraps {
    template <int N> static intptr_t ZAMCB trap() {
        I().trapsHit.push_back(N);
        ADD_FAILURE() << "ZamCallBacks slot " << N << " was called but the test did not enable it";
        return 0;
    }
};

struct InterpRecorders {
    template <int N> static intptr_t ZAMCB trap() {
        I().calls.push_back(N);
        return N;
    }
};

std::string orEmpty(const char *s) { return s ? s : ""; }

template <class T> T readAs(const void *data) {
    T v{};
    if (data) std::memcpy(&v, data, sizeof v);
    return v;
}

}  // namespace

Val Interp::capture(unsigned char type, const void *data) {
    Val v;
    v.type = type;
    switch (type) {
    case V_STRING: v.s = orEmpty(static_cast<const char *>(data)); break;
    case V_INTEGER: v.i = readAs<int32_t>(data); break;
    case V_BOOL: v.b = readAs<uint8_t>(data) != 0; break;
    case V_DOUBLE: v.d = readAs<double>(data); break;
    case V_MONEY: v.money = readAs<int64_t>(data); break;
    case V_DATE: v.date = readAs<bdate>(data); break;
    case V_TIME: v.time = readAs<btime>(data); break;
    case V_DTTM: {
        ZamDtTm t = readAs<ZamDtTm>(data);
        v.date = t.date;
        v.time = t.time;
        break;
    }
    case V_OBJECT: v.obj = readAs<void *>(data); break;
    default: break;
    }
    return v;
}

Val Interp::valOf(const VALUE &value) {
    if (value.v_type == V_STRING) {
        char *text = readAs<char *>(&value.value);
        return capture(V_STRING, text);
    }
    return capture(value.v_type, &value.value);
}

struct InterpAccess {
    static bool ZAMCB getParm(int n, VALUE **out) {
        I().calls.push_back(3);
        if (!out || n < 0 || static_cast<size_t>(n) >= I().params.size()) return false;
        *out = &I().params[static_cast<size_t>(n)];
        return true;
    }
    static int ZAMCB setParm(int n, unsigned char type, const void *data) {
        I().calls.push_back(4);
        I().parmWrites.push_back({n, Interp::capture(type, data)});
        return 1;
    }
    static int ZAMCB returnVal(unsigned char type, const void *data) {
        I().calls.push_back(6);
        I().returns.push_back(Interp::capture(type, data));
        return 1;
    }
    static ZamSymbol ZAMCB addStdVar(unsigned char type, const char *name) {
        I().calls.push_back(7);
        I().vars.push_back({type, orEmpty(name)});
        return reinterpret_cast<ZamSymbol>(static_cast<intptr_t>(I().vars.size()));
    }
    static ZamSymbol ZAMCB findStdSymbol(const char *name, int) {
        I().calls.push_back(8);
        I().symbolLookups.push_back(orEmpty(name));
        return I().symbols.count(orEmpty(name)) ? reinterpret_cast<ZamSymbol>(1) : nullptr;
    }
    static int ZAMCB setStdVar(ZamSymbol var, unsigned char type, const void *data) {
        I().calls.push_back(9);
        intptr_t h = reinterpret_cast<intptr_t>(var);
        if (h < 1 || static_cast<size_t>(h) > I().vars.size()) {
            ADD_FAILURE() << "SetStdVar of a handle AddStdVar did not give";
            return 0;
        }
        I().varSets.push_back({I().vars[static_cast<size_t>(h - 1)].name, Interp::capture(type, data)});
        return 1;
    }
    static int ZAMCB addStdProc(unsigned char kind, const char *name, ZamProc fn, int zero) {
        I().calls.push_back(11);
        I().procs.push_back({kind, orEmpty(name), fn, zero});
        return 1;
    }
    static void ZAMCB reportRunError(const char *message) {
        I().calls.push_back(12);
        I().runErrors.push_back(orEmpty(message));
    }
    static void ZAMCB valueClear(VALUE *v) {
        I().calls.push_back(81);
        if (v) std::memset(v, 0, sizeof *v);
    }
    static int ZAMCB valueSet(VALUE *v, unsigned char type, const void *data) {
        I().calls.push_back(85);
        Val val = Interp::capture(type, data);
        I().valueSets.push_back(val);
        if (!v) return 0;
        if (type == V_STRING) {
            *v = I().str(val.s);
        } else {
            std::memset(v, 0, sizeof *v);
            v->v_type = type;
            size_t n = type == V_INTEGER ? 4 : type == V_BOOL ? 1 : type == V_OBJECT ? sizeof(void *)
                     : (type == V_DATE || type == V_TIME) ? 4 : 8;
            if (data) std::memcpy(&v->value, data, n);
        }
        return 1;
    }
    static unsigned ZAMCB getHostVersion() {
        I().calls.push_back(152);
        return I().hostVersion;
    }
    static VALUE *ZAMCB getArrayElem(void *array, int index) {
        I().calls.push_back(156);
        ScriptArray *a = findArray(array);
        if (!a || index < 0 || index > 100000) return nullptr;
        while (a->elems.size() <= static_cast<size_t>(index)) a->elems.push_back(std::make_unique<VALUE>());
        return a->elems[static_cast<size_t>(index)].get();
    }
    static void *ZAMCB allocMem(size_t size) {
        I().calls.push_back(159);
        I().allocs.push_back(size);
        return std::calloc(1, size);
    }
    static void *ZAMCB allocMemChecked(size_t size) {
        I().calls.push_back(160);
        I().allocs.push_back(size);
        void *p = std::calloc(1, size);
        if (!p) I().runErrors.push_back("Out of memory");
        return p;
    }
    static void ZAMCB freeMem(void *block) {
        I().calls.push_back(161);
        ++I().frees;
        std::free(block);
    }
    static int ZAMCB invokeMember(void *object, int id, int kind, int, int, VALUE *arg) {
        I().calls.push_back(164);
        ScriptArray *a = findArray(object);
        if (!a || id != 1 || kind != kZamInvokeSet || !arg || arg->v_type != V_INTEGER) return -1;
        int32_t size = readAs<int32_t>(&arg->value);
        if (size < 0) return -1;
        a->sizeSets.push_back(size);
        a->elems.resize(static_cast<size_t>(size));
        for (auto &e : a->elems)
            if (!e) e = std::make_unique<VALUE>();
        return 0;
    }
    static int ZAMCB findMember(void *object, const char *name, int *id) {
        I().calls.push_back(165);
        if (!findArray(object) || _stricmp(orEmpty(name).c_str(), "size") != 0) return -1;
        if (id) *id = 1;
        return 0;
    }
    static int ZAMCB getHostOption(int option, int) {
        I().calls.push_back(172);
        auto it = I().options.find(option);
        return it == I().options.end() ? 0 : it->second;
    }
    static void *ZAMCB getArrayObj(void *object) {
        I().calls.push_back(176);
        return findArray(object);
    }

    static ScriptArray *findArray(void *p) {
        for (auto &a : I().arrays_)
            if (a.get() == p) return a.get();
        return nullptr;
    }
};

Interp &Interp::get() {
    static Interp i;
    return i;
}

Interp::Interp() { reset(); }

void Interp::reset() {
    fillTraps(reinterpret_cast<void **>(&table_), std::make_index_sequence<kZamSlots>(), InterpTraps());
    calls.clear();
    trapsHit.clear();
    symbols.clear();
    symbolLookups.clear();
    hostVersion = 304;
    options.clear();
    params.clear();
    parmWrites.clear();
    returns.clear();
    procs.clear();
    vars.clear();
    varSets.clear();
    runErrors.clear();
    valueSets.clear();
    allocs.clear();
    frees = 0;
    texts_.clear();
    arrays_.clear();
}

void Interp::enable(std::initializer_list<int> slots) {
    for (int s : slots) {
        switch (s) {
        case 3: table_.GetParm = InterpAccess::getParm; break;
        case 4: table_.SetParm = InterpAccess::setParm; break;
        case 6: table_.ReturnVal = InterpAccess::returnVal; break;
        case 7: table_.AddStdVar = InterpAccess::addStdVar; break;
        case 8: table_.FindStdSymbol = InterpAccess::findStdSymbol; break;
        case 9: table_.SetStdVar = InterpAccess::setStdVar; break;
        case 11: table_.AddStdProc = InterpAccess::addStdProc; break;
        case 12: table_.ReportRunError = InterpAccess::reportRunError; break;
        case 81: table_.ValueClear = InterpAccess::valueClear; break;
        case 85: table_.ValueSet = InterpAccess::valueSet; break;
        case 152: table_.GetHostVersion = InterpAccess::getHostVersion; break;
        case 156: table_.GetArrayElem = InterpAccess::getArrayElem; break;
        case 159: table_.AllocMem = InterpAccess::allocMem; break;
        case 160: table_.AllocMemChecked = InterpAccess::allocMemChecked; break;
        case 161: table_.FreeMem = InterpAccess::freeMem; break;
        case 164: table_.InvokeMember = InterpAccess::invokeMember; break;
        case 165: table_.FindMember = InterpAccess::findMember; break;
        case 172: table_.GetHostOption = InterpAccess::getHostOption; break;
        case 176: table_.GetArrayObj = InterpAccess::getArrayObj; break;
        default: ADD_FAILURE() << "the stand-in interpreter has no ZamCallBacks slot " << s;
        }
    }
}

void Interp::enableAll() {
    enable({3, 4, 6, 7, 8, 9, 11, 12, 81, 85, 152, 156, 159, 160, 161, 164, 165, 172, 176});
}

void Interp::record(int slot) {
    void *recorders[kZamSlots];
    fillTraps(recorders, std::make_index_sequence<kZamSlots>(), InterpRecorders());
    if (slot >= 0 && slot < kZamSlots) reinterpret_cast<void **>(&table_)[slot] = recorders[slot];
}

void Interp::recordRange(int first, int last) {
    for (int s = first; s <= last; ++s) record(s);
}

int Interp::callsOf(int slot) const { return static_cast<int>(std::count(calls.begin(), calls.end(), slot)); }

VALUE Interp::str(const std::string &text) {
    texts_.push_back(text);
    VALUE v{};
    v.v_type = V_STRING;
    char *p = &texts_.back()[0];
    std::memcpy(&v.value, &p, sizeof p);
    return v;
}

VALUE Interp::integer(int32_t i) {
    VALUE v{};
    v.v_type = V_INTEGER;
    std::memcpy(&v.value, &i, sizeof i);
    return v;
}

VALUE Interp::boolean(bool b) {
    VALUE v{};
    v.v_type = V_BOOL;
    v.value.boolval = b ? 1 : 0;
    return v;
}

VALUE Interp::undef() { return VALUE{}; }

VALUE Interp::array(const std::vector<VALUE> &elems) {
    arrays_.push_back(std::make_unique<ScriptArray>());
    for (const VALUE &e : elems) arrays_.back()->elems.push_back(std::make_unique<VALUE>(e));
    VALUE v{};
    v.v_type = V_OBJECT;
    void *p = arrays_.back().get();
    std::memcpy(&v.value, &p, sizeof p);
    return v;
}

ScriptArray *Interp::arrayOf(const VALUE &v) const {
    if (v.v_type != V_OBJECT) return nullptr;
    return InterpAccess::findArray(readAs<void *>(&v.value));
}

std::vector<Val> Interp::elements(const VALUE &v) const {
    std::vector<Val> out;
    if (ScriptArray *a = arrayOf(v))
        for (auto &e : a->elems) out.push_back(valOf(*e));
    return out;
}

int Interp::call(const std::string &name, const std::vector<VALUE> &args) {
    params = args;
    parmWrites.clear();
    returns.clear();
    const ProcReg *p = proc(name);
    if (!p || !p->fn) {
        ADD_FAILURE() << name << " was not registered";
        return -1;
    }
    return p->fn();
}

const ProcReg *Interp::proc(const std::string &name) const {
    for (const ProcReg &p : procs)
        if (p.name == name) return &p;
    return nullptr;
}

Val Interp::var(const std::string &name) const {
    Val v;
    for (const VarSet &s : varSets)
        if (s.name == name) v = s.v;
    return v;
}

}  // namespace th
