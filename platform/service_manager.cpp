#include "platform/service_manager.h"

#include <systemd/sd-daemon.h>

#include <atomic>
#include <chrono>
#include <cstdlib>

namespace plexivar::platform {

void NotifyReady(const std::string& status) {
    sd_notifyf(0, "READY=1\nSTATUS=%s", status.c_str());
}

void NotifyStopping() { sd_notify(0, "STOPPING=1"); }

void NotifyStatus(const std::string& status) { sd_notifyf(0, "STATUS=%s", status.c_str()); }

void NotifyWatchdog() {
    // At most one datagram per second, whoever calls.
    static std::atomic<std::int64_t> last{0};
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    std::int64_t previous = last.load();
    if (now == previous || !last.compare_exchange_strong(previous, now)) return;
    sd_notify(0, "WATCHDOG=1");
}

bool WritingToJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    return stream != nullptr && *stream != '\0';
}

}  // namespace plexivar::platform
