// The remote side of the debugger bridge: the macro runs on the server, and
// every question the debugger asks travels on the host's "ZamDebug" channel.
#pragma once

#include <cstdint>
#include <string>

#include "dbgtarget.h"

// Opens a session for the server's handle; its id (1, 2, ... for the life of
// the module) or 0 when the debugger library is not available.
int32_t DbgRemoteOpen(int32_t serverHandle, const std::string &cacheDir, const std::string &sourceDir,
                      const DbgChannelHost &host);
// Each of these ignores an id that names no open session.
void DbgRemoteClose(int32_t id);
bool DbgRemoteStart(int32_t id, int32_t datum);
void DbgRemoteSend(int32_t id, const std::string &data);
void DbgRemoteSetFlag(int32_t id, int32_t data, bool set);
void DbgRemoteCloseAll();
