// Stand-in for the interpreter library QVScript.dll. Instances read a tiny
// module format written by the tests, one statement a line:
//   var NAME int N | var NAME str TEXT     a variable
//   proc NAME echo|sum|concat|swap|fail    a procedure
//   syntax CODE LINE TEXT                  AddModule reports it and fails
//   send CODE TEXT                         host message CODE with the text
//   error CODE LINE TEXT                   host message 4 with an error record
//   ask CODE                               host message CODE with a zeroed record
//   fill CODE                              the same with a record of 0xFF bytes;
//                                          the journal shows 12 of them
//   print TEXT                             the print hook (macro runs)
//   redirect TARGET                        host message 20
//   ax CODE TEXT                           host message 52
//   qvcom KIND CODE                        host message 139
//   failexec                               Execute fails
// What the library is asked and answers goes to a journal the tests read.
// A slot the library does not offer, and a member row it would not accept,
// go to a second list, which fails the test that reached them
// (qvsclient.cpp).
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <utility>

#include "journal.h"
#include "qvrecords.h"
#include "qvscript.h"
#include "traps.h"
#include "zamdbg.h"

namespace {

StandInJournal g_journal;
StandInJournal g_strays;
std::map<std::string, QvWord> g_settings;

template <typename... A>
void note(const char *format, A... args) {
    g_journal.note(format, args...);
}

// Every table slot the library does not offer answers through one of these.
enum StrayTable : int { kStrayOwner, kStrayRuntime, kStrayParms, kStrayConverter, kStrayDebug, kStrayInterpreter,
                        kStrayInstance };
const char *const kStrayNames[] = {"owner", "runtime link", "parameter list", "value converter",
                                   "debug interface", "interpreter table", "instance"};
template <int Table>
struct Stray {
    template <int Slot>
    static QvWord QVSCB trap() {
        g_strays.note("%s slot %d is not offered", kStrayNames[Table], Slot);
        return 0;
    }
};
template <int Table, size_t N>
void fillStrays(void **slots) {
    th::fillTraps(slots, std::make_index_sequence<N>(), Stray<Table>());
}

// A call of a default-dispatch slot, word by word.
template <typename... W>
void noteSlot(int slot, W... words) {
    std::string line = "runtime " + std::to_string(slot);
    char buf[24];
    for (unsigned long long w : {static_cast<unsigned long long>(static_cast<uintptr_t>(words))...}) {
        snprintf(buf, sizeof buf, " %llx", w);
        line += buf;
    }
    g_journal.note("%s", line.c_str());
}

QvWord setting(const char *key, QvWord fallback) {
    auto it = g_settings.find(key);
    return it == g_settings.end() ? fallback : it->second;
}

// --- values ---------------------------------------------------------------

size_t payloadSize(unsigned char type) {
    switch (type) {
    case V_INTEGER: case V_DATE: case V_TIME: return 4;
    case V_MONEY: case V_DOUBLE: case V_DTTM: return 8;
    case V_DOUBLEL: return 10;
    case V_BOOL: return 1;
    default: return 0;
    }
}

void valueClear(VALUE *cell) {
    if (cell->v_type == V_STRING) std::free(cell->value.string);
    std::memset(cell, 0, sizeof *cell);
}

void valueSet(VALUE *cell, unsigned char type, const void *data) {
    valueClear(cell);
    cell->v_type = type;
    if (type == V_STRING)
        cell->value.string = _strdup(data ? static_cast<const char *>(data) : "");
    else if (data)
        std::memcpy(&cell->value, data, payloadSize(type));
}

std::string show(const VALUE &v) {
    char buf[64];
    switch (v.v_type) {
    case V_INTEGER: snprintf(buf, sizeof buf, "%d", static_cast<int>(v.value.intval)); return buf;
    case V_STRING: return std::string("\"") + (v.value.string ? v.value.string : "") + "\"";
    case V_BOOL: return v.value.boolval ? "true" : "false";
    case V_DOUBLE: snprintf(buf, sizeof buf, "%g", v.value.doubval); return buf;
    case V_UNDEF: return "none";
    default: snprintf(buf, sizeof buf, "type%d", v.v_type); return buf;
    }
}

// --- the runtime's error list ------------------------------------------

// Entries that modules add carry their text (kind 1); the interpreter's own
// carry only a code (kind 2), whose text the owner's formatter gives. The
// level is the entry's own, whatever its kind.
enum : int32_t { kErrorText = 1, kErrorCoded = 2 };
struct ErrorEntry {
    int32_t kind;
    int32_t code;
    int32_t level;
    std::string text;
};
std::vector<ErrorEntry> g_errors;

// --- instances ---------------------------------------------------------

struct Proc {
    std::string kind;
};
struct Stmt {
    std::string op;
    std::vector<std::string> words;  // words after op; the last may be a rest text
    std::string rest;                // the line after op and its fixed words
    std::string module;
    int line;
};

struct Instance : ZamInstance {
    std::string name;
    ZamHostRecord *host = nullptr;
    QvsMessageFn message = nullptr;  // macro runs: the caller's callback
    std::map<std::string, VALUE> vars;
    std::map<std::string, Proc> procs;
    std::vector<Stmt> body;
    int state = 0;
    int lastError = 0;
    QvsPrintRecord print{};
    ~Instance() {
        for (auto &v : vars) valueClear(&v.second);
    }
};

Instance *g_auto = nullptr;     // the instance of a macro run
Instance *g_current = nullptr;  // the instance last made or run

int send(Instance *in, int code, void *data) {
    int answer = 0;
    if (in->message)
        answer = in->message(code, data, 0);
    else if (in->host && in->host->callback)
        answer = in->host->callback(in->host, in, code, data);
    return answer;
}

std::string restAfter(std::istringstream &ss) {
    std::string rest;
    std::getline(ss, rest);
    size_t b = rest.find_first_not_of(' ');
    rest = b == std::string::npos ? "" : rest.substr(b);
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) rest.pop_back();
    return rest;
}

void reportError(Instance *in, int code, int line, const std::string &module, const std::string &text) {
    QvsErrorRecord rec{code, line, 1, module.c_str(), text.c_str()};
    int answer = send(in, kQvsMsgError, &rec);
    note("error %d -> %d", code, answer);
}

int addModule(Instance *in, const char *file) {
    std::ifstream f(file ? file : "");
    if (!f) {
        reportError(in, 2, -1, file ? file : "", "cannot open");
        return 0;
    }
    std::string line;
    int n = 0;
    std::vector<Stmt> body;
    while (std::getline(f, line)) {
        ++n;
        std::istringstream ss(line);
        std::string op;
        if (!(ss >> op)) continue;
        if (op == "var") {
            std::string name, type;
            ss >> name >> type;
            std::string value = restAfter(ss);
            VALUE v{};
            if (type == "int") {
                int32_t i = std::atoi(value.c_str());
                valueSet(&v, V_INTEGER, &i);
            } else {
                valueSet(&v, V_STRING, value.c_str());
            }
            valueClear(&in->vars[name]);
            in->vars[name] = v;
        } else if (op == "proc") {
            std::string name, kind;
            ss >> name >> kind;
            in->procs[name] = Proc{kind};
        } else if (op == "syntax") {
            int code = 0, at = 0;
            ss >> code >> at;
            reportError(in, code, at, file, restAfter(ss));
            return 0;
        } else {
            Stmt s{op, {}, "", file, n};
            if (op == "error" || op == "send" || op == "ax" || op == "qvcom") {
                std::string w;
                ss >> w;
                s.words.push_back(w);
                if (op == "error") {
                    ss >> w;
                    s.words.push_back(w);
                }
            }
            s.rest = restAfter(ss);
            body.push_back(s);
        }
    }
    in->body.insert(in->body.end(), body.begin(), body.end());
    return 1;
}

void runStatement(Instance *in, const Stmt &s) {
    if (s.op == "send") {
        int code = std::atoi(s.words[0].c_str());
        note("send %d -> %d", code, send(in, code, const_cast<char *>(s.rest.c_str())));
    } else if (s.op == "error") {
        reportError(in, std::atoi(s.words[0].c_str()), std::atoi(s.words[1].c_str()), s.module, s.rest);
    } else if (s.op == "ask") {
        int code = std::atoi(s.rest.c_str());
        QvWord record[8] = {};
        int answer = send(in, code, record);
        if (code == kQvsMsgPaths) {
            std::string paths;
            for (int i = 0; i < kQvsPathSlots; ++i) {
                const char *p = reinterpret_cast<const char *>(record[i]);
                paths += i ? "|" : "";
                paths += p ? p : "(null)";
            }
            note("ask %d -> %d %s", code, answer, paths.c_str());
        } else {
            const unsigned char *b = reinterpret_cast<const unsigned char *>(record);
            note("ask %d -> %d %d %d %d %d %d %d %d %d", code, answer, b[0], b[1], b[2], b[3], b[4], b[5],
                 b[6], b[7]);
        }
    } else if (s.op == "fill") {
        int code = std::atoi(s.rest.c_str());
        unsigned char record[8 * sizeof(QvWord)];
        std::memset(record, 0xFF, sizeof record);
        int answer = send(in, code, record);
        std::string bytes;
        for (int i = 0; i < 12; ++i) bytes += " " + std::to_string(record[i]);
        note("fill %d -> %d%s", code, answer, bytes.c_str());
    } else if (s.op == "print") {
        if (in->print.hook)
            note("print -> %d", in->print.hook(s.rest.c_str()));
        else
            note("send %d -> %d", kQvsMsgPrint, send(in, kQvsMsgPrint, const_cast<char *>(s.rest.c_str())));
    } else if (s.op == "redirect") {
        QvsRedirect r{{1, 2, reinterpret_cast<QvWord>(s.rest.c_str()), 4}};
        int answer = send(in, kQvsMsgRedirect, &r);
        note("redirect %s -> %d", reinterpret_cast<const char *>(r.w[2]), answer);
    } else if (s.op == "ax") {
        QvsAxError ax{s.rest.empty() ? nullptr : s.rest.c_str(), 0, static_cast<int32_t>(strtol(s.words[0].c_str(), nullptr, 16))};
        note("ax -> %d", send(in, kQvsMsgAxError, &ax));
    } else if (s.op == "qvcom") {
        int32_t kind = std::atoi(s.words[0].c_str());
        QvsQvcomRecord rec{&kind, std::atoi(s.rest.c_str())};
        note("qvcom -> %d", send(in, kQvsMsgQvcomError, &rec));
    }
}

int execute(Instance *in) {
    for (const Stmt &s : in->body) {
        if (s.op == "failexec") {
            in->lastError = 9;
            return 0;
        }
        runStatement(in, s);
    }
    in->state = kZamStateExecuted;
    return 1;
}

struct Symbol {
    Instance *in;
    std::string name;
};
std::vector<std::unique_ptr<Symbol>> g_symbols;

Symbol *findSymbol(Instance *in, const char *name) {
    if (!in || !name || (!in->vars.count(name) && !in->procs.count(name))) return nullptr;
    g_symbols.push_back(std::make_unique<Symbol>(Symbol{in, name}));
    return g_symbols.back().get();
}

int callProc(Instance *in, const std::string &name, int argc, VALUE *args, VALUE *result) {
    std::string shown;
    for (int i = 0; i < argc; ++i) shown += (i ? "," : "") + show(args[i]);
    note("call %s(%s)", name.c_str(), shown.c_str());
    const std::string &kind = in->procs[name].kind;
    if (kind == "echo") {
        if (argc > 0) {
            VALUE copy = args[0];
            valueSet(result, copy.v_type, copy.v_type == V_STRING ? static_cast<const void *>(copy.value.string) : &copy.value);
        }
    } else if (kind == "sum") {
        int32_t sum = 0;
        for (int i = 0; i < argc; ++i) sum += args[i].value.intval;
        valueSet(result, V_INTEGER, &sum);
    } else if (kind == "concat") {
        std::string s;
        for (int i = 0; i < argc; ++i) s += args[i].v_type == V_STRING ? args[i].value.string : show(args[i]);
        valueSet(result, V_STRING, s.c_str());
    } else if (kind == "swap") {
        if (argc >= 2) std::swap(args[0], args[1]);
        uint8_t yes = 1;
        valueSet(result, V_BOOL, &yes);
    } else {
        in->lastError = 5;
        return 0;
    }
    return 1;
}

int callSymbol(Instance *in, Symbol *sym, int kind, int argc, VALUE *args, VALUE *result) {
    if (!sym) return 0;
    note("callsymbol %s kind %d", sym->name.c_str(), kind);
    if (in->state != kZamStateExecuted) {
        in->lastError = 6;
        return 0;
    }
    if (in->procs.count(sym->name)) return callProc(in, sym->name, argc, args, result);
    VALUE &var = in->vars[sym->name];
    if (kind == 1) {
        valueSet(result, var.v_type, var.v_type == V_STRING ? static_cast<const void *>(var.value.string) : &var.value);
    } else if (kind == 2) {
        if (!result || result->v_type == V_UNDEF) return 0;
        valueSet(&var, result->v_type, result->v_type == V_STRING ? static_cast<const void *>(result->value.string) : &result->value);
        note("set %s = %s", sym->name.c_str(), show(var).c_str());
    } else {
        in->lastError = 5;
        return 0;
    }
    return 1;
}

// --- the value converter --------------------------------------------------

// The converter works on the library's own parameter lists.
int entryCount(const QvIntf *list);

QvIntf g_converter;

QvWord QVSCB cvToCells(const QvIntf *, QvWord parms, QvWord nameIndex, QvWord outCells, QvWord outCount) {
    const QvIntf *p = qv_ptr<const QvIntf>(parms);
    int total = entryCount(p);
    int count = total - static_cast<int>(nameIndex);
    if (count < 1) count = 1;
    VALUE *cells = static_cast<VALUE *>(std::calloc(count, sizeof(VALUE)));
    for (int i = 1; i < count; ++i) {
        int index = static_cast<int>(nameIndex) + i;
        switch (qv_call(p, kPmType, 0, index)) {
        case kQvtInt: {
            int32_t v = static_cast<int32_t>(qv_ptr<QvValue>(qv_call(p, kPmValue, 0, index))->value);
            valueSet(&cells[i], V_INTEGER, &v);
            break;
        }
        case kQvtString:
            valueSet(&cells[i], V_STRING, qv_ptr<const char>(qv_call(p, kPmText, 0, index)));
            break;
        case kQvtBool: {
            uint8_t v = qv_ptr<QvValue>(qv_call(p, kPmValue, 0, index))->data[0] != 0;
            valueSet(&cells[i], V_BOOL, &v);
            break;
        }
        case kQvtNone:
            break;
        default:
            for (int j = 0; j < count; ++j) valueClear(&cells[j]);
            std::free(cells);
            return 1;
        }
    }
    *qv_ptr<VALUE *>(outCells) = cells;
    *qv_ptr<int>(outCount) = count;
    return 0;
}

void writeBack(const QvIntf *p, int index, const VALUE &v) {
    switch (v.v_type) {
    case V_INTEGER: qv_call(p, kPmSet, 0, index, kQvtInt, &v.value.intval); break;
    case V_BOOL: qv_call(p, kPmSet, 0, index, kQvtBool, &v.value.boolval); break;
    case V_STRING: qv_call(p, kPmSetText, 0, index, v.value.string); break;
    default: break;
    }
}

QvWord QVSCB cvWriteBack(const QvIntf *, QvWord parms, QvWord nameIndex, QvWord cells, QvWord count) {
    const QvIntf *p = qv_ptr<const QvIntf>(parms);
    VALUE *c = qv_ptr<VALUE>(cells);
    writeBack(p, 0, c[0]);
    for (int i = 1; i < count; ++i) writeBack(p, static_cast<int>(nameIndex) + i, c[i]);
    return 0;
}

QvWord QVSCB cvFree(const QvIntf *, QvWord cells, QvWord count) {
    VALUE *c = qv_ptr<VALUE>(cells);
    for (int i = 0; i < count; ++i) valueClear(&c[i]);
    std::free(c);
    note("cells freed %d", static_cast<int>(count));
    return 0;
}

void *g_converterSlots[kCvSlots];

// --- instance table -------------------------------------------------------

Instance *self(ZamInstance *z) { return static_cast<Instance *>(z); }

int QVSCB opAddModule(ZamInstance *z, const char *name) {
    note("addmodule %s", name ? name : "(null)");
    return addModule(self(z), name);
}
int QVSCB opExecute(ZamInstance *z) {
    note("execute");
    return execute(self(z));
}
void QVSCB opStop(ZamInstance *z) { note("stop %s", self(z)->name.c_str()); }
int QVSCB opState(ZamInstance *z) { return self(z)->state; }
void *QVSCB opFindSymbol(ZamInstance *z, const char *name, int) { return findSymbol(self(z), name); }
int QVSCB opCallSymbol(ZamInstance *z, void *sym, int kind, int argc, VALUE *args, VALUE *result) {
    return callSymbol(self(z), static_cast<Symbol *>(sym), kind, argc, args, result);
}
int QVSCB opTestExist(ZamInstance *z, const char *name) { return findSymbol(self(z), name) != nullptr; }
int QVSCB opQuery(ZamInstance *, int what, QvWord *out) {
    note("query %d", what);
    if (what == kZamQueryConverter && out) *out = qv_word(&g_converter);
    return 0;
}
int QVSCB opLastError(ZamInstance *z) { return self(z)->lastError; }

ZamInstanceOps makeOps() {
    ZamInstanceOps ops{};
    fillStrays<kStrayInstance, sizeof ops / sizeof(void *)>(reinterpret_cast<void **>(&ops));
    ops.AddModule = opAddModule;
    ops.Execute = opExecute;
    ops.Stop = opStop;
    ops.State = opState;
    ops.FindSymbol = opFindSymbol;
    ops.CallSymbol = opCallSymbol;
    ops.TestExist = opTestExist;
    ops.Query = opQuery;
    ops.LastError = opLastError;
    return ops;
}
const ZamInstanceOps g_ops = makeOps();

ZamInstance *QVSCB createInstance(const char *name, int, ZamHostRecord *host, int) {
    note("create %s", name ? name : "(null)");
    if (setting("createFails", 0)) return nullptr;
    Instance *in = new Instance;
    in->fn = &g_ops;
    in->name = name ? name : "";
    in->host = host;
    g_current = in;
    return in;
}

void QVSCB destroyInstance(ZamInstance *z) {
    if (!z) return;
    note("destroy %s", self(z)->name.c_str());
    if (g_current == z) g_current = nullptr;
    delete self(z);
}

QvsInterpreter makeInterpreter() {
    QvsInterpreter t{};
    fillStrays<kStrayInterpreter, sizeof t / sizeof(void *)>(reinterpret_cast<void **>(&t));
    t.create = createInstance;
    t.destroy = destroyInstance;
    return t;
}
const QvsInterpreter g_interpreter = makeInterpreter();

// --- owner, runtime link and parameter lists --------------------------------

QvIntf g_owner;
QvIntf g_runtime;
void *g_ownerSlots[kOwnSlots];
void *g_runtimeSlots[kRtSlots];

QvWord QVSCB ownVersion(const QvIntf *) { return setting("ownerVersion", 8); }
QvWord QVSCB ownGetSix(const QvIntf *, QvWord out, QvWord in) {
    for (int i = 0; i < 6; ++i) qv_ptr<QvWord>(out)[i] = 11 * (i + 1);
    note("owner getsix %d", static_cast<int>(in));
    return 0;
}
QvWord QVSCB ownPutSix(const QvIntf *, QvWord six, QvWord one) {
    QvWord *w = qv_ptr<QvWord>(six);
    note("owner putsix %d %d %d %d %d %d, %d", (int)w[0], (int)w[1], (int)w[2], (int)w[3], (int)w[4], (int)w[5],
         static_cast<int>(one));
    return 0;
}
QvWord QVSCB ownRuntime(const QvIntf *) { return qv_word(&g_runtime); }
QvWord QVSCB ownState(const QvIntf *) { return setting("ownerState", 0); }
QvWord QVSCB ownFormat(const QvIntf *, QvWord code, QvWord buf, QvWord size, QvWord) {
    snprintf(qv_ptr<char>(buf), static_cast<size_t>(size), "owner text %d", static_cast<int>(code));
    return 0;
}
QvWord QVSCB ownDirectory(const QvIntf *, QvWord buf, QvWord size) {
    const char *dir = qv_ptr<const char>(setting("ownerDir", 0));
    note("owner directory");
    snprintf(qv_ptr<char>(buf), static_cast<size_t>(size), "%s", dir ? dir : "");
    return 0;
}
QvDropHook g_dropHook = nullptr;
void *g_dropContext = nullptr;
QvWord QVSCB ownAddDrop(const QvIntf *, QvWord fn, QvWord context) {
    g_dropHook = reinterpret_cast<QvDropHook>(fn);
    g_dropContext = qv_ptr<void>(context);
    note("owner drophook on");
    return 0;
}
QvWord QVSCB ownRemoveDrop(const QvIntf *, QvWord, QvWord) {
    g_dropHook = nullptr;
    note("owner drophook off");
    return 0;
}
QvWord g_stamp = 76;
QvWord QVSCB ownStamp(const QvIntf *) {
    note("owner stamp");
    return ++g_stamp;
}
QvWord QVSCB ownModuleAddRef(const QvIntf *, QvWord count) { return ++*qv_ptr<int>(count); }
QvWord QVSCB ownModuleRelease(const QvIntf *, QvWord count) {
    int &c = *qv_ptr<int>(count);
    return --c;  // 0: the module runs its own release
}

QvWord QVSCB rtOwner(const QvIntf *) { return qv_word(&g_owner); }
QvWord QVSCB rtUnregister(const QvIntf *, QvWord) {
    note("unregister");
    return 0;
}
// The main interface's generic forwards: (dispatch interface, the words,
// object); each answers its slot number.
QvWord QVSCB rtForward19(const QvIntf *, QvWord disp, QvWord a, QvWord b, QvWord c, QvWord d, QvWord object) {
    noteSlot(kRtForward19, disp, a, b, c, d, object);
    return kRtForward19;
}
QvWord QVSCB rtForward76(const QvIntf *, QvWord disp, QvWord a, QvWord b, QvWord c, QvWord d, QvWord e,
                         QvWord object) {
    noteSlot(kRtForward76, disp, a, b, c, d, e, object);
    return kRtForward76;
}
// Class records and member rows are read as the library reads them, word
// by word and byte by byte (qvrecords.h).
typedef const unsigned char *(QVSCB *RecordGetter)(void);
// A record whose fourth word is not 0 is refused and noted.
bool classOk(const th::ClassWords &c) {
    if (c.fourth == 0) return true;
    note("class record %s: fourth word %d", c.name ? c.name : "(null)", static_cast<int>(c.fourth));
    return false;
}

const unsigned char *rowsOf(const th::ClassWords &c) {
    auto members = reinterpret_cast<RecordGetter>(const_cast<void *>(c.members));
    return members ? members() : nullptr;
}
const unsigned char *parentOf(const th::ClassWords &c) {
    auto parent = reinterpret_cast<RecordGetter>(const_cast<void *>(c.parent));
    return parent ? parent() : nullptr;
}

// A type code of a value: 0 to 20, or 31 for a class.
bool typeCode(unsigned b) { return b <= kQvtDecimal || b == kQvtClass; }
// A parameter: any value (127, or 255 as an output), or a value type with
// bit 0x80 for an output.
bool paramCode(unsigned b) { return (b & 0x7F) == kQvtAny || ((b & 0x40) == 0 && (b & 0x3F) >= 1 && (b & 0x3F) <= kQvtDecimal); }
constexpr size_t kMaxParams = 64;

// What is wrong with a row, or "" when the library takes it.
std::string rowFault(const unsigned char *row) {
    const uint8_t kind = row[th::kRowKind], flag = row[th::kRowFlag], result = row[th::kRowResult];
    if (kind != kQvProperty && kind != kQvMethod && kind != kQvCreatable) return "kind " + std::to_string(kind);
    if (flag != (kind == kQvCreatable ? 0 : 5)) return "flag " + std::to_string(flag);
    if (!typeCode(result) || (kind == kQvCreatable) != (result == kQvtClass)) return "result " + std::to_string(result);
    for (size_t i = 0; i < 9; ++i)
        if (row[th::kRowZero + i]) return "byte " + std::to_string(th::kRowZero + i) + " not zero";
    const unsigned char *params = th::qvRead<const unsigned char *>(row, th::kRowParams);
    for (size_t i = 0; params; ++i) {
        if (i == kMaxParams) return "parameter list without its end";
        if (!params[i]) break;
        if (!paramCode(params[i])) return "parameter type " + std::to_string(params[i]);
    }
    return "";
}

// Every row of a class and its parents, read whole as the library reads it;
// a row it would not take fails the test.
bool rowsOk(const unsigned char *rec) {
    for (int depth = 0; rec; ++depth) {
        th::ClassWords c = th::classWords(rec);
        if (depth > 64 || !classOk(c)) return false;
        const unsigned char *row = rowsOf(c);
        for (; row && th::qvRead<const char *>(row, 0); row += th::kRowSize) {
            std::string fault = rowFault(row);
            if (!fault.empty()) {
                g_strays.note("member %s of %s: %s", th::qvRead<const char *>(row, 0), c.name ? c.name : "(null)",
                              fault.c_str());
                return false;
            }
        }
        if (row && th::qvRead<int32_t>(row, th::kRowDispid) != -1) {
            g_strays.note("member table of %s: no end row", c.name ? c.name : "(null)");
            return false;
        }
        rec = parentOf(c);
    }
    return true;
}

std::string describeRow(const unsigned char *row) {
    std::string params;
    const unsigned char *p = th::qvRead<const unsigned char *>(row, th::kRowParams);
    for (; p && *p; ++p) params += (params.empty() ? "" : ",") + std::to_string(*p);
    char buf[256];
    snprintf(buf, sizeof buf, "row %s %d result %d kind %d flag %d params %s", th::qvRead<const char *>(row, 0),
             th::qvRead<int32_t>(row, th::kRowDispid), row[th::kRowResult], row[th::kRowKind], row[th::kRowFlag],
             params.empty() ? "none" : params.c_str());
    return buf;
}

QvWord QVSCB rtClassInfo(const QvIntf *, QvWord getter, QvWord name, QvWord limit, QvWord out) {
    const unsigned char *rec = reinterpret_cast<RecordGetter>(getter)();
    th::ClassWords c = th::classWords(rec);
    note("classinfo %s %s %d", qv_ptr<const char>(name), c.name, static_cast<int>(limit));
    if (!rowsOk(rec)) return 1;
    for (const unsigned char *row = rowsOf(c); row && th::qvRead<const char *>(row, 0); row += th::kRowSize)
        note("%s", describeRow(row).c_str());
    *qv_ptr<QvWord>(out) = qv_word(rec);
    return 0;
}

std::string upper(std::string s) {
    for (char &c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

QvWord QVSCB rtGetMemberId(const QvIntf *, QvWord object, QvWord record, QvWord name, QvWord outId) {
    noteSlot(kRtGetMemberId, object, record);
    if (!rowsOk(qv_ptr<const unsigned char>(record))) return 1;
    for (const unsigned char *r = qv_ptr<const unsigned char>(record); r;) {
        th::ClassWords c = th::classWords(r);
        for (const unsigned char *row = rowsOf(c); row; row += th::kRowSize) {
            const char *member = th::qvRead<const char *>(row, 0);
            if (!member) break;
            if (upper(member) == upper(qv_ptr<const char>(name))) {
                *qv_ptr<int>(outId) = th::qvRead<int32_t>(row, th::kRowDispid);
                return 0;
            }
        }
        r = parentOf(c);
    }
    return 1;
}
// The default dispatch of member calls: no member is the runtime's own.
QvWord QVSCB rtInvoke(const QvIntf *, QvWord object, QvWord dispid, QvWord flags, QvWord list, QvWord word,
                      QvWord call2) {
    noteSlot(kRtInvoke, object, dispid, flags, list, word, call2);
    return kQvDispidUnknown;
}
QvWord QVSCB rtInvokeNew(const QvIntf *, QvWord object, QvWord dispid, QvWord flags, QvWord list, QvWord word) {
    noteSlot(kRtInvokeNew, object, dispid, flags, list, word);
    return kQvDispidUnknown;
}
QvWord QVSCB rtMember7(const QvIntf *, QvWord a, QvWord b) {
    noteSlot(kRtMember7, a, b);
    return 1;
}
QvWord QVSCB rtMember8(const QvIntf *, QvWord object, QvWord record, QvWord a, QvWord b) {
    noteSlot(kRtMember8, object, record, a, b);
    return 1;
}
QvWord QVSCB rtMember9(const QvIntf *, QvWord object, QvWord a, QvWord b) {
    noteSlot(kRtMember9, object, a, b);
    return 1;
}
template <int Slot>
QvWord QVSCB rtExtension(const QvIntf *, QvWord a, QvWord b, QvWord c, QvWord d) {
    noteSlot(Slot, a, b, c, d);
    return Slot;
}
// Handler calls (events) and extended calls of older runtimes: the journal
// gets the dispid and the arguments' types; a handler answers the setting
// "handlerAnswer" (0 by default) and sets its result to integer 7.
QvWord QVSCB rtInvokeOld(const QvIntf *, QvWord object, QvWord dispid, QvWord list, QvWord word) {
    noteSlot(kRtInvokeOld, object, dispid, list, word);
    const QvIntf *p = qv_ptr<const QvIntf>(list);
    std::string types;
    for (int i = 1; p && i < entryCount(p); ++i) types += (i > 1 ? "," : "") + std::to_string(qv_call(p, kPmType, 0, i));
    note("handler %d (%s) %d", static_cast<int>(dispid), types.c_str(), static_cast<int>(word));
    // A handler that lets go of an object the script held (once).
    if (QvIntf *drop = qv_ptr<QvIntf>(setting("handlerRelease", 0))) {
        g_settings.erase("handlerRelease");
        qv_call(drop, kQvRelease);
    }
    int32_t seven = 7;
    if (p && entryCount(p) > 0) qv_call(p, kPmSet, 0, 0, kQvtInt, &seven);
    if (p && entryCount(p) > 1 && qv_call(p, kPmType, 0, 1) == kQvtInt) {
        int32_t doubled = 2 * static_cast<int32_t>(qv_ptr<QvValue>(qv_call(p, kPmValue, 0, 1))->value);
        qv_call(p, kPmSet, 0, 1, kQvtInt, &doubled);
    }
    return setting("handlerAnswer", 0);
}
QvWord QVSCB rtAddError(const QvIntf *, QvWord code, QvWord level, QvWord text) {
    g_errors.push_back({kErrorText, static_cast<int32_t>(code), static_cast<int32_t>(level),
                        text ? qv_ptr<const char>(text) : ""});
    note("errorlist %d %d %s", static_cast<int>(code), static_cast<int>(level), qv_ptr<const char>(text));
    return 0;
}
std::string packErrors() {
    std::string s;
    for (const ErrorEntry &e : g_errors) {
        s.append(reinterpret_cast<const char *>(&e.kind), 4).append(reinterpret_cast<const char *>(&e.code), 4);
        s.append(reinterpret_cast<const char *>(&e.level), 4);
        s.append(e.text).push_back('\0');
    }
    return s;
}
QvWord QVSCB rtErrorSize(const QvIntf *) { return static_cast<QvWord>(packErrors().size()); }
QvWord QVSCB rtCopyErrors(const QvIntf *, QvWord buf) {
    std::string s = packErrors();
    std::memcpy(qv_ptr<char>(buf), s.data(), s.size());
    return 0;
}
QvWord QVSCB rtPutErrors(const QvIntf *, QvWord buf) {
    note("errors put back");
    return 0;
}
// (index, out kind, out code, out text, out level) -> the number of entries.
QvWord QVSCB rtErrorEntry(const QvIntf *, QvWord index, QvWord kind, QvWord code, QvWord text, QvWord level) {
    if (index >= 0 && index < static_cast<QvWord>(g_errors.size())) {
        const ErrorEntry &e = g_errors[static_cast<size_t>(index)];
        if (kind) *qv_ptr<int32_t>(kind) = e.kind;
        if (code) *qv_ptr<int32_t>(code) = e.code;
        if (text) *qv_ptr<const char *>(text) = e.text.c_str();
        if (level) *qv_ptr<int32_t>(level) = e.level;
    }
    return static_cast<QvWord>(g_errors.size());
}
QvWord QVSCB rtModuleRelease(const QvIntf *, QvWord, QvWord count) { return ownModuleRelease(nullptr, count); }

// A parameter list: entry 0 the result, entry i + 1 argument i. An entry
// keeps its own copy of a text and a reference to an object or array list;
// g_entryRefs counts the references that entries hold.
int g_entryRefs = 0;
bool holdsRef(int code) { return code == kQvtObject || code == kQvtArray; }
struct Entry {
    QvValue v{};
    uint8_t code = 0, flags = 0;
    std::string text;
    Entry() = default;
    Entry(const Entry &) = delete;
    Entry &operator=(const Entry &) = delete;
    ~Entry() { clear(); }
    void clear() {
        QvIntf *held = holdsRef(code) ? qv_ptr<QvIntf>(v.value) : nullptr;
        v = QvValue{};
        code = 0;
        text.clear();
        // Released last: the object may reach this list while it goes.
        if (held) {
            --g_entryRefs;
            qv_call(held, kQvRelease);
        }
    }
};
struct Parms : QvIntf {
    int refs = 1;
    std::vector<std::unique_ptr<Entry>> entries;
    void resize(size_t n) {
        entries.resize(n);
        for (auto &e : entries)
            if (!e) e = std::make_unique<Entry>();
    }
};
void *g_parmSlots[kPmSlots];
Parms *parms(const QvIntf *i) { return static_cast<Parms *>(const_cast<QvIntf *>(i)); }
Entry *entry(const QvIntf *i, QvWord index) {
    Parms *p = parms(i);
    return index >= 0 && index < static_cast<QvWord>(p->entries.size()) ? p->entries[index].get() : nullptr;
}
int entryCount(const QvIntf *list) { return static_cast<int>(parms(list)->entries.size()); }
QvWord QVSCB pmAddRef(const QvIntf *i) { return ++parms(i)->refs; }
// A list is an interface like any other: it answers no further interface,
// names its class and has the runtime's owner.
QvWord QVSCB pmQueryInterface(const QvIntf *, QvWord, QvWord out) {
    if (out) *qv_ptr<QvIntf *>(out) = nullptr;
    return 0;
}
QvWord QVSCB pmClassName(const QvIntf *) { return qv_word("TParmList"); }
QvWord QVSCB pmOwner(const QvIntf *) { return qv_word(&g_owner); }
QvWord QVSCB pmRelease(const QvIntf *i) {
    int n = --parms(i)->refs;
    if (n == 0) delete parms(i);
    return n;
}
// Bytes of each type's value behind the pointer slot 6 is given.
size_t valueBytes(int code) {
    switch (code) {
    case kQvtI1: case kQvtU1: case kQvtBool: return 1;
    case kQvtI2: case kQvtU2: return 2;
    case kQvtI4: case kQvtU4: case kQvtU4b: case kQvtDate: case kQvtTime: case kQvtMissing: return 4;
    case kQvtDouble: case kQvtDateTime: case kQvtCurrency: case kQvtFixed4: return 8;
    case kQvtDecimal: return sizeof(QvDecimalValue);
    case kQvtObject: case kQvtArray: case kQvtHostPtr: case kQvtClass: return sizeof(void *);
    default: return 0;
    }
}
QvWord QVSCB pmSet(const QvIntf *i, QvWord, QvWord index, QvWord type, QvWord value) {
    Entry *e = entry(i, index);
    if (!e) return 0;
    const int code = static_cast<int>(type) & kQvtCodeMask;
    if (code == kQvtString) {
        const char *text = value ? *qv_ptr<const char *>(value) : nullptr;
        std::string copy = text ? text : "";
        e->clear();
        e->text = copy;
        e->code = kQvtString;
        e->v.value = qv_word(e->text.c_str());
        return 0;
    }
    QvValue v{};
    if (value) std::memcpy(v.data, qv_ptr<const void>(value), valueBytes(code));
    if (holdsRef(code) && v.value) {
        ++g_entryRefs;
        qv_call(qv_ptr<QvIntf>(v.value), kQvAddRef);
    }
    e->clear();
    e->v = v;
    e->code = static_cast<uint8_t>(code);
    return 0;
}
QvWord QVSCB pmSetFlags(const QvIntf *i, QvWord, QvWord index, QvWord flags) {
    if (Entry *e = entry(i, index)) e->flags = static_cast<uint8_t>(flags & ~kQvtCodeMask);
    return 0;
}
QvWord QVSCB pmSetEmpty(const QvIntf *i, QvWord, QvWord index) {
    if (Entry *e = entry(i, index)) e->clear();
    return 0;
}
QvWord QVSCB pmText(const QvIntf *i, QvWord, QvWord index) {
    Entry *e = entry(i, index);
    return qv_word(e && e->code == kQvtString ? e->text.c_str() : "");
}
QvWord QVSCB pmSetText(const QvIntf *i, QvWord, QvWord index, QvWord text) {
    const char *t = qv_ptr<const char>(text);
    return pmSet(i, 0, index, kQvtString, qv_word(&t));
}
QvWord QVSCB pmCount(const QvIntf *i, QvWord) { return entryCount(i); }
QvWord QVSCB pmResize(const QvIntf *i, QvWord, QvWord n) {
    if (n >= 0 && n <= 1000000) parms(i)->resize(static_cast<size_t>(n));
    return entryCount(i);
}
QvWord QVSCB pmValue(const QvIntf *i, QvWord, QvWord index) {
    Entry *e = entry(i, index);
    if (!e) return 0;
    e->v.type = static_cast<uint8_t>(e->code | e->flags);
    return qv_word(&e->v);
}
QvWord QVSCB pmType(const QvIntf *i, QvWord, QvWord index) {
    Entry *e = entry(i, index);
    return e ? e->code : 0;
}
QvWord QVSCB pmReadAs(const QvIntf *i, QvWord, QvWord index, QvWord type, QvWord out, QvWord) {
    Entry *e = entry(i, index);
    if (!e || e->code != type) return kQvTypeMismatch;
    *qv_ptr<QvWord>(out) = type == kQvtBool ? e->v.data[0] : type == kQvtInt ? static_cast<int32_t>(e->v.value) : e->v.value;
    return 0;
}

QvWord QVSCB rtNewParms(const QvIntf *, QvWord n, QvWord, QvWord) {
    Parms *p = new Parms;
    p->fn = g_parmSlots;
    p->resize(static_cast<size_t>(n));
    return qv_word(static_cast<QvIntf *>(p));
}

struct Tables {
    Tables() {
        fillStrays<kStrayOwner, kOwnSlots>(g_ownerSlots);
        fillStrays<kStrayRuntime, kRtSlots>(g_runtimeSlots);
        fillStrays<kStrayParms, kPmSlots>(g_parmSlots);
        fillStrays<kStrayConverter, kCvSlots>(g_converterSlots);
        auto put = [](void **t, int slot, auto fn) { t[slot] = reinterpret_cast<void *>(fn); };
        put(g_ownerSlots, kOwnVersion, ownVersion);
        put(g_ownerSlots, kOwnGetSix, ownGetSix);
        put(g_ownerSlots, kOwnPutSix, ownPutSix);
        put(g_ownerSlots, kOwnRuntime, ownRuntime);
        put(g_ownerSlots, kOwnState, ownState);
        put(g_ownerSlots, kOwnFormatError, ownFormat);
        put(g_ownerSlots, kOwnDirectory, ownDirectory);
        put(g_ownerSlots, kOwnAddDropHook, ownAddDrop);
        put(g_ownerSlots, kOwnRemoveDropHook, ownRemoveDrop);
        put(g_ownerSlots, kOwnStamp, ownStamp);
        put(g_ownerSlots, kOwnModuleAddRef, ownModuleAddRef);
        put(g_ownerSlots, kOwnModuleRelease, ownModuleRelease);
        put(g_runtimeSlots, kRtOwner, rtOwner);
        put(g_runtimeSlots, kRtUnregister, rtUnregister);
        put(g_runtimeSlots, kRtForward19, rtForward19);
        put(g_runtimeSlots, kRtForward76, rtForward76);
        put(g_runtimeSlots, kRtInvokeNew, rtInvokeNew);
        put(g_runtimeSlots, kRtMember7, rtMember7);
        put(g_runtimeSlots, kRtMember8, rtMember8);
        put(g_runtimeSlots, kRtMember9, rtMember9);
        put(g_runtimeSlots, kRtExt5, rtExtension<kRtExt5>);
        put(g_runtimeSlots, kRtExt6, rtExtension<kRtExt6>);
        put(g_runtimeSlots, kRtNewParms, rtNewParms);
        put(g_runtimeSlots, kRtClassInfo, rtClassInfo);
        put(g_runtimeSlots, kRtPutErrors, rtPutErrors);
        put(g_runtimeSlots, kRtAddError, rtAddError);
        put(g_runtimeSlots, kRtErrorSize, rtErrorSize);
        put(g_runtimeSlots, kRtCopyErrors, rtCopyErrors);
        put(g_runtimeSlots, kRtGetMemberId, rtGetMemberId);
        put(g_runtimeSlots, kRtInvoke, rtInvoke);
        put(g_runtimeSlots, kRtInvokeOld, rtInvokeOld);
        put(g_runtimeSlots, kRtErrorEntry, rtErrorEntry);
        put(g_runtimeSlots, kRtModuleRelease, rtModuleRelease);
        put(g_parmSlots, kQvAddRef, pmAddRef);
        put(g_parmSlots, kQvRelease, pmRelease);
        put(g_parmSlots, kQvQueryInterface, pmQueryInterface);
        put(g_parmSlots, kQvClassName, pmClassName);
        put(g_parmSlots, kQvOwner, pmOwner);
        put(g_parmSlots, kPmSet, pmSet);
        put(g_parmSlots, kPmSetFlags, pmSetFlags);
        put(g_parmSlots, kPmSetEmpty, pmSetEmpty);
        put(g_parmSlots, kPmCount, pmCount);
        put(g_parmSlots, kPmResize, pmResize);
        put(g_parmSlots, kPmText, pmText);
        put(g_parmSlots, kPmSetText, pmSetText);
        put(g_parmSlots, kPmValue, pmValue);
        put(g_parmSlots, kPmType, pmType);
        put(g_parmSlots, kPmReadAs, pmReadAs);
        put(g_converterSlots, kCvToCells, cvToCells);
        put(g_converterSlots, kCvWriteBack, cvWriteBack);
        put(g_converterSlots, kCvFree, cvFree);
        g_owner.fn = g_ownerSlots;
        g_runtime.fn = g_runtimeSlots;
        g_converter.fn = g_converterSlots;
    }
} g_tables;

// --- macro runs -------------------------------------------------------------

void *g_debugger = nullptr;
int g_trace = 0;
char g_errText[128];

// The debug interface record: objects are numbers + 1000. The conversions
// of a request are kept so that operation 14 can show in which order they
// came: slot 27 starts every request.
std::string g_dbgConverted;
QvWord QVSCB dbgObject(QvWord, QvWord number) {
    g_dbgConverted = "27:" + std::to_string(number);
    return number + 1000;
}
// Slot 40 steps from an object to the one slot 17 works on (+ 4000); it has
// nothing for what is not an object.
QvWord QVSCB dbgCheckObject(QvWord, QvWord object) {
    g_dbgConverted += " 40:" + std::to_string(object);
    return object >= 1000 && object < 2000 ? object + 4000 : 0;
}
QvWord QVSCB dbgNumber(QvWord, QvWord object) { return object - 1000; }
QvWord QVSCB dbgValues(QvWord, QvWord object, QvWord b, QvWord c, QvWord out) {
    int32_t *o = qv_ptr<int32_t>(out);
    o[0] = static_cast<int32_t>(object + 1);
    o[1] = static_cast<int32_t>(b * 2);
    o[2] = static_cast<int32_t>(c * 3);
    return b + c;
}
template <int Slot>
QvWord QVSCB dbgPost(QvWord, QvWord object, QvWord b) {
    note("dbg post%d %d %d", Slot, static_cast<int>(object - 1000), static_cast<int>(b));
    return 0;
}
QvWord QVSCB dbgSignal(QvWord, QvWord) {
    note("dbg signal");
    return 0;
}
QvWord QVSCB dbgQuery(QvWord) { return 55; }
// Source 5 of the debugger is the interpreter's text "alpha beta", handle 7.
const char kSourceText[] = "alpha beta";
size_t g_sourceAt = 0;
QvWord QVSCB dbgSource(QvWord, QvWord object) {
    g_sourceAt = 0;
    return object == 1005 ? 2007 : 0;
}
QvWord QVSCB dbgSourceNumber(QvWord, QvWord source) { return source - 2000; }
QvWord QVSCB dbgSourceRead(QvWord, QvWord handle, QvWord buffer, QvWord size) {
    size_t left = sizeof kSourceText - 1 - g_sourceAt;
    size_t n = static_cast<size_t>(size) < left ? static_cast<size_t>(size) : left;
    if (handle != 7) return 0;
    std::memcpy(qv_ptr<char>(buffer), kSourceText + g_sourceAt, n);
    g_sourceAt += n;
    return static_cast<QvWord>(n);
}
QvWord QVSCB dbgSourceSize(QvWord, QvWord handle) { return handle == 7 ? sizeof kSourceText - 1 : 0; }
QvWord QVSCB dbgSourceClose(QvWord, QvWord handle) {
    note("dbg source close %d", static_cast<int>(handle));
    return 0;
}
QvWord QVSCB dbgLoopEnd(QvWord, QvWord, QvWord) {
    note("dbg loop end");
    return 0;
}
void putText(QvWord buf, QvWord size, const char *text) {
    if (size > 0) snprintf(qv_ptr<char>(buf), static_cast<size_t>(size), "%s", text);
}
// The answers a debugger gets: outputs are objects (numbers + 1000), texts
// name the slot.
QvWord QVSCB dbgState(QvWord, QvWord object, QvWord out, QvWord t1, QvWord s1, QvWord t2, QvWord s2) {
    QvWord *o = qv_ptr<QvWord>(out);
    for (int i = 0; i < 4; ++i) o[i] = object + i + 1;
    o[4] = 5;
    putText(t1, s1, "state text one");
    putText(t2, s2, "state text two");
    return 1;
}
QvWord QVSCB dbgName(QvWord, QvWord object, QvWord out, QvWord t, QvWord s) {
    *qv_ptr<QvWord>(out) = object + 10;
    putText(t, s, "name text");
    return 2;
}
QvWord QVSCB dbgItems(QvWord, QvWord, QvWord count, QvWord pairs, QvWord out) {
    const int32_t *p = qv_ptr<const int32_t>(pairs);
    DbgItem *items = qv_ptr<DbgItem>(out);
    for (QvWord i = 0; i < count; ++i)
        items[i] = DbgItem{p[2 * i] ? p[2 * i] + 1000 : 1000, p[2 * i + 1] * 2, static_cast<int16_t>(i), 7};
    return 0;
}
QvWord QVSCB dbgPostItems(QvWord, QvWord object, QvWord count, QvWord) {
    note("dbg postitems %d %d", static_cast<int>(object - 1000), static_cast<int>(count));
    return 0;
}
QvWord QVSCB dbgFind(QvWord, QvWord object, QvWord name, QvWord out) {
    *qv_ptr<QvWord>(out) = object + std::strlen(qv_ptr<const char>(name));
    return 3;
}
QvWord QVSCB dbgTexts2(QvWord, QvWord object, QvWord b, QvWord out, QvWord t1, QvWord s1, QvWord t2, QvWord s2) {
    *qv_ptr<QvWord>(out) = object + b;
    putText(t1, s1, "first of two");
    putText(t2, s2, "second of two");
    return 4;
}
QvWord QVSCB dbgCheck(QvWord, QvWord object, QvWord b, QvWord text) {
    return std::strcmp(qv_ptr<const char>(text), "ok") == 0 ? object - 1000 + b : -1;
}
QvWord QVSCB dbgCheck14(QvWord, QvWord object, QvWord b, QvWord text) {
    const char *t = qv_ptr<const char>(text);
    note("dbg check14 %lld %lld %s after %s", static_cast<long long>(object), static_cast<long long>(b), t,
         g_dbgConverted.c_str());
    return object >= 5000 && object < 6000 && std::strcmp(t, "ok") == 0 ? object - 5000 + b : -1;
}
QvWord QVSCB dbgTexts3(QvWord, QvWord object, QvWord op, QvWord out, QvWord t1, QvWord s1, QvWord t2, QvWord s2,
                       QvWord t3, QvWord s3) {
    QvWord *o = qv_ptr<QvWord>(out);
    o[0] = object + op;
    o[1] = object + 2 * op;
    putText(t1, s1, "one");
    putText(t2, s2, "two");
    putText(t3, s3, "three");
    return op;
}

ZamDbgInterface makeDbgInterface() {
    ZamDbgInterface d{};
    fillStrays<kStrayDebug, kZdbSlots>(d.slot);
    d.slot[kZdbObject] = reinterpret_cast<void *>(dbgObject);
    for (int slot : {kZdbNumber, kZdbNumber28, kZdbNumber30, kZdbNumber34, kZdbNumber36, kZdbNumber37, kZdbNumber38,
                     kZdbNumber39})
        d.slot[slot] = reinterpret_cast<void *>(dbgNumber);
    d.slot[kZdbCheck14Object] = reinterpret_cast<void *>(dbgCheckObject);
    d.slot[kZdbState] = reinterpret_cast<void *>(dbgState);
    d.slot[kZdbName] = reinterpret_cast<void *>(dbgName);
    d.slot[kZdbItems] = reinterpret_cast<void *>(dbgItems);
    d.slot[kZdbPostItems] = reinterpret_cast<void *>(dbgPostItems);
    d.slot[kZdbFind] = reinterpret_cast<void *>(dbgFind);
    d.slot[kZdbTexts2] = reinterpret_cast<void *>(dbgTexts2);
    d.slot[kZdbCheck26] = reinterpret_cast<void *>(dbgCheck);
    d.slot[kZdbCheck14] = reinterpret_cast<void *>(dbgCheck14);
    for (int i = 0; i < 4; ++i) d.slot[kZdbTexts3 + i] = reinterpret_cast<void *>(dbgTexts3);
    d.slot[kZdbValues] = reinterpret_cast<void *>(dbgValues);
    d.slot[kZdbPost3] = reinterpret_cast<void *>(dbgPost<kZdbPost3>);
    d.slot[kZdbPost4] = reinterpret_cast<void *>(dbgPost<kZdbPost4>);
    d.slot[kZdbPost8] = reinterpret_cast<void *>(dbgPost<kZdbPost8>);
    d.slot[kZdbPost15] = reinterpret_cast<void *>(dbgPost<kZdbPost15>);
    d.slot[kZdbSignal] = reinterpret_cast<void *>(dbgSignal);
    d.slot[kZdbSource] = reinterpret_cast<void *>(dbgSource);
    d.slot[kZdbSourceNumber] = reinterpret_cast<void *>(dbgSourceNumber);
    d.slot[kZdbSourceRead] = reinterpret_cast<void *>(dbgSourceRead);
    d.slot[kZdbSourceSize] = reinterpret_cast<void *>(dbgSourceSize);
    d.slot[kZdbSourceClose] = reinterpret_cast<void *>(dbgSourceClose);
    d.slot[kZdbQuery] = reinterpret_cast<void *>(dbgQuery);
    d.slot[kZdbLoopEnd] = reinterpret_cast<void *>(dbgLoopEnd);
    return d;
}
ZamDbgInterface g_dbgInterface = makeDbgInterface();

}  // namespace

extern "C" {

void QVSCB FreeAutoInstance(void) {
    note("free auto");
    if (g_current == g_auto) g_current = nullptr;
    delete g_auto;
    g_auto = nullptr;
}

const char *QVSCB GetErrMesEx(int code, int flag) {
    snprintf(g_errText, sizeof g_errText, flag ? "Error text %d" : "E%d", code);
    return g_errText;
}

int QVSCB GetParm(int, VALUE **) { return 0; }
void QVSCB InitRubToStr(int zero) { note("initrubtostr %d", zero); }

int QVSCB ZamCallInstSymbol(void *symbol, int kind, int count, VALUE *cells, VALUE *result) {
    Symbol *s = static_cast<Symbol *>(symbol);
    return s ? callSymbol(s->in, s, kind, count, cells, result) : 0;
}

void *QVSCB ZamGetDbg(ZamInstance *) { return g_debugger; }
void *QVSCB ZamGetDbgInterface(void) { return &g_dbgInterface; }
ZamInstance *QVSCB ZamGetInstance(void) { return g_current; }
void *QVSCB ZamGetInstSymbol(const char *name) { return findSymbol(g_auto, name); }
int QVSCB ZamSendMes(int, void *, int) { return 0; }
int QVSCB ZamSetAxInfo(void *) { return static_cast<int>(setting("axInfo", 0)); }
void *QVSCB ZamSetDbg(void *debugger) {
    void *old = g_debugger;
    g_debugger = debugger;
    note("setdbg %s", debugger ? "set" : "null");
    return old;
}
int QVSCB ZamSetDbgFlag(int) { return 0; }
ZamInstance *QVSCB ZamSetInstance(ZamInstance *in) { return in; }
int QVSCB ZamSetTraceFlag(int value) {
    int old = g_trace;
    g_trace = value;
    note("trace %d", value);
    return old;
}

int QVSCB Std_Execute(const char *macro, QvsMessageFn message, QvsStartFn start, void *user) {
    note("execute %s", macro ? macro : "(null)");
    if (g_current == g_auto) g_current = nullptr;
    delete g_auto;
    g_auto = new Instance;
    g_auto->fn = &g_ops;
    g_auto->message = message;
    g_current = g_auto;
    if (!addModule(g_auto, macro)) return 0;
    g_trace = static_cast<int>(setting("traceAfter", g_trace));
    message(kQvsMsgOutputOpen, nullptr, 0);
    message(kQvsMsgPrintHook, &g_auto->print, 0);
    execute(g_auto);
    int ok = start(user);
    note("start -> %d", ok);
    message(kQvsMsgRunEnd9, nullptr, 0);
    message(kQvsMsgOutputClose, nullptr, 0);
    return 1;
}

void QVSCB ValueClear(VALUE *cell) { valueClear(cell); }
void QVSCB ValueMake(VALUE *cell) { std::memset(cell, 0, sizeof *cell); }
#ifndef QVS_WITHOUT_VALUESET
int QVSCB ValueSet(VALUE *cell, unsigned char type, const void *data) {
    valueSet(cell, type, data);
    return 1;
}
#endif

const QvsInterpreter *QVSCB GetInterpreterInterface(void) { return &g_interpreter; }

int QVSCB MakeQVCOMError(void *record) {
    int code = static_cast<QvsQvcomRecord *>(record)->code;
    note("makeqvcomerror %d", code);
    return code;
}

// Test-only exports.
int QVSCB QvsTestJournal(char *out, int size) { return g_journal.read(out, size); }
void QVSCB QvsTestReset(void) {
    g_journal.clear();
    g_settings.clear();
    g_errors.clear();
    g_trace = 0;
}
void QVSCB QvsTestSet(const char *key, QvWord value) { g_settings[key] = value; }
QvIntf *QVSCB QvsTestOwner(void) { return &g_owner; }
int QVSCB QvsTestEntryRefs(void) { return g_entryRefs; }
int QVSCB QvsTestStrays(char *out, int size, int clear) {
    int n = g_strays.read(out, size);
    if (clear) g_strays.clear();
    return n;
}
// An error of the interpreter itself: its code alone.
void QVSCB QvsTestCodedError(int code, int level) {
    g_errors.push_back({kErrorCoded, code, level, ""});
}
void QVSCB QvsTestDrop(QvIntf *object) {
    if (g_dropHook) g_dropHook(g_dropContext, object);
}

}  // extern "C"
