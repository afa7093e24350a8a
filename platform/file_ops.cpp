#include "platform/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/c_locale.h"
#include "platform/unique_fd.h"

namespace plexivar::platform {
namespace {

void SetError(std::string* error, int code) {
    if (error) *error = SystemErrorText(code);
}

// Copies `from` into a fresh temporary file in the folder of `to` with the mode of `from`,
// fsyncs it and renames it over `to`. The temporary is removed on every failure, so `to`
// is either the old file or the complete copy.
bool CopyThroughTemporary(const std::string& from, const std::string& to, std::string* error) {
    UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) {
        SetError(error, errno);
        return false;
    }
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) {
        SetError(error, errno);
        return false;
    }
    ReplacementFile out;
    if (!out.Create(to, "copy", st.st_mode & 07777, error))
        return false;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            SetError(error, errno);
            return false;
        }
        if (n == 0) break;
        if (!out.Write(std::string_view(buffer.data(), static_cast<std::size_t>(n)), error))
            return false;
    }
    return out.Commit(error);
}

}  // namespace

std::string SystemErrorText(int code) {
    std::array<char, 256> buf{};
    // The GNU strerror_r returns a pointer that may or may not be `buf`.
    const char* text = ::strerror_r(code, buf.data(), buf.size());
    return Format("%s (errorcode %d)", text, code);
}

void SyncDirectory(const std::string& folder) {
    UniqueFd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) ::fsync(fd.get());
}

ReplacementFile::~ReplacementFile() {
    fd_.reset();
    if (!path_.empty()) ::unlink(path_.c_str());
}

bool ReplacementFile::Create(const std::string& target, const char* tag,
                             std::optional<mode_t> mode, std::string* error) {
    std::string folder = DirectoryOf(target);
    if (folder.empty()) folder = ".";
    // The process id and a counter make the name unique among running processes; a name
    // left behind by a process that died is skipped.
    static std::atomic<unsigned> counter{0};
    const std::string stem = JoinPath(folder, "." + FileNameOf(target) + "." + tag + "-");
    const mode_t createMode = mode ? (*mode & 0777) : 0666;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string path = stem + Format("%d-%u", static_cast<int>(::getpid()), counter++);
        UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode));
        if (!fd && errno == EEXIST) continue;
        if (!fd) break;
        fd_ = std::move(fd);
        target_ = target;
        path_ = std::move(path);
        // The umask may have taken more away than asked for.
        if (mode && ::fchmod(fd_.get(), *mode) != 0) {
            SetError(error, errno);
            return false;
        }
        return true;
    }
    SetError(error, errno);
    return false;
}

bool ReplacementFile::Write(std::string_view data, std::string* error) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd_.get(), data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetError(error, n < 0 ? errno : EIO);
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool ReplacementFile::Commit(std::string* error) {
    if (::fsync(fd_.get()) != 0 || ::close(fd_.release()) != 0 ||
        ::rename(path_.c_str(), target_.c_str()) != 0) {
        SetError(error, errno);
        return false;
    }
    path_.clear();
    SyncDirectory(DirectoryOf(target_));
    return true;
}

void ReplacementFile::Abandon() {
    fd_.reset();
    path_.clear();
}

bool MoveFileReplace(const std::string& from, const std::string& to, std::string* error) {
    if (::rename(from.c_str(), to.c_str()) == 0) {
        SyncDirectory(DirectoryOf(to));
        return true;
    }
    if (errno != EXDEV) {
        SetError(error, errno);
        return false;
    }
    // Different file systems: the source is removed only once the complete copy is in place.
    if (!CopyThroughTemporary(from, to, error)) return false;
    if (::unlink(from.c_str()) != 0) {
        SetError(error, errno);
        return false;
    }
    return true;
}

bool CopyFileReplace(const std::string& from, const std::string& to, std::string* error) {
    return CopyThroughTemporary(from, to, error);
}

bool DeleteFile(const std::string& path, std::string* error) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    SetError(error, errno);
    return false;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectory(const std::string& path, std::string* error) {
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    const int code = errno;
    if (code == EEXIST && DirectoryExists(path)) return true;
    SetError(error, code);
    return false;
}

bool CreateDirectories(const std::string& path, std::string* error) {
    if (path.empty() || DirectoryExists(path)) return true;
    const std::string parent = DirectoryOf(path);
    if (!parent.empty() && parent != path && !CreateDirectories(parent, error)) return false;
    return CreateDirectory(path, error);
}

bool GetFileInfo(const std::string& path, FileInfo& info, std::string* error) {
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        SetError(error, errno);
        return false;
    }
    info.size = sx.stx_size;
    const auto toTimespec = [](const struct statx_timestamp& t) {
        std::timespec ts{};
        ts.tv_sec = t.tv_sec;
        ts.tv_nsec = t.tv_nsec;
        return ts;
    };
    info.creationTime = (sx.stx_mask & STATX_BTIME) ? toTimespec(sx.stx_btime)
                                                    : toTimespec(sx.stx_ctime);
    info.lastWriteTime = toTimespec(sx.stx_mtime);
    return true;
}

bool TouchFile(const std::string& path, std::string* error) {
    if (::utimensat(AT_FDCWD, path.c_str(), nullptr, 0) == 0) return true;
    SetError(error, errno);
    return false;
}

bool ProbeFileReady(const std::string& path, std::string* error) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd) {
        SetError(error, errno);
        return false;
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd.get(), F_OFD_SETLK, &lock) != 0) {
        SetError(error, errno);
        return false;
    }
    lock.l_type = F_UNLCK;
    ::fcntl(fd.get(), F_OFD_SETLK, &lock);
    std::array<char, 4096> head{};
    ssize_t n;
    do {
        n = ::read(fd.get(), head.data(), head.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        SetError(error, errno);
        return false;
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string ResolvePath(const std::string& base, const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    return JoinPath(base, path);
}

}  // namespace plexivar::platform
