// The entries of a folder whose names match a file mask, with what the hot-folder scan
// needs to know of each. Masks match case-insensitively with shell wildcards ("*", "?",
// "[...]"); "*.*" matches every name, also names without a dot, as operators know it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace plexivar::platform {

struct DirectoryEntry {
    enum class Kind { File, Directory, Other };
    std::string name;
    Kind kind = Kind::Other;  // of the target, for a symbolic link; Other when dangling
    std::uint64_t size = 0;
    std::timespec creationTime{};   // birth time where the file system has one, else ctime
    std::timespec changeTime{};     // last status change
    std::timespec lastWriteTime{};  // modification time
};

// Whether `name` matches `mask`.
bool MatchesMask(const std::string& name, const std::string& mask);

// Lists the entries of `folder` (not "." and "..") whose names match `mask`, in the order
// the file system gives them, at most `limit` of them. An entry that vanishes while it is
// looked at is left out. False with the system error text when the folder cannot be read.
bool ListDirectory(const std::string& folder, const std::string& mask,
                   std::vector<DirectoryEntry>& entries, std::string* error = nullptr,
                   std::size_t limit = static_cast<std::size_t>(-1));

}  // namespace plexivar::platform
