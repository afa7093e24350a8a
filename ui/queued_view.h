// The operator view that the service reports to while the window is open. The service
// calls it from any thread (the spooler thread, the autostart thread, the window's own);
// each call is queued and replayed, in the order it was made, on the thread that owns this
// object, into the target view (the main window). A caller never waits for the window.
//
// The queue is drained in slices of a few milliseconds, so that a burst of thousands of
// updates (a spooler catching up on a full folder) leaves the window able to repaint and
// take input between slices.
#pragma once

#include <QObject>

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>

#include "service/report/operator_view.h"

namespace plexivar::ui {

class QueuedView : public QObject, public OperatorView {
    Q_OBJECT
public:
    // Time spent replaying calls before the event loop gets its turn again.
    static constexpr std::chrono::milliseconds kSlice{15};

    explicit QueuedView(QObject* parent = nullptr);

    // The view the calls are replayed into; null drops them. Only on the owning thread.
    void SetTarget(OperatorView* target) { target_ = target; }

    void ShowJobRow(const StatusListUpdate& update) override;
    void ShowErrorLine(const std::string& text) override;
    void ShowStatusText(const std::string& text) override;
    void ShowProgress(int percent, const std::string& caption) override;
    void ShowSpoolerImage(int index, int image) override;
    void ShowRunState(bool running) override;
    void ShowMessage(const std::string& text) override;

    // Replays every call queued so far at once (the window does this before it closes).
    void Flush();
    // Calls waiting to be replayed.
    std::size_t Pending() const;

private:
    using Call = std::function<void(OperatorView&)>;
    void Post(Call call);
    // Replays calls for up to one slice; asks for another turn when calls remain.
    void Drain();
    // Takes the oldest call, or an empty function when none is left (and then lets the
    // next Post ask for a drain).
    Call Take();

    OperatorView* target_ = nullptr;
    mutable std::mutex mutex_;
    std::deque<Call> calls_;
    bool drainRequested_ = false;  // a Drain is posted and has not yet emptied the queue
};

}  // namespace plexivar::ui
