// Local wall-clock time broken into fields, for log lines and tags.
#pragma once

#include <ctime>
#include <functional>
#include <string>

namespace plexivar::platform {

struct LocalTime {
    int year = 0;    // four digits
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The current local time.
LocalTime Now();
// A point in time as local time.
LocalTime ToLocalTime(const std::timespec& ts);

// Time source used by the log writers; tests replace it to pin the clock. Passing an empty
// function restores the real clock.
void SetClockForTesting(std::function<LocalTime()> clock);

}  // namespace plexivar::platform
