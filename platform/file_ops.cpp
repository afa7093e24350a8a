#include "platform/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
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

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Copies `from` into a fresh temporary file in the folder of `to`, fsyncs it and renames it
// over `to`. The temporary is removed on every failure, so `to` is either the old file or
// the complete copy.
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
    std::string folder = DirectoryOf(to);
    if (folder.empty()) folder = ".";
    std::string tmp = JoinPath(folder, "." + FileNameOf(to) + ".copy-XXXXXX");
    UniqueFd out(::mkstemp(tmp.data()));
    if (!out) {
        SetError(error, errno);
        return false;
    }
    std::vector<char> buffer(1 << 20);
    bool ok = ::fchmod(out.get(), st.st_mode & 07777) == 0;
    while (ok) {
        const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        ok = WriteAll(out.get(), buffer.data(), static_cast<std::size_t>(n));
    }
    ok = ok && ::fsync(out.get()) == 0;
    int code = errno;
    if (::close(out.release()) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(tmp.c_str(), to.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        SetError(error, code);
        return false;
    }
    SyncDirectory(folder);
    return true;
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
