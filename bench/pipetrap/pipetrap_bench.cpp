// Throughput of pipetrap.exe (console output to NUL) with 1, 8 and 64
// writers, against a plain named-pipe reader in this process that reads
// the same pipes 256 bytes and 64 KiB at a time and keeps nothing.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "short.h"
#include "writer.h"

namespace {

const char kPipetrapPipe[] = "\\\\.\\pipe\\pipetrap";
const char kPlainPipe[] = "\\\\.\\pipe\\pipetrap-bench-plain";
const size_t kTotalBytes = bench_count<size_t>(8u << 20, 256u << 10);  // per measurement, shared by the writers
// Each figure is the best of this many runs: Wine's timing is noisy.
const int kRuns = bench_count(3, 1);
constexpr size_t kWriteChunk = 16384;

double seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(to.QuadPart - from.QuadPart) / double(f.QuadPart);
}

LARGE_INTEGER now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

// Each writer sends its share in equal chunks and closes.
void runWriters(const char *pipe, int writers) {
    std::string chunk(kWriteChunk, 'x');
    size_t share = kTotalBytes / writers;
    std::vector<std::thread> threads;
    for (int i = 0; i < writers; ++i) {
        threads.emplace_back([&] {
            HANDLE w = ptest::openWriter(pipe, 60000);
            if (w == INVALID_HANDLE_VALUE) {
                std::fprintf(stderr, "a writer found no pipe\n");
                std::exit(1);
            }
            for (size_t sent = 0; sent < share; sent += chunk.size())
                ptest::writeAll(w, chunk.data(), chunk.size());
            CloseHandle(w);
        });
    }
    for (auto &t : threads) t.join();
}

// The peer: an accept loop with a thread per client that reads and drops.
double plainReader(int writers, DWORD readSize) {
    std::atomic<int> done{0};
    std::thread server([&] {
        for (int i = 0; i < writers; ++i) {
            HANDLE pipe = CreateNamedPipeA(kPlainPipe, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 255,
                                           256, 256, 0, nullptr);
            if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) std::exit(1);
            std::thread([pipe, readSize, &done] {
                std::vector<char> buffer(readSize);
                DWORD got = 0;
                while (ReadFile(pipe, buffer.data(), readSize, &got, nullptr)) {
                }
                CloseHandle(pipe);
                ++done;
            }).detach();
        }
    });
    LARGE_INTEGER start = now();
    runWriters(kPlainPipe, writers);
    server.join();
    while (done < writers) Sleep(0);
    return seconds(start, now());
}

// pipetrap.exe with its own console and its output to NUL.
class Pipetrap {
public:
    explicit Pipetrap(const std::string &outDir) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
        const char *dist = std::getenv("QV_DIST_DIR");
        std::string cmd = "\"" + std::string(dist ? dist : ".") + "\\pipetrap.exe\" \"" + outDir + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = nul;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                            &si, &pi)) {
            std::fprintf(stderr, "cannot start %s\n", cmd.c_str());
            std::exit(1);
        }
        CloseHandle(nul);
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        pid_ = pi.dwProcessId;
        while (!WaitNamedPipeA(kPipetrapPipe, 50)) Sleep(10);
    }
    ~Pipetrap() {
        FreeConsole();
        if (AttachConsole(pid_)) {
            SetConsoleCtrlHandler(nullptr, TRUE);
            GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
            FreeConsole();
        }
        if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
        CloseHandle(process_);
    }

private:
    HANDLE process_;
    DWORD pid_;
};

long long fileSize(const std::string &path) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return -1;
    return (static_cast<long long>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

// Until every client's file holds its writer's share.
double pipetrapRun(int writers, const std::string &outDir, unsigned &firstClient) {
    LARGE_INTEGER start = now();
    runWriters(kPipetrapPipe, writers);
    long long share = static_cast<long long>(kTotalBytes / writers);
    for (int i = 0; i < writers; ++i) {
        std::string file = outDir + "\\" + std::to_string(firstClient + i) + ".out";
        while (fileSize(file) < share) Sleep(0);
    }
    firstClient += writers;
    return seconds(start, now());
}

std::string benchDir() {
    char temp[MAX_PATH], dir[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::snprintf(dir, sizeof dir, "%spipetrap-bench-%lu", temp, GetCurrentProcessId());
    CreateDirectoryA(dir, nullptr);
    return dir;
}

void removeDir(const std::string &dir) {
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((dir + "\\*.out").c_str(), &fd);
    if (f != INVALID_HANDLE_VALUE) {
        do DeleteFileA((dir + "\\" + fd.cFileName).c_str());
        while (FindNextFileA(f, &fd));
        FindClose(f);
    }
    RemoveDirectoryA(dir.c_str());
}

double mbps(double secs) { return double(kTotalBytes) / (1 << 20) / secs; }

}  // namespace

int main() {
    std::string dir = benchDir();
    std::printf("%u KB per run, best of %d; time ratios pipetrap / plain reader (target: <= 1.20 against 256-byte reads)\n",
                unsigned(kTotalBytes >> 10), kRuns);
    std::printf("%8s %14s %14s %14s %12s %12s\n", "writers", "pipetrap MB/s", "plain256 MB/s", "plain64K MB/s",
                "vs plain256", "vs plain64K");
    unsigned nextClient = 0;
    bool met = true;
    {
        Pipetrap monitor(dir);
        for (int writers : {1, 8, 64}) {
            double trap = 1e9, plain256 = 1e9, plain64k = 1e9;
            for (int run = 0; run < kRuns; ++run) {
                trap = std::min(trap, pipetrapRun(writers, dir, nextClient));
                plain256 = std::min(plain256, plainReader(writers, 256));
                plain64k = std::min(plain64k, plainReader(writers, 65536));
            }
            std::printf("%8d %14.1f %14.1f %14.1f %12.2f %12.2f\n", writers, mbps(trap), mbps(plain256),
                        mbps(plain64k), trap / plain256, trap / plain64k);
            met = met && trap / plain256 <= 1.2;
        }
    }
    removeDir(dir);
    std::printf("target %s\n", met ? "met" : "missed");
    return 0;
}
