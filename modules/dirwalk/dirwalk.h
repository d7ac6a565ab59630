// dirwalk's script functions. Each reads its arguments with GetParm,
// writes out-arguments with SetParm and sets its result with ReturnVal;
// register.cpp hands them to the host behind ZamGuarded.
#pragma once

#include "zamsdk.h"

// Searches (search.cpp).
int dw_fileFindFirst();
int dw_fileFindNext();
int dw_fileFindClose();
// Closes every search scripts left open: the end of a script run.
void dw_closeSearches();

// Files, directories, names (files.cpp).
int dw_fileDelete();
int dw_dirDelete();
int dw_makeDir();
int dw_fileRename();
int dw_getCWD();
int dw_getShortFileName();
int dw_createGUID();
