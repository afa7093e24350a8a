#include "service/folder_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_ops.h"
#include "platform/icmp_echo.h"
#include "platform/program_dir.h"
#include "service/config/settings.h"

namespace plexivar {
namespace {

bool StartsWithTwoSeparators(const std::string& path) {
    return path.size() >= 2 && (path.compare(0, 2, "//") == 0 || path.compare(0, 2, "\\\\") == 0);
}

}  // namespace

FolderHost HostOfFolder(const std::string& path, const std::vector<platform::MountEntry>& mounts,
                        const std::string& currentDir) {
    FolderHost result;
    if (StartsWithTwoSeparators(path)) {
        const std::string rest = path.substr(2);
        result.host = rest.substr(0, rest.find_first_of("/\\"));
        result.origin = "UNC path";
        return result;
    }
    const std::string absolute = platform::LexicallyAbsolute(path, currentDir);
    const platform::MountEntry* mount = platform::FindMountFor(mounts, absolute);
    if (!mount || !platform::IsNetworkFileSystem(mount->fsType))
        return result;
    result.host = platform::HostFromMountSource(mount->source);
    result.origin = mount->fsType + " mount " + mount->source + " on " + mount->mountPoint;
    return result;
}

bool CanEnterDirectory(const std::string& path, std::string* error) {
    struct stat st {};
    if (path.empty()) {
        if (error)
            *error = "empty folder path";
        return false;
    }
    if (::stat(path.c_str(), &st) != 0) {
        if (error)
            *error = platform::SystemErrorText(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (error)
            *error = "not a folder";
        return false;
    }
    if (::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) != 0) {
        if (error)
            *error = platform::SystemErrorText(errno);
        return false;
    }
    return true;
}

bool CheckFolder(const std::string& path, bool bypassPing, FolderCheckReport* report) {
    FolderCheckReport local;
    FolderCheckReport& out = report ? *report : local;
    out = FolderCheckReport{};

    if (!bypassPing) {
        std::vector<platform::MountEntry> mounts;
        platform::ReadMountTable(mounts);  // unreadable: every path counts as local
        out.host = HostOfFolder(path, mounts, platform::CurrentDirectory());
        if (!out.host.host.empty()) {
            platform::PingOptions ping;
            ping.host = out.host.host;
            ping.timeToLive = 30;
            ping.timeoutMs = 1000;
            ping.dataSize = 32;
            platform::PingResult result;
            out.pinged = true;
            out.pingSucceeded = platform::PingHost(ping, &result);
            out.roundTripMs = result.roundTripMs;
            out.pingAddress = result.address;
            out.datagramSocket = result.datagramSocket;
            if (!out.pingSucceeded) {
                out.error = result.error;
                return false;
            }
        }
    }
    out.folderTested = true;
    return CanEnterDirectory(path, &out.error);
}

bool IsFolderReachable(const std::string& path) {
    return CheckFolder(path, GlobalSettings().service.BypassPingTest == 1, nullptr);
}

}  // namespace plexivar
