#include "engine/filter/serial_worker.h"

namespace vestrel {

SerialWorker::SerialWorker() : thread_([this](std::stop_token stop) { Loop(stop); }) {}

SerialWorker::~SerialWorker() {
    thread_.request_stop();
    {
        std::lock_guard lock(mutex_);
        changed_.notify_all();
    }
    thread_.join();
}

void SerialWorker::Loop(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] { return busy_ || stop.stop_requested(); });
        if (!busy_) return;  // stopping with nothing left to run
        Task task = std::move(task_);
        lock.unlock();
        std::string error;
        bool ok = false;
        try {
            ok = task(error);
        } catch (...) {
            // Nothing may leave the thread; the caller sees a failed task.
            error = "unexpected error while writing";
        }
        lock.lock();
        if (!ok && !failed_) {
            failed_ = true;
            error_ = error;
        }
        busy_ = false;
        changed_.notify_all();
    }
}

bool SerialWorker::Post(Task task, std::string* error) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !busy_; });
    if (failed_) {
        if (error) *error = error_;
        return false;
    }
    task_ = std::move(task);
    busy_ = true;
    changed_.notify_all();
    return true;
}

bool SerialWorker::Wait(std::string* error) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !busy_; });
    if (failed_ && error) *error = error_;
    return !failed_;
}

}  // namespace vestrel
