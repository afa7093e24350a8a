// Time as the service's waits see it. The run loop, the stability check and the automatic
// start take a Clock, so that their tests drive time themselves and a wait of minutes runs
// in milliseconds.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

namespace plexivar::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Calendar time, seconds since the epoch.
    virtual std::time_t Now() = 0;
    // A monotonic count of milliseconds, for elapsed times.
    virtual std::int64_t MonotonicMs() = 0;
    // Lets `duration` pass.
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

// The real clock: time(2), steady_clock and sleep_for.
Clock& SystemClock();

}  // namespace plexivar::platform
