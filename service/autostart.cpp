#include "service/autostart.h"

#include <chrono>
#include <ctime>

#include "platform/c_locale.h"
#include "service/report/operator_view.h"

namespace plexivar {
namespace {

constexpr std::chrono::milliseconds kSleepStep{123};
constexpr int kStepsPerCheck = 30;

// Calendar years up to 2000 mean that the clock was not set.
bool ClockSet(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    return local.tm_year + 1900 > 2000;
}

}  // namespace

Autostart::~Autostart() { StopThread(); }

void Autostart::StopThread() {
    context_.flags.exitRequested = 1;
    if (thread_.joinable()) thread_.join();
}

void Autostart::StartThread() {
    if (thread_.joinable()) return;
    thread_ = std::thread([this] {
        while (context_.flags.exitRequested.load() == 0) {
            for (int i = 0; i < kStepsPerCheck; ++i) {
                if (context_.flags.exitRequested.load() != 0) return;
                context_.clock.Sleep(kSleepStep);
            }
            Check();
        }
    });
}

void Autostart::Check() {
    const RunFlags& flags = context_.flags;
    // The flags first: while a settings dialog is open its OK may be copying the settings.
    if (flags.settingsOpen.load() != 0 || flags.running.load() != 0) return;
    const int after = context_.service().AutoStartMinutes;
    if (after < 1) return;
    const std::time_t since = flags.runStateTime.load();
    if (!ClockSet(since)) return;
    const long minutes = static_cast<long>((context_.clock.Now() - since) / 60);
    if (after < minutes) {
        control_.Start();
        SetStatusText("");
    } else {
        SetStatusText(platform::Format("Autostarting in %ld minutes..", after - minutes));
    }
}

}  // namespace plexivar
