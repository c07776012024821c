// The allocation hooks of allochook.h.
#include "support/allochook.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

long gAllocationsBeforeFailure = -1;
bool gAllocationFailed = false;

namespace
{
std::atomic<bool> counting{false}; // atomic: the software GL may allocate on threads of its own
std::atomic<long> ourNews{0}, ourMallocs{0}, driverNews{0}, driverMallocs{0};
thread_local bool inHook = false; // the backtrace below may allocate

// Counts into driver when some caller on the stack lies in a GL library, else into ours.
void Count(std::atomic<long>& ours, std::atomic<long>& driver)
{
    if (!counting || inHook)
        return;
    inHook = true;
    void* frames[48];
    bool inGL = false;
    for (int i = 0, n = backtrace(frames, 48); i < n && !inGL; i++)
    {
        dl_find_object found;
        const char* name = _dl_find_object(frames[i], &found) == 0 ? found.dlfo_link_map->l_name : "";
        inGL = strstr(name, "libGL") || strstr(name, "_dri") || strstr(name, "LLVM") || strstr(name, "glapi");
    }
    ++(inGL ? driver : ours);
    inHook = false;
}
} // namespace

AllocCounter::AllocCounter()
{
    void* prime[1];
    backtrace(prime, 1); // its first call loads the unwinder, which allocates
    ourNews = ourMallocs = driverNews = driverMallocs = 0;
    counting = true;
}
AllocCounter::~AllocCounter() { counting = false; }
sAllocCounts AllocCounter::Counts() const { return {ourNews, ourMallocs, driverNews, driverMallocs}; }

#if defined(__SANITIZE_ADDRESS__)
const bool ALLOC_COUNTED = false;
static void* RawMalloc(std::size_t size) { return malloc(size ? size : 1); }
#else
const bool ALLOC_COUNTED = true;
extern "C" void* __libc_malloc(std::size_t size);
static void* RawMalloc(std::size_t size) { return __libc_malloc(size ? size : 1); }
extern "C" void* malloc(std::size_t size) noexcept
{
    Count(ourMallocs, driverMallocs);
    return __libc_malloc(size);
}
#endif

// Every form hands the C library's memory back to free: no real mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size)
{
    if (gAllocationsBeforeFailure >= 0 && gAllocationsBeforeFailure-- == 0)
        gAllocationFailed = true, throw std::bad_alloc();
    Count(ourNews, driverNews);
    if (void* p = RawMalloc(size)) // not through the counting malloc: counted once
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return RawMalloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return RawMalloc(size); }
void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, std::size_t) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete[](void* p, std::size_t) noexcept { free(p); }
