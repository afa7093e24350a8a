#include "platform/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
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

// Waits for `pid` on a thread of its own, so that a command left running is reaped when it
// finally ends.
void ReapLater(pid_t pid) {
    std::thread([pid] {
        int raw = 0;
        while (::waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

}  // namespace

CommandResult RunShellCommand(const std::string& commandLine, std::chrono::milliseconds limit,
                              Clock& clock) {
    CommandResult result;
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
            ReapLater(pid);
            result.outcome = CommandOutcome::TimedOut;
            return result;
        }
        clock.Sleep(kPollStep);
    }
}

}  // namespace plexivar::platform
