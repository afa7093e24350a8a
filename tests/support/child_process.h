// Runs programs for tests: to the end with their output collected (RunChild), or in the
// background until a signal stops them (BackgroundChild).
#pragma once

#include <string>
#include <vector>

namespace plexivar::testing {

struct ChildResult {
    bool started = false;  // false: the program could not be run at all
    int status = -1;       // exit status; 128 + N when killed by signal N
    std::string output;    // standard output and standard error, interleaved
};

// Runs `argv` (argv[0] found on PATH when it has no "/") in `workingDir` with this
// process's environment changed by `environment` ("NAME=value" sets, "NAME" removes),
// standard input from /dev/null, and waits for it to end.
ChildResult RunChild(const std::vector<std::string>& argv, const std::string& workingDir,
                     const std::vector<std::string>& environment = {});

// A program started like RunChild that runs on while the test goes on; standard output
// and standard error go to `outputFile`. Killed when the object goes, if still running.
class BackgroundChild {
public:
    BackgroundChild(const std::vector<std::string>& argv, const std::string& workingDir,
                    const std::vector<std::string>& environment, const std::string& outputFile);
    ~BackgroundChild();
    BackgroundChild(const BackgroundChild&) = delete;
    BackgroundChild& operator=(const BackgroundChild&) = delete;

    bool started() const { return pid_ > 0; }
    int pid() const { return pid_; }
    // Sends `signal` (0: none) and waits up to `seconds` for the end. The exit status
    // (128 + N when killed by signal N), or -1 when it is still running.
    int Stop(int signal, int seconds = 30);

private:
    int pid_ = -1;
    int status_ = -1;
};

}  // namespace plexivar::testing
