// Allocation hooks for the test programs that link support/allochook.cpp: the replaced global
// operator new (and, outside sanitizer builds, malloc) counts allocations, telling those made
// while a GL library is on the stack (the driver's) from our own, and can fail one chosen
// allocation so a test can run out of memory anywhere in a load.
#pragma once

#include <atomic>

struct sAllocCounts
{
    long ourNews = 0, ourMallocs = 0, driverNews = 0, driverMallocs = 0;
    long Ours() const { return ourNews + ourMallocs; }
};

// Counting is on while an object of this lives; the counts start at zero.
class AllocCounter
{
  public:
    AllocCounter();
    ~AllocCounter();
    sAllocCounts Counts() const;
};

// Whether this build counts at all (sanitizer builds keep their own allocator).
extern const bool ALLOC_COUNTED;

// Allocations of operator new left before the one that fails (below 0: none fails), and
// whether one failed since the flag was last cleared.
extern long gAllocationsBeforeFailure;
extern bool gAllocationFailed;
