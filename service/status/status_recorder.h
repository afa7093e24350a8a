// Records what the service shows and reports, for the status endpoint. It stands between
// the service and the real operator view (the window or the console): every view call is
// passed on unchanged, then recorded. Scans, finished jobs and the run state arrive as
// service events.
//
// After every change the recorder publishes a new immutable StatusSnapshot by swapping one
// atomic pointer. Readers (request threads) only load that pointer: they never take the
// recorder's lock, so no request can block or slow the thread that reports. The lock is
// taken only by the service's own threads (spooler thread, start/stop), for a few
// microseconds: publishing copies the small texts and one pointer per job row.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "service/config/settings.h"
#include "service/report/operator_view.h"
#include "service/service_events.h"
#include "service/status/status_snapshot.h"

namespace plexivar {

class StatusRecorder final : public OperatorView, public ServiceEvents {
  public:
    // `inner` gets every view call first (may be null). The spooler list comes from
    // `settings` (read again whenever the spoolers start, since settings change only while
    // they are stopped); times from `clock`. Both must outlive the recorder, and no service
    // thread may still report to it when it goes away.
    StatusRecorder(OperatorView* inner, const Settings& settings, platform::Clock& clock);
    StatusRecorder(const StatusRecorder&) = delete;
    StatusRecorder& operator=(const StatusRecorder&) = delete;

    // The latest snapshot; never null. Safe from any thread.
    std::shared_ptr<const StatusSnapshot> Current() const { return current_.load(); }

    void ShowJobRow(const StatusListUpdate& update) override;
    void ShowErrorLine(const std::string& text) override;
    void ShowStatusText(const std::string& text) override;
    void ShowProgress(int percent, const std::string& caption) override;
    void ShowSpoolerImage(int index, int image) override;
    void ShowRunState(bool running) override;
    void ShowMessage(const std::string& text) override;

    void SpoolerScanned(int spooler, int folder, int folders, int filesWaiting) override;
    void JobFinished(int spooler, const std::string& fileName, const std::string& status,
                     bool passThrough, double seconds) override;
    void RunStateChanged(bool running) override;

  private:
    // Files found per scanned folder in the latest visit of one spooler (the input folder,
    // or its four colour sub-folders), less the jobs that took them since.
    struct ScanTally {
        std::vector<int> perFolder;
        std::vector<bool> readable;
        std::size_t current = 0;  // folder whose files the jobs are taking now
    };

    // Sets the status or error line and publishes when it changed.
    void ReplaceLine(std::string StatusSnapshot::*line, const std::string& text);
    // These run with mutex_ held.
    void LoadSpoolers();
    void Publish(bool jobsChanged);
    SpoolerStatus* Spooler(int index);
    void UpdateWaiting(int index);

    OperatorView* inner_;
    const Settings& settings_;
    platform::Clock& clock_;

    std::mutex mutex_;
    StatusSnapshot state_;  // the working copy; only its published copies are shared
    std::vector<ScanTally> tallies_;
    std::atomic<std::shared_ptr<const StatusSnapshot>> current_;
};

}  // namespace plexivar
