// Asynchronous requests termcore sends the server through the service
// object: one record of a table, answered or not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The reply of a transaction; nullopt when it could not be sent or failed.
std::optional<std::vector<unsigned char>> tc_transact(const char *table, int code, const std::vector<unsigned char> &record);
// True when the reply has at least four bytes and starts with int32 0; text
// gets what follows them up to a NUL (empty when nothing follows).
bool tc_replyOk(const std::optional<std::vector<unsigned char>> &reply, std::string *text = nullptr);
