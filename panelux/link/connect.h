// Client connections: each server script opens one with request 1 and
// closes it with request 2. The first open starts the window machinery, the
// last close (or unload) tears it down. At most 32 are open at a time.
#pragma once

#include <cstdint>

#include "dispatch.h"

enum : int { kPxMaxClients = 32 };
constexpr int32_t kPxModuleVersion = 313130;
constexpr char kPxModuleVersionText[] = "3.13.130.3";
// Terminal builds up to this one are refused.
constexpr int kPxOldestRefusedBuild = 113;

int px_onOpenClient(const PxRequest &req);
int px_onCloseClient(const PxRequest &req);
// Unload: ends every open connection.
void px_endAllClients();
uint32_t px_clientMask();
