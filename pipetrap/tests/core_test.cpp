// The monitor's pieces in this process, on a pipe name of this test's own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "exec.h"
#include "module.h"
#include "monitor.h"
#include "outdir.h"
#include "writer.h"

using namespace pipetrap;

namespace {

// Sends this process's standard output to a file while it lives, so that
// the monitor's console lines can be read back.
class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(stdout);
        saved_ = _dup(1);
        int fd = _sopen(dir_.file("stdout.txt").c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _SH_DENYNO,
                        _S_IREAD | _S_IWRITE);
        _dup2(fd, 1);
        _close(fd);
    }
    ~StdoutCapture() {
        std::fflush(stdout);
        _dup2(saved_, 1);
        _close(saved_);
    }
    // What was written so far, CRs left out.
    std::string text() const {
        std::fflush(stdout);
        std::string text = dir_.read("stdout.txt");
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }
    bool waitFor(const std::string &needle) const {
        return ptest::waitFor([&] { return text().find(needle) != std::string::npos; });
    }

private:
    th::TempDir dir_;
    int saved_;
};

std::string testPipeName() { return "\\\\.\\pipe\\pipetrap-test-" + std::to_string(GetCurrentProcessId()); }

HANDLE createTestInstance() {
    return CreateNamedPipeA(testPipeName().c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 255, 256, 256, 0, nullptr);
}

HANDLE event(bool set = false) { return CreateEventA(nullptr, TRUE, set, nullptr); }

// A connected instance of the test pipe with the writer's end in *writer,
// or, without one, after the writer wrote `early` and left.
winutil::unique_handle connected(HANDLE *writer, const char *early = nullptr) {
    winutil::unique_handle pipe(createTestInstance()), connectEvent(event()), stop(event());
    HANDLE w = ptest::openWriter(testPipeName());
    if (!writer) {
        ptest::writeAll(w, early);
        CloseHandle(w);
    } else {
        *writer = w;
    }
    EXPECT_EQ(Connect::Connected, connectClient(pipe.get(), connectEvent.get(), stop.get()));
    return pipe;
}

TEST(ConsoleHandler, OnlyCtrlCAndCtrlBreakStopTheMonitor) {
    HANDLE stop = createStopEvent();
    ASSERT_NE(nullptr, stop);
    const DWORD events[] = {CTRL_C_EVENT,      CTRL_BREAK_EVENT,    CTRL_CLOSE_EVENT,
                            CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT, 7};
    for (DWORD e : events) {
        ResetEvent(stop);
        StdoutCapture out;
        bool stops = e == CTRL_C_EVENT || e == CTRL_BREAK_EVENT;
        EXPECT_EQ(stops, consoleHandler(e) != FALSE) << e;
        EXPECT_EQ(stops, WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) << e;
        EXPECT_EQ(stops ? "Stopping ...\n" : "", out.text()) << e;
    }
    ResetEvent(stop);
}

std::string takeDir(std::vector<std::string> args, bool *ok = nullptr) {
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(&a[0]);
    std::string dir;
    bool took = takeOutputDir(static_cast<int>(argv.size()), argv.data(), dir);
    if (ok) *ok = took;
    return dir;
}

TEST(OutputDir, ArgumentElseTempElseTmpMadeFullAndRefusedWhenTooLong) {
    char full[MAX_PATH], temp[32768], tmp[32768];
    GetFullPathNameA("logs", sizeof full, full, nullptr);
    DWORD hadTemp = GetEnvironmentVariableA("TEMP", temp, sizeof temp);
    DWORD hadTmp = GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
    std::string longest = "C:\\" + std::string(kMaxOutDir - 3, 'd');
    StdoutCapture out;
    EXPECT_EQ("C:\\traces", takeDir({"pipetrap", "C:\\traces\\"}));
    EXPECT_EQ("C:", takeDir({"pipetrap", "C:\\"}));  // files go to C:\0.out
    EXPECT_EQ(full, takeDir({"pipetrap", "logs"}));
    EXPECT_EQ(longest, takeDir({"pipetrap", longest}));
    EXPECT_LT(outputFileName(longest, 4294967295u).size(), size_t(MAX_PATH));
    SetEnvironmentVariableA("TEMP", "C:\\from-temp");
    EXPECT_EQ("C:\\from-temp", takeDir({"pipetrap", ""}));
    SetEnvironmentVariableA("TEMP", nullptr);
    SetEnvironmentVariableA("TMP", "C:\\from-tmp");
    EXPECT_EQ("C:\\from-tmp", takeDir({"pipetrap"}));
    SetEnvironmentVariableA("TEMP", hadTemp ? temp : nullptr);
    SetEnvironmentVariableA("TMP", hadTmp ? tmp : nullptr);
    EXPECT_EQ("", out.text());
    bool ok = true;
    takeDir({"pipetrap", longest + "x"}, &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(std::string::npos, out.text().find("Output directory is too long")) << out.text();
}

// Counts destructions, to see a self-deleting thread go.
struct Probe : TThread {
    Probe(bool waitable, LONG *deleted) : TThread(waitable, true), deleted(deleted) {}
    ~Probe() override { InterlockedIncrement(deleted); }
    int run() override { return 42; }
    LONG *deleted;
};

TEST(Thread, AWaitableThreadPublishesItsHandleAndAnyOtherDeletesItself) {
    LONG deleted = 0;
    {
        Probe t(true, &deleted);  // deleteOnExit is forced off: its owner waits for it
        ASSERT_TRUE(t.start());
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t.semaphore(), 5000));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t.handle(), 5000));
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeThread(t.handle(), &code) && code == 42 && t.exitCode() == 42 && deleted == 0);
    }
    EXPECT_EQ(1, deleted);
    ASSERT_TRUE((new Probe(false, &deleted))->start());
    EXPECT_TRUE(ptest::waitFor([&] { return deleted == 2; }));
}

TEST(Connect, AWriterThatLeftBeforeTheConnectIsServedAndAStopEndsTheWait) {
    th::TempDir dir;
    StdoutCapture out;
    ASSERT_TRUE((new TExec(connected(nullptr, "early bird"), 7, dir.path()))->start());
    ASSERT_TRUE(out.waitFor("Client 7 is terminated\n"));
    EXPECT_EQ("early bird", dir.read("7.out"));
    EXPECT_EQ("early birdClient 7 is terminated\n", out.text());
    winutil::unique_handle idle(createTestInstance()), connectEvent(event()), stop(event(true));
    EXPECT_EQ(Connect::Stopped, connectClient(idle.get(), connectEvent.get(), stop.get()));
}

// An output "file" that is a pipe whose reader goes away: the file copy
// fails, the console copy goes on.
TEST(Exec, FailingFileWriteIsSaidOnceAndTheConsoleCopyGoesOn) {
    // TExec writes to "<dir>\<n>.out": here the pipe \\.\pipe\<pid>-file\3.out.
    std::string fileDir = "\\\\.\\pipe\\" + std::to_string(GetCurrentProcessId()) + "-file";
    winutil::unique_handle sink(CreateNamedPipeA((fileDir + "\\3.out").c_str(), PIPE_ACCESS_INBOUND,
                                                 PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
    ASSERT_TRUE(sink);
    HANDLE writer = nullptr;
    StdoutCapture out;
    ASSERT_TRUE((new TExec(connected(&writer), 3, fileDir))->start());
    ASSERT_TRUE(ConnectNamedPipe(sink.get(), nullptr) || GetLastError() == ERROR_PIPE_CONNECTED);
    ASSERT_TRUE(ptest::writeAll(writer, "first;"));
    char got[16] = {};
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(sink.get(), got, sizeof got, &n, nullptr));
    EXPECT_EQ("first;", std::string(got, n));
    sink.reset();
    ASSERT_TRUE(ptest::writeAll(writer, "second;"));
    ASSERT_TRUE(out.waitFor("Error Writing file "));
    ASSERT_TRUE(ptest::writeAll(writer, "third;"));
    CloseHandle(writer);
    ASSERT_TRUE(out.waitFor("Client 3 is terminated\n"));
    std::string text = out.text();
    EXPECT_EQ(0u, text.find("first;second;Error Writing file ")) << text;
    EXPECT_EQ(1u, std::count(text.begin(), text.end(), 'E')) << text;  // said once
    EXPECT_NE(std::string::npos, text.find("third;Client 3 is terminated\n")) << text;
}

TEST(AcceptLoop, WaitsForAFreeInstanceWhenEveryInstanceIsBusy) {
    th::TempDir dir;
    PipeOptions options;
    options.name = testPipeName();
    options.maxInstances = 2;
    options.busyRetryMs = 20;
    StdoutCapture out;
    HANDLE stop = createStopEvent();
    ResetEvent(stop);
    int code = -1;
    // No ASSERT while the loop runs: the thread must be joined.
    std::thread loop([&] { code = acceptLoop(dir.path(), stop, options); });

    HANDLE first = ptest::openWriter(options.name);
    HANDLE second = ptest::openWriter(options.name);
    EXPECT_NE(INVALID_HANDLE_VALUE, second);
    EXPECT_TRUE(out.waitFor("New client 1 is connected\n"));
    // Both instances serve a writer: a third waits and gets none yet.
    EXPECT_EQ(INVALID_HANDLE_VALUE, ptest::openWriter(options.name, 300));
    EXPECT_TRUE(ptest::writeAll(first, "one"));
    EXPECT_TRUE(ptest::writeAll(second, "two"));
    CloseHandle(first);
    HANDLE third = ptest::openWriter(options.name);
    EXPECT_TRUE(ptest::writeAll(third, "three"));
    CloseHandle(third);
    CloseHandle(second);
    EXPECT_TRUE(out.waitFor("Client 2 is terminated\n"));
    EXPECT_TRUE(out.waitFor("Client 1 is terminated\n"));
    SetEvent(stop);
    loop.join();
    ResetEvent(stop);
    EXPECT_EQ(0, code);
    EXPECT_EQ("one", dir.read("0.out"));
    EXPECT_EQ("two", dir.read("1.out"));
    EXPECT_EQ("three", dir.read("2.out"));
    EXPECT_EQ(std::string::npos, out.text().find("Error")) << out.text();
}

}  // namespace
