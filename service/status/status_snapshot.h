// What the status endpoint answers from: an immutable picture of what the operator window
// would show (status line, error line, progress, spooler icons, the job list) plus counts
// since the service started. The service side builds a new snapshot after every change and
// publishes it whole; a request holds on to the snapshot it took and never sees it change.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "service/report/status_list.h"

namespace plexivar {

struct JobCounts {
    std::uint64_t done = 0;
    std::uint64_t error = 0;
};

// Job wall times in seconds, as Prometheus histogram buckets: counts[i] holds the jobs of
// at most kBounds[i] seconds that did not fit an earlier bucket; the last count is the
// jobs beyond the last bound. Bounds cover pass-through deliveries (tenths of a second)
// up to plates resampled for minutes.
struct JobSecondsHistogram {
    static constexpr std::array<double, 11> kBounds = {0.1, 0.25, 0.5, 1,   2.5, 5,
                                                       10,  30,   60,  120, 300};
    std::array<std::uint64_t, kBounds.size() + 1> counts{};
    double sum = 0.0;
    std::uint64_t count = 0;

    void Add(double seconds);
};

enum class SpoolerState { Idle, Searching, Disabled, Stopped };

// "idle", "searching", "disabled", "stopped".
const char* SpoolerStateName(SpoolerState state);

struct SpoolerStatus {
    int number = 0;  // 1-based, as in the ini keys
    std::string inputFolder;
    std::string outputFolder;
    bool enabled = true;
    bool searching = false;  // the icon shows the spooler being searched
    // Files found by the latest scan of the spooler's folder(s) and not yet taken by a job.
    int filesWaiting = 0;
    bool inputReadable = true;  // false when the latest scan could not read the folder
    JobCounts jobs;
    // Last job that ended "Done"; 0 when none since the service started.
    std::time_t lastDelivery = 0;

    SpoolerState State(bool running) const;
};

struct StatusSnapshot {
    // Rises with every publication; an unchanged version means unchanged content.
    std::uint64_t version = 0;
    // Rises only when the job list or the job counts change.
    std::uint64_t jobsVersion = 0;
    std::time_t startedAt = 0;  // when the status recording began (calendar seconds)
    std::time_t takenAt = 0;    // when this snapshot was published

    bool running = false;  // the spoolers run
    std::string statusLine;
    std::string errorLine;
    int progress = 0;  // 0..100
    std::string progressCaption;

    std::vector<SpoolerStatus> spoolers;  // spoolers 1..NumberOfSpoolers
    // The job list, oldest row first, at most 501 rows. Rows are shared between snapshots:
    // publishing copies pointers, not texts.
    std::vector<std::shared_ptr<const StatusRow>> rows;

    JobCounts jobs;  // all spoolers
    JobSecondsHistogram passThroughSeconds;
    JobSecondsHistogram engineSeconds;
};

// What the endpoint samples from the service besides the snapshot; reading it may wait on
// the database link, so it is never read on the spooler thread.
struct ServiceHealth {
    bool databaseInUse = false;  // the database link is configured and started
    bool databaseConnected = false;
    bool engineBound = false;  // the engine's resampling functions are bound
};

}  // namespace plexivar
