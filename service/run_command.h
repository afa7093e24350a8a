// External commands that reconnect a network folder (for example a mount command), run
// through the shell and waited for up to a limit.
#pragma once

#include <string>

#include "platform/clock.h"

namespace plexivar {

// Longest command line accepted; longer ones are refused rather than cut.
inline constexpr std::size_t kMaxCommandLine = 255;

// Runs `commandLine` and waits for it up to `timeoutSeconds` (no limit when 0 or less); a
// command still running then is left running, and is not started again until it has
// ended. 1 when it was started, 0 when it was not (too long, no shell, or still running
// from an earlier start). Logs "DoCreateProcessEx (<command>) returned ok|false".
int RunCommand(const std::string& commandLine, int timeoutSeconds, platform::Clock& clock);

}  // namespace plexivar
