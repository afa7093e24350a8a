// The mount table of this process, used to tell which file server holds a folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plexivar::platform {

struct MountEntry {
    std::string mountPoint;  // absolute, escapes (\040 ...) decoded
    std::string source;      // e.g. "//server/share", "server:/export", "/dev/sda1"
    std::string fsType;      // e.g. "cifs", "nfs4", "ext4"
};

// Parses the text of /proc/<pid>/mountinfo; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Reads /proc/self/mountinfo. False, with the reason in `error`, when it cannot be read.
bool ReadMountTable(std::vector<MountEntry>& entries, std::string* error = nullptr);

// The entry whose mount point is the longest whole-component prefix of `absolutePath`;
// of two entries on the same mount point the later one (mounted on top) wins. nullptr
// when none matches (only possible without a "/" entry).
const MountEntry* FindMountFor(const std::vector<MountEntry>& entries,
                               std::string_view absolutePath);

// True for file systems whose data live on another machine (SMB/CIFS, NFS, SSHFS, ...).
bool IsNetworkFileSystem(std::string_view fsType);

// The server named in a network mount source: "//host/share" and "\\host\share" give
// host, "host:/path" and "user@host:/path" give host, "[v6addr]:/path" gives v6addr,
// "scheme://host[:port]/path" gives host. "" when the source names no server.
std::string HostFromMountSource(std::string_view source);

// `path` made absolute against `currentDir` and cleaned lexically ("." and ".." and
// repeated slashes resolved) without touching the file system, so that a folder on a
// server that hangs is never accessed.
std::string LexicallyAbsolute(std::string_view path, std::string_view currentDir);

}  // namespace plexivar::platform
