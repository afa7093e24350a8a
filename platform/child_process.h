// External commands run through the shell, waited for up to a limit. A command that
// outlives its limit is left running; a background thread reaps it when it ends, so that
// no zombie stays behind. Until then the same command line is not started again: a command
// that hangs (a mount of a server that does not answer) would otherwise be started anew at
// every attempt and pile up.
#pragma once

#include <chrono>
#include <string>

#include "platform/clock.h"

namespace plexivar::platform {

enum class CommandOutcome {
    NotStarted,  // the shell could not be started (error text filled)
    Finished,    // the command ended within the limit (exit status filled)
    TimedOut,    // still running at the limit; left running
    StillRunning,  // not started: an earlier start of the same command line still runs
};

struct CommandResult {
    CommandOutcome outcome = CommandOutcome::NotStarted;
    int exitStatus = -1;  // exit code, or 128 + signal number
    std::string error;
};

// Starts "/bin/sh -c <commandLine>" with standard input from /dev/null, standard output and
// error inherited, and no other descriptor. Waits until it ends or `limit` has passed on
// `clock` (a limit of zero or less waits without limit).
CommandResult RunShellCommand(const std::string& commandLine, std::chrono::milliseconds limit,
                              Clock& clock);

}  // namespace plexivar::platform
