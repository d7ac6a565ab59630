// The stand-in ZAM interpreter: the ZamCallBacks table as the registration
// modules rely on it. One per test process (the callbacks carry no
// context). Every one of the 223 slots is a trap that fails the test and
// names the slot until a test enables it.
#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "zam_interp.h"

namespace th {

// A value as the interpreter received it (SetParm, ReturnVal, SetStdVar,
// ValueSet) or holds it (a parameter, an array element).
struct Val {
    unsigned char type = V_UNDEF;
    int32_t i = 0;       // V_INTEGER
    bool b = false;      // V_BOOL
    double d = 0;        // V_DOUBLE
    int64_t money = 0;   // V_MONEY
    std::string s;       // V_STRING
    void *obj = nullptr; // V_OBJECT
    bdate date{};        // V_DATE, V_DTTM
    btime time{};        // V_TIME, V_DTTM

    bool isText(const std::string &text) const { return type == V_STRING && s == text; }
};

struct ParmWrite {
    int n;
    Val v;
};

struct ProcReg {
    unsigned char kind;
    std::string name;
    ZamProc fn;
    int zero;
};

struct VarReg {
    unsigned char type;
    std::string name;
};

struct VarSet {
    std::string name;  // of the AddStdVar handle
    Val v;
};

// A script array: elements grow when an index past the end is asked.
struct ScriptArray {
    std::vector<std::unique_ptr<VALUE>> elems;
    std::vector<int> sizeSets;  // every value given to the "size" property
};

class Interp {
public:
    static Interp &get();

    // Back to a new interpreter: all traps, nothing recorded.
    void reset();
    ZamCallBacks *table() { return &table_; }

    // Enables the stand-in of the given slots: 3, 4, 6, 7, 8, 9, 11, 12, 81,
    // 85, 152, 156, 159, 160, 161, 164, 165, 172, 176; enableAll: them all.
    void enable(std::initializer_list<int> slots);
    void enableAll();
    // Any slot becomes a recorder: it notes its number in `calls` and
    // answers its own number.
    void record(int slot);
    void recordRange(int first, int last);

    // Every call of an enabled or recorded slot, in order.
    std::vector<int> calls;
    int callsOf(int slot) const;
    // Slots that were called while still traps.
    std::vector<int> trapsHit;

    // Slot 8 knows these names; slot 152 answers hostVersion.
    std::set<std::string> symbols;
    std::vector<std::string> symbolLookups;
    unsigned hostVersion = 304;
    // Slot 172: options answer from here, others 0.
    std::map<int, int> options;

    // Parameters of the next call: slot 3 hands out &params[n].
    std::vector<VALUE> params;
    VALUE str(const std::string &text);  // the interpreter keeps the text
    static VALUE integer(int32_t v);
    static VALUE boolean(bool v);
    static VALUE undef();
    VALUE array(const std::vector<VALUE> &elems);  // a V_OBJECT of a new array
    ScriptArray *arrayOf(const VALUE &v) const;
    std::vector<Val> elements(const VALUE &v) const;

    std::vector<ParmWrite> parmWrites;
    std::vector<Val> returns;
    std::vector<ProcReg> procs;
    std::vector<VarReg> vars;
    std::vector<VarSet> varSets;
    std::vector<std::string> runErrors;
    std::vector<Val> valueSets;
    std::vector<size_t> allocs;  // sizes asked of slots 159 and 160
    int frees = 0;

    // Runs a registered function with the given parameters; clears the
    // writes and results of the previous call first.
    int call(const std::string &name, const std::vector<VALUE> &args);
    const ProcReg *proc(const std::string &name) const;
    // The value a constant was set to; V_UNDEF when it never was.
    Val var(const std::string &name) const;

    static Val capture(unsigned char type, const void *data);
    static Val valOf(const VALUE &v);

private:
    Interp();
    friend struct InterpAccess;

    ZamCallBacks table_;
    std::deque<std::string> texts_;
    std::vector<std::unique_ptr<ScriptArray>> arrays_;
};

}  // namespace th
