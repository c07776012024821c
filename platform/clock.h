// The clocks every subsystem reads: a high-resolution counter with its frequency and a
// millisecond clock, both monotonic. Tests can freeze them at a chosen time.
#pragma once

#include <cstdint>

// Reads the high-resolution counter; answers false where there is none.
bool QueryPerformanceCounter(int64_t* count);

// Ticks per second of the high-resolution counter; answers false where there is none.
bool QueryPerformanceFrequency(int64_t* frequency);

// Milliseconds since an arbitrary origin fixed for the run; wraps like a 32-bit counter.
uint32_t timeGetTime();

// Test hooks: while the fake clock is on, both clocks report the given time (counter
// ticks are microseconds), so time-dependent state can be checked at known instants.
void SetFakeClock(double seconds);
void ClearFakeClock();

// Test hook: pretend the machine has no high-resolution counter.
void SetPerformanceCounterAvailable(bool available);
