#include "tests/support/fixtures.h"

#include <cstdlib>
#include <filesystem>

namespace plexivar::testing {

std::string FixturesDir() {
    const char* dir = std::getenv("PLEXIVAR_FIXTURES_DIR");
    if (dir == nullptr || *dir == '\0') return {};
    std::error_code ec;
    return std::filesystem::is_directory(dir, ec) ? std::string(dir) : std::string();
}

std::string FixturePath(const std::string& name) { return FixturesDir() + "/" + name; }

}  // namespace plexivar::testing
