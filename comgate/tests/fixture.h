// comgate loaded as the host loads it, its TComgateServer made through -8
// and its service driven with the stand-in runtime's parameter lists.
#pragma once

#include <gtest/gtest.h>

#include <oaidl.h>

#include <memory>
#include <string>

#include "com_ptr.h"
#include "comgate.h"
#include "qvsclient.h"
#include "module.h"

// A list of n entries (entry 0 the result), owned by the test.
struct List {
    QvIntf *p = nullptr;
    explicit List(QvIntf *list) : p(list) {}
    ~List() {
        if (p) qv_call(p, kQvRelease);
    }
    List(const List &) = delete;
    List &operator=(const List &) = delete;
    template <typename T>
    void set(int i, int code, const T &v) const { qv_call(p, kPmSet, 0, i, code, &v); }
    void text(int i, const char *t) const { qv_call(p, kPmSetText, 0, i, t); }
    void flags(int i, int f) const { qv_call(p, kPmSetFlags, 0, i, f); }
    const QvValue &value(int i) const { return *qv_ptr<const QvValue>(qv_call(p, kPmValue, 0, i)); }
    int code(int i) const { return value(i).code(); }
    template <typename T>
    T as(int i) const {
        T t;
        std::memcpy(&t, value(i).data, sizeof t);
        return t;
    }
    std::string str(int i) const { return qv_ptr<const char>(qv_call(p, kPmText, 0, i)); }
    int count() const { return static_cast<int>(qv_call(p, kPmCount, 0)); }
};

struct Comgate : ::testing::Test {
    th::Qvs qvs;
    std::unique_ptr<th::Module> m;
    QvIntf *svc = nullptr;

    void SetUp() override {
        m = std::make_unique<th::Module>("comgate.dll");
        m->start();
        QvObjRequest r = request("TComgateServer", kQvIidComgateService);
        ASSERT_EQ(0, objectMessage(kMsgCreate, r));
        svc = qv_ptr<QvIntf>(r.out);
        ASSERT_NE(nullptr, svc);
        qvs.reset();
    }
    void TearDown() override {
        if (svc) qv_call(svc, kQvRelease);
        m->message(kMsgUnload);
        m.reset();
    }
    QvObjRequest request(const char *cls, int iid) { return QvObjRequest{0, qvs.owner(), cls, iid, 0, "gate", nullptr}; }
    int objectMessage(int code, QvObjRequest &r) {
        auto f = reinterpret_cast<ZamExtMessageProcFn>(m->proc("ZamExtMessageProc"));
        return f(static_cast<unsigned>(code), &r, nullptr);
    }
    QvIntf *runtime() const { return qv_ptr<QvIntf>(qv_call(qvs.owner(), kOwnRuntime)); }
    QvIntf *newList(int n) const { return qv_ptr<QvIntf>(qv_call(runtime(), kRtNewParms, n, 0, 0)); }
    bool journalHas(const std::string &line) const {
        return ("\n" + qvs.journal()).find("\n" + line + "\n") != std::string::npos;
    }
    // The server's own dispatch interface.
    QvIntf *server() const {
        QvIntf *d = nullptr;
        qv_call(svc, kQvQueryInterface, kQvIidDispatch6, &d);
        return d;
    }
    // A COM object through CreateComObject, as the script gets it.
    QvIntf *createObject(const char *name) {
        QvIntf *srv = server();
        List l(newList(2));
        l.text(1, name);
        QvWord answer = qv_call(srv, kQvInvoke, 0, kQvCall, l.p, 0);
        qv_call(srv, kQvRelease);
        if (answer != 0 || l.code(0) != kQvtObject) return nullptr;
        // The result entry lets go of its own reference with the list.
        QvIntf *obj = qv_ptr<QvIntf>(l.value(0).value);
        qv_call(obj, kQvAddRef);
        return obj;
    }
    // What a COM client is handed for a script object: comgate's proxy.
    com_ptr<IDispatch> proxyOf(QvIntf *script) {
        List l(newList(1));
        l.set(0, kQvtObject, script);
        VARIANT v;
        VariantInit(&v);
        EXPECT_EQ(S_OK, qv_call(svc, kCgValueToVariant, l.p, 0, &v));
        EXPECT_EQ(VT_DISPATCH, v.vt);
        return com_ptr<IDispatch>(v.vt == VT_DISPATCH ? v.pdispVal : nullptr);
    }
    int memberId(QvIntf *obj, const char *name) {
        int id = -99;
        EXPECT_EQ(0, qv_call(obj, kQvGetMemberId, name, &id)) << name;
        return id;
    }
};
