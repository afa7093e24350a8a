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

const std::string& ProgramDirectory() {
    static const std::string dir = CurrentDirectory();
    return dir;
}

}  // namespace plexivar::platform
