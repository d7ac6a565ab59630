// TrmSelectFile: the system's file open or save dialog; the chosen file goes
// back into the first argument, or the chosen files into its array.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <commdlg.h>

#include "zamsdk.h"

namespace {

// "Все файлы (*.*)|*.*" in code page 866.
const char kAllFilesOem[] = "\x82\xe1\xa5 \xe4\xa0\xa9\xab\xeb (*.*)|*.*";
constexpr size_t kFileBuffer = 8196;

std::string oemToAnsi(const std::string &oem) {
    std::string ansi(oem);
    if (!ansi.empty()) OemToCharBuffA(oem.data(), &ansi[0], static_cast<DWORD>(oem.size()));
    return ansi;
}

// The script's arguments (numbers 1 to 5).
struct Request {
    void *arrayObject = nullptr;  // argument 1 when it is an array
    void *array = nullptr;
    std::string initialName;
    const char *filter = nullptr;
    const char *directory = nullptr;
    const char *title = nullptr;
    bool save = false;
};

void *objectOf(const VALUE *v) {
    void *obj = nullptr;
    if (v && v->v_type == V_OBJECT) std::memcpy(&obj, &v->value, sizeof obj);
    return obj;
}

std::string textOf(const VALUE *v) {
    char *text = nullptr;
    if (v && v->v_type == V_STRING) std::memcpy(&text, &v->value, sizeof text);
    return text ? text : "";
}

// Sets the array's "size" property to 0.
void emptyArray(void *object) {
    int id = 0;
    if (FindMember(object, "size", &id) == -1) return;
    VALUE zero{};
    zero.v_type = V_INTEGER;
    InvokeMember(object, id, kZamInvokeSet, &zero);
}

Request readRequest() {
    Request q;
    VALUE *first = nullptr;
    GetParm(1, &first);
    if (void *obj = objectOf(first)) q.array = GetArrayObj(obj);
    if (q.array) {
        q.arrayObject = objectOf(first);
        q.initialName = textOf(GetArrayElem(q.array, 0));
        emptyArray(q.arrayObject);
    } else {
        q.initialName = textOf(first);
    }
    q.filter = ZamParmText(2);
    q.directory = ZamParmText(3);
    q.title = ZamParmText(4);
    VALUE *save = nullptr;
    q.save = GetParm(5, &save) && save && save->v_type == V_BOOL && save->value.boolval;
    return q;
}

// Pairs separated by '|', ending with the all-files pair, as the dialog's
// NUL-separated list. The all-files text is OEM whatever the script's
// strings are.
std::string filterList(const char *filter, bool ansiStrings) {
    std::string list;
    if (filter && *filter) list = std::string(ansiStrings ? filter : oemToAnsi(filter)) + "|";
    list += oemToAnsi(kAllFilesOem);
    for (char &c : list)
        if (c == '|') c = 0;
    list.append(2, '\0');
    return list;
}

// The dialog is given an initial folder only when it is one: it opens at
// its default folder for any other text, as it would for a folder that is
// not there (Wine's crashes on a device name such as "nul.txt" and on a
// text of about a thousand characters).
const char *existingFolder(const char *path) {
    if (!path || !*path) return nullptr;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? path : nullptr;
}

UINT_PTR CALLBACK bringToFront(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_NOTIFY && reinterpret_cast<OFNOTIFYA *>(lParam)->hdr.code == CDN_INITDONE)
        SetForegroundWindow(GetParent(dialog));
    return 0;
}

// The names of the dialog's answer: one full path, or a directory followed
// by names.
std::vector<std::string> chosenPaths(const std::vector<char> &buffer) {
    std::vector<std::string> parts;
    const char *end = buffer.data() + buffer.size();
    for (const char *p = buffer.data(); p < end && *p; p += std::strlen(p) + 1) parts.push_back(p);
    if (parts.size() <= 1) return parts;
    std::string dir = parts[0];
    if (dir.back() != '\\') dir += '\\';
    std::vector<std::string> paths;
    for (size_t i = 1; i < parts.size(); ++i) paths.push_back(dir + parts[i]);
    return paths;
}

void storeInArray(void *array, const std::vector<std::string> &paths) {
    for (size_t i = 0; i < paths.size(); ++i) {
        VALUE *element = GetArrayElem(array, static_cast<int>(i));
        if (!element) return;
        ValueSet(element, V_STRING, paths[i].c_str());
    }
}

int trmSelectFile() {
    bool ansiStrings = GetHostOption(kZamOptionAnsiStrings) != 0;
    Request q = readRequest();
    std::string filter = filterList(q.filter, ansiStrings);
    std::string title = q.title ? (ansiStrings ? std::string(q.title) : oemToAnsi(q.title)) : "";

    // The buffer ends in two NULs whatever the initial name's length.
    std::vector<char> file(kFileBuffer + 1, 0);
    std::memcpy(file.data(), q.initialName.data(), std::min(q.initialName.size(), kFileBuffer - 1));

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kFileBuffer;
    ofn.lpstrInitialDir = existingFolder(q.directory);
    ofn.lpstrTitle = q.title ? title.c_str() : nullptr;
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLEHOOK | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
                (q.array ? OFN_ALLOWMULTISELECT : 0);
    ofn.lpfnHook = bringToFront;
    bool chosen = q.save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (chosen) {
        std::vector<std::string> paths = chosenPaths(file);
        if (q.array) storeInArray(q.array, paths);
        else if (!paths.empty()) SetParm(1, V_STRING, paths[0].c_str());
    }
    return ZamReturnBool(chosen);
}

// Registered with result kind 1, as the interpreter expects of this function.
const ZamFunction kFunctions[] = {
    {1, "TrmSelectFile", ZamGuarded<trmSelectFile>},
};

}  // namespace

extern "C" void __stdcall AddModuleObjects() { ZamAddFunctions(kFunctions); }
