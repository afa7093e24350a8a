#include "tests/fuzz/scratch.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/fuzz/fuzz_targets.h"

namespace plexivar::fuzz {
namespace {

std::string MakeFolder() {
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string pattern = std::string(base) + "/plexivar-fuzz-XXXXXX";
        if (::access(base, W_OK) == 0 && ::mkdtemp(pattern.data()) != nullptr) return pattern;
    }
    Require(false, "a scratch folder can be made");
    return {};
}

// Removes the folder with everything in it when the process exits normally.
struct OwnedFolder {
    std::string path;
    ~OwnedFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::string& ScratchFolder() {
    static const OwnedFolder folder{MakeFolder()};
    return folder.path;
}

std::string WriteScratchFile(const std::string& name, std::string_view bytes) {
    const std::string path = ScratchFolder() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    Require(static_cast<bool>(out), "a scratch file can be written", path);
    return path;
}

}  // namespace plexivar::fuzz
