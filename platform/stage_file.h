// A complete second name for a file in another folder, for delivery through a staging
// folder: a hard link where the file system allows one (nothing is copied), else a copy
// through a temporary name. Either way the content is on disk before the call returns and
// `to` is replaced; the source is not touched.
#pragma once

#include <string>

namespace plexivar::platform {

bool StageFile(const std::string& from, const std::string& to, std::string* error = nullptr);

}  // namespace plexivar::platform
