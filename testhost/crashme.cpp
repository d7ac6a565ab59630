// Writes one byte past a guarded buffer. The test bench must count this
// program as failed: it proves that a crash under Wine is not a pass and
// that the guard page of the stand-in host's buffers works.
#include "guardbuf.h"

int main() {
    th::GuardedBuffer b(100);
    volatile unsigned char *p = b.data();
    p[100] = 1;
    return 0;
}
