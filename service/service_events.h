// What the service tells observers beyond the operator view: counts and times for a status
// page and metrics. Called on the spooler thread (and the start/stop thread); an observer
// must return at once and never block it.
#pragma once

#include <string>

namespace plexivar {

class ServiceEvents {
public:
    virtual ~ServiceEvents() = default;
    // A scan of spooler `spooler` (0-based) found `filesWaiting` files (-1: folder unreadable).
    virtual void SpoolerScanned(int spooler, int filesWaiting) = 0;
    // A job ended: its status text as recorded ("Done" or "Error"), whether the file was
    // passed through, and its wall time in seconds.
    virtual void JobFinished(int spooler, const std::string& fileName, const std::string& status,
                             bool passThrough, double seconds) = 0;
    // The spoolers were started or stopped.
    virtual void RunStateChanged(bool running) = 0;
};

}  // namespace plexivar
