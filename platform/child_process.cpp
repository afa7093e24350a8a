#include "platform/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <mutex>
#include <set>
#include <thread>

#include "platform/file_ops.h"

extern char** environ;

namespace plexivar::platform {
namespace {

// How often a running command is looked at while waiting for it.
constexpr std::chrono::milliseconds kPollStep{20};

class SpawnActions {
public:
    SpawnActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
    ~SpawnActions() {
        if (ok_) posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    bool ok() const { return ok_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

int StatusOf(int raw) {
    if (WIFEXITED(raw)) return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
    return -1;
}

// The command lines of the commands left running, until they end.
class LeftRunning {
public:
    bool Contains(const std::string& commandLine) {
        std::lock_guard lock(mutex_);
        return lines_.count(commandLine) != 0;
    }
    void Add(const std::string& commandLine) {
        std::lock_guard lock(mutex_);
        lines_.insert(commandLine);
    }
    void Remove(const std::string& commandLine) {
        std::lock_guard lock(mutex_);
        lines_.erase(lines_.find(commandLine));
    }

private:
    std::mutex mutex_;
    std::multiset<std::string> lines_;
};

LeftRunning& CommandsLeftRunning() {
    static LeftRunning commands;
    return commands;
}

// Waits for `pid` on a thread of its own, so that a command left running is reaped when it
// finally ends; until then its command line counts as running.
void ReapLater(pid_t pid, const std::string& commandLine) {
    CommandsLeftRunning().Add(commandLine);
    std::thread([pid, commandLine] {
        int raw = 0;
        while (::waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
        }
        CommandsLeftRunning().Remove(commandLine);
    }).detach();
}

}  // namespace

CommandResult RunShellCommand(const std::string& commandLine, std::chrono::milliseconds limit,
                              Clock& clock) {
    CommandResult result;
    if (CommandsLeftRunning().Contains(commandLine)) {
        result.outcome = CommandOutcome::StillRunning;
        return result;
    }
    SpawnActions actions;
    if (!actions.ok() ||
        posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0) != 0 ||
        posix_spawn_file_actions_addclosefrom_np(actions.get(), 3) != 0) {
        result.error = SystemErrorText(ENOMEM);
        return result;
    }
    const char* argv[] = {"/bin/sh", "-c", commandLine.c_str(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, "/bin/sh", actions.get(), nullptr,
                               const_cast<char* const*>(argv), environ);
    if (rc != 0) {
        result.error = SystemErrorText(rc);
        return result;
    }
    const std::int64_t start = clock.MonotonicMs();
    for (;;) {
        int raw = 0;
        const pid_t done = ::waitpid(pid, &raw, WNOHANG);
        if (done == pid) {
            result.outcome = CommandOutcome::Finished;
            result.exitStatus = StatusOf(raw);
            return result;
        }
        if (done < 0 && errno != EINTR) {
            result.outcome = CommandOutcome::Finished;
            result.error = SystemErrorText(errno);
            return result;
        }
        if (limit.count() > 0 && clock.MonotonicMs() - start >= limit.count()) {
            ReapLater(pid, commandLine);
            result.outcome = CommandOutcome::TimedOut;
            return result;
        }
        clock.Sleep(kPollStep);
    }
}

}  // namespace plexivar::platform
