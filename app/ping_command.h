// plexivar --ping FOLDER
#pragma once

#include <iosfwd>
#include <string>

namespace plexivar {

// Runs the service's folder check on FOLDER (settings from "plexivar.ini" in the current
// directory, for BypassPingTest) and prints the folder's host, where it was found, the
// echo round trip or why the echo failed, and whether the folder is reachable.
// Returns 0 when it is, 1 when it is not, 2 for an empty argument.
int RunPingCommand(const std::string& folder, std::ostream& out, std::ostream& err);

}  // namespace plexivar
