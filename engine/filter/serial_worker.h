// One background thread that runs tasks one after another, in the order given. The
// resampling run hands it the encoding of each finished band, so that the Group 4 encoder
// works on band k while the filter computes band k + 1; the filter hands it the preparation of
// a band's rows while it diffuses them. At most one task is outstanding: Post
// waits for the previous task to finish, which is what lets the caller alternate between two
// band buffers safely.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vestrel {

class SerialWorker {
public:
    // A task returns false with a message when it fails.
    using Task = std::function<bool(std::string& error)>;

    SerialWorker();
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // Waits until the previous task has finished, then hands `task` to the thread. Returns
    // false (and drops `task`) when an earlier task failed; `error` then holds its message.
    bool Post(Task task, std::string* error);

    // Waits until every posted task has finished. False when one failed.
    bool Wait(std::string* error);

private:
    void Loop(std::stop_token stop);

    std::mutex mutex_;
    std::condition_variable changed_;
    Task task_;         // the task waiting to run or running, guarded by mutex_
    bool busy_ = false;
    bool failed_ = false;
    std::string error_;
    std::jthread thread_;  // last: started after the members it uses
};

}  // namespace vestrel
