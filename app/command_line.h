// The command line of the plexivar executable.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace plexivar {

// Runs the program with `args` (without the program name) and returns the exit status.
// Output goes to `out`, diagnostics to `err`.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The text of --help.
std::string UsageText();

}  // namespace plexivar
