// Clock layer over the monotonic POSIX clock. The counter ticks in microseconds.
#include "platform/clock.h"

#include <ctime>

namespace
{
const int64_t TICKS_PER_SECOND = 1000000;

bool fakeOn = false;
double fakeSeconds = 0.0;
bool counterAvailable = true;

int64_t NowMicroseconds()
{
    if (fakeOn)
        return static_cast<int64_t>(fakeSeconds * TICKS_PER_SECOND);
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * TICKS_PER_SECOND + ts.tv_nsec / 1000;
}
} // namespace

bool QueryPerformanceCounter(int64_t* count)
{
    if (!counterAvailable || !count)
        return false;
    *count = NowMicroseconds();
    return true;
}

bool QueryPerformanceFrequency(int64_t* frequency)
{
    if (!counterAvailable || !frequency)
        return false;
    *frequency = TICKS_PER_SECOND;
    return true;
}

uint32_t timeGetTime() { return static_cast<uint32_t>(NowMicroseconds() / 1000); }

void SetFakeClock(double seconds)
{
    fakeOn = true;
    fakeSeconds = seconds;
}

void ClearFakeClock() { fakeOn = false; }

void SetPerformanceCounterAvailable(bool available) { counterAvailable = available; }
