// pipetrap.exe as its users meet it: started with a console of its own and
// its output sent to a log, written to by other threads, stopped with Ctrl+C.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "module.h"
#include "monitor.h"
#include "writer.h"

namespace {

// Not SetConsoleCtrlHandler(nullptr, TRUE): that "ignore Ctrl+C" is
// inherited, and the monitors started later would never see one.
BOOL WINAPI swallowCtrl(DWORD) { return TRUE; }

// One running pipetrap.exe; stopped (Ctrl+C, else terminated) at the end.
class Monitor {
public:
    Monitor(const std::string &args, const std::string &log) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        std::string commandLine = "\"" + th::distDir() + "pipetrap.exe\" \"" + args + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = out;
        PROCESS_INFORMATION pi{};
        if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                           &si, &pi)) {
            process_ = pi.hProcess;
            pid_ = pi.dwProcessId;
            CloseHandle(pi.hThread);
        } else {
            ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
        }
        CloseHandle(out);
    }
    ~Monitor() {
        if (!process_) return;
        if (waitExit(0) == STILL_ACTIVE && !(ctrlC() && waitExit(5000) != STILL_ACTIVE)) {
            ADD_FAILURE() << "pipetrap did not stop on Ctrl+C";
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
    }
    // True once the monitor listens on its pipe.
    bool waitForPipe() const {
        return ptest::waitFor([&] { return waitExit(0) != STILL_ACTIVE || WaitNamedPipeA(pipetrap::kPipeName, 50); }) &&
               waitExit(0) == STILL_ACTIVE;
    }
    // The event reaches every process of a console: join the monitor's
    // console for the moment, swallowing the event here.
    bool ctrlC() const {
        static const bool swallowing = SetConsoleCtrlHandler(swallowCtrl, TRUE) != FALSE;
        (void)swallowing;
        FreeConsole();
        if (!AttachConsole(pid_)) return false;
        BOOL sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        FreeConsole();
        return sent != FALSE;
    }
    // The exit code, or STILL_ACTIVE when it did not end within timeoutMs.
    DWORD waitExit(DWORD timeoutMs = 10000) const {
        DWORD code = STILL_ACTIVE;
        if (process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process_, &code);
        return code;
    }

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

const char kStartLines[] =
    "pipetrap 1.0, pipe output monitor\n\n"
    "Usage is: pipetrap  [<outdir>]\n"
    "You can write to pipe \\\\.\\pipe\\pipetrap\n"
    "Press Ctrl-Break to stop\n";

size_t count(const std::string &text, const std::string &needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

struct Pipetrap : ::testing::Test {
    // The console log without CRs.
    std::string console() const {
        std::string text = logs.read("console.log");
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }
    bool consoleShows(const std::string &needle, size_t times = 1) const {
        return ptest::waitFor([&] { return count(console(), needle) == times; });
    }
    static HANDLE writer() { return ptest::openWriter(pipetrap::kPipeName); }

    th::TempDir logs;
    std::string log = logs.file("console.log");
    th::TempDir out;
};

TEST_F(Pipetrap, WritersGetAFileEachAndCtrlCEndsTheRunEvenWithAWriterConnected) {
    Monitor m(out.path(), log);
    ASSERT_TRUE(m.waitForPipe());
    HANDLE a = writer();
    ASSERT_TRUE(consoleShows("New client 0 is connected\n"));
    HANDLE b = writer();
    ASSERT_TRUE(consoleShows("New client 1 is connected\n"));
    // Line ends, NUL and Ctrl+Z are trace bytes like any other.
    const std::string a1("alpha-1\n", 8), a2("alpha-2\r\n\x1a", 10), b1("beta-1\0;", 8), b2("beta-2;", 7);
    for (auto [w, piece] : {std::pair{a, a1}, {b, b1}, {a, a2}, {b, b2}}) ASSERT_TRUE(ptest::writeAll(w, piece));
    CloseHandle(b);
    ASSERT_TRUE(consoleShows("Client 1 is terminated\n"));
    CloseHandle(a);
    ASSERT_TRUE(consoleShows("Client 0 is terminated\n"));
    EXPECT_EQ(a1 + a2, out.read("0.out"));
    EXPECT_EQ(b1 + b2, out.read("1.out"));

    HANDLE c = writer();
    ASSERT_TRUE(ptest::writeAll(c, "half"));
    ASSERT_TRUE(ptest::waitFor([&] { return out.read("2.out") == "half"; }));
    ASSERT_TRUE(m.ctrlC());
    EXPECT_EQ(0u, m.waitExit());
    EXPECT_FALSE(ptest::writeAll(c, "more"));  // the monitor is gone
    CloseHandle(c);

    std::string text = console(), raw = logs.read("console.log");
    EXPECT_EQ(0u, text.find(kStartLines));
    EXPECT_EQ(text.size() - 13, text.rfind("Stopping ...\n"));
    for (const std::string &piece : {a1, a2, b1, b2}) EXPECT_EQ(1u, count(raw, piece)) << piece;
    // A writer closing its end is the normal end of a client.
    EXPECT_EQ(0u, count(text, "Error")) << text;
    // Status lines end in CR LF.
    EXPECT_EQ(0u, raw.find("pipetrap 1.0, pipe output monitor\r\n\r\nUsage is:"));
}

TEST_F(Pipetrap, MissingOutputDirectoryFailsEachClientWhileAcceptingGoesOn) {
    Monitor m(out.file("missing"), log);
    ASSERT_TRUE(m.waitForPipe());
    for (size_t client = 1; client <= 2; ++client) {
        HANDLE w = writer();
        ASSERT_NE(INVALID_HANDLE_VALUE, w);
        ptest::writeAll(w, "text");  // may fail once the monitor let go
        CloseHandle(w);
        ASSERT_TRUE(consoleShows("Can not open output file\n", client));
    }
    EXPECT_TRUE(consoleShows("New client 1 is connected\n"));
    EXPECT_EQ(0u, count(console(), "is terminated"));
}

TEST_F(Pipetrap, OutputDirectoryTooLongForItsFilesIsRefusedAtStart) {
    Monitor m("C:\\" + std::string(250, 'd'), log);
    EXPECT_EQ(1u, m.waitExit());
    EXPECT_EQ(0u, console().find(kStartLines));
    EXPECT_NE(std::string::npos, console().find("Output directory is too long")) << console();
}

// 64 writers at once, 1 MB each in chunks of random size: every file must
// hold exactly what its writer sent, and the console every byte besides.
TEST_F(Pipetrap, SixtyFourWritersOfOneMegabyteEachArriveWhole) {
    constexpr int kWriters = 64;
    constexpr size_t kBytesEach = 1 << 20;
    Monitor m(out.path(), log);
    ASSERT_TRUE(m.waitForPipe());
    std::vector<std::string> sent(kWriters, std::string(kBytesEach, '\0'));
    std::vector<int> ok(kWriters, 0);
    std::vector<std::thread> writers;
    for (int i = 0; i < kWriters; ++i) {
        std::mt19937 rng(1000 + i);
        for (char &c : sent[i]) c = static_cast<char>(rng());
        writers.emplace_back([&, i] {
            HANDLE w = ptest::openWriter(pipetrap::kPipeName, 30000);
            std::mt19937 sizes(2000 + i);
            std::uniform_int_distribution<size_t> chunk(1, 20000);
            for (size_t at = 0, n; w != INVALID_HANDLE_VALUE && at < kBytesEach; at += n) {
                n = std::min(chunk(sizes), kBytesEach - at);
                if (!ptest::writeAll(w, sent[i].data() + at, n)) return;
            }
            ok[i] = w != INVALID_HANDLE_VALUE;
            CloseHandle(w);
        });
    }
    for (auto &t : writers) t.join();
    for (int i = 0; i < kWriters; ++i) ASSERT_TRUE(ok[i]) << "writer " << i;

    // Client numbers follow the order of connection: find each file's
    // writer by its first bytes.
    std::map<std::string, int> byHead;
    for (int i = 0; i < kWriters; ++i) byHead[sent[i].substr(0, 16)] = i;
    std::vector<int> seen(kWriters, 0);
    for (int n = 0; n < kWriters; ++n) {
        std::string name = std::to_string(n) + ".out", got;
        ptest::waitFor([&] { return (got = out.read(name)).size() >= kBytesEach; });
        auto it = byHead.find(got.substr(0, 16));
        ASSERT_NE(byHead.end(), it) << name << " is no writer's";
        EXPECT_TRUE(got == sent[it->second]) << name << " differs from writer " << it->second;
        ++seen[it->second];
    }
    EXPECT_EQ(std::vector<int>(kWriters, 1), seen);
    ASSERT_TRUE(m.ctrlC());
    EXPECT_EQ(0u, m.waitExit());

    // The console got every byte too, beside the status lines with their CR LF.
    std::string status = std::string(kStartLines) + "Stopping ...\n";
    for (int n = 0; n < kWriters; ++n)
        status += "New client " + std::to_string(n) + " is connected\nClient " + std::to_string(n) + " is terminated\n";
    EXPECT_EQ(kWriters * kBytesEach + status.size() + count(status, "\n"), logs.read("console.log").size());
}

}  // namespace
