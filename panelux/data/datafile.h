// panelux.dat in the application's folder of the user's application data,
// shared by every terminal process of the user: readers take a shared and
// writers an exclusive lock on its first 1024 bytes, waiting for it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "appdata.h"

constexpr char kPxDataFileName[] = "panelux.dat";

// Whether an application name (Windows code page) may name a folder: one
// plain folder name, never a path, a drive, ".." or a reserved character.
bool px_isAppFolderName(const char *appName);
// The path of the application's data file (its folders created); false
// when the name is no folder name or no path can be formed.
bool px_dataFilePath(const char *appName, char *out);

// appName in the Windows code page. Any failure gives false and no image.
bool px_readDataFile(const char *appName, std::vector<uint8_t> *image);
bool px_writeDataFile(const char *appName, const uint8_t *image, size_t length);

// appName as the server sent it (OEM code page). Loading replaces the image
// with the file's, or with none when the file is missing or foreign;
// saving writes an image that holds records, its header rebuilt, and tells
// whether it was written.
void px_loadAppData(PxAppData &image, const char *appName);
bool px_saveAppData(PxAppData &image, const char *appName);

// The frame's placement in record 1. Saving stores the flags, the show state
// (3 or 1) and the normal rectangle in screen coordinates; false when
// nothing was stored. Restoring moves and sizes the frame when the saved
// rectangle meets the work area, and gives the show command to use
// (SW_SHOWMAXIMIZED or SW_SHOWNORMAL) in *showCmd whenever a placement is
// remembered; true only when the frame was moved.
bool px_saveFramePlacement(PxAppData &image, HWND frame);
bool px_restoreFramePlacement(PxAppData &image, HWND frame, int *showCmd);
