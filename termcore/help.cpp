// Requests 50 and 51: the Windows help program, always without an owner.
#include <string>

#include <windows.h>

#include "handlers.h"
#include "module.h"
#include "oemtext.h"
#include "records.h"

namespace {

enum : int32_t { kKeyword = 0, kContents = 1, kQuit = 2, kContext = 3, kJumpKeyword = 4, kJumpNumber = 5 };

struct HelpState {
    bool shown = false;  // the last help call succeeded
    std::string file;    // the help file of the last call (Windows code page)
};

HelpState &help() {
    static HelpState h;
    return h;
}

struct HelpRequest {
    int32_t kind = -1;
    int32_t number = 0;
    std::string file, keyword;
};

// The file name is the record's text cut to the record's length.
bool readHelp(const TcRequest &req, bool extended, HelpRequest &h) {
    TcHelpRecord rec;
    if (!tc_readHelp(req.data, req.length, extended, rec) || rec.length < 0 || rec.length >= kHostPathMax)
        return false;
    h.kind = rec.kind;
    h.number = rec.number;
    h.file = std::string(rec.file.substr(0, static_cast<size_t>(rec.length)));
    h.keyword = std::string(rec.keyword);
    return true;
}

// The ANSI entry: it is the one that hands keyword texts on as they are.
BOOL call(const std::string &file, UINT command, ULONG_PTR data) {
    return WinHelpA(nullptr, file.empty() ? nullptr : file.c_str(), command, data);
}

int32_t run(const HelpRequest &h) {
    std::string file = oem_toAnsi(h.file);
    std::string keyword = oem_toAnsi(h.keyword);
    std::string macro;
    BOOL ok = FALSE;
    switch (h.kind) {
    case kKeyword: ok = call(file, HELP_KEY, reinterpret_cast<ULONG_PTR>(keyword.c_str())); break;
    case kContents: ok = call(file, HELP_CONTENTS, 0); break;
    case kQuit:
        call(file, HELP_QUIT, 0);
        help().shown = false;
        help().file.clear();
        return 1;
    case kContext: ok = call(file, HELP_CONTEXT, static_cast<ULONG_PTR>(static_cast<DWORD>(h.number))); break;
    case kJumpKeyword:
        macro = "JumpID(\"\",\"" + keyword + "\")";
        ok = call(file, HELP_COMMAND, reinterpret_cast<ULONG_PTR>(macro.c_str()));
        break;
    case kJumpNumber:
        macro = "JumpID(\"\",\"T" + std::to_string(h.number) + "\")";
        ok = call(file, HELP_COMMAND, reinterpret_cast<ULONG_PTR>(macro.c_str()));
        break;
    default: return 0;
    }
    help().shown = ok != FALSE;
    if (ok) help().file = file;
    return ok ? 1 : 0;
}

}  // namespace

int tc_help(const TcRequest &req) {
    HelpRequest h;
    bool ok = readHelp(req, false, h);
    // Request 50 knows only the first three kinds.
    if (ok && h.kind > kQuit) h.kind = -1;
    return tc_replyInt(req, ok ? run(h) : 0);
}

int tc_helpEx(const TcRequest &req) {
    HelpRequest h;
    bool ok = readHelp(req, true, h);
    return tc_replyInt(req, ok ? run(h) : 0);
}

// Help that was never opened in this session has nothing to quit.
void tc_helpQuit() {
    HelpState &h = help();
    if (!h.file.empty()) call(h.file, HELP_QUIT, 0);
    h.shown = false;
    h.file.clear();
}
