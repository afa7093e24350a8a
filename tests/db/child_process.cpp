#include "tests/db/child_process.h"

#include <fcntl.h>
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

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
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
    if (!workingDir.empty())
        posix_spawn_file_actions_addchdir_np(&spawn.actions, workingDir.c_str());

    std::vector<std::string> args = argv;
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
    env.insert(env.end(), environment.begin(), environment.end());
    std::vector<char*> argPointers = Pointers(args);
    std::vector<char*> envPointers = Pointers(env);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argPointers[0], &spawn.actions, nullptr, argPointers.data(),
                                envPointers.data());
    close(pipeEnds[1]);
    if (rc != 0) {
        close(pipeEnds[0]);
        result.output = argv[0] + ": " + std::strerror(rc);
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
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace plexivar::testing
