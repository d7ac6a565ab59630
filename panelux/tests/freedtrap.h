// Makes memory that a loaded module frees unreadable, as a page heap does:
// the module's imports of the C runtime's malloc, calloc, realloc and free
// are redirected, and while a FreedMemoryTrap is on, each block it takes
// lies at the end of pages of its own, which free decommits and which are
// never handed out again. A read of a freed block then faults the test.
#pragma once

#include <windows.h>

class FreedMemoryTrap {
public:
    // Redirects the module's imports (once per loaded module) and turns
    // the trap on; false when the module imports no allocator to redirect.
    explicit FreedMemoryTrap(HMODULE module);
    // Off again: new blocks come from the C runtime; trapped ones stay
    // trapped until freed.
    ~FreedMemoryTrap();
    FreedMemoryTrap(const FreedMemoryTrap &) = delete;
    FreedMemoryTrap &operator=(const FreedMemoryTrap &) = delete;

    bool redirected() const { return redirected_; }
    // Blocks taken and freed through the trap since it was made.
    static size_t taken();
    static size_t freed();

private:
    bool redirected_ = false;
};
