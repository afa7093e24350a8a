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

class ProcessGuards {
public:
    // Takes the guards for `programDir`. False with the message to show when the processor
    // lacks the engine's instructions or another copy runs; the process should then end.
    // `AllowMultipleInstances` is read from the ini file here, before the settings are.
    bool Acquire(const std::string& programDir, std::string& message);

private:
    platform::ProcessLock instance_;
    platform::ProcessLock marker_;
};

}  // namespace plexivar
