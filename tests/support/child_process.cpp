#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace plexivar::testing {
namespace {

// The pieces posix_spawn needs, released on every path.
struct SpawnActions {
    posix_spawn_file_actions_t actions;
    SpawnActions() { posix_spawn_file_actions_init(&actions); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
};

// This process's environment with `changes` applied: "NAME=value" sets, "NAME" removes.
std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& changes) {
    std::vector<std::string> env;
    const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool changed = false;
        for (const std::string& change : changes) changed = changed || nameOf(change) == nameOf(text);
        if (!changed) env.push_back(text);
    }
    for (const std::string& change : changes)
        if (change.find('=') != std::string::npos) env.push_back(change);
    return env;
}

int ExitStatus(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw); }

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts `argv` with the prepared file actions; the pid, or -1 with `error` set.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& workingDir,
            const std::vector<std::string>& environment, posix_spawn_file_actions_t& actions,
            std::string& error) {
    if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    std::vector<std::string> args = argv;
    std::vector<std::string> env = ChangedEnvironment(environment);
    std::vector<char*> argPointers = Pointers(args);
    std::vector<char*> envPointers = Pointers(env);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argPointers[0], &actions, nullptr, argPointers.data(),
                                envPointers.data());
    if (rc != 0) {
        error = argv[0] + ": " + std::strerror(rc);
        return -1;
    }
    return pid;
}

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv, const std::string& workingDir,
                     const std::vector<std::string>& environment) {
    ChildResult result;
    if (argv.empty()) return result;
    std::array<int, 2> pipeEnds{};
    if (pipe2(pipeEnds.data(), O_CLOEXEC) != 0) {
        result.output = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    SpawnActions spawn;
    posix_spawn_file_actions_addopen(&spawn.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&spawn.actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&spawn.actions, pipeEnds[1], STDERR_FILENO);
    const pid_t pid = Spawn(argv, workingDir, environment, spawn.actions, result.output);
    close(pipeEnds[1]);
    if (pid < 0) {
        close(pipeEnds[0]);
        return result;
    }
    result.started = true;
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = read(pipeEnds[0], buffer.data(), buffer.size());
        if (n > 0) {
            result.output.append(buffer.data(), static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = ExitStatus(status);
    return result;
}

BackgroundChild::BackgroundChild(const std::vector<std::string>& argv,
                                 const std::string& workingDir,
                                 const std::vector<std::string>& environment,
                                 const std::string& outputFile) {
    if (argv.empty()) return;
    SpawnActions spawn;
    posix_spawn_file_actions_addopen(&spawn.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&spawn.actions, STDOUT_FILENO, outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&spawn.actions, STDOUT_FILENO, STDERR_FILENO);
    std::string error;
    pid_ = Spawn(argv, workingDir, environment, spawn.actions, error);
}

BackgroundChild::~BackgroundChild() {
    if (pid_ > 0 && status_ < 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

int BackgroundChild::Stop(int signal, int seconds) {
    if (pid_ <= 0 || status_ >= 0) return status_;
    if (signal != 0) kill(pid_, signal);
    for (int i = 0; i < seconds * 100 && status_ < 0; ++i) {
        int raw = 0;
        if (waitpid(pid_, &raw, WNOHANG) == pid_) {
            status_ = ExitStatus(raw);
        } else {
            usleep(10000);
        }
    }
    return status_;
}

}  // namespace plexivar::testing
