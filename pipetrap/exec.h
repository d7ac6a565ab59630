// TExec: the thread that serves one connected client. It copies what the
// client writes to the console and to "<outdir>\<number>.out", then ends
// the connection and deletes itself.
#pragma once

#include <string>

#include "unique_handle.h"
#include "thread.h"

namespace pipetrap {

// Bytes taken from the pipe per read, as large as the pipe's buffers.
constexpr DWORD kReadChunk = 256;

// The output file of a client.
std::string outputFileName(const std::string &outDir, unsigned number);

class TExec : public TThread {
public:
    // Takes the connected pipe instance; not waitable, deleted on exit.
    TExec(winutil::unique_handle pipe, unsigned number, std::string outDir);
    unsigned number() const { return number_; }

protected:
    int run() override;

private:
    winutil::unique_handle openOutput() const;
    void copyPipe(HANDLE file);
    int finish(winutil::unique_handle file);

    winutil::unique_handle pipe_;
    unsigned number_;
    std::string outDir_;  // a copy: client threads may outlive main's data
};

// Overlapped reads on one pipe instance, with an event of its own.
class PipeReader {
public:
    explicit PipeReader(HANDLE pipe);
    // 0 with the bytes read, or the system error code.
    DWORD read(void *buffer, DWORD size, DWORD &got);

private:
    HANDLE pipe_;
    winutil::unique_handle event_;
    DWORD eventError_ = 0;
};

}  // namespace pipetrap
