// Whether any process of this machine has a file open, read from /proc. Processes of
// other users are seen only with the privileges to see them.
#pragma once

#include <string>

namespace plexivar::platform {

bool FileOpenByAnyProcess(const std::string& path);

// This machine's host name ("" when unknown).
std::string HostName();

}  // namespace plexivar::platform
