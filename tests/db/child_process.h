// Runs a program for a test helper and collects what it printed.
#pragma once

#include <string>
#include <vector>

namespace plexivar::testing {

struct ChildResult {
    bool started = false;  // false: the program could not be run at all
    int status = -1;       // exit status; 128 + N when killed by signal N
    std::string output;    // standard output and standard error, interleaved
};

// Runs `argv` (argv[0] found on PATH when it has no "/") in `workingDir` with the extra
// `environment` entries ("NAME=value") on top of this process's environment, standard
// input from /dev/null, and waits for it to end.
ChildResult RunChild(const std::vector<std::string>& argv, const std::string& workingDir,
                     const std::vector<std::string>& environment = {});

}  // namespace plexivar::testing
