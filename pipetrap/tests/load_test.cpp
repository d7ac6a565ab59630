// 64 writers at once, 1 MB each in chunks of random size: every file must
// hold exactly what its writer sent.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "launcher.h"
#include "module.h"
#include "monitor.h"
#include "writer.h"

namespace {

constexpr int kWriters = 64;
constexpr size_t kBytesEach = 1 << 20;

TEST(PipetrapLoad, SixtyFourWritersOfOneMegabyteEachArriveWhole) {
    th::TempDir out;
    th::TempDir logs;
    std::string log = logs.file("console.log");
    ptest::Monitor m("\"" + out.path() + "\"", log);
    ASSERT_TRUE(m.waitForPipe());

    std::vector<std::string> sent(kWriters);
    for (int i = 0; i < kWriters; ++i) sent[i] = ptest::randomBytes(kBytesEach, 1000 + i);
    std::vector<int> ok(kWriters, 0);
    std::vector<std::thread> writers;
    for (int i = 0; i < kWriters; ++i) {
        writers.emplace_back([&, i] {
            HANDLE w = ptest::openWriter(pipetrap::kPipeName, 30000);
            if (w == INVALID_HANDLE_VALUE) return;
            ok[i] = ptest::writeChunks(w, sent[i], 2000 + i, 20000);
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
        std::string name = std::to_string(n) + ".out";
        std::string got;
        ptest::waitFor([&] { return (got = out.read(name)).size() >= kBytesEach; });
        auto it = byHead.find(got.substr(0, 16));
        ASSERT_NE(byHead.end(), it) << name << " is no writer's";
        EXPECT_TRUE(got == sent[it->second]) << name << " differs from writer " << it->second;
        ++seen[it->second];
    }
    for (int i = 0; i < kWriters; ++i) EXPECT_EQ(1, seen[i]) << "writer " << i;
    ASSERT_TRUE(m.ctrlC());
    EXPECT_EQ(0u, m.waitExit());

    // The console got every byte too, beside the status lines.
    const std::string lastStartLine = "Press Ctrl-Break to stop\r\n";
    std::string console = ptest::readFile(log);
    size_t status = console.find(lastStartLine) + lastStartLine.size() + std::strlen("Stopping ...\r\n");
    for (int n = 0; n < kWriters; ++n)
        status += ("New client " + std::to_string(n) + " is connected\r\n").size() +
                  ("Client " + std::to_string(n) + " is terminated\r\n").size();
    EXPECT_EQ(kWriters * kBytesEach + status, console.size());
}

}  // namespace
