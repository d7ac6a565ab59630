// Sends this process's standard output to a file for the life of the
// object, so that the monitor's console lines can be read back.
#pragma once

#include <string>

namespace ptest {

class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture &) = delete;
    StdoutCapture &operator=(const StdoutCapture &) = delete;

    // What was written so far, CRs left out.
    std::string text() const;
    // Polls until the text holds needle.
    bool waitFor(const std::string &needle, unsigned timeoutMs = 10000) const;

private:
    std::string path_;
    int saved_ = -1;
};

}  // namespace ptest
