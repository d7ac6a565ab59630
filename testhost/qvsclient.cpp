#include "qvsclient.h"

#include <gtest/gtest.h>

#include <vector>

#include "module.h"

namespace th {

std::string qvscriptDir(const char *variant) {
    return distDir() + "..\\tests\\" + variant;
}

Qvs::Qvs(const char *variant) {
    std::string dir = qvscriptDir(variant);
    SetDllDirectoryA(dir.c_str());
    h_ = LoadLibraryA("QVScript.dll");
    if (!h_) ADD_FAILURE() << "QVScript.dll not loaded from " << dir << ": " << GetLastError();
    reset();
}

Qvs::~Qvs() {
    failOnStrays();
    if (h_) FreeLibrary(h_);
    SetDllDirectoryA(nullptr);
}

template <typename Fn>
static Fn testExport(HMODULE h, const char *name) {
    Fn f = h ? reinterpret_cast<Fn>(GetProcAddress(h, name)) : nullptr;
    if (!f) ADD_FAILURE() << "stand-in export " << name << " missing";
    return f;
}

// A stand-in's journal through its test export.
static std::string readJournal(HMODULE h, const char *name) {
    auto f = testExport<int(QVSCB *)(char *, int)>(h, name);
    if (!f) return "";
    std::vector<char> buf(static_cast<size_t>(f(nullptr, 0)) + 1);
    f(buf.data(), static_cast<int>(buf.size()));
    return buf.data();
}

std::string Qvs::journal() const { return readJournal(h_, "QvsTestJournal"); }

void Qvs::reset() {
    failOnStrays();
    if (auto f = testExport<void(QVSCB *)()>(h_, "QvsTestReset")) f();
}

std::string Qvs::takeStrays() {
    auto f = testExport<int(QVSCB *)(char *, int, int)>(h_, "QvsTestStrays");
    if (!f) return "";
    std::vector<char> buf(static_cast<size_t>(f(nullptr, 0, 0)) + 1);
    f(buf.data(), static_cast<int>(buf.size()), 1);
    return buf.data();
}

void Qvs::codedError(int code, int level) {
    if (auto f = testExport<void(QVSCB *)(int, int)>(GetModuleHandleA("QVScript.dll"), "QvsTestCodedError"))
        f(code, level);
}

// The real library would have failed the call, or crashed on it.
void Qvs::failOnStrays() {
    std::string strays = h_ ? takeStrays() : "";
    if (!strays.empty()) ADD_FAILURE() << "QVScript.dll asked what it does not offer:\n" << strays;
}

void Qvs::set(const char *key, QvWord value) {
    if (auto f = testExport<void(QVSCB *)(const char *, QvWord)>(h_, "QvsTestSet")) f(key, value);
}

QvIntf *Qvs::owner() const {
    auto f = testExport<QvIntf *(QVSCB *)()>(h_, "QvsTestOwner");
    return f ? f() : nullptr;
}

int Qvs::entryRefs() const {
    auto f = testExport<int(QVSCB *)()>(h_, "QvsTestEntryRefs");
    return f ? f() : -1;
}

void Qvs::drop(QvIntf *object) {
    if (auto f = testExport<void(QVSCB *)(QvIntf *)>(h_, "QvsTestDrop")) f(object);
}

}  // namespace th

namespace th {

ZamDbg::ZamDbg() {
    std::string path = distDir() + "..\\tests\\zamdbg\\ZAMDBG.DLL";
    h_ = LoadLibraryA(path.c_str());
    if (!h_) ADD_FAILURE() << "ZAMDBG.DLL not loaded from " << path << ": " << GetLastError();
    reset();
}

ZamDbg::~ZamDbg() {
    if (h_) FreeLibrary(h_);
}

std::string ZamDbg::journal() const { return readJournal(h_, "ZamDbgTestJournal"); }

void ZamDbg::localSource(const std::string &path) {
    if (auto f = testExport<void(QVSCB *)(const char *)>(h_, "ZamDbgTestSource")) f(path.c_str());
}

void ZamDbg::reset() {
    if (auto f = testExport<void(QVSCB *)()>(h_, "ZamDbgTestReset")) f();
}

}  // namespace th
