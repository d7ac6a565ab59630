// The host messages of the embedded instance: answered from the object's
// settings, relayed to the site object or forwarded to the outer host record;
// comscript.ini and the log file.
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "comscript.h"
#include "dbglocal.h"
#include "settings.h"

namespace {

// Codes the outer host answers; without one they are not handled.
bool forwarded(int code) {
    switch (code) {
    case 10: case 11: case 16: case 37: case 39: case 43: case 52: case 98: case 129:
    case 133: case 134: case 135: case 136: case 137: case 142: case 143: case 144: case 155:
        return true;
    default:
        return false;
    }
}

// Slots of the path record and the settings that fill them.
struct PathSlot {
    int slot;
    ComscriptPath setting;
};
const PathSlot kPathSlots[] = {
    {kQvsPathDataDic, kCsDataDic}, {kQvsPathDataPath, kCsDataPath}, {kQvsPathIncPath, kCsIncPath},
    {kQvsPathTxtPath, kCsTxtPath}, {kQvsPathDbfPath, kCsDbfPath},   {kQvsPathQvmPath, kCsQvmPath},
};

bool yes(const char *v) { return v[0] == 'y' || v[0] == 'Y'; }
bool no(const char *v) { return v[0] == 'n' || v[0] == 'N'; }

int number(const char *v) {
    char *end = nullptr;
    errno = 0;
    long n = std::strtol(v, &end, 10);
    if (end == v || errno == ERANGE || n > INT32_MAX || n < INT32_MIN) return 0;
    return static_cast<int>(n);
}

int QVSCB takeKey(const char *key, const char *value, void *context) {
    static_cast<TComscript *>(context)->takeSetting(key, value ? value : "");
    return 0;
}

constexpr int kOuterContext = 131;
constexpr int kErrorLevel = 7;
constexpr int kFormatterText = 100;
constexpr int kQvcomIgnored = 17;

}  // namespace

std::string comscript_logName(const char *logDir, const char *objectName, unsigned long pid) {
    // The object's name comes from a script: it may not lead out of LOGDIR.
    std::string name = objectName ? objectName : "";
    for (char &c : name)
        if (std::strchr("\\/:*?\"<>|", c)) c = '_';
    return std::string(logDir ? logDir : "") + name + std::to_string(pid) + ".log";
}

void TComscript::takeSetting(const char *key, const char *value) {
    struct Appended {
        const char *key;
        ComscriptPath which;
    };
    static const Appended appended[] = {{"DATAPATH", kCsDataPath}, {"DBFPATH", kCsDbfPath}, {"TXTPATH", kCsTxtPath},
                                        {"INCPATH", kCsIncPath},   {"QVMPATH", kCsQvmPath}};
    for (const Appended &a : appended)
        if (std::strcmp(key, a.key) == 0) {
            OwnedStr &p = paths_[a.which];
            p.Assign(p.IsEmpty() ? value : (std::string(p.text()) + ";" + value).c_str());
            return;
        }
    if (std::strcmp(key, "DATADIC") == 0) {
        paths_[kCsDataDic].Assign(value);
    } else if (std::strcmp(key, "WORKDIR") == 0) {
        paths_[kCsWorkDir].Assign(value);
    } else if (std::strcmp(key, "LOGDIR") == 0) {
        size_t n = std::strlen(value);
        paths_[kCsLogDir].Assign(n && value[n - 1] == '\\' ? value : (std::string(value) + "\\").c_str());
    } else if (std::strcmp(key, "LOGTYPE") == 0) {
        logType_ = number(value);
    } else if (std::strcmp(key, "SQLMODE") == 0) {
        sql_ = yes(value) ? 1 : 0;
    } else if (std::strcmp(key, "PCODEMODE") == 0) {
        int n = number(value);
        pcode_ = 1000 + (n < 0 || n > 4 ? 2 : n);
    } else if (std::strcmp(key, "GUIMODE") == 0) {
        gui_ = yes(value) ? 1 : 0;
        if (!gui_) errTextFlag_ = 0;
    } else if (std::strcmp(key, "MONEYMODE") == 0) {
        money_ = number(value);
    } else if (std::strcmp(key, "BTROWNCLNT") == 0) {
        btrOwnClnt_ = no(value) ? 0 : 1;
    } else if (std::strcmp(key, "BTRUSEDDF") == 0) {
        btrUseDdf_ = no(value) ? 0 : 1;
    } else if (std::strcmp(key, "BRK2DBG") == 0) {
        brk2dbg_ = yes(value) ? 1 : 0;
    }
}

void TComscript::readSettings() {
    char dir[kHostPathMax] = "";
    if (ownerVersion() > 3) qv_call(Owner(), kOwnDirectory, dir, sizeof dir);
    dir[sizeof dir - 1] = '\0';
    cfg_readFile("comscript.ini", takeKey, this, dir[0] ? dir : nullptr);
}

void TComscript::openLog() {
    std::string file = comscript_logName(paths_[kCsLogDir].str(), name().str(), GetCurrentProcessId());
    log_ = std::fopen(file.c_str(), "wb");
}

void TComscript::logText(const char *format, const char *text) {
    if (!log_) return;
    std::fprintf(log_, format, text ? text : "");
    std::fflush(log_);
}

int TComscript::forward(int code, void *data) {
    if (!outer_ || !outer_->callback) return 0;
    return outer_->callback(outer_, instance_, code, data);
}

// Calls into the outer host's debugger are bracketed by the context word.
int TComscript::forwardBracketed(int code, void *data) {
    forward(kOuterContext, &context_);
    int answer = forward(code, data);
    forward(kOuterContext, &context_);
    return answer;
}

bool TComscript::callSite(const char *member, const char *text) {
    if (!site_) return false;
    int id = 0;
    if (qv_call(site_, kQvGetMemberId, member, &id) != 0) return false;
    // The text travels in the list's only entry.
    TParmList list;
    list.Make(runtime(), 1, 0, 0);
    list.Result().SetString(text);
    return qv_call(site_, kQvInvoke, id, kQvCall, list.intf(), 0) == 0;
}

void TComscript::saveErrors(int code) {
    lastQvcom_ = code;
    savedErrors_.clear();
    if (code != 1) return;
    QvWord size = qv_call(runtime(), kRtErrorSize);
    if (size <= 0) return;
    savedErrors_.resize(static_cast<size_t>(size));
    qv_call(runtime(), kRtCopyErrors, savedErrors_.data());
}

void TComscript::logQvcomError(int code) {
    if (!log_ || code == 0) return;
    std::fputs("*** QVCOM error:\r\n", log_);
    char text[kFormatterText];
    if (code == 1) {
        int count = static_cast<int>(qv_call(runtime(), kRtErrorEntry, -1, nullptr, nullptr, nullptr, nullptr));
        for (int i = 0; i < count; ++i) {
            int32_t kind = 0, entryCode = 0;
            const char *entryText = nullptr;
            qv_call(runtime(), kRtErrorEntry, i, &kind, &entryCode, &entryText, nullptr);
            if (kind == 2) {
                text[0] = '\0';
                qv_call(Owner(), kOwnFormatError, entryCode, text, sizeof text, errTextFlag_);
                text[sizeof text - 1] = '\0';
                entryText = text;
            }
            std::fprintf(log_, "    %s\r\n", entryText ? entryText : "");
        }
    } else {
        text[0] = '\0';
        qv_call(Owner(), kOwnFormatError, code, text, sizeof text, errTextFlag_);
        text[sizeof text - 1] = '\0';
        std::fprintf(log_, "    %s\r\n", text);
    }
    std::fflush(log_);
}

void TComscript::reportInstanceError(const QvsErrorRecord *e) {
    const char *errText = GetErrMesEx(e->code, errTextFlag_);
    const char *message = e->message ? e->message : "";
    char text[1024];
    if (e->line == -1)
        std::snprintf(text, sizeof text, "ERROR %d: %s %s", e->code, errText ? errText : "", message);
    else
        std::snprintf(text, sizeof text, "%s(%d,%d): ERROR %d: %s %s", e->module ? e->module : "", e->line,
                      e->column, e->code, errText ? errText : "", message);
    qv_call(runtime(), kRtAddError, e->code, kErrorLevel, text);
    logQvcomError(1);
    saveErrors(1);
}

void TComscript::fillPaths(QvsPathRecord *p, void *data) {
    if (outer_ && !pathsFromOuter_ && forward(kQvsMsgPaths, data) != 0) {
        pathsFromOuter_ = true;
        for (const PathSlot &s : kPathSlots)
            if (paths_[s.setting].IsEmpty() && p->path[s.slot]) paths_[s.setting].Assign(p->path[s.slot]);
    }
    for (const PathSlot &s : kPathSlots) p->path[s.slot] = paths_[s.setting].str();
}

DbgSession *TComscript::localDebugger() { return static_cast<DbgSession *>(ZamGetDbg(instance_)); }

// Local debugging, when the owner's state allows it: the instance's own
// debugger, or a new local session installed for it.
int TComscript::attachDebugger(void *data) {
    QvWord state = qv_call(Owner(), kOwnState);
    if (state != 0 && state != 2) return 3;
    DbgSession *session = localDebugger();
    if (!session) {
        session = DbgLocalOpen(ZamGetInstance(), ZamGetDbgInterface());
        if (!session) return 3;
        ZamSetDbg(session);
    }
    return DbgLocalRun(session, data);
}

int TComscript::HostMessage(int code, void *data) {
    if (forwarded(code)) return forward(code, data);
    const char *text = static_cast<const char *>(data);
    QvWord *words = static_cast<QvWord *>(data);
    unsigned char *bytes = static_cast<unsigned char *>(data);
    switch (code) {
    case kQvsMsgError:
    case kQvsMsgError14:
    case kQvsMsgError49:
        reportInstanceError(static_cast<const QvsErrorRecord *>(data));
        return code == kQvsMsgError49 ? 1 : 0;
    case kQvsMsgMessage:
        callSite("OnMessage", text);
        return 0;
    case kQvsMsgMsgBox:
        return callSite("OnMsgBox", text) ? 0 : forward(code, data);
    case kQvsMsgSixWords: {
        QvWord six[6] = {};
        qv_call(Owner(), kOwnGetSix, six, words[6]);
        std::memcpy(words, six, sizeof six);
        return 0;
    }
    case kQvsMsgGuiMode:
        return gui_ != -1 ? gui_ : outer_ ? forward(code, data) : 1;
    case kQvsMsgDbgAttach:
        return outer_ ? forwardBracketed(code, data) : attachDebugger(data);
    case kQvsMsgDbgFlagOn:
    case kQvsMsgDbgFlagOff:
        if (outer_) return forward(code, data);
        DbgLocalSetFlag(localDebugger(), data, code == kQvsMsgDbgFlagOn);
        return 0;
    case kQvsMsgDbgSend:
        if (outer_) return forward(code, data);
        DbgLocalSend(localDebugger(), data);
        return 0;
    case kQvsMsgPcodeMode:
        *static_cast<int32_t *>(data) = pcode_ != -1 ? pcode_ : 1002;
        if (pcode_ == -1) forward(code, data);
        return 0;
    case kQvsMsgDebugFlag:
        return static_cast<int>(context_);
    case kQvsMsgPrint:
        logText("%s", text);
        callSite("OnPrint", text);
        return forward(code, data);
    case kQvsMsgOuterRecord:
        *static_cast<ZamHostRecord **>(data) = outer_;
        return 1;
    case kQvsMsgDbgCall:
        return outer_ ? forwardBracketed(code, data) : 0;
    case kQvsMsgDbgDetach:
        if (outer_) return forward(code, data);
        if (DbgSession *old = static_cast<DbgSession *>(ZamSetDbg(nullptr))) DbgLocalClose(old);
        return 0;
    case kQvsMsgErrPrint:
        logText("ErrPrint: %s\r\n", text);
        callSite("OnErrPrint", text);
        return forward(code, data);
    case kQvsMsgPaths:
        fillPaths(static_cast<QvsPathRecord *>(data), data);
        return 1;
    case kQvsMsgBtrieve:
        if (forward(code, data) == 0) {
            bytes[0] = btrOwnClnt_;
            bytes[1] = bytes[2] = bytes[3] = 0;
            bytes[4] = btrUseDdf_;
        }
        return 1;
    case kQvsMsgObjects:
        words[0] = qv_word(Owner());
        words[1] = qv_word(dispatchIntf());
        return 1;
    case kQvsMsgOptions124:
        if (outer_) return forward(code, data);
        bytes[4] = 1;
        bytes[5] = 1;
        std::memset(bytes + 6, 0, 4);  // a 32-bit word
        return 1;
    case kQvsMsgSixWordsOut: {
        QvWord six[6];
        std::memcpy(six, words, sizeof six);
        qv_call(Owner(), kOwnPutSix, six, 1);
        return 0;
    }
    case kQvsMsgSqlMode:
        return sql_ != -1 ? sql_ : outer_ ? forward(code, data) : 0;
    case kQvsMsgQvcomError: {
        const int32_t *first = *static_cast<const int32_t *const *>(data);
        if (first && *first == kQvcomIgnored) return 1;
        int qvcom = MakeQVCOMError(data);
        logQvcomError(qvcom);
        saveErrors(qvcom);
        return 1;
    }
    case kQvsMsgMoneyMode: {
        int mode = money_ < 1 || money_ > 3 ? 3 : money_;
        bytes[1] = mode == 3 ? 2 : 1;
        bytes[2] = mode != 1 ? 1 : 0;
        return 0;
    }
    case kQvsMsgBrk2Dbg:
        return brk2dbg_;
    default:
        return 0;
    }
}
