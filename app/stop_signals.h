// SIGINT and SIGTERM ask the program to stop in order (a plate under way is finished).
// They are blocked in every thread and taken with sigwait, so the shut-down runs as
// ordinary code, never inside a signal handler. BlockStopSignals must run before the
// program starts any thread, so that every thread inherits the mask.
#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

namespace plexivar {

// Blocks SIGINT and SIGTERM in the calling thread (and in threads it starts later).
void BlockStopSignals();
// Waits until SIGINT or SIGTERM arrives and returns it.
int WaitForStopSignal();

// A thread that waits for SIGINT or SIGTERM and then calls `onSignal` (once, on its own
// thread). Destroying the watcher ends the thread without calling it.
class StopSignalWatcher {
public:
    explicit StopSignalWatcher(std::function<void(int)> onSignal);
    ~StopSignalWatcher();
    StopSignalWatcher(const StopSignalWatcher&) = delete;
    StopSignalWatcher& operator=(const StopSignalWatcher&) = delete;

private:
    std::atomic<bool> ending_{false};
    std::thread thread_;
};

}  // namespace plexivar
