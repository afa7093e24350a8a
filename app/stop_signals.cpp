#include "app/stop_signals.h"

#include <pthread.h>

namespace plexivar {
namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void BlockStopSignals() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int WaitForStopSignal() {
    const sigset_t set = StopSignals();
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    return signal;
}

StopSignalWatcher::StopSignalWatcher(std::function<void(int)> onSignal)
    : thread_([this, onSignal = std::move(onSignal)] {
          const int signal = WaitForStopSignal();
          if (!ending_.load()) onSignal(signal);
      }) {}

StopSignalWatcher::~StopSignalWatcher() {
    // The watcher's own SIGTERM, sent to its thread alone, ends the wait.
    ending_ = true;
    pthread_kill(thread_.native_handle(), SIGTERM);
    thread_.join();
}

}  // namespace plexivar
