// Source editors the server opens on the terminal (request 202), as the edit
// manager sees them.
#pragma once

#include <string>

// The newest open editor's entries the edit manager uses; false when no
// editor is open.
bool tc_editorOpen();
bool tc_editorLoadFile(const std::string &path, bool readOnly);
bool tc_editorSaveAll();
bool tc_editorReloadAll();
// The frames-disabled state operations 2 and 3 set.
bool tc_editorFramesDisabled();
