// Telling the service manager (systemd) how the service is doing: ready, stopping, a status
// text, and the watchdog's keep-alive. Does nothing when the process was not started by a
// service manager that listens.
#pragma once

#include <string>

namespace plexivar::platform {

void NotifyReady(const std::string& status);
void NotifyStopping();
void NotifyStatus(const std::string& status);
// Keeps the watchdog satisfied; cheap enough to call often (rate-limited inside).
void NotifyWatchdog();

// True when standard output and error are connected to the journal, which then reads a
// "<N>" priority prefix at the start of each line.
bool WritingToJournal();

}  // namespace plexivar::platform
