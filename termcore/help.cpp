// Requests 50 and 51: the Windows help program, always without an owner.
#include <string>

#include <windows.h>

#include "handlers.h"
#include "module.h"
#include "oemtext.h"

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

// Only the kinds that use it read the keyword.
bool needsKeyword(int32_t kind) { return kind == kKeyword || kind == kJumpKeyword; }

// The file name is the text at fileAt cut to the given length; the keyword
// follows the text's terminator.
bool readHelp(WireReader &r, size_t fileAt, bool withKeyword, HelpRequest &h) {
    int32_t length = r.i32();
    if (!r.ok() || length < 0 || length >= kHostPathMax || !r.seek(fileAt)) return false;
    std::string_view file = r.text();
    h.file = std::string(file.substr(0, static_cast<size_t>(length)));
    if (withKeyword) h.keyword = std::string(r.text());
    return r.ok();
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

// +0 kind, +4 length of the file name, +12 file name, then the keyword.
int tc_help(const TcRequest &req) {
    WireReader r = req.reader();
    HelpRequest h;
    h.kind = r.i32();
    bool ok = readHelp(r, 12, h.kind == kKeyword, h);
    if (ok && h.kind > kQuit) h.kind = -1;
    return tc_replyInt(req, ok ? run(h) : 0);
}

// +0 kind, +4 length of the file name, +12 number, +16 file name, then the
// keyword.
int tc_helpEx(const TcRequest &req) {
    WireReader r = req.reader();
    HelpRequest h;
    h.kind = r.i32();
    WireReader at = r;
    at.seek(12);
    h.number = at.i32();
    bool ok = at.ok() && readHelp(r, 16, needsKeyword(h.kind), h);
    return tc_replyInt(req, ok ? run(h) : 0);
}

// Help that was never opened in this session has nothing to quit.
void tc_helpQuit() {
    HelpState &h = help();
    if (!h.file.empty()) call(h.file, HELP_QUIT, 0);
    h.shown = false;
    h.file.clear();
}
