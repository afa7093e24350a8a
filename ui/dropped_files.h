// Files dropped on a spooler's icon: each is copied into the spooler's input folder under
// its own name, replacing a file of that name. The copy appears there under its final name
// only once it is complete, so the spooler never takes a half-copied plate.
#pragma once

#include <string>
#include <vector>

namespace plexivar {

// Copies every regular file of `paths` into `folder`. A folder (or anything else that is
// not a regular file) is not copied. Returns one message per path that was not copied.
std::vector<std::string> CopyDroppedFiles(const std::vector<std::string>& paths,
                                          const std::string& folder);

}  // namespace plexivar
