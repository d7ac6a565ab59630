// One request as a handler sees it: the entry layer's bounded record and
// reply area.
#pragma once

#include "zam_entry.h"

using TcRequest = ZamRequest;

inline int tc_replyLength(const WireWriter &w) { return zam_replyLength(w); }
inline int tc_replyInt(const TcRequest &req, int32_t value) { return zam_replyInt(req, value); }
