// Hooks of the test programs that link support/allochook.cpp: new (and malloc) count allocations,
// those with a GL library on the stack (the driver's) apart, and can fail a chosen new.
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
// News left before the one that fails (below 0: none fails); whether one failed since cleared.
extern long gAllocationsBeforeFailure;
extern bool gAllocationFailed;
