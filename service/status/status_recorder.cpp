#include "service/status/status_recorder.h"

#include <algorithm>
#include <numeric>

namespace plexivar {

StatusRecorder::StatusRecorder(OperatorView* inner, const Settings& settings,
                               platform::Clock& clock)
    : inner_(inner), settings_(settings), clock_(clock) {
    std::lock_guard lock(mutex_);
    state_.startedAt = clock_.Now();
    LoadSpoolers();
    Publish(true);
}

void StatusRecorder::LoadSpoolers() {
    const int count = std::clamp(settings_.service.NumberOfSpoolers, 0, MaxSpoolers);
    std::vector<SpoolerStatus> spoolers(static_cast<std::size_t>(count));
    for (int n = 1; n <= count; ++n) {
        SpoolerStatus& s = spoolers[static_cast<std::size_t>(n - 1)];
        // Counts and times survive a reload: the same number is the same spooler.
        if (n <= static_cast<int>(state_.spoolers.size()))
            s = state_.spoolers[static_cast<std::size_t>(n - 1)];
        const SpoolerSettings& config = settings_.Spooler(n);
        s.number = n;
        s.inputFolder = config.InputFolder;
        s.outputFolder = config.OutputFolder;
        s.enabled = config.Enable != 0;
        s.searching = false;
    }
    state_.spoolers = std::move(spoolers);
    // Folders may have changed with the settings: scans count afresh from the next pass.
    tallies_.assign(state_.spoolers.size(), ScanTally{});
}

void StatusRecorder::Publish(bool jobsChanged) {
    ++state_.version;
    if (jobsChanged)
        ++state_.jobsVersion;
    state_.takenAt = clock_.Now();
    current_.store(std::make_shared<const StatusSnapshot>(state_));
}

SpoolerStatus* StatusRecorder::Spooler(int index) {
    if (index < 0 || index >= static_cast<int>(state_.spoolers.size()))
        return nullptr;
    return &state_.spoolers[static_cast<std::size_t>(index)];
}

void StatusRecorder::UpdateWaiting(int index) {
    const ScanTally& tally = tallies_[static_cast<std::size_t>(index)];
    SpoolerStatus& s = state_.spoolers[static_cast<std::size_t>(index)];
    s.filesWaiting = std::accumulate(tally.perFolder.begin(), tally.perFolder.end(), 0);
    s.inputReadable = std::all_of(tally.readable.begin(), tally.readable.end(),
                                  [](bool readable) { return readable; });
}

void StatusRecorder::ShowJobRow(const StatusListUpdate& update) {
    if (inner_)
        inner_->ShowJobRow(update);
    std::lock_guard lock(mutex_);
    auto& rows = state_.rows;
    const auto removed = std::min<std::size_t>(
        static_cast<std::size_t>(std::max(update.removedFromTop, 0)), rows.size());
    rows.erase(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(removed));
    auto row = std::make_shared<const StatusRow>(update.row);
    const auto index = static_cast<std::size_t>(std::max(update.index, 0));
    if (update.appended || index >= rows.size())
        rows.push_back(std::move(row));
    else
        rows[index] = std::move(row);
    Publish(true);
}

void StatusRecorder::ReplaceLine(std::string StatusSnapshot::*line, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (state_.*line == text)
        return;
    state_.*line = text;
    Publish(false);
}

void StatusRecorder::ShowErrorLine(const std::string& text) {
    if (inner_)
        inner_->ShowErrorLine(text);
    ReplaceLine(&StatusSnapshot::errorLine, text);
}

void StatusRecorder::ShowStatusText(const std::string& text) {
    if (inner_)
        inner_->ShowStatusText(text);
    ReplaceLine(&StatusSnapshot::statusLine, text);
}

void StatusRecorder::ShowProgress(int percent, const std::string& caption) {
    if (inner_)
        inner_->ShowProgress(percent, caption);
    std::lock_guard lock(mutex_);
    const int clamped = std::clamp(percent, 0, 100);
    if (state_.progress == clamped && state_.progressCaption == caption)
        return;
    state_.progress = clamped;
    state_.progressCaption = caption;
    Publish(false);
}

void StatusRecorder::ShowSpoolerImage(int index, int image) {
    if (inner_)
        inner_->ShowSpoolerImage(index, image);
    std::lock_guard lock(mutex_);
    SpoolerStatus* s = Spooler(index);
    if (!s)
        return;
    s->enabled = image != kSpoolerDisabled;
    s->searching = image == kSpoolerSearching;
    Publish(false);
}

void StatusRecorder::ShowRunState(bool running) {
    if (inner_)
        inner_->ShowRunState(running);
    RunStateChanged(running);
}

void StatusRecorder::ShowMessage(const std::string& text) {
    if (inner_)
        inner_->ShowMessage(text);
}

void StatusRecorder::SpoolerScanned(int spooler, int folder, int folders, int filesWaiting) {
    std::lock_guard lock(mutex_);
    if (!Spooler(spooler) || folder < 0 || folder >= folders)
        return;
    ScanTally& tally = tallies_[static_cast<std::size_t>(spooler)];
    const auto at = static_cast<std::size_t>(folder);
    // A different set of folders (the colour detection was changed) starts the tally over.
    if (tally.perFolder.size() != static_cast<std::size_t>(folders)) {
        tally.perFolder.assign(static_cast<std::size_t>(folders), 0);
        tally.readable.assign(static_cast<std::size_t>(folders), true);
    }
    tally.perFolder[at] = std::max(filesWaiting, 0);
    tally.readable[at] = filesWaiting >= 0;
    tally.current = at;
    UpdateWaiting(spooler);
    Publish(false);
}

void StatusRecorder::JobFinished(int spooler, const std::string&, const std::string& status,
                                 bool passThrough, double seconds) {
    std::lock_guard lock(mutex_);
    const bool done = status == "Done";
    (done ? state_.jobs.done : state_.jobs.error) += 1;
    (passThrough ? state_.passThroughSeconds : state_.engineSeconds).Add(seconds);
    if (SpoolerStatus* s = Spooler(spooler)) {
        (done ? s->jobs.done : s->jobs.error) += 1;
        if (done)
            s->lastDelivery = clock_.Now();
        // The job took one of the files the latest scan found: done or failed, it has
        // left the hot folder (failed inputs go to its "error" sub-folder).
        ScanTally& tally = tallies_[static_cast<std::size_t>(spooler)];
        if (tally.current < tally.perFolder.size() && tally.perFolder[tally.current] > 0)
            --tally.perFolder[tally.current];
        UpdateWaiting(spooler);
    }
    Publish(true);
}

void StatusRecorder::RunStateChanged(bool running) {
    std::lock_guard lock(mutex_);
    if (state_.running == running)
        return;
    state_.running = running;
    if (running)
        LoadSpoolers();
    Publish(false);
}

}  // namespace plexivar
