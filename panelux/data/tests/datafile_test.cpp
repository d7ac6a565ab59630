// Product identity, the application-data folder and panelux.dat under Wine,
// in the prefix's own application-data folder.
#include "datafile.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <functional>
#include <vector>

#include "child.h"
#include "module.h"
#include "product.h"

namespace {

std::string appDataDir() {
    char dir[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("APPDATA", dir, MAX_PATH);
    return n && n < MAX_PATH ? dir : "";
}

bool isDir(const std::string &path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

using th::readFile;
using th::writeFile;

std::string str(const std::vector<uint8_t> &b) { return std::string(b.begin(), b.end()); }

// A test's application folder in the prefix's application data, removed
// with its file at the end.
struct AppFolder {
    std::string name, dir, file;
    explicit AppFolder(const std::string &n) : name(n) {
        char path[MAX_PATH];
        EXPECT_TRUE(px_dataFilePath(name.c_str(), path)) << name;
        file = path;
        dir = file.substr(0, file.find_last_of('\\'));
    }
    ~AppFolder() {
        DeleteFileA(file.c_str());
        RemoveDirectoryA(dir.c_str());
        RemoveDirectoryA(dir.substr(0, dir.find_last_of('\\')).c_str());  // the maker folder, once empty
    }
};

// An image: the header and one placement record filled with `fill`.
std::vector<uint8_t> imageOf(uint8_t fill) {
    PxAppData d;
    uint8_t *r = px_addAppRecord(d, kPxPlacementKey, kPxPlacementSize);
    std::memset(r + 8, fill, kPxPlacementSize - 8);
    px_stampAppHeader(d);
    return d.bytes;
}

TEST(Product, ProductIniGivesNameAndMajorMinorVersion) {
    th::TempDir dir;
    struct Case {
        const char *ini;
        const char *name;
        const char *version;
    } cases[] = {
        {"PRODUCT=Desk\nVERSION=5.6.114\n", "Desk", "5.6"},
        {"VERSION=7\n", nullptr, "7.0"},
        {"VERSION=a.b\n", nullptr, "0.0"},
        {"version = 12.x\nproduct=Sales Desk\nOTHER=1\n", "Sales Desk", "12.0"},
        {"PRODUCT=Desk\n", "Desk", nullptr},
        {"VERSION=99999999999.-3\n", nullptr, "2147483647.-3"},
        {nullptr, nullptr, nullptr},
    };
    SetEnvironmentVariableA("QVEXEDIR", dir.path().c_str());
    for (const Case &c : cases) {
        if (c.ini) dir.write("product.ini", c.ini);
        else DeleteFileA(dir.file("product.ini").c_str());
        PxProduct p = px_readProduct();
        EXPECT_EQ(c.name != nullptr, p.hasName) << c.ini;
        EXPECT_EQ(c.name ? c.name : "", p.name) << c.ini;
        EXPECT_EQ(c.version != nullptr, p.hasVersion) << c.ini;
        EXPECT_EQ(c.version ? c.version : "", p.version) << c.ini;
    }
    SetEnvironmentVariableA("QVEXEDIR", nullptr);
}

TEST(Product, PathRunsThroughMakerProductVersionAndSubFolderCreatingEach) {
    const std::string base = appDataDir() + "\\Quorvex";
    ASSERT_FALSE(appDataDir().empty());
    PxProduct none, named, versioned;
    named.name = versioned.name = "QvTestDesk";
    versioned.version = "5.6";
    struct Case {
        const PxProduct &product;
        const char *sub, *file, *want;
    } cases[] = {
        {none, "QvTestApp", "panelux.dat", "\\QvTestApp\\panelux.dat"},
        {none, "", "x.dat", "\\x.dat"},
        {named, "QvTestApp", "panelux.dat", "\\QvTestDesk\\QvTestApp\\panelux.dat"},
        {versioned, "QvTestApp", nullptr, "\\QvTestDesk\\5.6\\QvTestApp"},
    };
    for (const Case &c : cases) {
        char out[MAX_PATH];
        ASSERT_TRUE(px_productPath(c.product, c.sub, c.file, out)) << c.want;
        EXPECT_STRCASEEQ((base + c.want).c_str(), out);
        std::string folder = c.file ? std::string(out).substr(0, std::strlen(out) - std::strlen(c.file) - 1) : out;
        EXPECT_TRUE(isDir(folder)) << folder;
        if (c.file) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(out)) << "no file is made";
        }
    }
    char out[MAX_PATH];
    EXPECT_FALSE(px_productPath(none, std::string(300, 'n').c_str(), nullptr, out));
    EXPECT_FALSE(px_productPath(none, "QvTestApp", std::string(300, 'n').c_str(), out));
    // No product.ini lies beside this program.
    ASSERT_TRUE(px_appDataPath("QvTestApp", "panelux.dat", out));
    EXPECT_STRCASEEQ((base + "\\QvTestApp\\panelux.dat").c_str(), out);
    for (const char *dir : {"\\QvTestDesk\\5.6\\QvTestApp", "\\QvTestDesk\\5.6", "\\QvTestDesk\\QvTestApp",
                            "\\QvTestDesk", "\\QvTestApp"})
        EXPECT_TRUE(RemoveDirectoryA((base + dir).c_str())) << dir;
    RemoveDirectoryA(base.c_str());
}

// The server's name is one folder name or no path at all.
TEST(DataFile, OnlyAPlainFolderNameFormsAPath) {
    const std::pair<const char *, bool> names[] = {
        {"Sales", true},  {"\xcf\xf0\xee\xe4\xe0\xe6\xe8", true}, {"v1.2 app", true},
        {"", false},      {".", false},  {"..", false},  {"a..b", false}, {"..\\up", false},
        {"a\\b", false},  {"a/b", false}, {"C:x", false}, {"\\\\srv\\s", false}, {"a*", false},
        {"a?", false},    {"a|b", false}, {"a<b>", false}, {"a\"b", false}, {"a\tb", false},
    };
    for (const auto &[name, ok] : names) EXPECT_EQ(ok, px_isAppFolderName(name)) << name;
    char out[MAX_PATH];
    std::vector<uint8_t> got{1};
    for (const char *name : {"..", "..\\QvTestEscape", "QvTestA/..", static_cast<const char *>(nullptr)}) {
        EXPECT_FALSE(px_dataFilePath(name, out));
        EXPECT_FALSE(px_readDataFile(name, &got));
        EXPECT_TRUE(got.empty());
        EXPECT_FALSE(px_writeDataFile(name, imageOf(1).data(), 512));
    }
    EXPECT_FALSE(isDir(appDataDir() + "\\QvTestEscape"));
    EXPECT_FALSE(isDir(appDataDir() + "\\Quorvex\\QvTestA"));
}

TEST(DataFile, LoadKeepsOnlyWholeImagesWithTheMagic) {
    AppFolder app("QvTestLoad");
    const std::string good = str(imageOf(7));
    std::string foreign = good;
    foreign[0] ^= 0x40;
    struct Case {
        const char *what;
        const char *file;  // null: no file
        std::string bytes;
        bool kept;
    } cases[] = {
        {"no file", nullptr, "", false},
        {"empty", "", "", false},
        {"short", "", good.substr(0, 255), false},
        {"foreign magic", "", foreign, false},
        {"header only", "", good.substr(0, 256), true},
        {"records", "", good, true},
    };
    for (const Case &c : cases) {
        if (c.file) writeFile(app.file, c.bytes);
        else DeleteFileA(app.file.c_str());
        PxAppData d{std::vector<uint8_t>(300, 1)};
        px_loadAppData(d, app.name.c_str());
        EXPECT_EQ(c.kept ? c.bytes : "", str(d.bytes)) << c.what;
    }
    PxAppData d;
    px_loadAppData(d, "");
    EXPECT_TRUE(d.bytes.empty());
}

TEST(DataFile, SaveRebuildsTheHeaderAndReplacesTheWholeFile) {
    // The OEM name of the server becomes a folder in the Windows code page.
    AppFolder app("\xcf\xf0\xee\xe4\xe0\xe6\xe8");
    const char *oemName = "\x8f\xe0\xae\xa4\xa0\xa6\xa8";
    const std::string want = str(imageOf(9));

    // A header-only image is not written back: the file stays as it was.
    writeFile(app.file, want.substr(0, 256));
    PxAppData d;
    px_loadAppData(d, oemName);
    ASSERT_EQ(256u, d.bytes.size());
    EXPECT_EQ(nullptr, px_findAppRecord(d, kPxPlacementKey));
    EXPECT_FALSE(px_saveAppData(d, oemName));
    EXPECT_EQ(want.substr(0, 256), readFile(app.file));

    // A foreign, longer file is overwritten and cut to the image.
    writeFile(app.file, std::string(2000, 'x'));
    px_loadAppData(d, oemName);
    EXPECT_TRUE(d.bytes.empty());
    uint8_t *r = px_addAppRecord(d, kPxPlacementKey, kPxPlacementSize);
    ASSERT_NE(nullptr, r);
    std::memset(r + 8, 9, kPxPlacementSize - 8);
    EXPECT_FALSE(px_saveAppData(d, ""));
    ASSERT_TRUE(px_saveAppData(d, oemName));
    EXPECT_EQ(want, readFile(app.file));

    // A scribbled header is rebuilt at the next save.
    std::memset(d.bytes.data(), 0x33, 256);
    ASSERT_TRUE(px_saveAppData(d, oemName));
    EXPECT_EQ(want, readFile(app.file));
}

struct Window {
    HWND h;
    Window(int x, int y, int w, int hgt) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QvTestFrame";
        RegisterClassA(&wc);
        h = CreateWindowExA(0, "QvTestFrame", "frame", WS_OVERLAPPEDWINDOW, x, y, w, hgt, nullptr, nullptr,
                            wc.hInstance, nullptr);
    }
    ~Window() { DestroyWindow(h); }
    RECT rect() const {
        RECT r{};
        GetWindowRect(h, &r);
        return r;
    }
};

std::vector<int32_t> placementFields(PxAppData &d) {
    uint8_t *r = px_findAppRecord(d, kPxPlacementKey);
    std::vector<int32_t> f(6);
    if (r) std::memcpy(f.data(), r + 8, 24);
    return f;
}

void setPlacement(PxAppData &d, int32_t show, RECT r) {
    uint8_t *rec = px_findAppRecord(d, kPxPlacementKey);
    int32_t f[5] = {show, r.left, r.top, r.right, r.bottom};
    std::memcpy(rec + 12, f, sizeof f);
}

std::vector<LONG> edges(const RECT &r) { return {r.left, r.top, r.right, r.bottom}; }

// A Win32 thread, whose handle can be waited for with a bound.
class Thread {
public:
    explicit Thread(std::function<void()> fn)
        : fn_(std::move(fn)), h_(CreateThread(nullptr, 0, run, this, 0, nullptr)) {}
    ~Thread() {
        join();
        CloseHandle(h_);
    }
    HANDLE handle() const { return h_; }
    void join() { WaitForSingleObject(h_, INFINITE); }

private:
    static DWORD WINAPI run(void *self) {
        static_cast<Thread *>(self)->fn_();
        return 0;
    }
    std::function<void()> fn_;
    HANDLE h_;
};

TEST(Placement, SavedFramePlacementRestoresPositionSizeAndShowState) {
    RECT area;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    PxAppData d;
    {
        Window frame(area.left + 100, area.top + 120, 400, 300);
        ASSERT_TRUE(frame.h);
        ASSERT_TRUE(px_saveFramePlacement(d, frame.h));
        EXPECT_EQ(256u + 512u, d.bytes.size());
        WINDOWPLACEMENT wp{};
        wp.length = sizeof wp;
        GetWindowPlacement(frame.h, &wp);
        RECT r = frame.rect();
        EXPECT_EQ((std::vector<int32_t>{int32_t(wp.flags), 1, r.left, r.top, r.right, r.bottom}), placementFields(d));

        // Maximised: the show state is 3 and the rectangle stays the normal one.
        ShowWindow(frame.h, SW_SHOWMAXIMIZED);
        ASSERT_TRUE(px_saveFramePlacement(d, frame.h));
        EXPECT_EQ(256u + 512u, d.bytes.size()) << "the record is reused";
        std::vector<int32_t> fields = placementFields(d);
        EXPECT_EQ((std::vector<int32_t>{3, r.left, r.top, r.right, r.bottom}),
                  std::vector<int32_t>(fields.begin() + 1, fields.end()));
    }
    const RECT saved{area.left + 100, area.top + 120, area.left + 500, area.top + 420};
    struct Case {
        const char *what;
        int32_t show;
        RECT rect;
        bool moved;
        RECT want;
        int showCmd;
    } cases[] = {
        {"maximised", 3, saved, true, saved, SW_SHOWMAXIMIZED},
        {"normal", 1, saved, true, saved, SW_SHOWNORMAL},
        {"minimised becomes normal", 2, saved, true, saved, SW_SHOWNORMAL},
        {"partly outside: the corner of the overlap",
         1, {area.left - 100, area.top - 50, area.left + 300, area.top + 250}, true,
         {area.left, area.top, area.left + 400, area.top + 300}, SW_SHOWNORMAL},
        {"wholly outside: only the show state", 3, {area.right + 10, area.top, area.right + 410, area.top + 300},
         false, {10, 20, 210, 170}, SW_SHOWMAXIMIZED},
        {"empty rectangle", 1, {area.left + 50, area.top + 50, area.left + 50, area.top + 90}, false,
         {10, 20, 210, 170}, SW_SHOWNORMAL},
    };
    for (const Case &c : cases) {
        setPlacement(d, c.show, c.rect);
        Window frame(10, 20, 200, 150);
        int showCmd = -1;
        EXPECT_EQ(c.moved, px_restoreFramePlacement(d, frame.h, &showCmd)) << c.what;
        EXPECT_EQ(edges(c.want), edges(frame.rect())) << c.what;
        EXPECT_EQ(c.showCmd, showCmd) << c.what;
    }
}

TEST(Placement, ARecordOneOfAnotherSizeIsNeitherWrittenNorRead) {
    Window frame(10, 20, 200, 150);
    PxAppData d;
    ASSERT_NE(nullptr, px_addAppRecord(d, kPxPlacementKey, 16));
    std::vector<uint8_t> before = d.bytes;
    EXPECT_FALSE(px_saveFramePlacement(d, frame.h));
    EXPECT_EQ(before, d.bytes);
    int showCmd = -1;
    EXPECT_FALSE(px_restoreFramePlacement(d, frame.h, &showCmd));
    EXPECT_EQ(-1, showCmd);
    PxAppData none;
    EXPECT_FALSE(px_restoreFramePlacement(none, frame.h, &showCmd));
    EXPECT_EQ(-1, showCmd);
}

// Another terminal process holds the lock on the file; this process's read
// or write waits for it. Wine does not stop ReadFile or WriteFile at a lock,
// so the child checks what it saw while holding it.
const char kLockSuite[] = "DataFileLockChild";

struct Event {
    HANDLE h;
    explicit Event(const std::string &name) : h(CreateEventA(nullptr, TRUE, FALSE, name.c_str())) {}
    ~Event() { CloseHandle(h); }
};

std::string env(const char *name) {
    char v[MAX_PATH];
    DWORD n = GetEnvironmentVariableA(name, v, MAX_PATH);
    return n && n < MAX_PATH ? v : "";
}

TEST(DataFile, ReadAndWriteWaitForAnotherProcesssLock) {
    AppFolder app("QvTestLock");
    const std::string a = str(imageOf('A')), b = str(imageOf('B'));
    for (const char *mode : {"exclusive", "shared"}) {
        ASSERT_TRUE(px_writeDataFile(app.name.c_str(), imageOf('A').data(), a.size()));
        const std::string tag = "QvTestLock" + std::to_string(GetCurrentProcessId()) + mode;
        Event held(tag + "held"), go(tag + "go");
        bool childPassed = false;
        Thread child([&] {
            childPassed = th::runChild(kLockSuite, {"QV_LOCK_MODE=" + std::string(mode), "QV_LOCK_APP=" + app.name,
                                                    "QV_LOCK_EVENT=" + tag});
        });
        HANDLE waits[] = {held.h, child.handle()};
        bool holding = WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
        std::vector<uint8_t> got;
        bool done = false;
        Thread io([&] {
            done = mode[0] == 'e' ? px_readDataFile(app.name.c_str(), &got)
                                  : px_writeDataFile(app.name.c_str(), imageOf('B').data(), b.size());
        });
        // Bounded: a wait that never ends is the child's to report.
        bool waited = holding && WaitForSingleObject(io.handle(), 300) == WAIT_TIMEOUT;
        SetEvent(go.h);
        io.join();
        child.join();
        EXPECT_TRUE(holding) << mode;
        EXPECT_TRUE(waited) << mode << ": the file was used under another process's lock";
        EXPECT_TRUE(childPassed) << mode;
        EXPECT_TRUE(done) << mode;
        // Read: what the child wrote before letting go. Write: the new image.
        EXPECT_EQ(b, mode[0] == 'e' ? str(got) : readFile(app.file)) << mode;
    }
}

// In the child: takes the lock, says so, and lets go when told; with the
// exclusive lock it writes image B first, with the shared lock it checks
// that the image is still A.
struct LockChild : ::testing::Test {
    void TestBody() override {
        const bool exclusive = env("QV_LOCK_MODE") == "exclusive";
        const std::string tag = env("QV_LOCK_EVENT");
        char path[MAX_PATH];
        ASSERT_TRUE(px_dataFilePath(env("QV_LOCK_APP").c_str(), path));
        HANDLE f = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, f);
        OVERLAPPED at{};
        ASSERT_TRUE(LockFileEx(f, exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, 1024, 0, &at));
        Event held(tag + "held"), go(tag + "go");
        SetEvent(held.h);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(go.h, 60000));
        std::vector<uint8_t> image(exclusive ? imageOf('B') : std::vector<uint8_t>(768));
        DWORD n = 0;
        if (exclusive) {
            EXPECT_TRUE(WriteFile(f, image.data(), DWORD(image.size()), &n, nullptr));
        } else {
            EXPECT_TRUE(ReadFile(f, image.data(), DWORD(image.size()), &n, nullptr));
            EXPECT_EQ(imageOf('A'), image) << "written while the shared lock was held";
        }
        UnlockFileEx(f, 0, 1024, 0, &at);
        CloseHandle(f);
    }
};
const bool kLockChild = th::registerChildCase<LockChild, LockChild>(kLockSuite, "HoldsTheLock");

}  // namespace
