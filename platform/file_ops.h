// File operations with the guarantees the service relies on: a delivered file is complete
// and on disk before it appears under its final name, and a failed operation leaves the
// source where it was. Functions return true on success; on failure they return false and,
// when `error` is given, put the system error text there ("%s (errorcode %d)").
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace plexivar::platform {

// "<strerror(code)> (errorcode <code>)".
std::string SystemErrorText(int code);

// Moves `from` to `to`, replacing `to`. Within one file system this is a rename; across
// file systems the data are copied to a temporary name in the target folder, fsynced and
// renamed over `to`, and only then is `from` removed.
bool MoveFileReplace(const std::string& from, const std::string& to, std::string* error = nullptr);

// Copies `from` to `to`, replacing `to`, through a temporary name beside `to` (fsynced
// before the rename), so that a reader never sees a half-written copy.
bool CopyFileReplace(const std::string& from, const std::string& to, std::string* error = nullptr);

// A new file beside `target` that is to replace it: written through Write(), then Commit()
// fsyncs it, closes it and renames it over `target`, so that a reader (or a crash) sees
// either the old file or the complete new one. A temporary that is not committed is
// removed when the object goes out of scope, on every failure path.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates ".<name of target>.<tag>-<pid>-<n>" in the target's folder. With `mode` the
    // file gets exactly that mode (and is never more open than that meanwhile); without,
    // it gets 0666 less the process umask, like any newly created file.
    bool Create(const std::string& target, const char* tag, std::optional<mode_t> mode,
                std::string* error = nullptr);
    // Writes all of `data`; false (with the reason in `error`) when the disk refuses it.
    bool Write(std::string_view data, std::string* error = nullptr);
    bool Commit(std::string* error = nullptr);
    // Closes the temporary and leaves it where it is, as a process that died would.
    void Abandon();

private:
    UniqueFd fd_;
    std::string target_;
    std::string path_;  // "" once committed or abandoned
};

// Removes a file; a file that does not exist counts as removed.
bool DeleteFile(const std::string& path, std::string* error = nullptr);

// Flushes a folder's entries (after a rename into it) to disk; failures are ignored.
void SyncDirectory(const std::string& folder);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates a folder (one level); an existing folder counts as success.
bool CreateDirectory(const std::string& path, std::string* error = nullptr);
// Creates a folder and its missing parents.
bool CreateDirectories(const std::string& path, std::string* error = nullptr);

struct FileInfo {
    std::uint64_t size = 0;
    std::timespec creationTime{};   // birth time where the file system has one, else ctime
    std::timespec lastWriteTime{};  // modification time, full precision
};
bool GetFileInfo(const std::string& path, FileInfo& info, std::string* error = nullptr);

// Sets the access and modification time of `path` to now.
bool TouchFile(const std::string& path, std::string* error = nullptr);

// Readiness probe for a file that may still be written by another program: opens it
// read-write, takes and releases a non-blocking exclusive lock, and reads its first
// 4096 bytes. False while another process holds a lock or the file cannot be opened.
bool ProbeFileReady(const std::string& path, std::string* error = nullptr);

// The folder part of a path ("" for a bare name) and the name part.
std::string DirectoryOf(const std::string& path);
std::string FileNameOf(const std::string& path);
// Joins with a single '/'.
std::string JoinPath(const std::string& folder, const std::string& name);
// `path` when absolute, else `base`/`path`.
std::string ResolvePath(const std::string& base, const std::string& path);

}  // namespace plexivar::platform
