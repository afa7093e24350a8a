#include "platform/file_identity.h"

#include <sys/stat.h>

namespace plexivar::platform {

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa {}, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace plexivar::platform
