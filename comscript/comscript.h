// TComscript: the script-visible object that owns an embedded interpreter
// instance (created on first use), runs it and relays its host messages to
// the site object that owns it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "qvobject.h"

class TComscript;
struct DbgSession;

// The host record the embedded instance calls, with the way back.
struct ComscriptHost {
    ZamHostRecord rec;
    TComscript *owner;
};

// The settings comscript.ini and the setter members give.
enum ComscriptPath : int { kCsDataDic, kCsDataPath, kCsDbfPath, kCsTxtPath, kCsIncPath, kCsQvmPath, kCsWorkDir,
                           kCsLogDir, kCsPathCount };

class TComscript : public TDispStub {
public:
    explicit TComscript(QvIntf *owner);
    ~TComscript() override;

    const QvClassRecord *classRecord() const override;
    QvWord Init(QvWord name, QvWord module, QvWord zero) override;
    QvWord Close() override;
    QvWord Invoke(int dispid, int flags, QvIntf *parms, QvWord word) override;

    // Answers one host message of the instance (the relay).
    int HostMessage(int code, void *data);

    // Read by the tests through the object, as the relay sees them.
    const OwnedStr &setting(ComscriptPath which) const { return paths_[which]; }
    int guiMode() const { return gui_; }
    int sqlMode() const { return sql_; }
    int pcodeMode() const { return pcode_; }
    int moneyMode() const { return money_; }
    int logType() const { return logType_; }
    bool logOpen() const { return log_ != nullptr; }

    // comscript.ini, one key.
    void takeSetting(const char *key, const char *value);

protected:
    QvIntf *findInterface(int iid) override;

private:
    struct Call;

    void start();
    void report(int code, const char *name = nullptr);
    void putBackErrors();
    bool addModule(const char *text, TParm result);
    void callSymbol(const TParmList &list, int kind, int first, bool callFlag);
    void attachSite(const TParmList &list);
    void initialise(const TParmList &list);

    int instanceAddModule(const char *name);
    int instanceExecute();
    int instanceState();
    int instanceLastError();

    DbgSession *localDebugger();
    int attachDebugger(void *data);
    int forward(int code, void *data);
    int forwardBracketed(int code, void *data);
    bool callSite(const char *member, const char *text);
    void reportInstanceError(const QvsErrorRecord *e);
    void fillPaths(QvsPathRecord *p, void *data);
    void saveErrors(int code);
    void logQvcomError(int code);
    void logText(const char *format, const char *text);
    void readSettings();
    void openLog();

    QvSub own_;  // interface 1000: the base slots only
    ComscriptHost host_;
    ZamInstance *instance_ = nullptr;
    QvIntf *converter_ = nullptr;
    QvIntf *module_ = nullptr;
    ZamHostRecord *outer_ = nullptr;
    QvIntf *site_ = nullptr;
    int gui_ = -1, sql_ = -1, pcode_ = -1, money_ = -1;
    bool started_ = false;
    bool closed_ = false;
    QvWord context_ = 0;
    int errTextFlag_ = 1;
    std::vector<char> savedErrors_;
    int lastQvcom_ = 0;
    OwnedStr paths_[kCsPathCount];
    bool pathsFromOuter_ = false;
    int logType_ = 1;
    std::FILE *log_ = nullptr;
    unsigned char btrOwnClnt_ = 1, btrUseDdf_ = 1, brk2dbg_ = 0;
    int answer_ = 0;  // of the Invoke in progress
};

const QvClassRecord *QVSCB TComscript_class();

// The log file's name: LOGDIR, the object's name with its path characters
// replaced, the process id and ".log".
std::string comscript_logName(const char *logDir, const char *objectName, unsigned long pid);
