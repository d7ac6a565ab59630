/* Preloaded into 32-bit Wine running under qemu's user mode (qemu 7.2).
 *
 * 1. qemu ignores MAP_FIXED_NOREPLACE and maps elsewhere. Wine then takes
 *    every reservation as refused and splits its 4 GiB reservation into
 *    64 KiB pieces: about a minute of CPU per process. Here the flag is
 *    emulated: the address is passed as a hint, and a mapping that lands
 *    elsewhere is undone and fails with EEXIST, as the kernel would.
 *
 * 2. qemu writes trap number -1 into signal frames; Wine reads that as an
 *    illegal instruction (0xC000001D) for every fault, including the ones it
 *    handles itself. The handlers Wine installs are wrapped: for a fault
 *    the trap number is set from the signal and its code before Wine's
 *    handler sees the frame.
 *
 * 3. qemu keeps one GDT for all threads of a process, so a thread-local
 *    GDT entry (one entry, a base per thread) holds the base of whichever
 *    thread set it last, and every thread that reloads the segment register
 *    then works on another thread's data. Wine reloads %fs (its TEB) and
 *    %gs (glibc's thread pointer) at every system call and signal. So:
 *    the free thread-local entries are taken here before Wine starts, and
 *    Wine gives each thread's TEB an LDT entry of its own; and every thread
 *    gets an LDT entry for glibc's thread pointer too (below Wine's entries,
 *    which start at 512 when %gs is an LDT selector). glibc derives a new
 *    thread's entry from the creator's %gs, so pthread_create runs on the
 *    GDT entry, set to the creator's base, under a lock.
 *
 * 4. glibc loads its unwinder (libgcc_s) with dlopen at the first thread
 *    exit. Wine ends the threads of an exiting process from a signal
 *    handler, so several threads dlopen at once inside handlers, which
 *    under qemu fails ("libgcc_s.so.1 must be installed for pthread_exit")
 *    or breaks ld.so's state. backtrace() loads it here, once, up front.
 *
 * 5. qemu does not hand on signals ignored by whoever started it (a test
 *    that ignores SIGXFSZ to see writes past a file-size limit fail would
 *    be killed instead). scripts/wine32 passes its ignored set in QV_SIGIGN
 *    (the SigIgn mask of /proc/<pid>/status) and they are ignored again.
 *
 * Built with gcc -m32 by scripts/lib.sh; used through LD_PRELOAD by the
 * 32-bit Wine processes only. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <execinfo.h>
#include <pthread.h>
#include <stdlib.h>
#include <signal.h>
#include <stddef.h>
#include <stdint.h>
#include <asm/ldt.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <sys/types.h>
#include <ucontext.h>

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

typedef void *(*mmap_fn)(void *, size_t, int, int, int, off_t);
typedef void *(*mmap64_fn)(void *, size_t, int, int, int, off64_t);
typedef int (*sigaction_fn)(int, const struct sigaction *, struct sigaction *);

static mmap_fn real_mmap;
static mmap64_fn real_mmap64;
static sigaction_fn real_sigaction;

/* The flags passed on, and whether the result must be checked. */
static int emulated(int flags)
{
    return (flags & MAP_FIXED_NOREPLACE) && !(flags & MAP_FIXED);
}

static void *checked(void *want, void *got, size_t len)
{
    if (got == MAP_FAILED || got == want)
        return got;
    munmap(got, len);
    errno = EEXIST;
    return MAP_FAILED;
}

void *mmap(void *addr, size_t len, int prot, int flags, int fd, off_t off)
{
    if (!real_mmap)
        real_mmap = (mmap_fn)dlsym(RTLD_NEXT, "mmap");
    if (!emulated(flags))
        return real_mmap(addr, len, prot, flags, fd, off);
    return checked(addr, real_mmap(addr, len, prot, flags & ~MAP_FIXED_NOREPLACE, fd, off), len);
}

void *mmap64(void *addr, size_t len, int prot, int flags, int fd, off64_t off)
{
    if (!real_mmap64)
        real_mmap64 = (mmap64_fn)dlsym(RTLD_NEXT, "mmap64");
    if (!emulated(flags))
        return real_mmap64(addr, len, prot, flags, fd, off);
    return checked(addr, real_mmap64(addr, len, prot, flags & ~MAP_FIXED_NOREPLACE, fd, off), len);
}

/* x86 exception vectors, as the kernel puts them in the frame. */
enum { T_DIVIDE = 0, T_DEBUG = 1, T_BREAKPOINT = 3, T_OVERFLOW = 4, T_ILLEGAL = 6,
       T_PROTECTION = 13, T_PAGE = 14, T_FPU = 16, T_ALIGN = 17 };

static int trap_for(int sig, const siginfo_t *info)
{
    switch (sig) {
    case SIGSEGV:
        return info->si_code == SEGV_MAPERR || info->si_code == SEGV_ACCERR ? T_PAGE : T_PROTECTION;
    case SIGBUS:
        return info->si_code == BUS_ADRALN ? T_ALIGN : T_PAGE;
    case SIGILL:
        return T_ILLEGAL;
    case SIGFPE:
        if (info->si_code == FPE_INTDIV) return T_DIVIDE;
        if (info->si_code == FPE_INTOVF) return T_OVERFLOW;
        return T_FPU;
    case SIGTRAP:
        return info->si_code == TRAP_TRACE ? T_DEBUG : T_BREAKPOINT;
    }
    return -1;
}

#define QV_NSIG 65
static void (*wrapped[QV_NSIG])(int, siginfo_t *, void *);

/* A flat data descriptor with the given base, for set_thread_area. */
static void flat(struct user_desc *d, unsigned entry, unsigned base)
{
    unsigned char *p = (unsigned char *)d;
    for (unsigned i = 0; i < sizeof *d; ++i)
        p[i] = 0;
    d->entry_number = entry;
    d->base_addr = base;
    d->limit = 0xfffff;
    d->seg_32bit = 1;
    d->limit_in_pages = 1;
    d->useable = 1;
}

static int raw_set_thread_area(struct user_desc *d)
{
    int r;
    __asm__ volatile("int $0x80" : "=a"(r) : "0"(SYS_set_thread_area), "b"(d) : "memory");
    return r;
}

static unsigned short get_gs(void)
{
    unsigned short gs;
    __asm__ volatile("movw %%gs, %0" : "=r"(gs));
    return gs;
}

static void set_gs(unsigned short gs)
{
    __asm__ volatile("movw %0, %%gs" : : "r"(gs));
}

static unsigned thread_pointer(void)
{
    unsigned tp;
    __asm__ volatile("movl %%gs:0, %0" : "=r"(tp));
    return tp;
}

/* glibc's GDT selector for the thread pointer. */
static unsigned short gdt_gs;
static pthread_mutex_t ldt_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_mutex_t create_lock = PTHREAD_MUTEX_INITIALIZER;
enum { FIRST_ENTRY = 1, LAST_ENTRY = 511 };
static unsigned char entry_used[LAST_ENTRY + 1];
static unsigned next_entry = FIRST_ENTRY;
static pthread_key_t entry_key;

/* An LDT selector whose base is this thread's thread pointer, or 0. Entries
 * are handed out round-robin, so that one freed at a thread's end is not
 * reused while that thread may still run. */
static unsigned short own_ldt_gs(void)
{
    unsigned entry = 0;
    pthread_mutex_lock(&ldt_lock);
    for (unsigned i = 0; i <= LAST_ENTRY - FIRST_ENTRY && !entry; ++i) {
        unsigned e = next_entry;
        next_entry = e == LAST_ENTRY ? FIRST_ENTRY : e + 1;
        if (!entry_used[e]) {
            entry_used[e] = 1;
            entry = e;
        }
    }
    pthread_mutex_unlock(&ldt_lock);
    if (!entry)
        return 0;
    struct user_desc d;
    flat(&d, entry, thread_pointer());
    if (syscall(SYS_modify_ldt, 0x11, &d, sizeof d) != 0)
        return 0;
    unsigned short sel = (unsigned short)((entry << 3) | 7);
    set_gs(sel);
    pthread_setspecific(entry_key, (void *)(unsigned long)entry);
    return sel;
}

static void free_entry(void *entry)
{
    pthread_mutex_lock(&ldt_lock);
    entry_used[(unsigned long)entry] = 0;
    pthread_mutex_unlock(&ldt_lock);
}

typedef int (*pthread_create_fn)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
static pthread_create_fn real_pthread_create;

struct start {
    void *(*fn)(void *);
    void *arg;
};

static void *start_thread(void *p)
{
    struct start s = *(struct start *)p;
    free(p);
    own_ldt_gs();
    return s.fn(s.arg);
}

int pthread_create(pthread_t *thread, const pthread_attr_t *attr, void *(*fn)(void *), void *arg)
{
    if (!real_pthread_create)
        real_pthread_create = (pthread_create_fn)dlsym(RTLD_NEXT, "pthread_create");
    unsigned short mine = get_gs();
    if (!gdt_gs || mine == gdt_gs)
        return real_pthread_create(thread, attr, fn, arg);
    struct start *s = malloc(sizeof *s);
    if (!s)
        return EAGAIN;
    s->fn = fn;
    s->arg = arg;
    pthread_mutex_lock(&create_lock);
    struct user_desc d;
    flat(&d, gdt_gs >> 3, thread_pointer());
    raw_set_thread_area(&d);
    set_gs(gdt_gs);
    int status = real_pthread_create(thread, attr, start_thread, s);
    set_gs(mine);
    pthread_mutex_unlock(&create_lock);
    if (status != 0)
        free(s);
    return status;
}

/* Runs on the signal stack before Wine has set up its own segments: only
 * plain loads and stores here (no errno, no stack protector). */
static void wrapper(int sig, siginfo_t *info, void *ctx)
{
    ucontext_t *uc = (ucontext_t *)ctx;
    if (uc && (int)uc->uc_mcontext.gregs[REG_TRAPNO] == -1) {
        int trap = trap_for(sig, info);
        if (trap >= 0)
            uc->uc_mcontext.gregs[REG_TRAPNO] = trap;
    }
    wrapped[sig](sig, info, ctx);
}

int sigaction(int sig, const struct sigaction *act, struct sigaction *old)
{
    if (!real_sigaction)
        real_sigaction = (sigaction_fn)dlsym(RTLD_NEXT, "sigaction");
    if (sig <= 0 || sig >= QV_NSIG)
        return real_sigaction(sig, act, old);

    void (*before)(int, siginfo_t *, void *) = wrapped[sig];
    struct sigaction mine;
    const struct sigaction *pass = act;
    if (act && (act->sa_flags & SA_SIGINFO)) {
        mine = *act;
        mine.sa_sigaction = wrapper;
        pass = &mine;
    }
    /* Set before the wrapper can run. */
    if (act)
        wrapped[sig] = (act->sa_flags & SA_SIGINFO) ? act->sa_sigaction : NULL;
    int status = real_sigaction(sig, pass, old);
    if (status != 0) {
        wrapped[sig] = before;
        return status;
    }
    /* The caller sees its own handler, never the wrapper. */
    if (old && (old->sa_flags & SA_SIGINFO) && old->sa_sigaction == wrapper)
        old->sa_sigaction = before;
    return 0;
}

static void ignore_again(void)
{
    const char *mask = getenv("QV_SIGIGN");
    if (!mask)
        return;
    unsigned long long bits = strtoull(mask, NULL, 16);
    for (int sig = 1; sig < QV_NSIG; ++sig)
        if (((bits >> (sig - 1)) & 1) && sig != SIGKILL && sig != SIGSTOP)
            signal(sig, SIG_IGN);
}

__attribute__((constructor)) static void set_up(void)
{
    ignore_again();

    void *frames[2];
    backtrace(frames, 2);

    for (int i = 0; i < 3; ++i) {
        struct user_desc d;
        flat(&d, (unsigned)-1, 0);
        if (syscall(SYS_set_thread_area, &d) != 0)
            break;
    }

    unsigned short gs = get_gs();
    if ((gs & 4) || pthread_key_create(&entry_key, free_entry) != 0)
        return;
    gdt_gs = gs;
    if (!own_ldt_gs())
        gdt_gs = 0;
}
