// Scanning a hot folder: the files waiting in it, oldest first, and how many files a
// folder holds (for the output folder's back-pressure limit).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace plexivar {

// At most this many files are taken from one scan; the rest wait for the next one.
inline constexpr int kScanCapacity = 1000;

struct ScanEntry {
    std::string name;  // without the folder
    std::uint64_t size = 0;
    std::timespec creationTime{};   // orders the list
    std::timespec lastWriteTime{};  // with the size, tells whether the file still changes
};

// True for names whose extension (after the last ".", any case) is "inf" or "tmp": those
// are information and working files, never jobs.
bool IsSkippedExtension(const std::string& name);

// Fills `list` with the readable files of `folder` whose names match `mask` (not
// sub-folders, not information or working files), at most `capacity`, sorted by creation
// time with the oldest first. Returns the number of entries, or -1 when the folder cannot
// be read.
int ScanFolder(const std::string& folder, const std::string& mask, std::vector<ScanEntry>& list,
               int capacity = kScanCapacity);

// The number of readable files in `folder` matching `mask` (counting stops at the scan
// capacity), or -1 when the folder cannot be read.
int CountFiles(const std::string& folder, const std::string& mask);

}  // namespace plexivar
