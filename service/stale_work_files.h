// Working files left behind by engine runs that were killed ("<input>-<host>.tmp" beside
// the input, and its merge file "<input>-<host>.tmp.tmp2"). Scans skip ".tmp" names, so
// they would pile up; a spooler removes its own when it starts.
#pragma once

#include <string>

namespace plexivar {

// Removes the working files of this host in `folder` that no process has open. Returns how
// many were removed.
int RemoveStaleWorkingFiles(const std::string& folder);

}  // namespace plexivar
