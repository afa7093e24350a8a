#include "app/headless_command.h"

#include <cstdio>
#include <memory>
#include <string>

#include "app/database_factory.h"
#include "app/stop_signals.h"
#include "platform/program_dir.h"
#include "platform/service_manager.h"
#include "service/process_guards.h"
#include "service/report/console_view.h"
#include "service/report/job_record.h"
#include "service/service_runtime.h"
#include "service/status/status_reporting.h"

namespace plexivar {

int RunHeadless(const HeadlessOptions& options) {
    // Before any thread exists, so that every thread inherits the mask.
    BlockStopSignals();

    ConsoleView view(stdout, stderr, platform::WritingToJournal(), options.verbose);
    ScopedOperatorView scope(view);
    const std::string programDir = platform::ProgramDirectory();

    ProcessGuards guards;
    std::string message;
    if (!guards.Acquire(programDir, message)) {
        view.ShowMessage(message);
        return 1;
    }

    ServiceRuntime runtime(programDir);
    runtime.SetHeartbeat([] { platform::NotifyWatchdog(); });
    runtime.Initialise(platform::ExecutableDirectory());
    const std::unique_ptr<ProductionDatabase> database = MakeProductionDatabase(runtime.settings());
    const bool databaseReady = runtime.StartDatabase(database.get());
    runtime.flags().settingsOpen = 0;
    if (!databaseReady) return 1;
    // Records what the console shows for the status endpoint; serves it when configured.
    StatusReporting status(runtime, view);
    status.Start();
    runtime.StartAutostart();
    if (!runtime.control().Start()) return 1;

    const int enabled = [&] {
        int n = 0;
        for (int i = 1; i <= std::min(runtime.settings().service.NumberOfSpoolers, MaxSpoolers); ++i)
            n += runtime.settings().Spooler(i).Enable != 0;
        return n;
    }();
    platform::NotifyReady("Serving " + std::to_string(enabled) + " hot folder(s)");

    const int signal = WaitForStopSignal();
    platform::NotifyStopping();
    view.ShowStatusText(signal == SIGINT ? "Interrupted, stopping.." : "Terminated, stopping..");
    runtime.ShutDown();
    return 0;
}

}  // namespace plexivar
