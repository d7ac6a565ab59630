// Remote debugger sessions: one debugger per session the server opens, known
// to the server by its id.
#include "dbgremote.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<DbgTarget>> g_remote;
int32_t g_lastId = 0;

DbgTarget *find(int32_t id) {
    for (const auto &t : g_remote)
        if (t->id == id) return t.get();
    return nullptr;
}

}  // namespace

void dbg_remoteForget() {
    if (g_remote.empty()) g_lastId = 0;
}

int32_t DbgRemoteOpen(int32_t serverHandle, const std::string &cacheDir, const std::string &sourceDir,
                      const DbgChannelHost &host) {
    if (!dbg_loadLibrary()) return 0;
    auto t = std::make_unique<DbgTarget>();
    t->remote = 1;
    t->serverHandle = serverHandle;
    t->cacheDir = cacheDir;
    t->sourceDir = sourceDir;
    t->host = host;
    t->handle = dbg_ui()->create(t.get(), dbg_targetTable());
    if (!t->handle) {
        dbg_releaseLibrary();
        return 0;
    }
    t->id = ++g_lastId;
    g_remote.push_back(std::move(t));
    return g_lastId;
}

void DbgRemoteClose(int32_t id) {
    for (auto it = g_remote.begin(); it != g_remote.end(); ++it) {
        if ((*it)->id != id) continue;
        std::unique_ptr<DbgTarget> t = std::move(*it);
        g_remote.erase(it);
        dbg_ui()->destroy(t->handle);
        t.reset();
        dbg_releaseLibrary();
        return;
    }
}

bool DbgRemoteStart(int32_t id, int32_t datum) {
    DbgTarget *t = find(id);
    if (!t) return false;
    t->active = 1;
    if (dbg_ui()->start(t, t->handle, datum)) return true;
    t->active = 0;
    return false;
}

void DbgRemoteSend(int32_t id, const std::string &data) {
    if (DbgTarget *t = find(id)) dbg_ui()->send(t, t->handle, const_cast<char *>(data.c_str()));
}

void DbgRemoteSetFlag(int32_t id, int32_t data, bool set) {
    DbgTarget *t = find(id);
    if (!t) return;
    void *word = reinterpret_cast<void *>(static_cast<intptr_t>(data));
    (set ? dbg_ui()->setFlag : dbg_ui()->clearFlag)(t->handle, word);
}

void DbgRemoteCloseAll() {
    while (!g_remote.empty()) DbgRemoteClose(g_remote.back()->id);
}
