// comscript and comgate under the storm: the host's object-model messages
// (-5, -8, -12, -13) with class names, interface numbers and creation
// arguments a script can choose, life-cycle codes and their neighbours, and
// member calls of every object made with hostile dispids, flags and
// argument lists. The test's thread keeps a COM apartment of its own, as
// the terminal's does, so that a hostile -2 does not unload COM servers
// under objects still held. comgate creates only a harmless class
// (Scripting.Dictionary) and names that are none; no text names a class id
// without a class behind it, whose failed activation as a local server
// leaks two handles each time under Wine.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <cstring>
#include <string>
#include <vector>

#include "host.h"
#include "msgbox.h"
#include "qvsclient.h"
#include "storm.h"

namespace storm {
namespace {

struct ObjectStream {
    Session &run;
    th::Module &m;
    th::Qvs &qvs;
    std::vector<QvIntf *> held;     // one reference each, given back at the end
    std::vector<QvIntf *> modules;  // module interfaces, the only ones the host hands back

    Rng &r() { return run.rng(); }
    QvIntf *runtime() const { return qv_ptr<QvIntf>(qv_call(qvs.owner(), kOwnRuntime)); }

    void hold(QvIntf *o) {
        if (!o) return;
        QvIntf *module = nullptr;
        if (modules.size() < 4) qv_call(o, kQvQueryInterface, kQvIidModule, &module);
        if (module) modules.push_back(module);
        if (held.size() < 12) held.push_back(o);
        else qv_call(o, kQvRelease);
    }
    QvIntf *any() { return held.empty() || r().chance(5) ? nullptr : r().pick(held); }
    QvIntf *module() { return modules.empty() || r().chance(30) ? nullptr : r().pick(modules); }
    // The locks of every module dropped (-13), then every reference.
    void releaseAll() {
        for (QvIntf *mod : modules) {
            QvObjRequest rec{0, qvs.owner(), "QvComModule", 0, 0, nullptr, mod};
            message(kMsgDropLocks, rec, "the end's drop of the locks");
        }
        for (QvIntf *o : held) qv_call(o, kQvRelease);
        for (QvIntf *o : modules) qv_call(o, kQvRelease);
        held.clear();
        modules.clear();
    }

    int message(int code, QvObjRequest &rec, const std::string &what) {
        auto f = reinterpret_cast<ZamExtMessageProcFn>(m.proc("ZamExtMessageProc"));
        run.begin(code, what);
        int answer = f(static_cast<unsigned>(code), &rec, nullptr);
        run.end();
        return answer;
    }
    // -8, -12, -5, -13 and their neighbours with a record as the host makes
    // it: its own owner and texts, whatever class and numbers the script named.
    void objectMessage(int code, const std::vector<const char *> &classes, const std::vector<int> &iids,
                       QvIntf *arg2) {
        std::string name = text(r()), arg1 = text(r());
        const char *cls = r().chance(70) ? r().pick(classes) : r().chance(10) ? nullptr : name.c_str();
        int iid = r().chance(80) ? r().pick(iids) : n32(r(), 6);
        QvObjRequest rec{0, qvs.owner(), cls, iid, 0, r().chance(20) ? nullptr : arg1.c_str(), arg2};
        int answer = message(code, rec, std::string("class ") + (cls ? cls : "(null)") + ", interface " + std::to_string(iid));
        if (code == kMsgCreate && answer == 0 && rec.out) hold(qv_ptr<QvIntf>(rec.out));
    }

    // A parameter list of n entries (0 the result) with hostile values.
    QvIntf *parms(int n, const std::vector<std::string> &texts) {
        QvIntf *l = qv_ptr<QvIntf>(qv_call(runtime(), kRtNewParms, n, 0, 0));
        static const std::vector<int> kTypes = {kQvtInt,  kQvtString, kQvtString, kQvtBool, kQvtObject, kQvtI1,
                                                kQvtI2,   kQvtU4,     kQvtDouble, kQvtDate, kQvtTime,   kQvtDateTime,
                                                kQvtCurrency, kQvtFixed4, kQvtDecimal, kQvtMissing, kQvtNone, 3, 30};
        for (int i = 1; i < n; ++i) {
            int type = r().pick(kTypes);
            if (type == kQvtString) {
                std::string t = r().chance(60) ? r().pick(texts) : text(r());
                qv_call(l, kPmSetText, 0, i, t.c_str());
            } else if (type == kQvtObject) {
                QvIntf *o = any();
                qv_call(l, kPmSet, 0, i, kQvtObject, &o);
            } else {
                unsigned char value[16];
                for (unsigned char &b : value) b = static_cast<unsigned char>(r().next());
                if (type == kQvtInt) {
                    int32_t v = n32(r(), 1);
                    std::memcpy(value, &v, sizeof v);
                }
                qv_call(l, kPmSet, 0, i, type, value);
            }
            if (r().chance(10)) qv_call(l, kPmSetFlags, 0, i, r().chance(50) ? kQvEntryByRef : kQvEntryVariant);
        }
        return l;
    }

    // A member call of a held object through its dispatch interface; an
    // object among the results is held for later calls.
    void invoke(const std::vector<int> &dispids, const std::vector<std::string> &names,
                const std::vector<std::string> &texts) {
        QvIntf *o = any();
        if (!o) return;
        QvIntf *disp = nullptr;
        run.begin(-100, "query of the dispatch interface");
        qv_call(o, kQvQueryInterface, kQvIidDispatch6, &disp);
        run.end();
        if (!disp) return;
        int dispid = r().pick(dispids);
        if (r().chance(30)) {
            std::string name = r().chance(80) ? r().pick(names) : text(r());
            run.begin(-101, "member id of " + name.substr(0, 40));
            qv_call(disp, kQvGetMemberId, name.c_str(), &dispid);
            run.end();
        }
        if (r().chance(10)) dispid = n32(r(), 0);
        int flags = r().chance(80) ? r().pick(std::vector<int>{kQvCall, kQvGet, kQvPut, 4, 8, kQvExtended}) : n32(r(), 1);
        int count = static_cast<int>(r().below(5));
        QvIntf *l = parms(count, texts);
        run.begin(-102, "Invoke of dispid " + std::to_string(dispid) + ", flags " + std::to_string(flags) + ", " +
                            std::to_string(count) + " entries");
        qv_call(disp, kQvInvoke, dispid, flags, l, 0);
        run.end();
        if (count > 0 && qv_ptr<const QvValue>(qv_call(l, kPmValue, 0, 0))->code() == kQvtObject) {
            QvIntf *result = qv_ptr<QvIntf>(qv_ptr<const QvValue>(qv_call(l, kPmValue, 0, 0))->value);
            if (result) {
                qv_call(result, kQvAddRef);
                hold(result);
            }
        }
        qv_call(l, kQvRelease);
        qv_call(disp, kQvRelease);
    }

    void lifeCycle(int code) {
        run.begin(code, "life-cycle message");
        m.message(code, th::Bytes().zeros(18).u16(static_cast<uint16_t>(n32(r(), 114))));
        run.end();
    }
};

struct Objects {
    const char *module;
    const char *test;
    const char *file;
    uint64_t seed;
    std::vector<const char *> classes;
    std::vector<int> dispids;
    std::vector<std::string> names, texts;
};

void objectStorm(const Objects &o, const std::string &dir) {
    CoInitialize(nullptr);
    {
        th::Qvs qvs;
        qvs.set("ownerDir", qv_word(dir.c_str()));
        th::MessageBoxCatcher boxes(IDCANCEL);
        th::Host::get().reset();
        Session run(o.module, o.test, o.seed);
        th::Module m(o.file);
        m.start();
        ObjectStream st{run, m, qvs, {}, {}};
        // Mostly the dispatch interface, through which members are called.
        const std::vector<int> iids = {6, 6, 6, 6, 6, 1, 2, 4, 15, 16, 17, 18, 24, 100, 101, 1000, 3, 0};
        auto stream = [&](long n) {
            for (long i = 0; i < n; ++i) {
                switch (run.rng().below(16)) {
                case 0: case 1: case 2: st.objectMessage(kMsgCreate, o.classes, iids, st.module()); break;
                case 3: st.objectMessage(kMsgClassInfo, o.classes, iids, nullptr); break;
                case 4: st.objectMessage(run.rng().chance(50) ? kMsgUnloadQuery : kMsgDropLocks, o.classes, iids, st.module()); break;
                case 5: st.objectMessage(run.rng().pick(std::vector<int>{-3, -6, -7, -9, -11, -14, 0, 1, 2}), o.classes, iids, st.module()); break;
                case 6: st.lifeCycle(run.rng().pick(std::vector<int>{kMsgHostVersion, kMsgLoad, kMsgUnload})); break;
                case 7:
                    if (!st.held.empty()) {
                        size_t k = run.rng().below(static_cast<uint32_t>(st.held.size()));
                        qv_call(st.held[k], kQvRelease);
                        st.held.erase(st.held.begin() + static_cast<long>(k));
                    }
                    break;
                default: st.invoke(o.dispids, o.names, o.texts); break;
                }
                if (i % 64 == 0) {
                    qvs.reset();
                    forgetHostRecords();
                }
            }
            st.releaseAll();
            qvs.reset();
        };
        // The storm is its own warm-up: counted the second time.
        long count = run.scaled(800);
        stream(count);
        Usage before = usage();
        run.rewind();
        stream(count);
        run.expectNoGrowth(before, usage(), 4 << 20);
        m.message(kMsgUnload);
    }
    CoUninitialize();
}

TEST(Storm, Comgate) {
    th::TempDir scratch;
    objectStorm({"comgate", "Comgate", "comgate.dll", 0xC06A, {"TComgateServer", "tcomgateserver", "TComscript", ""},
                 {0, 0, 0, 1, -6, -1, 2},
                 {"CreateComObject", "Version", "Item", "Add", "Count", "Exists", "Keys", "Items", "Remove", "RemoveAll",
                  "CompareMode", "Key"},
                 {"Scripting.Dictionary", "Scripting.Dictionary", "{garbage", "key", ""}},
                scratch.path());
}

TEST(Storm, Comscript) {
    th::TempDir scratch;
    scratch.write("a.zam", "var x int 5\nvar s str text\nproc echo echo\nproc sum sum\nprint storm\n");
    scratch.write("bad.zam", "syntax 12 3 broken\n");
    scratch.write("fail.zam", "failexec\n");
    objectStorm({"comscript", "Comscript", "comscript.dll", 0xC05C, {"QvComModule", "TComscript", "tcomscript", "Other"},
                 {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, -6, 21, -1},
                 {"AddModule", "Execute", "Stop", "Call", "Version", "Lock", "UnLock", "TestExist", "RunProc", "GetVar",
                  "SetVar", "DetachSite", "AttachSite", "CreateZAMObject", "SetDefFile", "SQLMode"},
                 {scratch.file("a.zam"), scratch.file("bad.zam"), scratch.file("fail.zam"), "echo", "sum", "x", "s",
                  "none", scratch.path()}},
                scratch.path());
}

}  // namespace
}  // namespace storm
