#include "thread.h"

#include <process.h>

namespace pipetrap {

TThread::TThread(bool waitable, bool deleteOnExit)
    : waitable_(waitable), deleteOnExit_(deleteOnExit && !waitable) {}

TThread::~TThread() = default;

bool TThread::start() {
    if (waitable_) {
        semaphore_.reset(CreateSemaphoreA(nullptr, 0, 1, nullptr));
        if (!semaphore_) return false;
    }
    uintptr_t started = _beginthreadex(nullptr, 0, &TThread::body, this, 0, nullptr);
    if (started == 0) return false;
    // A self-deleting object may be gone already: touch nothing of it here.
    CloseHandle(reinterpret_cast<HANDLE>(started));
    return true;
}

void TThread::publishHandle() {
    HANDLE self = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0,
                         FALSE, DUPLICATE_SAME_ACCESS))
        self = INVALID_HANDLE_VALUE;
    thread_.reset(self);
    ReleaseSemaphore(semaphore_.get(), 1, nullptr);
}

unsigned __stdcall TThread::body(void *arg) {
    auto *self = static_cast<TThread *>(arg);
    if (self->semaphore_) self->publishHandle();
    int code = -1;
    try {
        code = self->run();
    } catch (...) {
    }
    self->exitCode_ = code;
    if (self->deleteOnExit_) delete self;
    return static_cast<unsigned>(code);
}

}  // namespace pipetrap
