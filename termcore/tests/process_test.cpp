// Request 200 with the small child program built beside the tests.
#include "requests.h"

namespace {

std::string childPath() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string s(self, n);
    return s.substr(0, s.find_last_of('\\') + 1) + "termcore_child.exe";
}

struct Process : TermcoreTest {
    int32_t start(const std::string &args, int16_t untracked = 0) {
        EXPECT_EQ(4, send(rq::kProcess, rq::procStart(untracked, childPath(), args)));
        return i32At(0);
    }
    // A child that runs until stopped, started and seen running: Wine leaves
    // the console of a child stopped before it ran behind.
    int32_t startRunning() {
        static int serial;
        std::string name = "termcore_child_ready_" + std::to_string(GetCurrentProcessId()) + "_" +
                           std::to_string(++serial);
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
        int32_t id = start("wait " + name);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 10000));
        CloseHandle(ready);
        return id;
    }
    int32_t wait(int32_t id, int16_t timeout) {
        EXPECT_EQ(4, send(rq::kProcess, rq::procWait(id, timeout)));
        return i32At(0);
    }
    int32_t terminate(int32_t id, int16_t code) {
        EXPECT_EQ(4, send(rq::kProcess, rq::procTerminate(id, code)));
        return i32At(0);
    }
};

TEST_F(Process, WaitGivesTheExitCodeAndFreesTheEntry) {
    load();
    int32_t id = start("exit 7");
    EXPECT_EQ(1, id);
    EXPECT_EQ(7, wait(id, -1));
    EXPECT_EQ(-1, wait(id, -1));
    EXPECT_EQ(1, start("exit 0"));
    EXPECT_EQ(0, wait(1, -1));
}

TEST_F(Process, RunningProcessStaysUntilTerminated) {
    load();
    int32_t id = startRunning();
    ASSERT_EQ(1, id);
    EXPECT_EQ(259, wait(id, 0));
    EXPECT_EQ(259, wait(id, 20));
    EXPECT_EQ(0, terminate(id, 5));
    EXPECT_EQ(-1, terminate(id, 5));
    EXPECT_EQ(-1, wait(id, 0));
}

TEST_F(Process, ExitCode259IsAnEndLikeAnyOther) {
    load();
    int32_t id = start("exit 259");
    EXPECT_EQ(259, wait(id, -1));
    // The entry is gone: the id is free again.
    EXPECT_EQ(-1, wait(id, 0));
    EXPECT_EQ(id, start("exit 1"));
    EXPECT_EQ(1, wait(id, -1));
}

TEST_F(Process, IdsFillTheSmallestGap) {
    load();
    for (int32_t want = 1; want <= 4; ++want) EXPECT_EQ(want, startRunning());
    EXPECT_EQ(0, terminate(3, 0));
    EXPECT_EQ(3, startRunning());
    EXPECT_EQ(0, terminate(1, 0));
    EXPECT_EQ(0, terminate(2, 0));
    EXPECT_EQ(1, startRunning());
    EXPECT_EQ(2, startRunning());
    EXPECT_EQ(5, startRunning());
    // A start at -1 leaves the table as it is.
    lifeCycle(kMsgLoad, true);
    EXPECT_EQ(6, startRunning());
    for (int32_t id = 1; id <= 6; ++id) EXPECT_EQ(0, terminate(id, 0)) << id;
}

TEST_F(Process, UntrackedStartAnswersTheProcessIdAndPassesTheArguments) {
    load();
    std::string out = tmp.file("args.txt");
    int32_t pid = start("args " + out, 1);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(-1, wait(1, 0)) << "an untracked process takes no table entry";
    for (int i = 0; i < 500 && slurp(out).empty(); ++i) Sleep(20);
    EXPECT_EQ(childPath() + " args " + out, slurp(out));
    EXPECT_EQ(1, start("exit 0"));
    wait(1, -1);
}

TEST_F(Process, ProgramWithoutArgumentsRunsAlone) {
    load();
    int32_t id = start("");
    EXPECT_EQ(1, wait(id, -1)) << "the child without arguments ends with 1";
}

TEST_F(Process, FailedStartTakesNoId) {
    load();
    EXPECT_EQ(4, send(rq::kProcess, rq::procStart(0, tmp.file("missing.exe"), "")));
    EXPECT_EQ(-1, i32At(0));
    EXPECT_EQ(1, start("exit 0"));
    wait(1, -1);
}

TEST_F(Process, SessionEndEmptiesTheTable) {
    load();
    EXPECT_EQ(1, start("sleep 1500 0"));
    lifeCycle(kMsgUnload, true);
    EXPECT_EQ(-1, wait(1, 0));
    EXPECT_EQ(1, start("exit 0"));
    wait(1, -1);
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

TEST_F(Process, UnknownOperationsAndIdsAnswerFailure) {
    load();
    EXPECT_EQ(4, send(rq::kProcess, th::Bytes().u8(9).zeros(8)));
    EXPECT_EQ(-1, i32At(0));
    EXPECT_EQ(-1, wait(0, 0));
    EXPECT_EQ(-1, terminate(-4, 0));
    EXPECT_EQ(-1, wait(77, 0));
}

}  // namespace
