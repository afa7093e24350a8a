// What must hold before the service runs: a processor the engine runs on, a single running
// copy (unless several are allowed), the program's "temp" folder, and the marker file
// "Running" in the program directory, locked for the life of the process.
#pragma once

#include <string>

#include "platform/process_lock.h"

namespace plexivar {

inline constexpr const char* kProcessorMessage =
    "Pentium IV with SIMD2 or SIMD3 instruction set is required";
inline constexpr const char* kAnotherInstanceMessage =
    "Another instance of Plexivar already exist!";
// The single-instance lock's name, in the runtime folder.
inline constexpr const char* kInstanceLockName = "ovinterface_mutex";

// The single-instance lock file: kInstanceLockName in the runtime folder.
std::string InstanceLockPath();
// The local socket beside the lock, named after it, on which the copy that holds the lock
// listens: a second copy connects to it to ask for the running window to be raised.
std::string InstanceChannelPath();

class ProcessGuards {
public:
    // Takes the guards for `programDir`. False with the message to show when the processor
    // lacks the engine's instructions or another copy runs; the process should then end.
    // `AllowMultipleInstances` is read from the ini file here, before the settings are.
    bool Acquire(const std::string& programDir, std::string& message);
    // True when this process holds the single-instance lock (false when several copies
    // are allowed): only then may it serve the raise channel.
    bool HoldsInstanceLock() const { return instance_.Held(); }

private:
    platform::ProcessLock instance_;
    platform::ProcessLock marker_;
};

}  // namespace plexivar
