// Version control: server files taken into local copies, returned, released
// and looked up through the server's "VCS_ASYNC_TABLE" requests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Requests with bit 12 switch version control off for the life of the
// module: every operation then succeeds at once with the names it was given.
void vcs_switchOff();
bool vcs_isOn();

// Takes a server file (server empty: the local name's) for editing; its
// local path, or nothing when a file of that base name is taken already or
// the server refuses. While version control is off: the local name, or the
// server's when no local name is given.
std::optional<std::string> VcsTake(const std::string &local, const std::string &server, int32_t flags);
// Returns a taken file (flags 0x100: keep it taken); an unchanged one is
// released instead unless 0x100 says only to report success.
bool VcsUpdate(const std::string &local, int32_t flags);
bool VcsRelease(const std::string &local, int32_t flags);
std::optional<std::string> VcsServerPath(const std::string &local);
std::optional<std::string> VcsLocalPath(const std::string &server);
// Value 0 creates or updates the server file from the local one; 1 takes
// it without a lock. The server's name of the file.
std::optional<std::string> VcsPut(const std::string &local, const std::string &server, int32_t value);
bool VcsIsTaken(const std::string &local);
// The module goes: the record of taken files goes with it.
void vcs_forgetAll();
