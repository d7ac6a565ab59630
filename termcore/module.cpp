#include "module.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const char *const kSettingKeys[kSetCount] = {
    "DATADIC", "DATAPATH", "DBFPATH", "TXTPATH", "INCPATH",
    "OUTPUT",  "CASHDIR",  "SRCDIR",  "UPDIR",   "DNDIR",
};

// A longer value is no path any host helper could take; it is ignored.
constexpr size_t kSettingMax = 1024;

int ZAMCB takeSetting(const char *key, const char *value, void *context) {
    auto *m = static_cast<TcModule *>(context);
    if (!key || !value) return 0;
    for (int i = 0; i < kSetCount; ++i) {
        if (std::strcmp(key, kSettingKeys[i]) != 0) continue;
        size_t n = strnlen(value, kSettingMax + 1);
        if (n <= kSettingMax) m->settings[i].assign(value, n);
    }
    return 0;
}

std::vector<PxFilterProc> &addedFilters() {
    static std::vector<PxFilterProc> v;
    return v;
}

std::vector<PxIdleProc> &addedIdles() {
    static std::vector<PxIdleProc> v;
    return v;
}

template <class T> bool forget(std::vector<T> &v, T item) {
    auto it = std::find(v.begin(), v.end(), item);
    if (it == v.end()) return false;
    v.erase(it);
    return true;
}

}  // namespace

TcModule &tc_module() {
    static TcModule m;
    return m;
}

size_t tc_dataBlock(size_t header) {
    size_t block = 0;
    if (!zam_hostBlock(block)) return kTcSmallBlock;
    return block > header ? block - header : 0;
}

void tc_loadSettings() {
    TcModule &m = tc_module();
    ZamExtCallBacks *ext = zam_host().ext;
    if (m.settingsLoaded || !ext) return;
    ext->ReadIniFile("termcore.ini", takeSetting, &m);
    m.settingsLoaded = true;
}

const std::string &tc_setting(TcSetting which) { return tc_module().settings[which]; }

bool tc_addFilterProc(PxFilterProc filter) {
    TAppObj *app = zam_host().app;
    if (!app) return false;
    app->fn->addFilterProc(app, filter, 0);
    addedFilters().push_back(filter);
    return true;
}

void tc_remFilterProc(PxFilterProc filter) {
    TAppObj *app = zam_host().app;
    if (forget(addedFilters(), filter) && app) app->fn->remFilterProc(app, filter);
}

bool tc_addIdleProc(PxIdleProc proc) {
    TAppObj *app = zam_host().app;
    if (!app) return false;
    app->fn->addIdleProc(app, proc, 0);
    addedIdles().push_back(proc);
    return true;
}

void tc_remIdleProc(PxIdleProc proc) {
    TAppObj *app = zam_host().app;
    if (forget(addedIdles(), proc) && app) app->fn->remIdleProc(app, proc);
}

void tc_removeHostProcs() {
    while (!addedFilters().empty()) tc_remFilterProc(addedFilters().back());
    while (!addedIdles().empty()) tc_remIdleProc(addedIdles().back());
}
