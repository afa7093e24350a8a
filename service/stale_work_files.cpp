#include "service/stale_work_files.h"

#include <vector>

#include "platform/directory_listing.h"
#include "platform/file_ops.h"
#include "platform/open_files.h"
#include "service/report/log_file.h"

namespace plexivar {

int RemoveStaleWorkingFiles(const std::string& folder) {
    const std::string host = platform::HostName();
    if (host.empty()) return 0;
    int removed = 0;
    for (const std::string& suffix : {"-" + host + ".tmp", "-" + host + ".tmp.tmp2"}) {
        std::vector<platform::DirectoryEntry> entries;
        if (!platform::ListDirectory(folder, "*" + suffix, entries)) return removed;
        for (const platform::DirectoryEntry& e : entries) {
            // The mask matches case-insensitively; the engine names its files exactly.
            if (e.kind != platform::DirectoryEntry::Kind::File || e.name.size() <= suffix.size() ||
                e.name.compare(e.name.size() - suffix.size(), suffix.size(), suffix) != 0)
                continue;
            const std::string path = platform::JoinPath(folder, e.name);
            if (platform::FileOpenByAnyProcess(path) || !platform::DeleteFile(path)) continue;
            WriteLog("INFO: Removed stale working file %s", path.c_str());
            ++removed;
        }
    }
    return removed;
}

}  // namespace plexivar
