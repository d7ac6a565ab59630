// The monitor's pieces in this process: the console control handler, the
// output directory, TThread, the connect step, TExec and the accept loop
// on a pipe name of this test's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "capture.h"
#include "exec.h"
#include "module.h"
#include "monitor.h"
#include "outdir.h"
#include "writer.h"

using namespace pipetrap;

namespace {

std::string testPipeName() {
    return "\\\\.\\pipe\\pipetrap-test-" + std::to_string(GetCurrentProcessId());
}

bool signalled(HANDLE h) { return WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }

TEST(ConsoleHandler, CtrlCAndCtrlBreakStopTheMonitor) {
    HANDLE stop = createStopEvent();
    ASSERT_NE(nullptr, stop);
    for (DWORD event : {DWORD(CTRL_C_EVENT), DWORD(CTRL_BREAK_EVENT)}) {
        ResetEvent(stop);
        ptest::StdoutCapture out;
        EXPECT_TRUE(consoleHandler(event)) << event;
        EXPECT_TRUE(signalled(stop)) << event;
        EXPECT_EQ("Stopping ...\n", out.text()) << event;
    }
    ResetEvent(stop);
}

TEST(ConsoleHandler, OtherEventsAreLeftToOtherHandlers) {
    HANDLE stop = createStopEvent();
    ResetEvent(stop);
    ptest::StdoutCapture out;
    for (DWORD event : {DWORD(CTRL_CLOSE_EVENT), DWORD(CTRL_LOGOFF_EVENT), DWORD(CTRL_SHUTDOWN_EVENT), DWORD(7)})
        EXPECT_FALSE(consoleHandler(event)) << event;
    EXPECT_FALSE(signalled(stop));
    EXPECT_EQ("", out.text());
}

// Sets or removes an environment variable for one test.
class EnvVar {
public:
    EnvVar(const char *name, const char *value) : name_(name) {
        char old[32768];
        DWORD n = GetEnvironmentVariableA(name, old, sizeof old);
        had_ = n > 0 && n < sizeof old;
        if (had_) old_ = old;
        SetEnvironmentVariableA(name, value);
    }
    ~EnvVar() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

private:
    const char *name_;
    bool had_ = false;
    std::string old_;
};

std::string takeDir(std::vector<std::string> args, bool *ok = nullptr) {
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(&a[0]);
    std::string dir;
    bool took = takeOutputDir(static_cast<int>(argv.size()), argv.data(), dir);
    if (ok) *ok = took;
    return dir;
}

std::string fullPathOf(const char *path) {
    char full[MAX_PATH];
    GetFullPathNameA(path, sizeof full, full, nullptr);
    return full;
}

TEST(OutputDir, ArgumentElseTempIsKeptAsAFullPathWithoutTrailingSeparator) {
    ptest::StdoutCapture out;
    EXPECT_EQ("C:\\traces", takeDir({"pipetrap", "C:\\traces\\"}));
    EXPECT_EQ("C:", takeDir({"pipetrap", "C:\\"}));  // files go to C:\0.out
    EXPECT_EQ(fullPathOf("logs"), takeDir({"pipetrap", "logs"}));
    EnvVar temp("TEMP", "C:\\from-temp");
    EXPECT_EQ("C:\\from-temp", takeDir({"pipetrap"}));
    EXPECT_EQ("C:\\from-temp", takeDir({"pipetrap", ""}));
    EXPECT_EQ("", out.text());
}

TEST(OutputDir, DirectoryTooLongForItsFilesIsRefused) {
    std::string longest = "C:\\" + std::string(kMaxOutDir - 3, 'd');
    EXPECT_EQ(longest, takeDir({"pipetrap", longest}));
    // Its largest file name still fits in a path.
    EXPECT_LT(outputFileName(longest, 4294967295u).size(), size_t(MAX_PATH));

    ptest::StdoutCapture out;
    bool ok = true;
    takeDir({"pipetrap", longest + "x"}, &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(std::string::npos, out.text().find("Output directory is too long")) << out.text();
}

// Counts destructions, to see a self-deleting thread go.
struct Probe : TThread {
    Probe(bool waitable, bool deleteOnExit, int result, LONG *deleted)
        : TThread(waitable, deleteOnExit), result(result), deleted(deleted) {}
    ~Probe() override { InterlockedIncrement(deleted); }
    int run() override { return result; }
    int result;
    LONG *deleted;
};

TEST(Thread, WaitableThreadPublishesItsHandleAndKeepsItsExitCode) {
    LONG deleted = 0;
    {
        Probe t(true, true, 42, &deleted);
        EXPECT_FALSE(t.deletesOnExit());  // forced off: the owner waits for it
        ASSERT_TRUE(t.start());
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t.semaphore(), 5000));
        ASSERT_TRUE(Handle::valid(t.handle()));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t.handle(), 5000));
        EXPECT_EQ(42, t.exitCode());
        DWORD code = 0;
        GetExitCodeThread(t.handle(), &code);
        EXPECT_EQ(42u, code);
        EXPECT_EQ(0, deleted);
    }
    EXPECT_EQ(1, deleted);
}

TEST(Thread, SelfDeletingThreadIsGoneAfterItsRun) {
    LONG deleted = 0;
    auto *t = new Probe(false, true, 0, &deleted);
    EXPECT_EQ(nullptr, t->semaphore());
    ASSERT_TRUE(t->start());
    EXPECT_TRUE(ptest::waitFor([&] { return deleted == 1; }, 5000));
}

HANDLE createTestInstance(const std::string &name, DWORD maxInstances = 255) {
    return CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, maxInstances, 256, 256, 0,
                            nullptr);
}

TEST(Connect, WriterThatLeftBeforeTheConnectIsStillServed) {
    th::TempDir dir;
    std::string name = testPipeName();
    HANDLE pipe = createTestInstance(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
    HANDLE writer = ptest::openWriter(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    ASSERT_TRUE(ptest::writeAll(writer, "early bird", 10));
    CloseHandle(writer);

    Handle connectEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    Handle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ptest::StdoutCapture out;
    ASSERT_EQ(Connect::Connected, connectClient(pipe, connectEvent.get(), stop.get()));
    ASSERT_TRUE((new TExec(Handle(pipe), 7, dir.path()))->start());
    ASSERT_TRUE(out.waitFor("Client 7 is terminated\n"));
    EXPECT_EQ("early bird", dir.read("7.out"));
    EXPECT_EQ("early birdClient 7 is terminated\n", out.text());
}

TEST(Connect, StopWhileWaitingEndsTheConnect) {
    std::string name = testPipeName();
    Handle pipe(createTestInstance(name));
    ASSERT_TRUE(pipe);
    Handle connectEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    Handle stop(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    EXPECT_EQ(Connect::Stopped, connectClient(pipe.get(), connectEvent.get(), stop.get()));
}

// An output "file" that is a pipe whose reader goes away: the file copy
// fails, the console copy goes on.
TEST(Exec, FailingFileWriteIsSaidOnceAndTheConsoleCopyGoesOn) {
    std::string fileName = "\\\\.\\pipe\\" + std::to_string(GetCurrentProcessId()) + "-file";
    // TExec writes to "<dir>\<n>.out": here the pipe \\.\pipe\<pid>-file\3.out.
    std::string fileDir = fileName;
    std::string sinkName = fileDir + "\\3.out";
    Handle sink(CreateNamedPipeA(sinkName.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                 4096, 4096, 0, nullptr));
    ASSERT_TRUE(sink);

    std::string name = testPipeName();
    HANDLE pipe = createTestInstance(name);
    HANDLE writer = ptest::openWriter(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    Handle connectEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    Handle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_EQ(Connect::Connected, connectClient(pipe, connectEvent.get(), stop.get()));

    ptest::StdoutCapture out;
    ASSERT_TRUE((new TExec(Handle(pipe), 3, fileDir))->start());
    ASSERT_TRUE(ConnectNamedPipe(sink.get(), nullptr) || GetLastError() == ERROR_PIPE_CONNECTED);
    ASSERT_TRUE(ptest::writeAll(writer, "first;", 6));
    char got[16] = {};
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(sink.get(), got, sizeof got, &n, nullptr));
    EXPECT_EQ("first;", std::string(got, n));
    sink.reset();
    ASSERT_TRUE(ptest::writeAll(writer, "second;", 7));
    ASSERT_TRUE(out.waitFor("Error Writing file "));
    ASSERT_TRUE(ptest::writeAll(writer, "third;", 6));
    CloseHandle(writer);
    ASSERT_TRUE(out.waitFor("Client 3 is terminated\n"));
    std::string text = out.text();
    EXPECT_EQ(0u, text.find("first;second;Error Writing file ")) << text;
    EXPECT_EQ(1u, std::count(text.begin(), text.end(), 'E')) << text;  // said once
    EXPECT_NE(std::string::npos, text.find("third;Client 3 is terminated\n")) << text;
}

// The accept loop on a thread of this process.
class Loop {
public:
    Loop(const std::string &dir, const PipeOptions &options) : stop_(createStopEvent()) {
        ResetEvent(stop_);
        thread_ = std::thread([=] { code_ = acceptLoop(dir, stop_, options); });
    }
    ~Loop() {
        if (thread_.joinable()) finish();
    }
    int finish() {
        SetEvent(stop_);
        thread_.join();
        ResetEvent(stop_);
        return code_;
    }

private:
    HANDLE stop_;
    std::thread thread_;
    int code_ = -1;
};

TEST(AcceptLoop, WaitsForAFreeInstanceWhenEveryInstanceIsBusy) {
    th::TempDir dir;
    PipeOptions options;
    options.name = testPipeName();
    options.maxInstances = 2;
    options.busyRetryMs = 20;
    ptest::StdoutCapture out;
    Loop loop(dir.path(), options);

    HANDLE first = ptest::openWriter(options.name);
    HANDLE second = ptest::openWriter(options.name);
    ASSERT_NE(INVALID_HANDLE_VALUE, first);
    ASSERT_NE(INVALID_HANDLE_VALUE, second);
    ASSERT_TRUE(out.waitFor("New client 1 is connected\n"));
    // Both instances serve a writer: a third waits and gets none yet.
    EXPECT_EQ(INVALID_HANDLE_VALUE, ptest::openWriter(options.name, 300));
    ASSERT_TRUE(ptest::writeAll(first, "one", 3));
    ASSERT_TRUE(ptest::writeAll(second, "two", 3));
    CloseHandle(first);
    HANDLE third = ptest::openWriter(options.name);
    ASSERT_NE(INVALID_HANDLE_VALUE, third);
    ASSERT_TRUE(ptest::writeAll(third, "three", 5));
    CloseHandle(third);
    CloseHandle(second);
    ASSERT_TRUE(out.waitFor("Client 2 is terminated\n"));
    ASSERT_TRUE(out.waitFor("Client 1 is terminated\n"));
    EXPECT_EQ(0, loop.finish());
    EXPECT_EQ("one", dir.read("0.out"));
    EXPECT_EQ("two", dir.read("1.out"));
    EXPECT_EQ("three", dir.read("2.out"));
    EXPECT_EQ(std::string::npos, out.text().find("Error")) << out.text();
}

}  // namespace
