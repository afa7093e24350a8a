#include "app/headless_command.h"

#include <signal.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/database_factory.h"
#include "platform/program_dir.h"
#include "platform/service_manager.h"
#include "service/process_guards.h"
#include "service/report/console_view.h"
#include "service/report/job_record.h"
#include "service/service_runtime.h"
#include "service/status/status_reporting.h"

namespace plexivar {
namespace {

// Unsets the operator view when the headless run ends, however it ends.
class ViewScope {
public:
    explicit ViewScope(OperatorView& view) { SetOperatorView(&view); }
    ~ViewScope() { SetOperatorView(nullptr); }
    ViewScope(const ViewScope&) = delete;
    ViewScope& operator=(const ViewScope&) = delete;
};

// SIGINT and SIGTERM are blocked in every thread and taken by the main thread with
// sigwait, so that the shut-down runs as ordinary code, not in a signal handler.
sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

int WaitForStopSignal(const sigset_t& set) {
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    return signal;
}

}  // namespace

int RunHeadless(const HeadlessOptions& options) {
    const sigset_t stopSignals = StopSignals();
    // Before any thread exists, so that every thread inherits the mask.
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    ConsoleView view(stdout, stderr, platform::WritingToJournal(), options.verbose);
    ViewScope scope(view);
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

    const int signal = WaitForStopSignal(stopSignals);
    platform::NotifyStopping();
    view.ShowStatusText(signal == SIGINT ? "Interrupted, stopping.." : "Terminated, stopping..");
    runtime.ShutDown();
    return 0;
}

}  // namespace plexivar
