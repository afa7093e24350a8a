#include "platform/open_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <memory>

namespace plexivar::platform {
namespace {

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

bool AllDigits(const char* text) {
    if (*text == '\0') return false;
    for (; *text; ++text)
        if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
    return true;
}

}  // namespace

bool FileOpenByAnyProcess(const std::string& path) {
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) return false;
    std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
    if (!proc) return false;
    while (const dirent* p = ::readdir(proc.get())) {
        if (!AllDigits(p->d_name)) continue;
        const std::string fdFolder = std::string("/proc/") + p->d_name + "/fd";
        std::unique_ptr<DIR, DirCloser> fds(::opendir(fdFolder.c_str()));
        if (!fds) continue;
        while (const dirent* f = ::readdir(fds.get())) {
            if (!AllDigits(f->d_name)) continue;
            struct stat open {};
            // stat follows the descriptor's link to the open file itself.
            if (::stat((fdFolder + "/" + f->d_name).c_str(), &open) == 0 &&
                open.st_dev == target.st_dev && open.st_ino == target.st_ino)
                return true;
        }
    }
    return false;
}

std::string HostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) return {};
    return name.data();
}

}  // namespace plexivar::platform
