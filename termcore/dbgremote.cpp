// Remote debugger sessions: one debugger per session the server opens, known
// to the server by its id.
#include "dbgremote.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace {

// A remote target with the texts its record points to.
struct RemoteSession {
    DbgTarget target{};
    std::string cacheDir, sourceDir;
};

std::vector<std::unique_ptr<RemoteSession>> g_remote;
int32_t g_lastId = 0;

DbgTarget *find(int32_t id) {
    for (const auto &r : g_remote)
        if (r->target.id == id) return &r->target;
    return nullptr;
}

}  // namespace

void dbg_remoteForget() {
    if (g_remote.empty()) g_lastId = 0;
}

int32_t DbgRemoteOpen(int32_t serverHandle, const std::string &cacheDir, const std::string &sourceDir,
                      const DbgChannelHost &host) {
    if (!dbg_loadLibrary()) return 0;
    dbg_setChannelHost(host);
    auto r = std::make_unique<RemoteSession>();
    r->cacheDir = cacheDir;
    r->sourceDir = sourceDir;
    DbgTarget *t = &r->target;
    t->remote = 1;
    t->owner = serverHandle;
    t->cacheDir = r->cacheDir.c_str();
    t->sourceDir = r->sourceDir.c_str();
    t->id = g_lastId + 1;
    t->handle = dbg_ui()->create(t, dbg_targetTable());
    if (!t->handle) {
        dbg_releaseLibrary();
        return 0;
    }
    g_lastId = t->id;
    g_remote.push_back(std::move(r));
    return g_lastId;
}

void DbgRemoteClose(int32_t id) {
    for (auto it = g_remote.begin(); it != g_remote.end(); ++it) {
        if ((*it)->target.id != id) continue;
        std::unique_ptr<RemoteSession> r = std::move(*it);
        g_remote.erase(it);
        dbg_ui()->destroy(r->target.handle);
        r.reset();
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
    while (!g_remote.empty()) DbgRemoteClose(g_remote.back()->target.id);
}
