#include "tests/support/scratch_mount.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace plexivar::testing {
namespace {

std::string ErrorText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

bool EnterPrivateMountNamespace(std::string& why) {
    static std::string failure = [] {
        if (::unshare(CLONE_NEWNS) != 0) return ErrorText("unshare(CLONE_NEWNS)");
        // Mounts made here must not travel back to the namespace the process came from.
        if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return ErrorText("making / private");
        return std::string();
    }();
    why = failure;
    return failure.empty();
}

ScratchMount::ScratchMount(const std::string& folder, std::size_t bytes)
    : folder_(folder), bytes_(bytes) {
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
    if (!mounted_) why_ = ErrorText("mount");
}

ScratchMount::~ScratchMount() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
}

bool ScratchMount::SetReadOnly(bool readOnly) {
    const std::string options = "size=" + std::to_string(bytes_);
    const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    if (::mount("tmpfs", folder_.c_str(), "tmpfs", flags, options.c_str()) == 0) return true;
    why_ = ErrorText("remount");
    return false;
}

bool ScratchMount::Fill(std::size_t leaveFree) {
    struct statvfs fs {};
    if (::statvfs(folder_.c_str(), &fs) != 0) return false;
    const std::size_t page = fs.f_frsize;
    const std::size_t free = static_cast<std::size_t>(fs.f_bavail) * page;
    if (leaveFree < page) leaveFree = page;
    if (free <= leaveFree) return true;
    const int fd = ::open(FillerPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::vector<char> block(page, 'F');
    bool ok = true;
    for (std::size_t left = (free - leaveFree) / page; left > 0 && ok; --left)
        ok = ::write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size());
    return ::close(fd) == 0 && ok;
}

}  // namespace plexivar::testing
