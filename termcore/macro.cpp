// Requests 0 and 1: a macro run on the terminal through the interpreter
// library, with one procedure of it called on packed arguments, while the
// interpreter's messages (printing, errors, output file, debugger) are
// relayed to the host.
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "dbglocal.h"
#include "handlers.h"
#include "macrorecord.h"
#include "module.h"
#include "qvscript.h"

namespace {

struct Interp {
    FreeAutoInstanceFn FreeAutoInstance;
    GetErrMesExFn GetErrMesEx;
    GetParmFn GetParm;
    InitRubToStrFn InitRubToStr;
    ZamCallInstSymbolFn ZamCallInstSymbol;
    ZamGetDbgFn ZamGetDbg;
    ZamGetDbgInterfaceFn ZamGetDbgInterface;
    ZamGetInstanceFn ZamGetInstance;
    ZamGetInstSymbolFn ZamGetInstSymbol;
    ZamSendMesFn ZamSendMes;
    ZamSetAxInfoFn ZamSetAxInfo;
    ZamSetDbgFn ZamSetDbg;
    ZamSetDbgFlagFn ZamSetDbgFlag;
    ZamSetInstanceFn ZamSetInstance;
    ZamSetTraceFlagFn ZamSetTraceFlag;
    Std_ExecuteFn Std_Execute;
    ValueClearFn ValueClear;
    ValueMakeFn ValueMake;
    ValueSetFn ValueSet;
};
static_assert(sizeof(Interp) == kQvsEntryCount * sizeof(void *), "one pointer per entry name");

enum MacroStatus : int16_t { kRanOk = 0, kNotStarted = 1, kProcFailed = 2, kNoLibrary = 3 };

// The run record handed to Std_Execute and back to the start callback.
struct RunRecord {
    const char *proc = nullptr;      // null: the macro body alone
    int16_t count = 0;
    const unsigned char *args = nullptr;  // the packed arguments
    VALUE result{};
    int16_t status = kNotStarted;
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(RunRecord, count) == 4 && offsetof(RunRecord, args) == 8 && offsetof(RunRecord, result) == 12 &&
                  offsetof(RunRecord, status) == 24 && sizeof(RunRecord) == 28,
              "run record on i686");
// What the interpreter hands to the message callback, as termcore reads or
// fills it on i686.
static_assert(offsetof(QvsErrorRecord, line) == 4 && offsetof(QvsErrorRecord, module) == 12 &&
                  offsetof(QvsErrorRecord, message) == 16,
              "error record of messages 4, 14, 49");
static_assert(offsetof(QvsAxError, code) == 8, "ActiveX error record of message 52");
static_assert(sizeof(QvsRedirect) == 16, "four words of message 20");
static_assert(offsetof(QvsPrintRecord, hook) == 4, "message 8: the hook in the second word");
static_assert(offsetof(QvsPathRecord, path[kQvsPathSpare]) == 20, "message 111: five paths and a zero word");
#endif

struct MacroState {
    HMODULE lib = nullptr;
    Interp fn{};
    bool debug = false;
    int trace = 0;
    std::string outputPath;
    std::FILE *output = nullptr;
    size_t argsLength = 0;  // of the run record's packed arguments
};

MacroState &S() {
    static MacroState s;
    return s;
}

bool loadInterpreterLib() {
    MacroState &s = S();
    if (s.lib) return true;
    HMODULE lib = LoadLibraryA("qvscript.dll");
    if (!lib) return false;
    void **slots = reinterpret_cast<void **>(&s.fn);
    for (int i = 0; i < kQvsEntryCount; ++i) {
        slots[i] = reinterpret_cast<void *>(GetProcAddress(lib, kQvsEntryNames[i]));
        if (!slots[i]) {
            FreeLibrary(lib);
            s.fn = Interp{};
            return false;
        }
    }
    s.lib = lib;
    s.fn.InitRubToStr(0);
    return true;
}

void showLines(std::initializer_list<const char *> lines) {
    ZamExtCallBacks *ext = zam_host().ext;
    if (!ext || !ext->ShowMessage) return;
    std::vector<const char *> v(lines);
    ext->ShowMessage(v.data(), static_cast<int>(v.size()));
}

void closeOutput() {
    if (S().output) std::fclose(S().output);
    S().output = nullptr;
}

// OUTPUT names the file of printed text; a '*' in it stands for the macro's
// name without its extension, and what follows a '*' is the extension.
std::string outputPathFor(const std::string &output, const char *macro) {
    size_t star = output.find('*');
    if (star == std::string::npos) return output;
    std::string ext = output.substr(star + 1);
    if (ext.empty() || ext[0] != '.' || ext == ".*") ext.clear();
    const char *base = std::strrchr(macro, '\\');
    base = base ? base + 1 : macro;
    std::string path = output.substr(0, star) + base;
    // Only the file name's own extension is cut, never a dot of a folder.
    size_t dot = path.rfind('.');
    if (dot != std::string::npos && dot >= star) path.erase(dot);
    return path + ext;
}

int QVSCB printHook(const char *text) {
    if (S().output) return std::fprintf(S().output, "%s", text) < 0 ? -1 : 0;
    try {
        showLines({"Print", text});
    } catch (...) {
        return -1;
    }
    return 1;
}

void reportError(const QvsErrorRecord *e) {
    char text[1024];
    std::snprintf(text, sizeof text, "%s %s", S().fn.GetErrMesEx(e->code, 0), e->message ? e->message : "");
    if (e->line == -1) {
        showLines({"Error:", text});
    } else {
        char line[32];
        std::snprintf(line, sizeof line, "Line: %d", static_cast<int>(e->line));
        showLines({"Error in module:", e->module ? e->module : "", line, text});
    }
}

void reportAxError(const QvsAxError *ax) {
    char code[32];
    std::snprintf(code, sizeof code, "(%0X)", static_cast<unsigned>(ax->code));
    showLines({"ActiveX Error:", ax->description ? ax->description : "No description", code});
}

// A redirection to ">" while the output file is open appends to that file.
intptr_t redirect(QvsRedirect *r) {
    MacroState &s = S();
    ZamExtCallBacks *ext = zam_host().ext;
    const char *target = reinterpret_cast<const char *>(r->w[2]);
    bool reopen = false;
    std::string appended;
    if (target && std::strcmp(target, ">") == 0 && s.output) {
        closeOutput();
        appended = ">>" + s.outputPath;
        r->w[2] = reinterpret_cast<QvWord>(appended.c_str());
        reopen = true;
    }
    intptr_t result = ext && ext->RedirectOutput ? ext->RedirectOutput(r->w[0], r->w[1], r->w[2], r->w[3], 640) : 0;
    if (reopen) {
        r->w[2] = reinterpret_cast<QvWord>(target);
        s.output = std::fopen(s.outputPath.c_str(), "ab");
    }
    return result;
}

DbgSession *currentDebugger() { return static_cast<DbgSession *>(S().fn.ZamGetDbg(S().fn.ZamGetInstance())); }

int attachDebugger(void *data) {
    MacroState &s = S();
    if (!s.debug) return 0;
    DbgSession *session = currentDebugger();
    if (!session) {
        session = DbgLocalOpen(s.fn.ZamGetInstance(), s.fn.ZamGetDbgInterface());
        if (!session) return 3;
        DbgLocalSetMode(session, 0);
        s.fn.ZamSetDbg(session);
    }
    return DbgLocalRun(session, data);
}

void fillPaths(QvsPathRecord *p) {
    const TcSetting order[] = {kSetDataDic, kSetDataPath, kSetIncPath, kSetTxtPath, kSetDbfPath};
    for (int i = 0; i < 5; ++i) p->path[i] = tc_setting(order[i]).c_str();
    p->path[kQvsPathSpare] = nullptr;
}

int answerMessage(int code, void *data) {
    MacroState &s = S();
    switch (code) {
    case kQvsMsgError:
    case kQvsMsgError14:
    case kQvsMsgError49:
        reportError(static_cast<const QvsErrorRecord *>(data));
        return code == kQvsMsgError49 ? 1 : 0;
    case kQvsMsgPrintHook:
        static_cast<QvsPrintRecord *>(data)->hook = printHook;
        if (s.debug) s.fn.ZamSetTraceFlag(s.trace);
        return 0;
    case kQvsMsgRunEnd9:
        s.trace = s.debug ? s.fn.ZamSetTraceFlag(0) : 0;
        return 0;
    case kQvsMsgOutputOpen:
        if (!tc_setting(kSetOutput).empty()) s.output = std::fopen(s.outputPath.c_str(), "wb");
        return 0;
    case kQvsMsgOutputClose:
        closeOutput();
        if (DbgSession *old = static_cast<DbgSession *>(s.fn.ZamSetDbg(nullptr))) DbgLocalClose(old);
        return 0;
    case kQvsMsgRedirect:
        return static_cast<int>(redirect(static_cast<QvsRedirect *>(data)));
    case kQvsMsgMessage:
        if (s.output) std::fprintf(s.output, "%s", static_cast<const char *>(data));
        showLines({"Message", static_cast<const char *>(data)});
        return 0;
    case kQvsMsgDbgSetFlag:
        DbgLocalSetFlag(currentDebugger(), data, true);
        return 0;
    case kQvsMsgMsgBox:
        showLines({"MsgBox", static_cast<const char *>(data)});
        return 0;
    case kQvsMsgAxError:
        if (!s.fn.ZamSetAxInfo(data)) reportAxError(static_cast<const QvsAxError *>(data));
        return 0;
    case kQvsMsgDbgAttach:
        return attachDebugger(data);
    case kQvsMsgDebugFlag:
        return s.debug;
    case kQvsMsgDbgSend:
        DbgLocalSend(currentDebugger(), data);
        return 0;
    case kQvsMsgDbgClearFlag:
        DbgLocalSetFlag(currentDebugger(), data, false);
        return 0;
    case kQvsMsgPaths:
        fillPaths(static_cast<QvsPathRecord *>(data));
        return 1;
    default:
        return 0;
    }
}

int QVSCB macroMessage(int code, void *data, int) {
    try {
        return answerMessage(code, data);
    } catch (...) {
        return 0;
    }
}

// One packed argument into a cell; false when the record ends inside it.
bool unpack(WireReader &r, VALUE &cell) {
    TcPacked v;
    if (!tc_readPacked(r, v)) return false;
    if (v.type == V_STRING) {
        std::string text(v.payload);
        S().fn.ValueSet(&cell, v.type, text.c_str());
    } else if (!v.payload.empty()) {
        unsigned char value[10] = {};
        std::memcpy(value, v.payload.data(), v.payload.size());
        S().fn.ValueSet(&cell, v.type, value);
    }
    // A value without payload leaves its cell as made.
    return true;
}

void pack(WireWriter &w, const VALUE &v) {
    w.u8(v.v_type);
    switch (v.v_type) {
    case V_INTEGER: case V_DATE: case V_TIME: w.bytes(&v.value, 4); break;
    case V_MONEY: case V_DOUBLE: case V_DTTM: w.bytes(&v.value, 8); break;
    case V_DOUBLEL: w.bytes(&v.value, 10); break;
    case V_STRING: w.text(v.value.string ? v.value.string : ""); break;
    case V_BOOL: w.u8(v.value.boolval); break;
    default: break;
    }
}

// The argument cells of one call, cleared and freed on every way out.
class ArgCells {
public:
    // No cells when they cannot be had: the procedure is then called
    // without arguments.
    explicit ArgCells(int16_t count) {
        if (count > 0) cells_ = new (std::nothrow) VALUE[static_cast<size_t>(count)];
        count_ = cells_ ? count : 0;
        for (int i = 0; i < count_; ++i) S().fn.ValueMake(&cells_[i]);
    }
    ~ArgCells() {
        for (int i = 0; i < count_; ++i) S().fn.ValueClear(&cells_[i]);
        delete[] cells_;
    }
    ArgCells(const ArgCells &) = delete;
    ArgCells &operator=(const ArgCells &) = delete;
    int count() const { return count_; }
    VALUE *data() const { return cells_; }
    VALUE &operator[](int i) const { return cells_[i]; }

private:
    VALUE *cells_ = nullptr;
    int count_ = 0;
};

int callProcedure(RunRecord &run) {
    const Interp &fn = S().fn;
    if (!run.proc) {
        run.status = kRanOk;
        return 1;
    }
    run.status = kProcFailed;
    void *symbol = fn.ZamGetInstSymbol(run.proc);
    if (!symbol) return 0;
    ArgCells cells(run.count);
    // The first packed value is the last argument.
    WireReader args(run.args, S().argsLength);
    for (int i = cells.count(); i-- > 0;)
        if (!unpack(args, cells[i])) break;
    if (!(fn.ZamCallInstSymbol(symbol, kQvsCallProc, cells.count(), cells.data(), &run.result) & 0xFF)) return 0;
    run.status = kRanOk;
    return 1;
}

// Called from inside the interpreter library: nothing may unwind through it.
int QVSCB macroStart(void *user) {
    try {
        return callProcedure(*static_cast<RunRecord *>(user));
    } catch (...) {
        return 0;
    }
}

int runMacro(const TcRequest &req, bool ex) {
    MacroState &s = S();
    TcMacroRecord rec;
    if (!tc_readMacro(req.data, req.length, ex, rec)) return 0;

    WireWriter w = req.writer();
    w.i16(kNoLibrary);
    if (ex) w.i16(0);
    if (!loadInterpreterLib()) return tc_replyLength(w);

    RunRecord run;
    std::string macro(rec.macro), proc(rec.proc);
    if (rec.hasProc) run.proc = proc.c_str();
    run.count = rec.count;
    run.args = reinterpret_cast<const unsigned char *>(rec.args.data());
    s.argsLength = rec.args.size();
    if (ex) {
        s.debug = rec.debug > 0;
        s.trace = rec.trace;
    }
    s.fn.ValueMake(&run.result);
    s.outputPath = outputPathFor(tc_setting(kSetOutput), macro.c_str());

    bool ran = s.fn.Std_Execute(macro.c_str(), macroMessage, macroStart, &run) != 0;
    closeOutput();
    if (ran) {
        if (ex) {
            w.seek(2);
            w.i16(static_cast<int16_t>(s.trace));
        }
        pack(w, run.result);
    }
    int length = tc_replyLength(w);
    // The status is known only now: the start callback sets it.
    WireWriter head = req.writer();
    head.i16(run.status);
    s.fn.ValueClear(&run.result);
    s.fn.FreeAutoInstance();
    if (ex) s.debug = false;
    return length;
}

}  // namespace

int tc_runMacro(const TcRequest &req) { return runMacro(req, false); }
int tc_runMacroEx(const TcRequest &req) { return runMacro(req, true); }

void tc_macroUnload() {
    MacroState &s = S();
    closeOutput();
    if (s.lib) FreeLibrary(s.lib);
    s.lib = nullptr;
    s.fn = Interp{};
}
