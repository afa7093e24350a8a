#include "platform/directory_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "platform/file_ops.h"

namespace plexivar::platform {
namespace {

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

std::timespec ToTimespec(const struct statx_timestamp& t) {
    std::timespec ts{};
    ts.tv_sec = t.tv_sec;
    ts.tv_nsec = t.tv_nsec;
    return ts;
}

// Size, times and kind of `name` inside the open folder, following a symbolic link.
bool Describe(int dirFd, DirectoryEntry& entry) {
    struct statx sx {};
    if (::statx(dirFd, entry.name.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        // A dangling link is still an entry of the folder, just not a file.
        struct statx link {};
        if (::statx(dirFd, entry.name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE, &link) != 0)
            return false;
        entry.kind = DirectoryEntry::Kind::Other;
        return true;
    }
    entry.kind = S_ISREG(sx.stx_mode)   ? DirectoryEntry::Kind::File
                 : S_ISDIR(sx.stx_mode) ? DirectoryEntry::Kind::Directory
                                        : DirectoryEntry::Kind::Other;
    entry.size = sx.stx_size;
    entry.changeTime = ToTimespec(sx.stx_ctime);
    entry.creationTime = (sx.stx_mask & STATX_BTIME) ? ToTimespec(sx.stx_btime) : entry.changeTime;
    entry.lastWriteTime = ToTimespec(sx.stx_mtime);
    return true;
}

}  // namespace

bool MatchesMask(const std::string& name, const std::string& mask) {
    if (mask == "*.*" || mask == "*") return true;
    return ::fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

bool ListDirectory(const std::string& folder, const std::string& mask,
                   std::vector<DirectoryEntry>& entries, std::string* error, std::size_t limit) {
    entries.clear();
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) {
        if (error) *error = SystemErrorText(errno);
        return false;
    }
    const int fd = ::dirfd(dir.get());
    while (entries.size() < limit) {
        errno = 0;
        const dirent* d = ::readdir(dir.get());
        if (d == nullptr) {
            if (errno != 0) {
                if (error) *error = SystemErrorText(errno);
                return false;
            }
            break;
        }
        const std::string name = d->d_name;
        if (name == "." || name == ".." || !MatchesMask(name, mask)) continue;
        DirectoryEntry entry;
        entry.name = name;
        if (Describe(fd, entry)) entries.push_back(std::move(entry));
    }
    return true;
}

}  // namespace plexivar::platform
