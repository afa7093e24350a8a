// Whether a hot folder can be used right now. A folder on another machine is first probed
// with one ICMP echo request to that machine, so that a dead file server costs one second
// instead of a hanging file-system call; only then is the folder itself looked at.
#pragma once

#include <string>
#include <vector>

#include "platform/mount_table.h"

namespace plexivar {

// The file server behind a folder, if any.
struct FolderHost {
    std::string host;  // "" for a local folder
    std::string
        origin;  // how it was found, for messages ("UNC path", "cifs mount //srv/share on /mnt/x")
};

// A path beginning with "//" or "\\" names its host like a UNC path (the text up to the
// next slash or backslash, or all of it). Otherwise the mount table decides: the longest
// mount point that holds the path (made absolute against `currentDir`, lexically), and
// when that is a network file system, the host of its source. Touches no file system.
FolderHost HostOfFolder(const std::string& path, const std::vector<platform::MountEntry>& mounts,
                        const std::string& currentDir);

// True when `path` names a directory the process may enter (search permission, effective
// ids), tested without changing the current directory.
bool CanEnterDirectory(const std::string& path, std::string* error = nullptr);

// What one check did, for the --ping command and for tests.
struct FolderCheckReport {
    FolderHost host;
    bool pinged = false;
    bool pingSucceeded = false;
    double roundTripMs = 0.0;
    std::string pingAddress;
    bool datagramSocket = false;
    bool folderTested = false;
    std::string error;  // why the check gave false
};

// The folder check: without `bypassPing`, a folder with a host is pinged first (time to
// live 30, 1000 ms, 32 data bytes) and a failed ping gives false without touching the
// folder; then the folder must be enterable. With `bypassPing` only the folder is tested.
bool CheckFolder(const std::string& path, bool bypassPing, FolderCheckReport* report = nullptr);

// CheckFolder with `BypassPingTest` of the global settings.
bool IsFolderReachable(const std::string& path);

}  // namespace plexivar
