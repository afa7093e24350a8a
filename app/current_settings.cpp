#include "app/current_settings.h"

#include <ostream>

#include "platform/program_dir.h"

namespace plexivar {

std::string LoadCurrentSettings(Settings& settings, std::ostream& err) {
    const std::string dir = platform::CurrentDirectory();
    if (dir.empty()) {
        err << "plexivar: cannot determine the current directory\n";
        return dir;
    }
    for (const std::string& warning : LoadSettings(SettingsFilePath(dir), dir, settings))
        err << warning << "\n";
    return dir;
}

}  // namespace plexivar
