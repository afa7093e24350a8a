#include "platform/stage_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_ops.h"
#include "platform/unique_fd.h"

namespace plexivar::platform {
namespace {

// Errors of link(2) that mean "no hard links here", not "this cannot be done".
bool LinkUnsupported(int code) {
    return code == EXDEV || code == EPERM || code == ENOTSUP || code == EOPNOTSUPP ||
           code == EMLINK || code == ENOSYS;
}

}  // namespace

bool StageFile(const std::string& from, const std::string& to, std::string* error) {
    UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in || ::fsync(in.get()) != 0) {
        if (error) *error = SystemErrorText(errno);
        return false;
    }
    if (::unlink(to.c_str()) != 0 && errno != ENOENT) {
        if (error) *error = SystemErrorText(errno);
        return false;
    }
    if (::link(from.c_str(), to.c_str()) == 0) {
        SyncDirectory(DirectoryOf(to));
        return true;
    }
    if (!LinkUnsupported(errno)) {
        if (error) *error = SystemErrorText(errno);
        return false;
    }
    return CopyFileReplace(from, to, error);
}

}  // namespace plexivar::platform
