// What the service tells observers beyond the operator view: counts and times for a status
// page and metrics. Called on the spooler thread (and the start/stop thread); an observer
// must return at once and never block it.
#pragma once

#include <string>

namespace plexivar {

class ServiceEvents {
public:
    virtual ~ServiceEvents() = default;
    // A scan of folder `folder` of spooler `spooler` (both 0-based; folders are the input
    // folder alone, or its colour sub-folders C, M, Y, K in this order) found `filesWaiting`
    // files (-1: folder unreadable), before any of them is handled. `folders` is how many
    // folders a visit of this spooler scans.
    virtual void SpoolerScanned(int spooler, int folder, int folders, int filesWaiting) = 0;
    // A job ended: its status text as recorded ("Done" or "Error"), whether the file was
    // passed through, and its wall time in seconds.
    virtual void JobFinished(int spooler, const std::string& fileName, const std::string& status,
                             bool passThrough, double seconds) = 0;
    // The spoolers were started or stopped.
    virtual void RunStateChanged(bool running) = 0;
};

}  // namespace plexivar
