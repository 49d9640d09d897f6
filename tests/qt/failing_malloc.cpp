// An allocator that fails on demand, preloaded into the program under test:
//
//   KESTIVO_FAIL_AT=N        the Nth allocation (1-based) returns NULL
//   KESTIVO_FAIL_FROM=1      ... and every one after it too
//   KESTIVO_FAIL_COUNT=FILE  at exit, write how many allocations were made
//   KESTIVO_FAIL_AFTER_MARK=1  count (and fail) only from the program's
//                            call of kestivo_fail_mark() on
//
// Counts malloc, calloc, realloc, aligned_alloc, posix_memalign and memalign,
// which C++'s operator new and every library's allocations come down to. It
// allocates nothing itself.

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
}

namespace {
std::atomic<long> calls{0};
long failAt = -1;
bool failFrom = false;
bool afterMark = false;
std::atomic<bool> marked{false};

void report()
{
    const char* file = getenv("KESTIVO_FAIL_COUNT");
    if (!file)
        return;
    // The count is taken before any stdio buffer is: fopen allocates.
    const long made = calls.load();
    failAt = -1;
    if (std::FILE* f = std::fopen(file, "w")) {
        std::fprintf(f, "%ld\n", made);
        std::fclose(f);
    }
}

[[gnu::constructor]] void setUp()
{
    if (const char* at = std::getenv("KESTIVO_FAIL_AT"))
        failAt = std::strtol(at, nullptr, 10);
    failFrom = std::getenv("KESTIVO_FAIL_FROM") != nullptr;
    afterMark = std::getenv("KESTIVO_FAIL_AFTER_MARK") != nullptr;
    std::atexit(report);
}

// Whether this allocation fails.
bool fails()
{
    if (afterMark && !marked)
        return false;
    const long n = calls.fetch_add(1) + 1;
    if (failAt < 1 || (n != failAt && !(failFrom && n > failAt)))
        return false;
    errno = ENOMEM;
    return true;
}
} // namespace

extern "C" {
// The program may end at once, without its exit handlers: the count is
// written then too.
[[noreturn]] void _exit(int status)
{
    report();
    syscall(SYS_exit_group, status);
    __builtin_unreachable();
}
[[noreturn]] void _Exit(int status)
{
    _exit(status);
}

// Called by the program (found with dlsym) where the part under test begins.
[[gnu::visibility("default")]] void kestivo_fail_mark()
{
    if (!afterMark)
        return;
    calls = 0;
    marked = true;
}

void* malloc(std::size_t size)
{
    return fails() ? nullptr : __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size)
{
    return fails() ? nullptr : __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size)
{
    return fails() ? nullptr : __libc_realloc(p, size);
}
void* memalign(std::size_t align, std::size_t size)
{
    return fails() ? nullptr : __libc_memalign(align, size);
}
void* aligned_alloc(std::size_t align, std::size_t size)
{
    return fails() ? nullptr : __libc_memalign(align, size);
}
int posix_memalign(void** out, std::size_t align, std::size_t size)
{
    if (fails())
        return ENOMEM;
    void* p = __libc_memalign(align, size);
    if (!p)
        return ENOMEM;
    *out = p;
    return 0;
}
}
