// Starting and stopping the spoolers: the spooler thread's life, the running state shown to
// the operator, and the process state sent to the database. Start and stop may come from
// the window, the autostart thread and a signal handler's thread; they are serialised.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

#include "service/service_context.h"

namespace plexivar {

class SpoolerControl {
public:
    explicit SpoolerControl(ServiceContext& context) : context_(context) {}
    // Stops the spoolers and waits for the spooler thread.
    ~SpoolerControl();
    SpoolerControl(const SpoolerControl&) = delete;
    SpoolerControl& operator=(const SpoolerControl&) = delete;

    // Starts when stopped, stops when running.
    void Toggle();
    // Starts the spooler thread. False (with "No spoolers enabled" on the error line) when
    // no spooler is enabled, or when the spoolers already run. A thread still finishing a
    // job from the last stop is waited for first: the engine takes one job at a time.
    bool Start();
    // Asks the spooler thread to finish and waits for it within the limits (4.9 s for its
    // loop, then 10 s for the thread); a job under way goes on past them.
    void Stop();
    bool Running() const { return context_.flags.running.load() != 0; }
    // The spooler thread has ended (settings may be edited only then).
    bool ThreadEnded() const { return threadEnded_.load(); }
    // Waits, without limit, until the spooler thread has ended.
    void WaitForThread();

private:
    void JoinIfEnded();

    ServiceContext& context_;
    std::mutex mutex_;
    std::thread thread_;
    std::atomic<bool> threadEnded_{true};
};

// True when at least one of spoolers 1..NumberOfSpoolers is enabled.
bool AnySpoolerEnabled(const Settings& settings);

}  // namespace plexivar
