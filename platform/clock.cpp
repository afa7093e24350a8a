#include "platform/clock.h"

#include <thread>

namespace plexivar::platform {
namespace {

class RealClock final : public Clock {
public:
    std::time_t Now() override { return std::time(nullptr); }
    std::int64_t MonotonicMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void Sleep(std::chrono::milliseconds duration) override {
        if (duration.count() > 0) std::this_thread::sleep_for(duration);
    }
};

}  // namespace

Clock& SystemClock() {
    static RealClock clock;
    return clock;
}

}  // namespace plexivar::platform
