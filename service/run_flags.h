// The flags that start, stop and watch the spooler thread, shared by the thread that runs
// the commands (window, signal handler), the spooler thread and the autostart thread. Each
// is written by one side and polled by the other.
#pragma once

#include <atomic>
#include <ctime>

namespace plexivar {

struct RunFlags {
    std::atomic<int> running{0};        // spoolers started (set and cleared by start/stop)
    std::atomic<int> stopRequested{0};  // asks the spooler thread to finish
    std::atomic<int> loopAlive{0};      // the spooler thread is in its loop
    std::atomic<int> settingsOpen{1};   // initialising, or a settings dialog is open
    std::atomic<int> exitRequested{0};  // the program is closing
    // Calendar seconds of the last start, stop or settings change; the autostart counts
    // from it.
    std::atomic<std::time_t> runStateTime{0};
};

}  // namespace plexivar
