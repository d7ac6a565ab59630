// The stand-in interpreter library as a test drives it: loaded by name from
// its own folder (so termcore's and comscript's loads find this copy), with
// its journal and settings reached through its test-only exports.
#pragma once

#include <string>

#include "qvscript.h"

namespace th {

// Folder of the stand-in QVScript.dll; "qvscript_partial" holds a copy that
// lacks ValueSet.
std::string qvscriptDir(const char *variant = "qvscript");

class Qvs {
public:
    explicit Qvs(const char *variant = "qvscript");
    ~Qvs();
    Qvs(const Qvs &) = delete;
    Qvs &operator=(const Qvs &) = delete;

    HMODULE handle() const { return h_; }
    // What the library was asked since the last reset, one line each.
    std::string journal() const;
    // A new journal. What the library could not answer until now fails the
    // test, as it does when the library goes.
    void reset();
    void set(const char *key, QvWord value);
    QvIntf *owner() const;
    void drop(QvIntf *object);
    // Slots the library does not offer and member rows it would not take,
    // since the last look; taken, they no longer fail the test.
    std::string takeStrays();
    // An error of the interpreter itself, known by its code alone.
    static void codedError(int code, int level);
    // References that live list entries hold on objects and array lists.
    int entryRefs() const;

private:
    void failOnStrays();

    HMODULE h_ = nullptr;
};

}  // namespace th

namespace th {

// The stand-in debugger library, loaded by its path so that a module's load
// of "ZAMDBG.DLL" finds this copy; while it is not loaded, none is found.
class ZamDbg {
public:
    ZamDbg();
    ~ZamDbg();
    ZamDbg(const ZamDbg &) = delete;
    ZamDbg &operator=(const ZamDbg &) = delete;
    std::string journal() const;
    void reset();
    // The file the debugger's fallback names for a source the interpreter
    // does not have.
    void localSource(const std::string &path);

private:
    HMODULE h_ = nullptr;
};

}  // namespace th
