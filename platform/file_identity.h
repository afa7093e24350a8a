// Whether two paths name the same file or folder (also through links or different
// spellings of the path).
#pragma once

#include <string>

namespace plexivar::platform {

// True when the paths are equal, or both exist and are the same file system object.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace plexivar::platform
