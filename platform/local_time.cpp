#include "platform/local_time.h"

#include <mutex>

namespace plexivar::platform {
namespace {

std::mutex& ClockMutex() {
    static std::mutex m;
    return m;
}
std::function<LocalTime()>& TestClock() {
    static std::function<LocalTime()> clock;
    return clock;
}

}  // namespace

LocalTime ToLocalTime(const std::timespec& ts) {
    std::tm tm{};
    const std::time_t t = ts.tv_sec;
    localtime_r(&t, &tm);
    LocalTime lt;
    lt.year = tm.tm_year + 1900;
    lt.month = tm.tm_mon + 1;
    lt.day = tm.tm_mday;
    lt.hour = tm.tm_hour;
    lt.minute = tm.tm_min;
    lt.second = tm.tm_sec;
    lt.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
    return lt;
}

LocalTime Now() {
    {
        std::lock_guard lock(ClockMutex());
        if (TestClock()) return TestClock()();
    }
    std::timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ToLocalTime(ts);
}

void SetClockForTesting(std::function<LocalTime()> clock) {
    std::lock_guard lock(ClockMutex());
    TestClock() = std::move(clock);
}

}  // namespace plexivar::platform
