// Closing the window shuts the service down: once that returns, nothing may start the
// spoolers again, not even an automatic start that fell due at the same moment.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "service/service_runtime.h"
#include "tests/support/temp_dir.h"

namespace plexivar::testing {
namespace {

// Real calendar time and waits that are over at once. Once armed, the next reading of the
// time (the automatic start's, as it decides to start) is held until the shut-down has
// begun: the start then falls due exactly while the program closes.
class GateClock : public platform::Clock {
public:
    std::time_t Now() override {
        if (armed_.exchange(false)) {
            held_ = true;
            const RunFlags* flags = flags_.load();
            while (flags->exitRequested.load() == 0) std::this_thread::yield();
        }
        return platform::SystemClock().Now();
    }
    std::int64_t MonotonicMs() override { return platform::SystemClock().MonotonicMs(); }
    void Sleep(std::chrono::milliseconds) override { std::this_thread::yield(); }

    void Arm(const RunFlags& flags) {
        flags_ = &flags;
        armed_ = true;
    }
    bool Held() const { return held_; }

private:
    std::atomic<const RunFlags*> flags_{nullptr};
    std::atomic<bool> armed_{false};
    std::atomic<bool> held_{false};
};

TEST(WindowShutdown, NoAutomaticStartSlipsInAfterTheShutDown) {
    TempDir dir;
    GateClock clock;
    ServiceRuntime runtime(dir.path(), clock);
    Settings& settings = runtime.settings();
    settings = Settings{};
    settings.service.AutoStartMinutes = 1;
    settings.service.CreateFolders = 1;
    settings.service.BypassPingTest = 1;
    settings.Spooler(1).InputFolder = dir.File("in");
    settings.Spooler(1).OutputFolder = dir.File("out");
    // The last stop was ten minutes ago: a start is due as soon as the check runs.
    runtime.flags().runStateTime = platform::SystemClock().Now() - 600;
    runtime.flags().settingsOpen = 0;
    clock.Arm(runtime.flags());
    runtime.StartAutostart();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!clock.Held() && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
    ASSERT_TRUE(clock.Held());

    runtime.ShutDown();
    EXPECT_FALSE(runtime.control().Running());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(runtime.control().Running()) << "the spoolers started after the shut-down";
}

}  // namespace
}  // namespace plexivar::testing
