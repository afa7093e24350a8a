// File systems that a test mounts for itself, to make a folder fill up or turn read-only
// under a running service. Mounting needs root and a system that allows it; a test that
// cannot have a mount skips, saying why.
//
// The mounts live in a mount namespace private to the test process, entered on first use
// (before any thread the test starts, which then shares it): they are never seen outside
// the process and vanish with it, however the test ends.
#pragma once

#include <cstddef>
#include <string>

namespace plexivar::testing {

// Enters the private mount namespace (once per process). False with the reason when the
// system does not allow it.
bool EnterPrivateMountNamespace(std::string& why);

// A tmpfs of `bytes` bytes mounted on an existing folder; unmounted when the object goes.
class ScratchMount {
public:
    ScratchMount(const std::string& folder, std::size_t bytes);
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    // False, with the reason in why(), when the mount failed.
    bool ok() const { return mounted_; }
    const std::string& why() const { return why_; }
    // Remounts read-only or writable again, keeping what the folder holds.
    bool SetReadOnly(bool readOnly);
    // Fills the file system up to `leaveFree` bytes with the file "filler" (at least one
    // page is always left, the smallest amount a tmpfs accounts). Removing it frees them.
    bool Fill(std::size_t leaveFree);
    std::string FillerPath() const { return folder_ + "/filler"; }

private:
    std::string folder_;
    std::size_t bytes_;
    bool mounted_ = false;
    std::string why_;
};

}  // namespace plexivar::testing
