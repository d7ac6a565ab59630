// The script functions of filepick, dirwalk and regionfmt, registered with
// the stand-in interpreter as it registers them and called with values of
// every type, too few and too many arguments, long, empty and hostile
// texts. Functions that delete, rename or make files and folders get names
// inside the scratch folder (the current folder) only; file dialogs are
// cancelled as soon as they are activated.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "interp.h"
#include "msgbox.h"
#include "regmodule.h"
#include "storm.h"

namespace storm {
namespace {

// Values made once: the interpreter keeps every text it is given.
struct Pool {
    std::vector<VALUE> any;      // every type, texts of every kind
    std::vector<VALUE> scratch;  // texts naming files and folders in the scratch folder

    explicit Pool(Rng &r) {
        th::Interp &in = th::Interp::get();
        for (int i = 0; i < 24; ++i) any.push_back(in.str(text(r)));
        for (int i = 0; i < 12; ++i) scratch.push_back(in.str(scratchName(r)));
        for (const char *name : {"a.txt", "sub", "b.txt", "*", "*.txt"}) scratch.push_back(in.str(name));
        any.insert(any.end(), scratch.begin(), scratch.end());
        for (int32_t v : {0, -1, 1, INT32_MAX, INT32_MIN}) any.push_back(th::Interp::integer(v));
        any.push_back(th::Interp::boolean(true));
        any.push_back(th::Interp::boolean(false));
        any.push_back(th::Interp::undef());
        any.push_back(in.array({in.str("start.txt")}));
        any.push_back(in.array({th::Interp::integer(5)}));
        any.push_back(in.array({}));
        // Numbers, money, dates and times with whatever bytes they hold.
        for (int type : std::vector<int>{V_MONEY, V_DOUBLE, V_MONEYL, V_DOUBLEL, V_DATE, V_TIME, V_DTTM, 8, 11, 200}) {
            VALUE v{};
            v.v_type = static_cast<unsigned char>(type);
            unsigned char bytes[sizeof v.value];
            for (unsigned char &b : bytes) b = static_cast<unsigned char>(r.next());
            std::memcpy(&v.value, bytes, sizeof bytes);
            any.push_back(v);
        }
    }
};

// Functions whose string arguments name what they change.
bool changesFiles(const std::string &name) {
    for (const char *f : {"FileDelete", "DirDelete", "MakeDir", "FileRename", "MakeDirDOS"})
        if (name == f) return true;
    return false;
}

TEST(Storm, ScriptFunctions) {
    th::TempDir scratch;
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SetCurrentDirectoryA(scratch.path().c_str());
    scratch.write("a.txt", "a");

    th::Interp &in = th::Interp::get();
    in.reset();
    in.enableAll();
    in.symbols = {"IsGUI"};
    in.hostVersion = 317;
    th::MessageBoxCatcher boxes(IDCANCEL);
    Session run("filepick, dirwalk and regionfmt", "ScriptFunctions", 0x5C21);
    std::vector<std::unique_ptr<th::RegModule>> modules;
    for (const char *file : {"filepick.dll", "dirwalk.dll", "regionfmt.dll"})
        modules.push_back(std::make_unique<th::RegModule>(file));
    std::vector<std::string> functions;
    for (const th::ProcReg &p : in.procs) functions.push_back(p.name);
    ASSERT_EQ(18u, functions.size());
    Pool pool(run.rng());

    long dialogs = 0;  // file dialogs shown in this phase
    auto stream = [&](long n) {
        for (long i = 0; i < n; ++i) {
            Rng &r = run.rng();
            std::string name = r.pick(functions);
            // Each call of the file dialog makes and cancels a window: fewer.
            if (name == "TrmSelectFile" && !r.chance(20)) continue;
            if (name == "TrmSelectFile") ++dialogs;
            const std::vector<VALUE> &values = changesFiles(name) ? pool.scratch : pool.any;
            std::vector<VALUE> args;
            for (uint32_t k = r.below(r.chance(80) ? 6 : 12); k > 0; --k) args.push_back(r.pick(values));
            in.options[48] = static_cast<int>(r.below(2));
            run.begin(0, name + " with " + std::to_string(args.size()) + " arguments");
            in.call(name, args);
            run.end();
            if (i % 64 == 0) {
                in.calls.clear();
                in.valueSets.clear();
            }
        }
    };
    // A script that never closes its searches keeps their handles by
    // design: the searches are closed before anything is counted.
    auto closeSearches = [&] {
        for (int i = 0; i < 100000; ++i) {
            in.call("FileFindClose", {});
            if (in.returns.empty() || !in.returns.back().b) break;
        }
        in.calls.clear();
        in.valueSets.clear();
        in.allocs.clear();
    };
    // The storm is its own warm-up: counted the second time.
    long count = run.scaled(800);
    stream(count);
    closeSearches();
    Usage before = usage();
    dialogs = 0;
    run.rewind();
    stream(count);
    closeSearches();
    // 32-bit Wine keeps a handle for every file dialog shown.
    run.expectNoGrowth(before, usage(), 4 << 20, sizeof(void *) == 4 ? static_cast<int>(dialogs) : 0);
    modules.clear();
    SetCurrentDirectoryA(cwd);
}

}  // namespace
}  // namespace storm
