// Locks that say "this process is running": the single-instance lock (an exclusive lock on
// a lock file in the runtime folder) and the marker file "Running" in the program
// directory, whose first 10 bytes stay locked for the life of the process. Both are
// open-file-description locks: released when the object goes away or the process ends,
// however it ends.
#pragma once

#include <string>

#include "platform/unique_fd.h"

namespace plexivar::platform {

// The folder for the single-instance lock: $XDG_RUNTIME_DIR, or /tmp when it is unset.
std::string RuntimeDirectory();

class ProcessLock {
public:
    // Takes an exclusive lock on `path` (created when missing, never truncated). False when
    // another process holds it (`heldElsewhere` true) or the file cannot be opened.
    bool Acquire(const std::string& path, bool* heldElsewhere = nullptr,
                 std::string* error = nullptr);

    // Removes `path`, creates it anew holding `content`, and locks its first `lockBytes`
    // bytes exclusively.
    bool CreateMarker(const std::string& path, const std::string& content, int lockBytes,
                      std::string* error = nullptr);

    bool Held() const { return static_cast<bool>(fd_); }

private:
    UniqueFd fd_;
};

}  // namespace plexivar::platform
