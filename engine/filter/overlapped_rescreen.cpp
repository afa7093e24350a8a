#include "engine/filter/overlapped_rescreen.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "engine/filter/resample_sampling.h"

namespace vestrel {

namespace {

// Hand-over of prepared rows from the worker to the diffusing thread. A side is woken only
// when what it waits for has come: the diffusing thread as soon as its row is ready, the
// worker (usually the faster one, so usually the one waiting) only once half the ring is free
// again, so that the diffusing thread does not pay for waking it after every row. A side is
// woken after the lock is released, so that it does not wake only to wait for the lock.
class Handover {
  public:
    explicit Handover(int ringRows) : ringRows_(ringRows) {}

    // Worker: waits until row r may be prepared (its slot has been diffused). False when the
    // band is given up.
    bool WaitForSlot(int r) {
        std::unique_lock lock(mutex_);
        if (r - consumed_ >= ringRows_ && !abandoned_) {
            workerWants_ = r - ringRows_ / 2 + 1;
            workerWoken_.wait(lock, [&] { return consumed_ >= workerWants_ || abandoned_; });
            workerWants_ = 0;
        }
        return !abandoned_;
    }
    void Prepared(int rows) { Advance(prepared_, rows, diffuserWants_, diffuserWoken_); }
    void Failed() {
        std::lock_guard lock(mutex_);
        failed_ = true;
        diffuserWoken_.notify_one();
    }

    // Diffusing thread: waits until row r is prepared. False when the worker failed.
    bool WaitForRow(int r) {
        std::unique_lock lock(mutex_);
        if (prepared_ <= r && !failed_) {
            diffuserWants_ = r + 1;
            diffuserWoken_.wait(lock, [&] { return prepared_ > r || failed_; });
            diffuserWants_ = 0;
        }
        return prepared_ > r;
    }
    void Consumed(int rows) { Advance(consumed_, rows, workerWants_, workerWoken_); }
    void Abandon() {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
        workerWoken_.notify_one();
    }

  private:
    // Sets `count` (prepared_ or consumed_) to `rows` and wakes the other side once when it
    // waits for `wants` rows and they are there now.
    void Advance(int& count, int rows, int& wants, std::condition_variable& woken) {
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            count = rows;
            wake = wants > 0 && count >= wants;
            if (wake)
                wants = 0;
        }
        if (wake)
            woken.notify_one();
    }

    const int ringRows_;
    std::mutex mutex_;
    std::condition_variable workerWoken_;
    std::condition_variable diffuserWoken_;
    int prepared_ = 0;       // rows 0 .. prepared_ - 1 are ready
    int consumed_ = 0;       // rows 0 .. consumed_ - 1 are diffused; their slots are free
    int workerWants_ = 0;    // while the worker waits: the consumed_ it waits for
    int diffuserWants_ = 0;  // while the diffusing thread waits: the prepared_ it waits for
    bool failed_ = false;
    bool abandoned_ = false;
};

}  // namespace

bool RescreenWorker::Ready(int rows, int width) {
    try {
        if (static_cast<int>(rows_.size()) < rows)
            rows_.resize(static_cast<std::size_t>(rows));
        for (PreparedRow& row : rows_)
            if (!row.Reserve(width)) {
                Release();
                return false;
            }
        if (!thread_)
            thread_.emplace();
    } catch (const std::exception&) {
        // No memory for the rows, or std::system_error: no thread to be had.
        Release();
        return false;
    }
    return true;
}

void RescreenWorker::Release() {
    thread_.reset();
    std::vector<PreparedRow>().swap(rows_);
}

int PreparedRingRows(int width) {
    constexpr std::int64_t kBudgetBytes = 4 * 1024 * 1024;
    const std::int64_t rowBytes = std::max<std::int64_t>(width, 1) * 2 * sizeof(float);
    return static_cast<int>(std::clamp<std::int64_t>(kBudgetBytes / rowBytes, 4, 64));
}

OverlapResult RescreenBandOverlapped(const std::function<bool(int)>& averageRows,
                                     const ResampleGeometry& g, const ColumnTables& tables,
                                     const SourceBlock& src, const RescreenParams& p,
                                     FilterRandom& random, ErrorRows& errors,
                                     RescreenWorker& worker, std::uint8_t* const* out,
                                     std::int64_t y, int h) {
    RowPreparer preparer;
    const int ringRows = PreparedRingRows(tables.w);
    if (!preparer.Start(g, tables, p) || !worker.Ready(ringRows, tables.w))
        return OverlapResult::kUnavailable;

    Handover handover(ringRows);
    // The thread is idle between bands, so the task starts at once. A task that fails leaves
    // the thread refusing further tasks; the later bands of the image then run on the caller.
    auto prepare = [&](std::string& why) {
        try {
            for (int r = 0; r < h; ++r) {
                if (!averageRows(SampledBlockRows(g, src, y + r))) {
                    why = "no memory to average the source rows";
                    handover.Failed();
                    return false;
                }
                if (!handover.WaitForSlot(r))
                    return true;
                preparer.Prepare(src, random, y + r, worker[r % ringRows], out[r]);
                handover.Prepared(r + 1);
            }
            return true;
        } catch (...) {
            // Nothing may leave the thread; the diffusing thread sees the band fail.
            why = "the rows could not be prepared";
            handover.Failed();
            return false;
        }
    };
    std::string unused;
    if (!worker.thread().Post(prepare, &unused))
        return OverlapResult::kUnavailable;

    bool complete = true;
    for (int r = 0; r < h; ++r) {
        if (!handover.WaitForRow(r)) {
            complete = false;
            break;
        }
        DiffusePreparedRow(worker[r % ringRows], p.maxValue, errors, out[r]);
        handover.Consumed(r + 1);
    }
    if (!complete)
        handover.Abandon();
    worker.thread().Wait(&unused);
    return complete ? OverlapResult::kDone : OverlapResult::kFailed;
}

}  // namespace vestrel
