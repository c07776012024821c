// Allocation hooks of the test programs that link support/allochook.cpp: operator new (and,
// outside sanitizer builds, malloc) count allocations, those made while a GL library is on the
// stack (the driver's) apart from ours, and can fail one chosen allocation.
#pragma once

struct sAllocCounts
{
    long ourNews = 0, ourMallocs = 0, driverNews = 0, driverMallocs = 0;
    long Ours() const { return ourNews + ourMallocs; }
};

// Counting is on, from zero, while an object of this lives.
struct AllocCounter
{
    AllocCounter();
    ~AllocCounter();
    sAllocCounts Counts() const;
};

extern const bool ALLOC_COUNTED; // false in sanitizer builds, which keep their own allocator
// Allocations of operator new left before the one that fails (below 0: none fails), and
// whether one failed since the flag was last cleared.
extern long gAllocationsBeforeFailure;
extern bool gAllocationFailed;
