#include "service/spooler_control.h"

#include <chrono>

#include "service/database_reports.h"
#include "service/report/job_record.h"
#include "service/report/operator_view.h"
#include "service/spooler_loop.h"

namespace plexivar {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kStopPause{500};
constexpr milliseconds kWaitStep{100};
constexpr int kLoopWaitSteps = 49;     // 4.9 s for the loop to leave
constexpr int kThreadWaitSteps = 100;  // then 10 s for the thread to end

}  // namespace

bool AnySpoolerEnabled(const Settings& settings) {
    const int count = std::min(settings.service.NumberOfSpoolers, MaxSpoolers);
    for (int n = 1; n <= count; ++n)
        if (settings.Spooler(n).Enable != 0) return true;
    return false;
}

SpoolerControl::~SpoolerControl() {
    if (Running()) Stop();
    WaitForThread();
}

void SpoolerControl::Toggle() {
    if (Running())
        Stop();
    else
        Start();
}

bool SpoolerControl::Start() {
    std::lock_guard lock(mutex_);
    RunFlags& flags = context_.flags;
    if (flags.running.load() != 0) return false;
    flags.stopRequested = 0;
    flags.runStateTime = context_.clock.Now();
    if (!AnySpoolerEnabled(context_.settings)) {
        ShowError("No spoolers enabled");
        return false;
    }
    if (thread_.joinable()) thread_.join();
    threadEnded_ = false;
    flags.loopAlive = 1;
    thread_ = std::thread([this] {
        SpoolerLoop(context_).Run();
        threadEnded_ = true;
    });
    flags.running = 1;
    ShowRunState(true);
    if (context_.events) context_.events->RunStateChanged(true);
    SetStatusText("Started");
    ReportProcessState(context_.database, context_.service(), true);
    return true;
}

void SpoolerControl::Stop() {
    std::lock_guard lock(mutex_);
    RunFlags& flags = context_.flags;
    if (flags.running.load() == 0) return;
    flags.stopRequested = 1;
    context_.clock.Sleep(kStopPause);
    SetStatusText("Stopping...");
    for (int i = 0; i < kLoopWaitSteps && flags.loopAlive.load() != 0; ++i)
        context_.clock.Sleep(kWaitStep);
    for (int i = 0; i < kThreadWaitSteps && !threadEnded_.load(); ++i)
        context_.clock.Sleep(kWaitStep);
    JoinIfEnded();
    flags.runStateTime = context_.clock.Now();
    flags.running = 0;
    SetStatusText("Stopped");
    ShowError("");
    ShowRunState(false);
    if (context_.events) context_.events->RunStateChanged(false);
    ReportProcessState(context_.database, context_.service(), false);
}

void SpoolerControl::WaitForThread() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) thread_.join();
}

void SpoolerControl::JoinIfEnded() {
    if (threadEnded_.load() && thread_.joinable()) thread_.join();
}

}  // namespace plexivar
