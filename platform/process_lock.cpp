#include "platform/process_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_ops.h"

namespace plexivar::platform {
namespace {

// Exclusive open-file-description lock on bytes [0, length) (0: the whole file).
bool LockExclusive(int fd, off_t length, int* err) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = length;
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
    *err = errno;
    return false;
}

}  // namespace

std::string RuntimeDirectory() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    return dir && *dir ? dir : "/tmp";
}

bool ProcessLock::Acquire(const std::string& path, bool* heldElsewhere, std::string* error) {
    if (heldElsewhere) *heldElsewhere = false;
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    int err = errno;
    if (fd && LockExclusive(fd.get(), 0, &err)) {
        fd_ = std::move(fd);
        return true;
    }
    if (heldElsewhere) *heldElsewhere = fd && (err == EAGAIN || err == EACCES);
    if (error) *error = SystemErrorText(err);
    return false;
}

bool ProcessLock::CreateMarker(const std::string& path, const std::string& content,
                               int lockBytes, std::string* error) {
    ::unlink(path.c_str());
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    int err = errno;
    if (fd && ::write(fd.get(), content.data(), content.size()) ==
                  static_cast<ssize_t>(content.size()) &&
        LockExclusive(fd.get(), lockBytes, &err)) {
        fd_ = std::move(fd);
        return true;
    }
    if (fd) err = errno ? errno : err;
    if (error) *error = SystemErrorText(err);
    return false;
}

}  // namespace plexivar::platform
