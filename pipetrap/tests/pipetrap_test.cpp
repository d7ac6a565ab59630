// pipetrap.exe as its users meet it: started with a console of its own,
// written to by other threads as trace writers, stopped with Ctrl+C.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "launcher.h"
#include "module.h"
#include "monitor.h"
#include "writer.h"

namespace {

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

class Pipetrap : public ::testing::Test {
protected:
    // The console log as written.
    std::string rawConsole() const { return ptest::readFile(log_); }
    // The console log without CRs.
    std::string console() const {
        std::string text = rawConsole();
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }
    bool consoleShows(const std::string &needle) const {
        return ptest::waitFor([&] { return console().find(needle) != std::string::npos; });
    }
    static HANDLE writer() { return ptest::openWriter(pipetrap::kPipeName); }
    static std::string quoted(const std::string &path) { return "\"" + path + "\""; }

    th::TempDir logs_;
    std::string log_ = logs_.file("console.log");
    th::TempDir out_;
};

TEST_F(Pipetrap, SaysHowToUseItAndStopsOnCtrlCWithExitCodeZero) {
    ptest::Monitor m(quoted(out_.path()), log_);
    ASSERT_TRUE(m.waitForPipe());
    ASSERT_TRUE(m.ctrlC());
    EXPECT_EQ(0u, m.waitExit());
    EXPECT_EQ(std::string(kStartLines) + "Stopping ...\n", console());
    // Status lines end in CR LF.
    EXPECT_EQ(0u, rawConsole().find("pipetrap 1.0, pipe output monitor\r\n\r\nUsage is:"));
}

TEST_F(Pipetrap, TwoWritersAtOnceGetAFileEachAndTheConsoleShowsBoth) {
    ptest::Monitor m(quoted(out_.path()), log_);
    ASSERT_TRUE(m.waitForPipe());
    HANDLE a = writer();
    ASSERT_TRUE(consoleShows("New client 0 is connected\n"));
    HANDLE b = writer();
    ASSERT_TRUE(consoleShows("New client 1 is connected\n"));
    // Line ends, NUL and Ctrl+Z are trace bytes like any other.
    const std::string a1("alpha-1\n", 8), a2("alpha-2\r\n\x1a", 10);
    const std::string b1("beta-1\0;", 8), b2("beta-2;", 7);
    ASSERT_TRUE(ptest::writeAll(a, a1.data(), a1.size()));
    ASSERT_TRUE(ptest::writeAll(b, b1.data(), b1.size()));
    ASSERT_TRUE(ptest::writeAll(a, a2.data(), a2.size()));
    ASSERT_TRUE(ptest::writeAll(b, b2.data(), b2.size()));
    CloseHandle(b);
    ASSERT_TRUE(consoleShows("Client 1 is terminated\n"));
    CloseHandle(a);
    ASSERT_TRUE(consoleShows("Client 0 is terminated\n"));
    EXPECT_EQ(a1 + a2, out_.read("0.out"));
    EXPECT_EQ(b1 + b2, out_.read("1.out"));
    std::string text = rawConsole();
    for (const std::string &piece : {a1, a2, b1, b2}) EXPECT_EQ(1u, count(text, piece)) << piece;
    // A writer closing its end is the normal end of a client.
    EXPECT_EQ(0u, count(text, "Error")) << text;
}

TEST_F(Pipetrap, MissingOutputDirectoryFailsEachClientWhileAcceptingGoesOn) {
    ptest::Monitor m(quoted(out_.file("missing")), log_);
    ASSERT_TRUE(m.waitForPipe());
    for (int client = 0; client < 2; ++client) {
        HANDLE w = writer();
        ASSERT_NE(INVALID_HANDLE_VALUE, w);
        ptest::writeAll(w, "text", 4);  // may fail once the monitor let go
        CloseHandle(w);
        std::string connected = "New client " + std::to_string(client) + " is connected\n";
        ASSERT_TRUE(consoleShows(connected));
        ASSERT_TRUE(ptest::waitFor([&] { return count(console(), "Can not open output file\n") == client + 1u; }));
    }
    ASSERT_TRUE(m.ctrlC());
    EXPECT_EQ(0u, m.waitExit());
    EXPECT_EQ(0u, count(console(), "is terminated"));
}

TEST_F(Pipetrap, OutputDirectoryTooLongForItsFilesIsRefusedAtStart) {
    ptest::Monitor m(quoted("C:\\" + std::string(250, 'd')), log_);
    EXPECT_EQ(1u, m.waitExit());
    std::string text = console();
    EXPECT_EQ(0u, text.find(kStartLines));
    EXPECT_NE(std::string::npos, text.find("Output directory is too long")) << text;
}

TEST_F(Pipetrap, SystemTempPathServesWhenTempIsUnset) {
    std::string env = ptest::environmentWith({"TEMP", "TMP"}, "TMP=" + out_.path());
    ptest::Monitor m("", log_, env.c_str());
    ASSERT_TRUE(m.waitForPipe());
    HANDLE w = writer();
    ASSERT_TRUE(ptest::writeAll(w, "to tmp", 6));
    CloseHandle(w);
    ASSERT_TRUE(consoleShows("Client 0 is terminated\n"));
    EXPECT_EQ("to tmp", out_.read("0.out"));
}

TEST_F(Pipetrap, CtrlCEndsTheProgramWhileAWriterIsStillConnected) {
    ptest::Monitor m(quoted(out_.path()), log_);
    ASSERT_TRUE(m.waitForPipe());
    HANDLE w = writer();
    ASSERT_TRUE(ptest::writeAll(w, "half", 4));
    ASSERT_TRUE(ptest::waitFor([&] { return out_.read("0.out") == "half"; }));
    ASSERT_TRUE(m.ctrlC());
    EXPECT_EQ(0u, m.waitExit());
    EXPECT_FALSE(ptest::writeAll(w, "more", 4));  // the monitor is gone
    CloseHandle(w);
}

}  // namespace
