#include "service/run_command.h"

#include "platform/child_process.h"
#include "service/report/log_file.h"

namespace plexivar {

int RunCommand(const std::string& commandLine, int timeoutSeconds, platform::Clock& clock) {
    if (commandLine.size() > kMaxCommandLine) {
        WriteLog("DoCreateProcessEx (%s) returned false", commandLine.c_str());
        return 0;
    }
    const platform::CommandResult result = platform::RunShellCommand(
        commandLine, std::chrono::seconds(timeoutSeconds > 0 ? timeoutSeconds : 0), clock);
    if (result.outcome == platform::CommandOutcome::StillRunning) {
        WriteLog("WARNING: Command %s still running from an earlier start; not started again",
                 commandLine.c_str());
        return 0;
    }
    if (result.outcome == platform::CommandOutcome::NotStarted) {
        WriteLog("DoCreateProcessEx (%s) returned false", commandLine.c_str());
        return 0;
    }
    if (result.outcome == platform::CommandOutcome::TimedOut)
        WriteLog("WARNING: Command %s still running after %d seconds; left running",
                 commandLine.c_str(), timeoutSeconds);
    WriteLog("DoCreateProcessEx (%s) returned ok", commandLine.c_str());
    return 1;
}

}  // namespace plexivar
