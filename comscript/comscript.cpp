#include "comscript.h"

#include <cstring>

#include "module.h"

namespace {

const unsigned char kString[] = {kQvtString, 0};
const unsigned char kTwoStrings[] = {kQvtString, kQvtString, 0};
const unsigned char kVariable[] = {kQvtAny, 0};

constexpr uint8_t kRow = 5;
const QvMemberEntry kMembers[] = {
    {"AddModule", 0, kQvtBool, kString, kQvMethod, kRow, {}},
    {"Execute", 1, kQvtBool, nullptr, kQvMethod, kRow, {}},
    {"Stop", 2, kQvtNone, nullptr, kQvMethod, kRow, {}},
    {"Call", 3, kQvtNone, kVariable, kQvMethod, kRow, {}},
    {"Version", 4, kQvtInt, nullptr, kQvProperty, kRow, {}},
    {"Lock", 5, kQvtNone, nullptr, kQvMethod, kRow, {}},
    {"UnLock", 6, kQvtNone, nullptr, kQvMethod, kRow, {}},
    {"TestExist", 7, kQvtBool, kVariable, kQvMethod, kRow, {}},
    {"RunProc", 8, kQvtBool, kVariable, kQvMethod, kRow, {}},
    {"GetVar", 9, kQvtBool, kVariable, kQvMethod, kRow, {}},
    {"SetVar", 10, kQvtBool, kVariable, kQvMethod, kRow, {}},
    {"DetachSite", 11, kQvtNone, nullptr, kQvMethod, kRow, {}},
    {"AttachSite", 12, kQvtNone, kVariable, kQvMethod, kRow, {}},
    {"CreateZAMObject", 13, kQvtNone, kTwoStrings, kQvMethod, kRow, {}},
    {"SetDefFile", 14, kQvtNone, kString, kQvMethod, kRow, {}},
    {"SetDbtDir", 15, kQvtNone, kString, kQvMethod, kRow, {}},
    {"SetDbfDir", 16, kQvtNone, kString, kQvMethod, kRow, {}},
    {"SetTxtDir", 17, kQvtNone, kString, kQvMethod, kRow, {}},
    {"SetMacDir", 18, kQvtNone, kString, kQvMethod, kRow, {}},
    {"SetOutDir", 19, kQvtNone, kString, kQvMethod, kRow, {}},
    {"SQLMode", 20, kQvtBool, nullptr, kQvProperty, kRow, {}},
    {nullptr, -1, 0, nullptr, 0, 0, {}},
};
const QvMemberEntry *QVSCB members() { return kMembers; }

enum Dispid : int {
    kAddModule, kExecute, kStop, kCall, kVersion, kLock, kUnLock, kTestExist, kRunProc, kGetVar, kSetVar,
    kDetachSite, kAttachSite, kCreateZamObject, kSetDefFile, kSetDbtDir, kSetDbfDir, kSetTxtDir, kSetMacDir,
    kSetOutDir, kSqlMode, kHostInit = -6,
};

constexpr int kComscriptVersion = 308;
constexpr int kCallKinds = 3;  // flags exactly 3: a member call

// Kinds of CallSymbol.
enum : int { kKindCall = 0, kKindRead = 1, kKindWrite = 2, kKindMember = 3 };

// The kind Call asks for, by the Invoke flags.
int kindOf(int flags) {
    if (flags == kCallKinds) return kKindMember;
    if (flags & kQvGet) return kKindRead;
    if (flags & kQvCall) return kKindCall;
    if (flags & kQvPut) return kKindWrite;
    return kKindRead;
}

const char *const kReportTexts[] = {
    nullptr,
    "Can not add module: %s",
    "Can not execute ZAM instance",
    "ZAM symbol %s not found",
    "Can not convert parameters for ZAM symbol %s",
    "Can not call ZAM symbol %s",
    "Bad ZAM state. Call Execute first.",
    "ZAM symbol must be specified",
    "Set Value must be specified",
};

int QVSCB hostCallback(ZamHostRecord *rec, ZamInstance *instance, int code, void *data) {
    rec->instance = instance;
    rec->code = code;
    rec->data = data;
    // The instance calls in from the library: nothing may unwind into it.
    int answer = 0;
    try {
        answer = reinterpret_cast<ComscriptHost *>(rec)->owner->HostMessage(code, data);
    } catch (...) {
        answer = 0;
    }
    if (answer == 0 && rec->next && rec->next->callback) return rec->next->callback(rec->next, instance, code, data);
    return answer;
}

}  // namespace

const QvClassRecord *QVSCB TComscript_class() {
    static const QvClassRecord rec{TDispStub_class, members, "TComscript", 0};
    return &rec;
}

TComscript::TComscript(QvIntf *owner) : TDispStub(owner) {
    // Interface 1000 offers the base slots; the main table begins with them.
    own_.fn = mainIntf()->fn;
    own_.obj = this;
    host_.rec = ZamHostRecord{nullptr, 0, hostCallback, nullptr, -1, nullptr};
    host_.owner = this;
    readSettings();
}

TComscript::~TComscript() {
    if (site_) qv_call(site_, kQvRelease);
    if (module_) qv_call(module_, kQvRelease);
    if (log_) std::fclose(log_);
}

const QvClassRecord *TComscript::classRecord() const { return TComscript_class(); }

QvIntf *TComscript::findInterface(int iid) {
    return iid == kQvIidComscript ? &own_ : TDispStub::findInterface(iid);
}

QvWord TComscript::Init(QvWord name, QvWord module, QvWord) {
    setName(qv_ptr<const char>(name));
    // A missing module is allowed: there is then no user count to keep. Only
    // a module interface of ours has a user count behind slots 5 and 6.
    module_ = TComscriptModule::of(qv_ptr<QvIntf>(module)) ? qv_ptr<QvIntf>(module) : nullptr;
    if (module_) {
        qv_call(module_, kQvAddRef);
        qv_call(module_, 5);
    }
    if (!paths_[kCsLogDir].IsEmpty() && logType_ != 0) openLog();
    InitRubToStr(0);
    return 0;
}

QvWord TComscript::Close() {
    // The owner's Close and the last release's both arrive: the module's
    // user count is lowered once.
    if (closed_) return 0;
    closed_ = true;
    // A closed object starts no new instance.
    started_ = true;
    if (instance_) {
        instance_->fn->Stop(instance_);
        GetInterpreterInterface()->destroy(instance_);
        instance_ = nullptr;
    }
    if (log_) std::fclose(log_);
    log_ = nullptr;
    if (module_) qv_call(module_, 6);
    return 0;
}

void TComscript::start() {
    if (started_) return;
    if (outer_) {
        context_ = forward(kQvsMsgDebugFlag, nullptr);
        if (gui_ == -1) {
            gui_ = forward(kQvsMsgGuiMode, nullptr) ? 1 : 0;
            if (!gui_) errTextFlag_ = 0;
        }
        if (sql_ == -1) sql_ = forward(kQvsMsgSqlMode, nullptr);
    } else if (gui_ == -1) {
        gui_ = 1;
    }
    const QvsInterpreter *interp = GetInterpreterInterface();
    if (instance_) interp->destroy(instance_);
    instance_ = interp->create(name().str(), 0, &host_.rec, 0);
    if (instance_) {
        QvWord converter = 0;
        instance_->fn->Query(instance_, kZamQueryConverter, &converter);
        converter_ = qv_ptr<QvIntf>(converter);
    }
    started_ = true;
}

int TComscript::instanceAddModule(const char *name) {
    return instance_ ? instance_->fn->AddModule(instance_, name) : 0;
}
int TComscript::instanceExecute() { return instance_ ? instance_->fn->Execute(instance_) : 0; }
int TComscript::instanceState() { return instance_ ? instance_->fn->State(instance_) : 0; }
int TComscript::instanceLastError() { return instance_ ? instance_->fn->LastError(instance_) : -1; }

void TComscript::report(int code, const char *name) {
    char text[512];
    std::snprintf(text, sizeof text, kReportTexts[code], name ? name : "");
    qv_call(runtime(), kRtAddError, code, 0, text);
    answer_ = kQvFailed;
}

void TComscript::putBackErrors() {
    if (!savedErrors_.empty()) qv_call(runtime(), kRtPutErrors, savedErrors_.data());
}

bool TComscript::addModule(const char *text, TParm result) {
    start();
    if (instanceAddModule(text)) {
        result.SetBool(true);
        return true;
    }
    putBackErrors();
    report(1, text);
    result.SetBool(false);
    return false;
}

void TComscript::callSymbol(const TParmList &list, int kind, int first, bool callFlag) {
    start();
    TParm nameArg = list.Arg(first);
    if (nameArg.GetType() != kQvtString) return report(7);
    std::string name = nameArg.GetString();
    void *symbol = instance_ ? instance_->fn->FindSymbol(instance_, name.c_str(), 0) : nullptr;
    if (!symbol) return report(3, name.c_str());
    // Cell 0 is the result, the cells after it the arguments after the name.
    QvWord cellsWord = 0;
    int count = 0;
    int nameIndex = first + 1;
    if (!converter_ || qv_call(converter_, kCvToCells, list.intf(), nameIndex, &cellsWord, &count) != 0)
        return report(4, name.c_str());
    VALUE *cells = qv_ptr<VALUE>(cellsWord);
    bool ok = false;
    if (kind == kKindWrite && !callFlag) {
        if (count < 2 || list.Arg(first + 1).GetType() == kQvtNone)
            report(8);
        else
            ok = instance_->fn->CallSymbol(instance_, symbol, kKindWrite, 0, nullptr, &cells[1]) != 0;
    } else {
        ok = instance_->fn->CallSymbol(instance_, symbol, kind, count - 1, cells + 1, cells) != 0;
        if (ok) qv_call(converter_, kCvWriteBack, list.intf(), nameIndex, cells, count);
    }
    if (!ok) {
        instanceLastError();
        if (instanceState() != kZamStateExecuted) report(6);
        report(5, name.c_str());
    }
    qv_call(converter_, kCvFree, cells, count);
}

void TComscript::attachSite(const TParmList &list) {
    TParm first = list.Arg(0);
    int type = first.GetType();
    if (type == kQvtObject || type == kQvtObject16) {
        QvIntf *object = first.GetObject();
        QvIntf *site = nullptr;
        if (object) qv_call(object, kQvQueryInterface, kQvIidDispatch6, &site);
        if (site_) qv_call(site_, kQvRelease);
        site_ = site;
        if (list.Arg(1).GetType() == kQvtString) addModule(list.Arg(1).GetString(), list.Result());
    } else if (type == kQvtString) {
        addModule(first.GetString(), list.Result());
    } else if (type != kQvtNone) {
        list.Result().SetBool(false);
        answer_ = kQvNoMemory;
    }
}

// The host's initialising call: its result entry carries the outer host
// record or the mode bits.
void TComscript::initialise(const TParmList &list) {
    const QvValue *v = list.intf() ? qv_ptr<const QvValue>(qv_call(list.intf(), kPmValue, 0, 0)) : nullptr;
    if (v && v->code() == kQvtHostPtr) {
        outer_ = qv_ptr<ZamHostRecord>(v->value);
    } else if (v && v->code() == kQvtInt) {
        QvWord bits = static_cast<int32_t>(v->value);
        if (bits & 1) context_ = bits;
        if (gui_ == -1) {
            gui_ = (bits & 2) ? 1 : 0;
            if (!gui_) errTextFlag_ = 0;
        }
        if (sql_ == -1 && (bits & 4)) sql_ = 1;
    }
    attachSite(list);
}

QvWord TComscript::Invoke(int dispid, int flags, QvIntf *parms, QvWord) {
    answer_ = 0;
    TParmList list(parms, 0);
    TParm result = list.Result();
    switch (dispid) {
    case kAddModule:
        if (list.Arg(0).GetType() != kQvtString) {
            result.SetBool(false);
            return kQvNoMemory;
        }
        addModule(list.Arg(0).GetString(), result);
        break;
    case kExecute:
        start();
        if (instanceExecute()) {
            result.SetBool(true);
        } else {
            putBackErrors();
            report(2);
            result.SetBool(false);
        }
        break;
    case kStop:
        start();
        if (instance_) instance_->fn->Stop(instance_);
        break;
    case kCall:
        callSymbol(list, kindOf(flags), 0, true);
        break;
    case kVersion:
        result.SetInt(kComscriptVersion);
        break;
    case kLock:
    case kUnLock:
        if (TComscriptModule *m = TComscriptModule::of(module_))
            dispid == kLock ? m->Lock(dispatchIntf()) : m->UnLock(dispatchIntf());
        break;
    case kTestExist:
        start();
        if (list.Arg(0).GetType() == kQvtString)
            result.SetBool(instance_ && instance_->fn->TestExist(instance_, list.Arg(0).GetString()));
        else
            result.SetBool(false);
        break;
    case kRunProc:
    case kGetVar:
    case kSetVar:
        callSymbol(list, dispid - kRunProc, 0, false);
        break;
    case kDetachSite:
        if (site_) qv_call(site_, kQvRelease);
        site_ = nullptr;
        break;
    case kAttachSite:
        attachSite(list);
        break;
    case kCreateZamObject: {
        if (list.Arg(0).GetType() != kQvtString || list.Arg(1).GetType() != kQvtString) return kQvNoMemory;
        start();
        std::string module = list.Arg(0).GetString();
        if (!instanceAddModule(module.c_str())) {
            putBackErrors();
            report(1, module.c_str());
        } else if (instanceState() != kZamStateExecuted && !instanceExecute()) {
            putBackErrors();
            report(2);
        }
        if (answer_ == 0) callSymbol(list, kKindCall, 1, false);
        break;
    }
    case kSetDefFile: case kSetDbtDir: case kSetDbfDir: case kSetTxtDir: case kSetMacDir: case kSetOutDir: {
        static const ComscriptPath target[] = {kCsDataDic, kCsDataPath, kCsDbfPath, kCsTxtPath, kCsIncPath, kCsWorkDir};
        if (list.Arg(0).GetType() == kQvtString) paths_[target[dispid - kSetDefFile]].Assign(list.Arg(0).GetString());
        break;
    }
    case kSqlMode:
        // A put brings its value in the result entry, as every put does.
        if (flags & kQvPut)
            sql_ = result.GetBool() ? 1 : 0;
        else
            result.SetBool(sql_ != -1 && sql_ != 0);
        break;
    case kHostInit:
        initialise(list);
        break;
    default:
        return kQvDispidUnknown;
    }
    return answer_;
}
