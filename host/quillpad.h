// The source editor library Quillpad.dll as termcore and its stand-in see
// it: forty entries, each taking the editor handle first, and the callbacks
// termcore installs in an editor.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Calling convention of the editor's entries and of its callbacks.
#define QPCB __cdecl

typedef void *QpEditor;
typedef void *QpMenu;

// Callbacks; datum is what termcore gave with the procedure.
typedef int(QPCB *QpCommandProc)(QpMenu menu, int command, void *datum);      // non-zero: handled
typedef int(QPCB *QpUpdateStateProc)(QpMenu menu, int command, void *datum);  // non-zero: enabled
typedef int(QPCB *QpNotifyProc)(int code, int unused, const char *text, void *datum);
typedef int(QPCB *QpOpenFileProc)(const char *name, void *datum);

// File notifications: a file saved, a file closed, a frame closed.
enum : int { kQpNotifySaved = 101, kQpNotifyClosed = 102, kQpNotifyFrameClosed = 202 };

// The entries in the order termcore keeps them.
#define QP_ENTRIES(X)                                                                      \
    X(LoadEditor, QpEditor, (void))                                                        \
    X(UnloadEditor, int, (QpEditor e))                                                     \
    X(InitInstance, int, (QpEditor e))                                                     \
    X(ExitInstance, int, (QpEditor e))                                                     \
    X(SetAppTitle, int, (QpEditor e, const char *title))                                   \
    X(SetOemMode, int, (QpEditor e, int on))                                               \
    X(SetOpenFileProc, int, (QpEditor e, QpOpenFileProc proc, void *datum))                \
    X(SetNotifyProc, int, (QpEditor e, QpNotifyProc proc, void *datum))                    \
    X(SetCommandProc, int, (QpEditor e, QpCommandProc proc, void *datum))                  \
    X(SetUpdateStateProc, int, (QpEditor e, QpUpdateStateProc proc, void *datum))          \
    X(RunMsgLoop, int, (QpEditor e))                                                       \
    X(EndMsgLoop, int, (QpEditor e))                                                       \
    X(Run, int, (QpEditor e))                                                              \
    X(LoadFile, int, (QpEditor e, const char *path, int readOnly))                         \
    X(SaveAllFiles, int, (QpEditor e))                                                     \
    X(ReloadAllFiles, int, (QpEditor e))                                                   \
    X(BringToFront, int, (QpEditor e))                                                     \
    X(ViewOutput, int, (QpEditor e))                                                       \
    X(CurrentFileName, const char *, (QpEditor e))                                         \
    X(NewFrame, int, (QpEditor e, int kind))                                               \
    X(GetFrameCount, int, (QpEditor e))                                                    \
    X(EnableAllFrames, int, (QpEditor e))                                                  \
    X(DisableAllFrames, int, (QpEditor e))                                                 \
    X(PreModal, int, (QpEditor e))                                                         \
    X(PostModal, int, (QpEditor e))                                                        \
    X(AddMenu, int, (QpEditor e, QpMenu menu))                                             \
    X(DelMenu, int, (QpEditor e, QpMenu menu))                                             \
    X(GetMenu, QpMenu, (QpEditor e, const char *name))                                     \
    X(LoadMenu, int, (QpEditor e, const char *library, const char *menu, const char *name)) \
    X(LoadMenuFromModule, int, (QpEditor e, HMODULE module, int id, const char *name))     \
    X(EnableMenuItem, int, (QpEditor e, QpMenu menu, int command, int enable))             \
    X(SetCheckMenuItem, int, (QpEditor e, QpMenu menu, int command, int check))            \
    X(AddError, int, (QpEditor e, const char *file, int line, int column, const char *text)) \
    X(RemoveAllErrors, int, (QpEditor e))                                                  \
    X(GotoError, int, (QpEditor e))                                                        \
    X(GotoNextError, int, (QpEditor e))                                                    \
    X(GotoPreviousError, int, (QpEditor e))                                                \
    X(GetErrorCount, int, (QpEditor e))                                                    \
    X(MsgFilter, int, (QpEditor e, MSG * msg))                                             \
    X(MsgIdle, int, (QpEditor e, int count))

// The filter entry gets the host's message as it stands: the only record
// termcore hands the library (28 bytes on i686).
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(MSG) == 28 && offsetof(MSG, wParam) == 8 && offsetof(MSG, pt) == 20, "MSG on i686");
#endif

// The resource type of a menu a module carries, and termcore's run menu.
#define QP_MENU_RESOURCE "QVMENU"
enum : int { kQpRunMenuResource = 102 };
