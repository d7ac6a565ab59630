// Request 200 with the small child program built beside the tests.
#include "child.h"
#include "requests.h"

namespace {

std::string childPath() { return th::exeDir() + "termcore_child.exe"; }

struct Process : TermcoreTest {
    int32_t ask(const th::Bytes &b) {
        EXPECT_EQ(4, send(rq::kProcess, b));
        return i32At(0);
    }
    int32_t start(const std::string &args, int16_t untracked = 0, const std::string &program = childPath()) {
        return ask(th::Bytes().u8(0).zeros(6).i16(untracked).text(program).text(args));
    }
    int32_t wait(int32_t id, int16_t timeout) { return ask(th::Bytes().u8(2).i32(id).zeros(2).i16(timeout)); }
    int32_t terminate(int32_t id) { return ask(th::Bytes().u8(1).i32(id).i16(5)); }
    // A child that runs until stopped, started and seen running: Wine leaves
    // the console of a child stopped before it ran behind.
    int32_t startRunning() {
        static int serial;
        std::string name = "termcore_child_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
        int32_t id = start("wait " + name);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 10000));
        CloseHandle(ready);
        return id;
    }
};

TEST_F(Process, WaitGivesTheExitCodeEvenWhenItIs259AndFreesTheEntry) {
    load();
    EXPECT_EQ(1, start("exit 7"));
    EXPECT_EQ(7, wait(1, -1));
    EXPECT_EQ(-1, wait(1, -1));
    EXPECT_EQ(1, start("exit 259"));
    EXPECT_EQ(259, wait(1, -1));
    EXPECT_EQ(-1, wait(1, 0));
    EXPECT_EQ(1, start(""));
    EXPECT_EQ(1, wait(1, -1)) << "the child without arguments ends with 1";
}

TEST_F(Process, RunningProcessStaysUntilTerminatedAndIdsFillTheSmallestGap) {
    load();
    for (int32_t want = 1; want <= 4; ++want) EXPECT_EQ(want, startRunning());
    EXPECT_EQ(259, wait(3, 0));
    EXPECT_EQ(259, wait(3, 20));
    EXPECT_EQ(0, terminate(3));
    EXPECT_EQ(-1, terminate(3));
    EXPECT_EQ(-1, wait(3, 0));
    EXPECT_EQ(3, startRunning());
    EXPECT_EQ(0, terminate(1));
    EXPECT_EQ(0, terminate(2));
    EXPECT_EQ(1, startRunning());
    EXPECT_EQ(2, startRunning());
    EXPECT_EQ(5, startRunning());
    // A start at -1 leaves the table as it is.
    lifeCycle(kMsgLoad, true);
    EXPECT_EQ(6, startRunning());
    for (int32_t id = 1; id <= 6; ++id) EXPECT_EQ(0, terminate(id)) << id;
}

TEST_F(Process, UntrackedStartAnswersTheProcessIdAndPassesTheArguments) {
    load();
    std::string out = tmp.file("args.txt");
    int32_t pid = start("args " + out, 1);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(-1, wait(1, 0)) << "an untracked process takes no table entry";
    for (int i = 0; i < 500 && slurp(out).empty(); ++i) Sleep(20);
    EXPECT_EQ(childPath() + " args " + out, slurp(out));
}

TEST_F(Process, FailedStartsUnknownOperationsAndIdsTakeNothing) {
    load();
    EXPECT_EQ(-1, start("", 0, tmp.file("missing.exe")));
    EXPECT_EQ(-1, ask(th::Bytes().u8(9).zeros(8)));
    EXPECT_EQ(-1, wait(0, 0));
    EXPECT_EQ(-1, terminate(-4));
    EXPECT_EQ(-1, wait(77, 0));
    EXPECT_EQ(1, start("exit 0"));
    // The session's end empties the table.
    lifeCycle(kMsgUnload, true);
    EXPECT_EQ(-1, wait(1, 0));
}

TEST_F(Process, TableIsReadyBeforeTheSessionStarts) {
    spit(tmp.file("termcore.ini"), "");
    m = std::make_unique<th::Module>("termcore.d32");
    m->setCallBacks(th::Host::get().ext());
    m->setup(th::Host::get().app());
    EXPECT_EQ(1, start("exit 4"));
    EXPECT_EQ(2, start("exit 5"));
    EXPECT_EQ(4, wait(1, -1));
    EXPECT_EQ(5, wait(2, -1));
}

}  // namespace
