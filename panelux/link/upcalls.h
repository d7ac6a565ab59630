// Upcalls: requests formkit sends to the server's table "PXTBL#n" (n the
// number of the object concerned) while it serves a request or runs a
// modal loop; most wait for a 32-bit answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kPxMenuChunk = 8000;

// The server object whose table receives upcalls; -1 when none.
int px_curObjNum();
void px_setCurObjNum(int number);
// "PXTBL#n".
std::string px_upcallTable(int number);

// 100: the menu description of total bytes, fetched in chunks.
bool px_upcallMenuBlob(int number, int32_t descId, int total, std::vector<unsigned char> *out);
// 101: a submenu's items; the whole reply (longer than 10 bytes) on success.
bool px_upcallSubmenu(int number, int32_t handle, int32_t itemId, uint8_t count, std::vector<unsigned char> *out);
int px_upcallMenuQuery(int number, int32_t handle, int32_t itemId);         // 102, 0 on failure
int px_upcallHelp(int32_t context);                                          // 103
// 104: a dialog's resize (waits) or, with handle 0, the frame's grid size
// (posted, 0 when sent).
int px_upcallNotify(int number, int32_t handle, int16_t a, int16_t b, uint8_t c);
int px_upcallColumnShow(int number, int32_t handle, int16_t field, int16_t show);  // 105
int px_upcallLayoutChanged(int number, int32_t handle);                           // 106
int px_upcallColumnMove(int number, int32_t handle, int16_t field, int16_t to);   // 107
int px_upcallDlgCallback(int32_t value);                                          // 108
