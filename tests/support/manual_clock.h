// A clock that tests drive: Sleep lets the time pass at once (after an optional short real
// pause, so that a thread that sleeps in a loop does not spin), and a hook sees every sleep.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/clock.h"

namespace plexivar::testing {

class ManualClock : public platform::Clock {
public:
    // Starts on 9 December 2026, 08:00:00 UTC.
    explicit ManualClock(std::chrono::microseconds realPause = std::chrono::microseconds(200))
        : realPause_(realPause) {}

    std::time_t Now() override { return kStart + static_cast<std::time_t>(elapsedMs_ / 1000); }
    std::int64_t MonotonicMs() override { return elapsedMs_; }
    void Sleep(std::chrono::milliseconds duration) override {
        if (realPause_.count() > 0) std::this_thread::sleep_for(realPause_);
        elapsedMs_ += duration.count();
        std::function<void(std::chrono::milliseconds)> hook;
        {
            std::lock_guard lock(mutex_);
            hook = onSleep_;
        }
        if (hook) hook(duration);
    }

    void Advance(std::chrono::milliseconds duration) { elapsedMs_ += duration.count(); }
    // Called after every sleep (on the sleeping thread) with its duration.
    void OnSleep(std::function<void(std::chrono::milliseconds)> hook) {
        std::lock_guard lock(mutex_);
        onSleep_ = std::move(hook);
    }

    static constexpr std::time_t kStart = 1796803200;

private:
    std::chrono::microseconds realPause_;
    std::atomic<std::int64_t> elapsedMs_{0};
    std::mutex mutex_;
    std::function<void(std::chrono::milliseconds)> onSleep_;
};

}  // namespace plexivar::testing
