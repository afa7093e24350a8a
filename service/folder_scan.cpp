#include "service/folder_scan.h"

#include <fcntl.h>
#include <strings.h>

#include "platform/directory_listing.h"
#include "platform/file_ops.h"
#include "platform/unique_fd.h"

namespace plexivar {
namespace {

bool Newer(const std::timespec& a, const std::timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// The file opens for reading; a file the service may not read is not a job.
bool Readable(const std::string& path) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    return static_cast<bool>(fd);
}

// The regular, readable, non-skipped files of a folder, in directory order.
bool CandidateFiles(const std::string& folder, const std::string& mask, int capacity,
                    std::vector<platform::DirectoryEntry>& files) {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::ListDirectory(folder, mask, entries)) return false;
    files.clear();
    for (platform::DirectoryEntry& e : entries) {
        if (static_cast<int>(files.size()) >= capacity) break;
        if (e.kind != platform::DirectoryEntry::Kind::File || IsSkippedExtension(e.name))
            continue;
        if (!Readable(platform::JoinPath(folder, e.name))) continue;
        files.push_back(std::move(e));
    }
    return true;
}

}  // namespace

bool IsSkippedExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const char* ext = name.c_str() + dot + 1;
    return strcasecmp(ext, "inf") == 0 || strcasecmp(ext, "tmp") == 0;
}

int ScanFolder(const std::string& folder, const std::string& mask, std::vector<ScanEntry>& list,
               int capacity) {
    list.clear();
    std::vector<platform::DirectoryEntry> files;
    if (!CandidateFiles(folder, mask, capacity, files)) return -1;
    for (const platform::DirectoryEntry& e : files)
        list.push_back(ScanEntry{e.name, e.size, e.creationTime, e.lastWriteTime});
    // Oldest first: each position takes the oldest of the entries after it, exchanging
    // only when strictly newer, so files of equal age keep their relative order as far as
    // the exchanges allow.
    for (std::size_t i = 0; i < list.size(); ++i)
        for (std::size_t j = i + 1; j < list.size(); ++j)
            if (Newer(list[i].creationTime, list[j].creationTime)) std::swap(list[i], list[j]);
    return static_cast<int>(list.size());
}

int CountFiles(const std::string& folder, const std::string& mask) {
    std::vector<platform::DirectoryEntry> files;
    if (!CandidateFiles(folder, mask, kScanCapacity, files)) return -1;
    return static_cast<int>(files.size());
}

}  // namespace plexivar
