#include "platform/program_dir.h"

#include <unistd.h>

#include <cerrno>

#include <vector>

namespace plexivar::platform {

std::string CurrentDirectory() {
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE || buf.size() > (1u << 20)) return {};
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

std::string ExecutableDirectory() {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    std::string path(buf.data(), static_cast<std::size_t>(n));
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

const std::string& ProgramDirectory() {
    static const std::string dir = CurrentDirectory();
    return dir;
}

}  // namespace plexivar::platform
