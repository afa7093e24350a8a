#include "ui/queued_view.h"

namespace plexivar::ui {

QueuedView::QueuedView(QObject* parent) : QObject(parent) {}

void QueuedView::ShowJobRow(const StatusListUpdate& update) {
    Post([update](OperatorView& v) { v.ShowJobRow(update); });
}

void QueuedView::ShowErrorLine(const std::string& text) {
    Post([text](OperatorView& v) { v.ShowErrorLine(text); });
}

void QueuedView::ShowStatusText(const std::string& text) {
    Post([text](OperatorView& v) { v.ShowStatusText(text); });
}

void QueuedView::ShowProgress(int percent, const std::string& caption) {
    Post([percent, caption](OperatorView& v) { v.ShowProgress(percent, caption); });
}

void QueuedView::ShowSpoolerImage(int index, int image) {
    Post([index, image](OperatorView& v) { v.ShowSpoolerImage(index, image); });
}

void QueuedView::ShowRunState(bool running) {
    Post([running](OperatorView& v) { v.ShowRunState(running); });
}

void QueuedView::ShowMessage(const std::string& text) {
    Post([text](OperatorView& v) { v.ShowMessage(text); });
}

std::size_t QueuedView::Pending() const {
    std::lock_guard lock(mutex_);
    return calls_.size();
}

void QueuedView::Post(Call call) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
        wake = !drainRequested_;
        drainRequested_ = true;
    }
    // Posting an event never blocks; one posted Drain serves every call queued before it.
    if (wake) QMetaObject::invokeMethod(this, &QueuedView::Drain, Qt::QueuedConnection);
}

QueuedView::Call QueuedView::Take() {
    std::lock_guard lock(mutex_);
    if (calls_.empty()) {
        drainRequested_ = false;
        return {};
    }
    Call call = std::move(calls_.front());
    calls_.pop_front();
    return call;
}

void QueuedView::Drain() {
    const auto end = std::chrono::steady_clock::now() + kSlice;
    while (std::chrono::steady_clock::now() < end) {
        const Call call = Take();
        if (!call) return;
        if (target_) call(*target_);
    }
    // Time is up with calls left: continue after the events that arrived meanwhile.
    QMetaObject::invokeMethod(this, &QueuedView::Drain, Qt::QueuedConnection);
}

void QueuedView::Flush() {
    while (const Call call = Take())
        if (target_) call(*target_);
}

}  // namespace plexivar::ui
