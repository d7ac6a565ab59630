// TThread: a thread object whose run operation gives the exit code. A
// waitable thread publishes its own handle through a semaphore; any other
// may delete itself when its run ends.
#pragma once

#include <atomic>

#include "unique_handle.h"

namespace pipetrap {

class TThread {
public:
    // deleteOnExit is forced off for a waitable thread: its owner waits
    // for it and so owns it.
    TThread(bool waitable, bool deleteOnExit);
    virtual ~TThread();
    TThread(const TThread &) = delete;
    TThread &operator=(const TThread &) = delete;

    // False when the thread could not be started; the object is then
    // still the caller's. After a successful start a self-deleting object
    // belongs to its thread.
    bool start();

    // A waitable thread releases this once its handle() is set.
    HANDLE semaphore() const { return semaphore_.get(); }
    // INVALID_HANDLE_VALUE until set, or when it could not be taken.
    HANDLE handle() const { return thread_.get(); }
    int exitCode() const { return exitCode_; }
    bool deletesOnExit() const { return deleteOnExit_; }

    void requestTerminate() { terminate_ = true; }

protected:
    virtual int run() = 0;
    bool terminateRequested() const { return terminate_; }

private:
    static unsigned __stdcall body(void *self);
    void publishHandle();

    int exitCode_ = 0;
    winutil::unique_handle thread_{INVALID_HANDLE_VALUE};
    winutil::unique_handle semaphore_;
    bool waitable_;
    std::atomic<bool> terminate_{false};
    bool deleteOnExit_;
};

}  // namespace pipetrap
